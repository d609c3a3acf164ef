#include "core/api/decode_number.hpp"

#include <cstddef>

namespace orvane {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Positions of the parts of a number token; fracBegin == fracEnd when there is no fraction.
struct NumberParts {
  bool negative = false;
  std::size_t intBegin = 0, intEnd = 0, fracBegin = 0, fracEnd = 0;
  std::int64_t exponent = 0;  // saturated, so that absurd exponents cannot overflow
};

bool splitNumber(std::string_view s, NumberParts& p) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  if (i < n && s[i] == '-') {
    p.negative = true;
    ++i;
  }
  p.intBegin = i;
  if (i >= n || !isDigit(s[i])) return false;
  if (s[i] == '0') {
    ++i;
  } else {
    while (i < n && isDigit(s[i])) ++i;
  }
  p.intEnd = i;
  p.fracBegin = p.fracEnd = i;
  if (i < n && s[i] == '.') {
    ++i;
    p.fracBegin = i;
    while (i < n && isDigit(s[i])) ++i;
    p.fracEnd = i;
    if (p.fracBegin == p.fracEnd) return false;
  }
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negativeExp = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) negativeExp = s[i++] == '-';
    if (i >= n || !isDigit(s[i])) return false;
    constexpr std::int64_t kCap = 1'000'000'000'000LL;
    std::int64_t e = 0;
    while (i < n && isDigit(s[i])) {
      if (e < kCap) e = e * 10 + (s[i] - '0');
      ++i;
    }
    p.exponent = negativeExp ? -e : e;
  }
  return i == n;
}

}  // namespace

bool isJsonNumber(std::string_view token) {
  NumberParts p;
  return splitNumber(token, p);
}

JsonInteger readJsonInteger(std::string_view token) {
  NumberParts p;
  if (!splitNumber(token, p)) return {};

  // The significant digits are the integer digits followed by the fraction digits; the value
  // is digits * 10^(exponent - fraction length).
  const std::size_t intLen = p.intEnd - p.intBegin;
  const std::size_t total = intLen + (p.fracEnd - p.fracBegin);
  auto digit = [&](std::size_t k) {
    return k < intLen ? token[p.intBegin + k] : token[p.fracBegin + k - intLen];
  };

  std::size_t first = 0;
  while (first < total && digit(first) == '0') ++first;
  if (first == total) return {JsonInteger::Status::integer, 0};
  std::size_t last = total;  // one past the last non-zero digit
  while (digit(last - 1) == '0') --last;

  const std::int64_t scale = p.exponent - static_cast<std::int64_t>(p.fracEnd - p.fracBegin) +
                             static_cast<std::int64_t>(total - last);
  if (scale < 0) return {JsonInteger::Status::fractional, 0};
  const std::size_t digits = last - first;
  // 19 digits always fit in uint64; anything longer exceeds 2^63.
  if (static_cast<std::int64_t>(digits) + scale > 19) return {JsonInteger::Status::outOfRange, 0};

  std::uint64_t magnitude = 0;
  for (std::size_t k = first; k < last; ++k)
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit(k) - '0');
  for (std::int64_t k = 0; k < scale; ++k) magnitude *= 10;

  constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
  if (p.negative) {
    if (magnitude > kLimit) return {JsonInteger::Status::outOfRange, 0};
    return {JsonInteger::Status::integer, static_cast<std::int64_t>(0 - magnitude)};
  }
  if (magnitude >= kLimit) return {JsonInteger::Status::outOfRange, 0};
  return {JsonInteger::Status::integer, static_cast<std::int64_t>(magnitude)};
}

}  // namespace orvane
