#include "core/support/url.hpp"

namespace orvane {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool escapeAt(std::string_view text, std::size_t i) {
  return text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0;
}

}  // namespace

std::string percentEncode(std::string_view text, const CharSet& keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (keep.contains(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (escapeAt(text, i)) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool isPercentEncoded(std::string_view text, const CharSet& allowed) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      if (!escapeAt(text, i)) return false;
      i += 2;
    } else if (!allowed.contains(static_cast<unsigned char>(text[i]))) {
      return false;
    }
  }
  return true;
}

bool isUrlText(std::string_view text) { return !text.empty() && isPercentEncoded(text, kUrlCharacters); }

std::string asUrlText(std::string_view text) {
  return isUrlText(text) ? std::string(text) : percentEncode(text, kFragmentAllowed);
}

std::optional<std::string> webUrl(std::string_view text) {
  std::string url = asUrlText(text);
  std::string scheme;
  for (const char c : url.substr(0, url.find(':')))
    scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  const auto rest = std::string_view(url).substr(scheme.size());
  if ((scheme != "http" && scheme != "https") || !rest.starts_with("://")) return std::nullopt;
  const auto host = rest.substr(3, rest.find_first_of("/?#", 3) - 3);
  if (host.empty() || host.front() == ':' || host.front() == '@') return std::nullopt;
  return url;
}

}  // namespace orvane
