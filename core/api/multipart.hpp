#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace orvane {

// A form field's value: text, or an integer sent as its decimal text.
using FormValue = std::variant<std::string, std::int64_t>;
// Form fields in the order they are written.
using FormFields = std::vector<std::pair<std::string, FormValue>>;

// An already encoded file of a multipart body.
struct FilePart {
  std::string fieldName;
  std::string fileName;
  std::string contentType;
  std::string data;
};

// The multipart/form-data body the server expects.
class Multipart {
 public:
  // The server's usual boundary; kept whenever it is safe.
  static constexpr std::string_view kDefaultBoundary = "^-----^";

  // The default boundary unless it occurs in some part (a typed text, a name or
  // the bytes of a file): then a fresh random one that occurs in none, so that no
  // user text can close a part early and forge fields of its own.
  static std::string chooseBoundary(const FormFields& fields, const std::vector<FilePart>& files);

  // Fields first, then files, each as "--B" CRLF, headers, CRLF, content, CRLF;
  // closed by "--B--" CRLF. The caller picks a boundary that occurs in no part.
  static std::string encode(const FormFields& fields, const std::vector<FilePart>& files,
                            std::string_view boundary);

  // A name or file name inside a quoted header parameter: '"', CR and LF become
  // %22, %0D and %0A, as browsers write them, so a name never ends the header.
  static std::string escapeHeaderValue(std::string_view text);

  static std::string valueText(const FormValue& value);
};

}  // namespace orvane
