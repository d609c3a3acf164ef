#include "platform/xdg/mime_apps.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace orvane::xdg {

namespace {

bool statFollowing(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return statFollowing(path, st) && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return statFollowing(path, st) && S_ISDIR(st.st_mode);
}

// The whole file, when it is a regular file of at most `cap` bytes. O_NONBLOCK: a
// FIFO put where a file is expected must not hold the look-up at open().
std::optional<std::string> readSmallFile(const std::string& path, std::size_t cap) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > cap) {
    return std::nullopt;
  }
  std::string content;
  char buffer[16384];
  for (;;) {
    const auto n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    if (content.size() + static_cast<std::size_t>(n) > cap) return std::nullopt;  // grew while read
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return content;
}

std::optional<struct timespec> modificationTime(const std::string& path) {
  struct stat st {};
  if (!statFollowing(path, st)) return std::nullopt;
  return st.st_mtim;
}

bool notOlder(const timespec& a, const timespec& b) {
  return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec >= b.tv_nsec);
}

bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// A desktop ID is a file name: it must not reach outside applications/.
bool isValidDesktopId(std::string_view id) {
  if (id.size() <= 8 || id.size() > 255 || !endsWith(id, ".desktop") || id.front() == '.' ||
      id.front() == '-') {
    return false;
  }
  return std::none_of(id.begin(), id.end(),
                      [](char c) { return c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool isSchemeText(std::string_view scheme) {
  if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme.front()))) return false;
  return std::all_of(scheme.begin(), scheme.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
}

class Lookup {
 public:
  Lookup(const XdgEnvironment& env, Deadline deadline, const LookupLimits& limits)
      : env_(env), deadline_(deadline), limits_(limits) {
    if (!env.configHome.empty()) addLevel(env.configHome, false);
    for (const auto& dir : env.configDirs) addLevel(dir, false);
    if (!env.dataHome.empty()) addLevel(env.dataHome + "/applications", true);
    for (const auto& dir : env.dataDirs) addLevel(dir + "/applications", true);
  }

  HandlerLookup defaultApplication(std::string_view mimeType) {
    const std::string mime(mimeType);
    std::set<std::string, std::less<>> removed;
    std::vector<std::string> defaults;
    std::vector<std::pair<std::string, std::size_t>> associated;  // id, applications dir it must live in
    constexpr std::size_t kAnyDir = static_cast<std::size_t>(-1);

    for (const auto& level : levels_) {
      if (expired()) return timedOut();
      const KeyFile* plain = listFile(level.dir + "/mimeapps.list", limits_.maxFileBytes);
      if (plain) {
        for (auto& id : listed(*plain, "Removed Associations", mime)) removed.insert(std::move(id));
      }
      for (const auto& desktop : env_.desktops) {
        if (const KeyFile* specific =
                listFile(level.dir + "/" + desktop + "-mimeapps.list", limits_.maxFileBytes)) {
          for (auto& id : listed(*specific, "Default Applications", mime)) {
            if (!removed.count(id)) defaults.push_back(std::move(id));
          }
        }
      }
      if (plain) {
        for (auto& id : listed(*plain, "Default Applications", mime)) {
          if (!removed.count(id)) defaults.push_back(std::move(id));
        }
        for (auto& id : listed(*plain, "Added Associations", mime)) {
          if (!removed.count(id)) associated.emplace_back(std::move(id), kAnyDir);
        }
      }
      if (level.appsIndex) {
        for (auto& id : idsDeclaring(*level.appsIndex, mime)) {
          if (!removed.count(id)) associated.emplace_back(std::move(id), *level.appsIndex);
        }
      }
    }

    std::set<std::string, std::less<>> tried;
    for (const auto& id : defaults) {
      if (!tried.insert(id).second) continue;
      if (auto found = launchable(id, kAnyDir, {})) return *found;
      if (expired()) return timedOut();
    }
    for (const auto& [id, dir] : associated) {
      if (!tried.insert(id).second) continue;
      // From a MimeType= line: only where that very file is the one the ID names,
      // and only while it still lists the type (a cache may be stale).
      if (auto found = launchable(id, dir, dir == kAnyDir ? std::string_view() : mimeType)) return *found;
      if (expired()) return timedOut();
    }
    return expired() ? timedOut() : HandlerLookup{};
  }

 private:
  struct Level {
    std::string dir;
    std::optional<std::size_t> appsIndex;  // for the data levels: index into appsDirs_
  };

  struct Resolved {
    std::size_t appsIndex = 0;
    std::optional<DesktopEntry> entry;  // absent: unreadable or not a desktop entry (still masks)
  };

  void addLevel(const std::string& dir, bool isApps) {
    Level level{dir, std::nullopt};
    if (isApps) {
      level.appsIndex = appsDirs_.size();
      appsDirs_.push_back(dir);
    }
    levels_.push_back(std::move(level));
  }

  bool expired() {
    if (!timedOut_ && std::chrono::steady_clock::now() >= deadline_) timedOut_ = true;
    return timedOut_;
  }

  static HandlerLookup timedOut() {
    HandlerLookup r;
    r.status = HandlerLookup::Status::timedOut;
    return r;
  }

  // Read once per look-up; absent when missing, unreadable or too large.
  const KeyFile* listFile(const std::string& path, std::size_t cap) {
    auto it = listFiles_.find(path);
    if (it == listFiles_.end()) {
      std::unique_ptr<KeyFile> parsed;
      if (!expired()) {
        if (auto text = readSmallFile(path, cap)) parsed = std::make_unique<KeyFile>(KeyFile::parse(*text));
      }
      it = listFiles_.emplace(path, std::move(parsed)).first;
    }
    return it->second.get();
  }

  static std::vector<std::string> listed(const KeyFile& file, std::string_view group,
                                         const std::string& mime) {
    const auto value = file.value(group, mime);
    return value ? splitList(*value) : std::vector<std::string>{};
  }

  // The IDs of applications/ directory `index` whose files declare `mime`: from its
  // mimeinfo.cache when that is at least as new as the directory, else by reading
  // the files.
  std::vector<std::string> idsDeclaring(std::size_t index, const std::string& mime) {
    const std::string& dir = appsDirs_[index];
    const auto dirTime = modificationTime(dir);
    if (!dirTime) return {};
    const std::string cachePath = dir + "/mimeinfo.cache";
    if (const auto cacheTime = modificationTime(cachePath); cacheTime && notOlder(*cacheTime, *dirTime)) {
      if (const KeyFile* cache = listFile(cachePath, limits_.maxCacheBytes))
        return listed(*cache, "MIME Cache", mime);
    }
    std::vector<std::string> ids;
    for (const auto& [id, types] : scanned(index)) {
      if (std::find(types.begin(), types.end(), mime) != types.end()) ids.push_back(id);
    }
    return ids;
  }

  using Scan = std::vector<std::pair<std::string, std::vector<std::string>>>;  // id, MimeType=

  const Scan& scanned(std::size_t index) {
    auto it = scans_.find(index);
    if (it != scans_.end()) return it->second;
    Scan scan;
    std::size_t files = 0;
    scanDir(appsDirs_[index], "", 0, scan, files);
    std::sort(scan.begin(), scan.end());
    return scans_.emplace(index, std::move(scan)).first->second;
  }

  void scanDir(const std::string& dir, const std::string& idPrefix, int depth, Scan& scan,
               std::size_t& files) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      if (expired() || files >= limits_.maxFilesPerDir) return;
      const std::string name = it->path().filename().string();
      if (name.empty() || name.front() == '.') continue;
      const std::string path = it->path().string();
      std::string id = idPrefix;
      id += name;
      if (endsWith(name, ".desktop")) {
        ++files;
        if (!isValidDesktopId(id)) continue;
        if (auto text = readSmallFile(path, limits_.maxFileBytes)) {
          if (auto entry = DesktopEntry::parse(*text)) scan.emplace_back(id, std::move(entry->mimeTypes));
        }
      } else if (depth < limits_.maxDepth && isDirectory(path)) {
        id += '-';
        scanDir(path, id, depth + 1, scan, files);
      }
    }
  }

  // The file of `id` under `base`: the ID itself, or with some of its '-' standing
  // for subdirectories ("kde4-app.desktop" as kde4/app.desktop).
  std::optional<std::string> locate(const std::string& base, std::string_view rest, int depth) {
    if (const std::string path = base + "/" + std::string(rest); isRegularFile(path)) return path;
    if (depth >= limits_.maxDepth) return std::nullopt;
    for (auto dash = rest.find('-'); dash != std::string_view::npos; dash = rest.find('-', dash + 1)) {
      if (dash == 0 || rest.front() == '.') continue;  // never "..", never a hidden directory
      const std::string sub = base + "/" + std::string(rest.substr(0, dash));
      if (!isDirectory(sub)) continue;
      if (auto found = locate(sub, rest.substr(dash + 1), depth + 1)) return found;
    }
    return std::nullopt;
  }

  const std::optional<Resolved>& resolve(const std::string& id) {
    auto it = resolved_.find(id);
    if (it != resolved_.end()) return it->second;
    std::optional<Resolved> result;
    if (isValidDesktopId(id)) {
      for (std::size_t i = 0; i < appsDirs_.size() && !expired(); ++i) {
        const auto path = locate(appsDirs_[i], id, 0);
        if (!path) continue;
        result = Resolved{i, std::nullopt};
        if (auto text = readSmallFile(*path, limits_.maxFileBytes)) {
          if (auto entry = DesktopEntry::parse(*text)) {
            entry->id = id;
            entry->path = *path;
            result->entry = std::move(entry);
          }
        }
        break;
      }
    }
    return resolved_.emplace(id, std::move(result)).first->second;
  }

  std::optional<HandlerLookup> launchable(const std::string& id, std::size_t requiredDir,
                                          std::string_view requiredType) {
    const auto& r = resolve(id);
    if (!r || !r->entry) return std::nullopt;
    if (requiredDir != static_cast<std::size_t>(-1) && r->appsIndex != requiredDir) return std::nullopt;
    const DesktopEntry& e = *r->entry;
    if (!requiredType.empty() && !e.handles(requiredType)) return std::nullopt;
    if (e.hidden || e.type != "Application" || e.terminal || e.exec.empty()) return std::nullopt;
    if (!e.tryExec.empty() && !findExecutable(e.tryExec, env_.searchPath)) return std::nullopt;
    const auto argv = expandExec(e, "x-probe:");
    if (!argv) return std::nullopt;
    auto program = findExecutable(argv->front(), env_.searchPath);
    if (!program) return std::nullopt;
    HandlerLookup found;
    found.status = HandlerLookup::Status::found;
    found.handler = e;
    found.program = std::move(*program);
    return found;
  }

  const XdgEnvironment& env_;
  Deadline deadline_;
  LookupLimits limits_;
  bool timedOut_ = false;
  std::vector<Level> levels_;
  std::vector<std::string> appsDirs_;
  std::map<std::string, std::unique_ptr<KeyFile>, std::less<>> listFiles_;
  std::map<std::size_t, Scan> scans_;
  std::map<std::string, std::optional<Resolved>, std::less<>> resolved_;
};

}  // namespace

HandlerLookup findDefaultApplication(const XdgEnvironment& env, std::string_view mimeType, Deadline deadline,
                                     const LookupLimits& limits) {
  return Lookup(env, deadline, limits).defaultApplication(mimeType);
}

HandlerLookup findUrlHandler(const XdgEnvironment& env, std::string_view scheme, Deadline deadline,
                             const LookupLimits& limits) {
  if (!isSchemeText(scheme)) return {};
  std::string lower(scheme);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  Lookup lookup(env, deadline, limits);
  auto found = lookup.defaultApplication("x-scheme-handler/" + lower);
  if (found.status == HandlerLookup::Status::none && (lower == "http" || lower == "https")) {
    found = lookup.defaultApplication("text/html");
  }
  return found;
}

std::optional<std::string> findExecutable(std::string_view program,
                                          const std::vector<std::string>& searchPath) {
  const auto usable = [](const std::string& path) {
    return isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
  };
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string_view::npos) {
    if (program.front() != '/') return std::nullopt;
    std::string path(program);
    return usable(path) ? std::optional(path) : std::nullopt;
  }
  for (const auto& dir : searchPath) {
    std::string path = dir + "/" + std::string(program);
    if (usable(path)) return path;
  }
  return std::nullopt;
}

}  // namespace orvane::xdg
