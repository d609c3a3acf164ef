#include "core/screens/reward_text.hpp"

#include <cmath>
#include <cstdio>
#include <vector>

namespace orvane {

namespace {

std::string group(std::string_view digits, const DecimalStyle& style) {
  if (style.groupSize <= 0 || digits.size() <= static_cast<std::size_t>(style.groupSize)) {
    return std::string(digits);
  }
  const auto size = static_cast<std::size_t>(style.groupSize);
  std::string out;
  std::size_t first = digits.size() % size;
  if (first == 0) first = size;
  out.append(digits.substr(0, first));
  for (std::size_t i = first; i < digits.size(); i += size) {
    out.append(style.groupSeparator);
    out.append(digits.substr(i, size));
  }
  return out;
}

}  // namespace

std::string formatDecimal(double value, const DecimalStyle& style) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? style.minusSign + "∞" : "∞";

  // %.3f rounds on the exact binary value; a large buffer covers every finite double.
  std::vector<char> buffer(400);
  const int n = std::snprintf(buffer.data(), buffer.size(), "%.3f", std::fabs(value));
  std::string text(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);

  const auto dot = text.find('.');
  std::string integer = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();

  std::string out;
  // No "-0": a value that rounds to zero is shown as zero.
  if (value < 0 && !(integer == "0" && fraction.empty())) out = style.minusSign;
  out += group(integer, style);
  if (!fraction.empty()) {
    out += style.decimalSeparator;
    out += fraction;
  }
  return out;
}

std::string formatDecimal(long long value, const DecimalStyle& style) {
  // Through the unsigned magnitude so that the smallest value does not overflow.
  const unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  std::string out = value < 0 ? style.minusSign : std::string();
  out += group(std::to_string(magnitude), style);
  return out;
}

std::string rewardText(double price, std::string_view mark, const DecimalStyle& style) {
  std::string out = formatDecimal(price, style);
  out += ' ';
  out.append(mark);
  return out;
}

}  // namespace orvane
