#include "core/support/platform/key_value_store.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace orvane {

namespace {

std::optional<std::int64_t> parseInteger(const std::string& s) {
  std::int64_t v = 0;
  const char* end = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(s.data(), end, v);
  if (ec != std::errc{} || ptr == s.data()) return std::nullopt;
  return v;
}

std::int64_t clampToInteger(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
  if (d <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

}  // namespace

std::optional<std::string> KeyValueStore::string(std::string_view key) const {
  auto v = object(key);
  if (!v) return std::nullopt;
  // Numbers and flags read as their text, as the phone platform's store does.
  if (auto* s = std::get_if<std::string>(&*v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&*v)) return std::to_string(*i);
  if (auto* b = std::get_if<bool>(&*v)) return *b ? "1" : "0";
  return std::nullopt;
}

std::int64_t KeyValueStore::integer(std::string_view key) const {
  auto v = object(key);
  if (!v) return 0;
  if (auto* i = std::get_if<std::int64_t>(&*v)) return *i;
  if (auto* b = std::get_if<bool>(&*v)) return *b ? 1 : 0;
  if (auto* d = std::get_if<double>(&*v)) return clampToInteger(*d);
  if (auto* s = std::get_if<std::string>(&*v)) return parseInteger(*s).value_or(0);
  return 0;
}

bool KeyValueStore::boolean(std::string_view key) const {
  auto v = object(key);
  if (!v) return false;
  if (auto* b = std::get_if<bool>(&*v)) return *b;
  if (auto* i = std::get_if<std::int64_t>(&*v)) return *i != 0;
  if (auto* d = std::get_if<double>(&*v)) return *d != 0.0;
  if (auto* s = std::get_if<std::string>(&*v)) {
    if (*s == "true" || *s == "YES" || *s == "yes") return true;
    return parseInteger(*s).value_or(0) != 0;
  }
  return false;
}

std::optional<double> KeyValueStore::number(std::string_view key) const {
  auto v = object(key);
  if (!v) return std::nullopt;
  if (auto* d = std::get_if<double>(&*v)) return *d;
  if (auto* i = std::get_if<std::int64_t>(&*v)) return static_cast<double>(*i);
  return std::nullopt;
}

}  // namespace orvane
