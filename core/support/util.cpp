#include "core/support/util.hpp"

#include <sys/utsname.h>

#include <array>
#include <utility>

#include "core/support/platform/platform.hpp"

namespace orvane::Util {

namespace {

struct ModelRow {
  std::string_view id;
  std::string_view name;
};

constexpr std::array<ModelRow, 85> kModelNames{{
    {"i386", "Simulator"},
    {"x86_64", "Simulator"},
    {"iPod1,1", "iPod Touch"},
    {"iPod2,1", "iPod Touch"},
    {"iPod3,1", "iPod Touch"},
    {"iPod4,1", "iPod Touch"},
    {"iPod5,1", "iPod Touch"},
    {"iPod7,1", "iPod Touch"},
    {"iPad1,1", "iPad"},
    {"iPad2,1", "iPad 2"},
    {"iPad2,2", "iPad 2"},
    {"iPad2,3", "iPad 2"},
    {"iPad2,4", "iPad 2"},
    {"iPad2,5", "iPad Mini"},
    {"iPad2,6", "iPad Mini"},
    {"iPad2,7", "iPad Mini"},
    {"iPad3,1", "iPad 3"},
    {"iPad3,2", "iPad 3"},
    {"iPad3,3", "iPad 3"},
    {"iPad3,4", "iPad 4"},
    {"iPad3,5", "iPad 4"},
    {"iPad3,6", "iPad 4"},
    {"iPad4,1", "iPad Air"},
    {"iPad4,2", "iPad Air"},
    {"iPad4,3", "iPad Air"},
    {"iPad4,4", "iPad Mini 2"},
    {"iPad4,5", "iPad Mini 2"},
    {"iPad4,6", "iPad Mini 2"},
    {"iPad4,7", "iPad Mini 3"},
    {"iPad4,8", "iPad Mini 3"},
    {"iPad4,9", "iPad Mini 3"},
    {"iPad5,1", "iPad Mini 4"},
    {"iPad5,2", "iPad Mini 4"},
    {"iPad5,3", "iPad Air 2"},
    {"iPad5,4", "iPad Air 2"},
    {"iPad6,11", "iPad 5"},
    {"iPad6,12", "iPad 5"},
    {"iPad6,3", "iPad Pro 9.7 Inch"},
    {"iPad6,4", "iPad Pro 9.7 Inch"},
    {"iPad6,7", "iPad Pro 12.9 Inch"},
    {"iPad6,8", "iPad Pro 12.9 Inch"},
    {"iPad7,1", "iPad Pro 12.9 Inch 2. Generation"},
    {"iPad7,2", "iPad Pro 12.9 Inch 2. Generation"},
    {"iPad7,3", "iPad Pro 10.5 Inch"},
    {"iPad7,4", "iPad Pro 10.5 Inch"},
    {"iPhone1,1", "iPhone"},
    {"iPhone1,2", "iPhone"},
    {"iPhone2,1", "iPhone"},
    {"iPhone3,1", "iPhone 4"},
    {"iPhone3,2", "iPhone 4"},
    {"iPhone3,3", "iPhone 4"},
    {"iPhone4,1", "iPhone 4s"},
    {"iPhone5,1", "iPhone 5"},
    {"iPhone5,2", "iPhone 5"},
    {"iPhone5,3", "iPhone 5c"},
    {"iPhone5,4", "iPhone 5c"},
    {"iPhone6,1", "iPhone 5s"},
    {"iPhone6,2", "iPhone 5s"},
    {"iPhone7,1", "iPhone 6 Plus"},
    {"iPhone7,2", "iPhone 6"},
    {"iPhone8,1", "iPhone 6s"},
    {"iPhone8,2", "iPhone 6s Plus"},
    {"iPhone8,4", "iPhone SE"},
    {"iPhone9,1", "iPhone 7"},
    {"iPhone9,3", "iPhone 7"},
    {"iPhone9,2", "iPhone 7 Plus"},
    {"iPhone9,4", "iPhone 7 Plus"},
    {"iPhone10,1", "iPhone 8"},
    {"iPhone10,4", "iPhone 8"},
    {"iPhone10,2", "iPhone 8 Plus"},
    {"iPhone10,5", "iPhone 8 Plus"},
    {"iPhone10,3", "iPhone X"},
    {"iPhone10,6", "iPhone X"},
    {"iPhone11,2", "iPhone XS"},
    {"iPhone11,4", "iPhone XS Max"},
    {"iPhone11,6", "iPhone XS Max"},
    {"iPhone11,8", "iPhone XR"},
    {"iPhone12,1", "iPhone 11"},
    {"iPhone12,3", "iPhone 11 Pro"},
    {"iPhone12,5", "iPhone 11 Pro Max"},
    {"iPhone12,8", "iPhone SE 2nd Gen"},
    {"iPhone13,1", "iPhone 12 Mini"},
    {"iPhone13,2", "iPhone 12"},
    {"iPhone13,3", "iPhone 12 Pro"},
    {"iPhone13,4", "iPhone 12 Pro Max"},
}};

// The machine field of uname(2), with every zero byte skipped.
std::string unameMachine() {
  struct utsname info {};
  if (::uname(&info) != 0) return {};
  std::string id;
  for (const char c : info.machine) {
    if (c != '\0') id += c;
  }
  return id;
}

}  // namespace

std::string modelNameFor(std::string_view machineIdentifier) {
  for (const auto& row : kModelNames) {
    if (row.id == machineIdentifier) return std::string(row.name);
  }
  return std::string(machineIdentifier);
}

std::string getModelName() {
  const auto platform = Platform::current();
  return modelNameFor(platform->device ? platform->device->machineIdentifier() : unameMachine());
}

void gotoAppPrivacySettings() { gotoAppPrivacySettings(*Platform::current()); }

void gotoAppPrivacySettings(const Platform& platform) {
  if (!platform.device || !platform.urlOpener) return;
  const auto url = platform.device->privacySettingsUrl();
  if (!url || url->empty()) return;
  if (!platform.urlOpener->canOpen(*url)) return;
  if (!platform.device->isSystemVersionAtLeast(10)) return;
  platform.urlOpener->open(*url, nullptr);
}

}  // namespace orvane::Util
