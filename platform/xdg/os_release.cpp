#include "platform/xdg/os_release.hpp"

#include <array>
#include <cstdio>

namespace orvane::xdg {

namespace {

std::string readSmallFile(const char* path) {
  std::string text;
  if (std::FILE* f = std::fopen(path, "re")) {
    std::array<char, 4096> buffer{};
    while (text.size() < 65536) {
      const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
      if (n == 0) break;
      text.append(buffer.data(), n);
    }
    std::fclose(f);
  }
  return text;
}

}  // namespace

std::optional<std::string> versionIdFromOsRelease(std::string_view text) {
  constexpr std::string_view kField = "VERSION_ID=";
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.starts_with(kField)) continue;
    std::string_view value = line.substr(kField.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    if (value.empty()) return std::nullopt;
    return std::string(value);
  }
  return std::nullopt;
}

std::optional<std::string> systemVersionId() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    if (auto v = versionIdFromOsRelease(readSmallFile(path))) return v;
  }
  return std::nullopt;
}

}  // namespace orvane::xdg
