#include "core/api/decode_utf8.hpp"

namespace orvane {
namespace {

// Length of the well-formed sequence starting at `s[i]`, or of its maximal ill-formed prefix
// (at least 1) with `valid` false.
std::size_t sequenceAt(std::string_view s, std::size_t i, bool& valid) {
  const auto b = static_cast<unsigned char>(s[i]);
  valid = true;
  if (b < 0x80) return 1;
  std::size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
  } else {
    valid = false;
    return 1;
  }
  for (std::size_t k = 1; k < len; ++k) {
    if (i + k >= s.size()) {
      valid = false;
      return k;
    }
    const auto c = static_cast<unsigned char>(s[i + k]);
    const bool ok = k == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
    if (!ok) {
      valid = false;
      return k;
    }
  }
  return len;
}

}  // namespace

std::string repairUtf8(std::string_view text, std::vector<std::size_t>* repairs) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size() + 16);
  std::size_t i = 0;
  while (i < text.size()) {
    bool valid = false;
    const std::size_t len = sequenceAt(text, i, valid);
    if (valid) {
      out.append(text.substr(i, len));
    } else {
      if (repairs) repairs->push_back(out.size());
      out.append(kReplacement);
    }
    i += len;
  }
  return out;
}

}  // namespace orvane
