#pragma once

#include <string>
#include <string_view>

#include "orvane/export.hpp"

// The SDK's MIME table (the types of the files it uploads). Pure; any thread.
namespace orvane {

// MIME type by file-name extension (lower-cased), "application/octet-stream" when unknown.
// For a path: the extension of its last component, taken as plain text.
ORVANE_EXPORT std::string mimeType(std::string_view path);
// For a URL: the extension of its path; query and fragment are not part of it.
ORVANE_EXPORT std::string mimeTypeOfUrl(std::string_view url);
// The table's row for a lower-case extension without the dot, or empty.
ORVANE_EXPORT std::string_view mimeTypeForExtension(std::string_view extension);

}  // namespace orvane
