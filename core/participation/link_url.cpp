#include "core/participation/link_url.hpp"

#include <string_view>

#include "core/support/url.hpp"

namespace orvane {

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isFragmentAllowed(char c) {
  return isAlpha(c) || isDigit(c) ||
         std::string_view("!$&'()*+,-./:;=?@_~").find(c) != std::string_view::npos;
}

// Characters a URL may hold literally, '%' and the delimiters included.
bool isUrlCharacter(char c) { return isFragmentAllowed(c) || c == '%' || c == '#' || c == '[' || c == ']'; }

// The end of the scheme's ':' when the text starts with a scheme, 0 when it has none,
// npos when the part before the first ':' cannot be a scheme.
std::size_t schemeEnd(std::string_view text) {
  const auto colon = text.find(':');
  const auto delimiter = text.find_first_of("/?#");
  if (colon == std::string_view::npos || (delimiter != std::string_view::npos && delimiter < colon)) return 0;
  if (colon == 0 || !isAlpha(text[0])) return std::string_view::npos;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = text[i];
    if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return std::string_view::npos;
  }
  return colon + 1;
}

}  // namespace

bool parsesAsUrl(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!isUrlCharacter(text[i])) return false;
    if (text[i] == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return false;
  }
  const auto hash = text.find('#');
  if (hash != std::string_view::npos && text.find('#', hash + 1) != std::string_view::npos) return false;

  const auto afterScheme = schemeEnd(text);
  if (afterScheme == std::string_view::npos) return false;
  std::size_t authorityEnd = afterScheme;
  if (text.substr(afterScheme, 2) == "//") {
    authorityEnd = text.find_first_of("/?#", afterScheme + 2);
    if (authorityEnd == std::string_view::npos) authorityEnd = text.size();
  }
  return text.find_first_of("[]", authorityEnd) == std::string_view::npos;
}

std::string percentEncodeFragmentAllowed(std::string_view text) {
  return percentEncode(text, kFragmentAllowed);
}

std::optional<std::string> openableLink(std::string_view text) {
  if (parsesAsUrl(text)) return std::string(text);
  auto encoded = percentEncodeFragmentAllowed(text);
  if (parsesAsUrl(encoded)) return encoded;
  return std::nullopt;
}

}  // namespace orvane
