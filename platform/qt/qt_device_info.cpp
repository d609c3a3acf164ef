#include "platform/qt/qt_device_info.hpp"

#include <sys/utsname.h>

#include <QString>
#include <QSysInfo>
#include <fstream>
#include <sstream>

namespace orvane::qt {

namespace {

std::string readFile(const char* path) {
  std::ifstream in(path);
  if (!in) return {};
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string systemVersionOfThisHost() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    if (auto v = QtDeviceInfo::versionIdFromOsRelease(readFile(path))) return *v;
  }
  return QSysInfo::productVersion().toStdString();
}

std::string machineOfThisHost() {
  utsname u{};
  if (uname(&u) != 0) return QSysInfo::currentCpuArchitecture().toStdString();
  return u.machine;
}

}  // namespace

QtDeviceInfo::QtDeviceInfo(std::shared_ptr<KeyValueStore> store)
    : systemVersion_(systemVersionOfThisHost()),
      machine_(machineOfThisHost()),
      vendorId_(std::move(store), kVendorIdKey) {}

std::optional<std::string> QtDeviceInfo::versionIdFromOsRelease(std::string_view text) {
  constexpr std::string_view kField = "VERSION_ID=";
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, kField.size()) != kField) continue;
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

}  // namespace orvane::qt
