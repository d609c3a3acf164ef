#include "platform/xdg/xdg_environment.hpp"

#include <cstdlib>
#include <string_view>

namespace orvane::xdg {

namespace {

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find(separator, start), text.size());
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool isAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::vector<std::string> absoluteDirs(const std::optional<std::string>& value, std::string_view fallback) {
  std::vector<std::string> dirs;
  const std::string_view text = value && !value->empty() ? std::string_view(*value) : fallback;
  for (auto& part : split(text, ':')) {
    if (isAbsolute(part)) dirs.push_back(withoutTrailingSlashes(std::move(part)));
  }
  return dirs;
}

std::string homeDir(const std::optional<std::string>& value, const std::optional<std::string>& home,
                    std::string_view underHome) {
  if (value && isAbsolute(*value)) return withoutTrailingSlashes(*value);
  if (home && isAbsolute(*home)) return withoutTrailingSlashes(*home) + std::string(underHome);
  return {};
}

}  // namespace

XdgEnvironment XdgEnvironment::from(const Getenv& getenv) {
  XdgEnvironment env;
  const auto home = getenv("HOME");
  env.configHome = homeDir(getenv("XDG_CONFIG_HOME"), home, "/.config");
  env.dataHome = homeDir(getenv("XDG_DATA_HOME"), home, "/.local/share");
  env.configDirs = absoluteDirs(getenv("XDG_CONFIG_DIRS"), "/etc/xdg");
  env.dataDirs = absoluteDirs(getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share");
  if (const auto desktops = getenv("XDG_CURRENT_DESKTOP")) {
    for (auto& name : split(*desktops, ':')) {
      if (name.empty() || name.find('/') != std::string::npos) continue;
      for (auto& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      env.desktops.push_back(std::move(name));
    }
  }
  // Empty PATH entries mean the working directory; a launcher must not look there.
  env.searchPath = absoluteDirs(getenv("PATH"), "/usr/local/bin:/usr/bin:/bin");
  return env;
}

XdgEnvironment XdgEnvironment::fromProcess() {
  return from([](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): GUI thread, by contract
    if (!value) return std::nullopt;
    return std::string(value);
  });
}

}  // namespace orvane::xdg
