#pragma once

#include <string_view>
#include <unordered_map>

namespace orvane {

// Lower-case extension (no dot) -> MIME type. Built once on first use; never changes.
const std::unordered_map<std::string_view, std::string_view>& mimeTypes();

inline constexpr std::string_view kDefaultMimeType = "application/octet-stream";

}  // namespace orvane
