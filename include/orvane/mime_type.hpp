#pragma once

#include <string>
#include <string_view>

namespace orvane {

// MIME type by file-name extension (lower-cased), "application/octet-stream" when unknown.
// For a path: the extension of its last component, taken as plain text.
std::string mimeType(std::string_view path);
// For a URL: the extension of its path; query and fragment are not part of it.
std::string mimeTypeOfUrl(std::string_view url);
// The table's row for a lower-case extension without the dot, or empty.
std::string_view mimeTypeForExtension(std::string_view extension);

}  // namespace orvane
