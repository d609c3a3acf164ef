#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sandbox {

struct MultipartPart {
  std::string name;
  std::optional<std::string> fileName;  // present for file parts, even when empty
  std::string contentType;              // empty when the part names none
  std::string data;
};

struct MultipartResult {
  std::vector<MultipartPart> parts;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
};

// The boundary named by a multipart/form-data Content-Type, or nullopt when the type is
// another one or names no usable boundary. Quoted boundaries are unquoted.
std::optional<std::string> multipartBoundary(std::string_view contentType);

// Parses a multipart/form-data body delimited by `boundary`. Strict about the framing
// (CRLF line ends, a closing delimiter) so that truncated uploads are reported, not stored.
MultipartResult parseMultipart(std::string_view body, std::string_view boundary);

}  // namespace orvane::sandbox
