#include "platform/xdg/desktop_entry.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace orvane::xdg {

namespace {

std::string_view trim(std::string_view s) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool isTrue(std::optional<std::string_view> v) { return v && trim(*v) == "true"; }

std::string text(std::optional<std::string_view> v) { return v ? unescapeValue(trim(*v)) : std::string(); }

bool hasFieldCode(std::string_view t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '%') continue;
    if (i + 1 < t.size() && t[i + 1] == '%') {
      ++i;
      continue;
    }
    return true;
  }
  return false;
}

}  // namespace

KeyFile KeyFile::parse(std::string_view text) {
  KeyFile file;
  // Indexes, so that a cache of many thousand lines (or a hostile one) stays linear.
  std::vector<std::unordered_set<std::string_view>> seen;
  std::unordered_map<std::string_view, std::size_t> groupIndex;
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t current = kNone;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = trim(line);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      current = kNone;  // a broken header: its keys belong to no group
      if (close == std::string_view::npos) continue;
      const auto name = line.substr(1, close - 1);
      const auto [it, added] = groupIndex.try_emplace(name, file.groups_.size());
      if (added) {
        file.groups_.emplace_back(std::string(name), Group{});
        seen.emplace_back();
      }
      current = it->second;
      continue;
    }
    const auto eq = line.find('=');
    if (current == kNone || eq == std::string_view::npos) continue;
    const auto key = trim(line.substr(0, eq));
    if (key.empty() || !seen[current].insert(key).second) continue;
    file.groups_[current].second.emplace_back(std::string(key), std::string(trim(line.substr(eq + 1))));
  }
  return file;
}

const KeyFile::Group* KeyFile::group(std::string_view name) const {
  for (const auto& g : groups_) {
    if (g.first == name) return &g.second;
  }
  return nullptr;
}

std::optional<std::string_view> KeyFile::value(std::string_view groupName, std::string_view key) const {
  const Group* g = group(groupName);
  if (!g) return std::nullopt;
  for (const auto& kv : *g) {
    if (kv.first == key) return std::string_view(kv.second);
  }
  return std::nullopt;
}

const std::string& KeyFile::firstGroup() const {
  static const std::string none;
  return groups_.empty() ? none : groups_.front().first;
}

std::string unescapeValue(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    switch (raw[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += raw[i];
    }
  }
  return out;
}

std::vector<std::string> splitList(std::string_view raw) {
  std::vector<std::string> items;
  std::string item;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == ';') {
      item += ';';
      ++i;
    } else if (raw[i] == ';') {
      if (auto v = unescapeValue(trim(item)); !v.empty()) items.push_back(std::move(v));
      item.clear();
    } else {
      item += raw[i];
    }
  }
  if (auto v = unescapeValue(trim(item)); !v.empty()) items.push_back(std::move(v));
  return items;
}

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view content) {
  static constexpr std::string_view kGroup = "Desktop Entry";
  const auto file = KeyFile::parse(content);
  if (file.firstGroup() != kGroup) return std::nullopt;
  const auto get = [&](std::string_view key) { return file.value(kGroup, key); };
  DesktopEntry e;
  e.type = text(get("Type"));
  e.name = text(get("Name"));
  e.exec = text(get("Exec"));
  e.tryExec = text(get("TryExec"));
  e.icon = text(get("Icon"));
  e.workingDirectory = text(get("Path"));
  if (const auto types = get("MimeType")) e.mimeTypes = splitList(*types);
  e.hidden = isTrue(get("Hidden"));
  e.noDisplay = isTrue(get("NoDisplay"));
  e.terminal = isTrue(get("Terminal"));
  return e;
}

bool DesktopEntry::handles(std::string_view mimeType) const {
  return std::find(mimeTypes.begin(), mimeTypes.end(), mimeType) != mimeTypes.end();
}

std::optional<std::vector<ExecArgument>> splitExec(std::string_view exec) {
  std::vector<ExecArgument> args;
  std::optional<ExecArgument> current;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (current) args.push_back(std::move(*current));
      current.reset();
      continue;
    }
    if (!current) current.emplace();
    if (c != '"') {
      current->text += c;
      continue;
    }
    current->quoted = true;
    for (++i;; ++i) {
      if (i >= exec.size()) return std::nullopt;
      if (exec[i] == '"') break;
      if (exec[i] == '\\' && i + 1 < exec.size() &&
          std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
        ++i;
      }
      current->text += exec[i];
    }
  }
  if (current) args.push_back(std::move(*current));
  return args;
}

std::optional<std::vector<std::string>> expandExec(const DesktopEntry& entry, std::string_view url) {
  const auto args = splitExec(entry.exec);
  if (!args || args->empty()) return std::nullopt;
  std::vector<std::string> argv;
  bool urlPlaced = false;
  for (const auto& arg : *args) {
    if (arg.quoted) {
      std::string literal;
      for (std::size_t i = 0; i < arg.text.size(); ++i) {
        if (arg.text[i] == '%') {
          if (i + 1 >= arg.text.size() || arg.text[i + 1] != '%') return std::nullopt;
          ++i;
        }
        literal += arg.text[i];
      }
      argv.push_back(std::move(literal));
      continue;
    }
    const std::string& t = arg.text;
    // The program itself never comes from a field code.
    if (argv.empty() && hasFieldCode(t)) return std::nullopt;
    if (t == "%U" || t == "%F" || t == "%u" || t == "%f") {
      if (!urlPlaced) argv.emplace_back(url);
      urlPlaced = true;
      continue;
    }
    if (t == "%i") {
      if (!entry.icon.empty()) {
        argv.emplace_back("--icon");
        argv.push_back(entry.icon);
      }
      continue;
    }
    std::string out;
    bool dropped = false;  // an argument that was only deprecated codes goes away
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (t[i] != '%') {
        out += t[i];
        continue;
      }
      if (i + 1 >= t.size()) return std::nullopt;
      switch (t[++i]) {
        case '%':
          out += '%';
          break;
        case 'u':
        case 'f':
          if (!urlPlaced) out += url;
          urlPlaced = true;
          break;
        case 'c':
          out += entry.name;
          break;
        case 'k':
          out += entry.path;
          break;
        case 'd':
        case 'D':
        case 'n':
        case 'N':
        case 'v':
        case 'm':
          dropped = true;
          break;
        default:  // %U %F %i inside a word, or an unknown code
          return std::nullopt;
      }
    }
    if (!out.empty() || !dropped) argv.push_back(std::move(out));
  }
  if (argv.empty() || argv.front().empty()) return std::nullopt;
  if (!urlPlaced) argv.emplace_back(url);
  return argv;
}

}  // namespace orvane::xdg
