#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::xdg {

// VERSION_ID of an os-release text, its quotes removed; absent when there is none or
// it is empty.
std::optional<std::string> versionIdFromOsRelease(std::string_view text);

// VERSION_ID of this system: /etc/os-release, else /usr/lib/os-release. Reads at most
// 64 KiB of each (os-release is a few hundred bytes).
std::optional<std::string> systemVersionId();

}  // namespace orvane::xdg
