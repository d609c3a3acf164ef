#include "platform/qt/qt_device_info.hpp"

#include <sys/utsname.h>

#include <QString>
#include <QSysInfo>

#include "platform/xdg/os_release.hpp"

namespace orvane::qt {

namespace {

std::string systemVersionOfThisHost() {
  if (auto v = xdg::systemVersionId()) return *v;
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

}  // namespace orvane::qt
