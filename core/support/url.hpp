#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// URL text: percent-encoding with a character set of the caller's choice, and the
// checks of what a URL may hold. Every encoder and URL check of the SDK is one of these.
namespace orvane {

// The bytes that percent-encoding keeps as they are.
class CharSet {
 public:
  // ASCII letters and digits, and the characters of `extra`.
  static constexpr CharSet alphanumericAnd(std::string_view extra) {
    CharSet set;
    for (unsigned c = 'a'; c <= 'z'; ++c) set.bits_[c] = true;
    for (unsigned c = 'A'; c <= 'Z'; ++c) set.bits_[c] = true;
    for (unsigned c = '0'; c <= '9'; ++c) set.bits_[c] = true;
    return set.with(extra);
  }
  constexpr CharSet with(std::string_view extra) const {
    CharSet set = *this;
    for (const char c : extra) set.bits_[static_cast<unsigned char>(c)] = true;
    return set;
  }
  constexpr bool contains(unsigned char c) const { return bits_[c]; }

 private:
  std::array<bool, 256> bits_{};
};

// RFC 3986's unreserved characters: what a query name or value keeps.
inline constexpr CharSet kUnreserved = CharSet::alphanumericAnd("-._~");
// What a URL fragment may hold literally (no '%' and no '#').
inline constexpr CharSet kFragmentAllowed = kUnreserved.with("!$&'()*+,;=:@/?");
// What a host may hold literally: the image cache keys keep these, so that a URL
// becomes one file name ('/' and '%' encoded).
inline constexpr CharSet kHostAllowed = kUnreserved.with("!$&'()*+,;=:[]");
// Every character a URL may hold literally, its delimiters included.
inline constexpr CharSet kUrlCharacters = kFragmentAllowed.with("#[]");

// Every byte outside `keep` as %XX (upper-case hex).
std::string percentEncode(std::string_view text, const CharSet& keep = kUnreserved);
// %XX escapes back to their bytes; a '%' without two hex digits stays as it is.
std::string percentDecode(std::string_view text);
// Whether every byte of `text` is in `allowed` or starts a well-formed %XX escape.
bool isPercentEncoded(std::string_view text, const CharSet& allowed);

// Non-empty text of URL characters only (kUrlCharacters and %XX escapes); says nothing
// about its structure (link_url.hpp's parsesAsUrl does).
bool isUrlText(std::string_view text);
// `text` as URL text: unchanged when it is, else with everything outside the
// fragment-allowed characters percent-encoded ('%' and '#' included).
std::string asUrlText(std::string_view text);
// An address the SDK may download from: `text` as URL text, when that is an http or
// https URL with a host; absent otherwise. Server data never names a local file this way.
std::optional<std::string> webUrl(std::string_view text);

}  // namespace orvane
