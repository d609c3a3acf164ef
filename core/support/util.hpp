#pragma once

#include <string>
#include <string_view>

namespace orvane {
struct Platform;
}

namespace orvane::Util {

// The device's marketing name from its machine identifier; an unknown identifier
// comes back unchanged.
std::string getModelName();
std::string modelNameFor(std::string_view machineIdentifier);

// Opens the application's privacy settings page when the platform has one (on the
// desktop: the tracking-consent dialog again). Main thread. Without an argument, on
// the installed platform.
void gotoAppPrivacySettings();
void gotoAppPrivacySettings(const Platform& platform);

}  // namespace orvane::Util
