#include "platform/headless/file_key_value_store.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/support/files.hpp"
#include "orvane/log.hpp"

namespace orvane::headless {

namespace {

constexpr std::string_view kHeader = "orvane-settings 1\n";

void logError(const std::string& message) { Log::log(message, Log::Level::error()); }

void escape(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '%' || c == '\t' || c == '\n' || c == '\r' || c == '\0') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int hi = hexValue(text[i + 1]);
    const int lo = hexValue(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

// At most `limit` bytes of a regular file; absent when it cannot be read or is larger.
std::optional<std::string> readCapped(const std::filesystem::path& path, std::size_t limit, bool& missing) {
  missing = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    missing = errno == ENOENT;
    return std::nullopt;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > limit) {
    return std::nullopt;
  }
  std::string text(limit + 1, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > limit) return std::nullopt;  // grew while read
  text.resize(got);
  return text;
}

}  // namespace

FileKeyValueStore::FileKeyValueStore(std::filesystem::path path) : path_(std::move(path)) {
  if (path_.empty()) return;
  bool missing = false;
  if (auto text = readCapped(path_, kMaxFileBytes, missing)) {
    std::size_t skipped = 0;
    values_ = parse(*text, &skipped);
    if (skipped > 0)
      logError("FileKeyValueStore skipped " + std::to_string(skipped) + " lines of " + path_.string());
  } else if (!missing) {
    logError("FileKeyValueStore cannot read (not a regular file of at most 1 MiB) : " + path_.string());
  }
  writer_ = std::thread([this] { writerLoop(); });
}

FileKeyValueStore::~FileKeyValueStore() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (writer_.joinable()) writer_.join();
}

std::filesystem::path FileKeyValueStore::defaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::filesystem::path(config) / "orvane" / "settings";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::filesystem::path(home) / ".config" / "orvane" / "settings";
  return {};
}

std::optional<StoreValue> FileKeyValueStore::object(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(key); it != values_.end()) return it->second;
  if (auto it = defaults_.find(key); it != defaults_.end()) return it->second;
  return std::nullopt;
}

void FileKeyValueStore::setObject(std::string_view key, StoreValue value) {
  {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), std::move(value));
    changed();
  }
  wake_.notify_all();
}

void FileKeyValueStore::removeObject(std::string_view key) {
  {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return;
    values_.erase(it);
    changed();
  }
  wake_.notify_all();
}

void FileKeyValueStore::registerDefaults(const std::map<std::string, StoreValue>& defaults) {
  std::lock_guard lock(mutex_);
  for (const auto& [key, value] : defaults) defaults_.insert_or_assign(key, value);
}

void FileKeyValueStore::changed() {
  ++version_;
  if (path_.empty()) writtenVersion_ = version_;
}

bool FileKeyValueStore::flush() {
  std::unique_lock lock(mutex_);
  const std::size_t wanted = version_;
  written_.wait(lock, [&] { return writtenVersion_ >= wanted; });
  return lastWriteOk_;
}

void FileKeyValueStore::writerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || writtenVersion_ < version_; });
    if (writtenVersion_ >= version_) return;  // stopping with nothing pending
    const std::size_t version = version_;
    const std::string text = serialize(values_);
    lock.unlock();
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (!ec) std::filesystem::permissions(path_.parent_path(), std::filesystem::perms::owner_all, ec);
    const auto failure = writeFileAtomically(path_, text);
    if (failure) logError("FileKeyValueStore cannot write " + path_.string() + " : " + *failure);
    lock.lock();
    lastWriteOk_ = !failure;
    writtenVersion_ = version;
    written_.notify_all();
  }
}

std::string FileKeyValueStore::serialize(const std::map<std::string, StoreValue, std::less<>>& values) {
  std::string out(kHeader);
  for (const auto& [key, value] : values) {
    std::string text;
    char type = 's';
    if (const auto* s = std::get_if<std::string>(&value)) {
      text = *s;
    } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
      type = 'i';
      text = std::to_string(*i);
    } else if (const auto* b = std::get_if<bool>(&value)) {
      type = 'b';
      text = *b ? "1" : "0";
    } else {
      type = 'd';
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", std::get<double>(value));
      text = buffer;
    }
    out += type;
    out += '\t';
    escape(out, key);
    out += '\t';
    escape(out, text);
    out += '\n';
  }
  return out;
}

std::map<std::string, StoreValue, std::less<>> FileKeyValueStore::parse(std::string_view text,
                                                                        std::size_t* skipped) {
  std::map<std::string, StoreValue, std::less<>> values;
  std::size_t bad = 0;
  if (!text.starts_with(kHeader)) {
    if (skipped) *skipped = text.empty() ? 0 : 1;
    return values;
  }
  text.remove_prefix(kHeader.size());
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab1 != 1 || tab2 == std::string_view::npos) {
      ++bad;
      continue;
    }
    auto key = unescape(line.substr(tab1 + 1, tab2 - tab1 - 1));
    auto raw = unescape(line.substr(tab2 + 1));
    if (!key || !raw) {
      ++bad;
      continue;
    }
    const char* first = raw->data();
    const char* last = raw->data() + raw->size();
    switch (line[0]) {
      case 's':
        values.insert_or_assign(std::move(*key), StoreValue{std::move(*raw)});
        break;
      case 'i': {
        std::int64_t v = 0;
        const auto r = std::from_chars(first, last, v);
        if (r.ec != std::errc() || r.ptr != last) {
          ++bad;
          break;
        }
        values.insert_or_assign(std::move(*key), StoreValue{v});
        break;
      }
      case 'b':
        if (*raw != "0" && *raw != "1") {
          ++bad;
          break;
        }
        values.insert_or_assign(std::move(*key), StoreValue{*raw == "1"});
        break;
      case 'd': {
        char* stop = nullptr;
        const double v = std::strtod(raw->c_str(), &stop);
        if (raw->empty() || stop != raw->c_str() + raw->size()) {
          ++bad;
          break;
        }
        values.insert_or_assign(std::move(*key), StoreValue{v});
        break;
      }
      default:
        ++bad;
    }
  }
  if (skipped) *skipped = bad;
  return values;
}

}  // namespace orvane::headless
