#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orvane {

// A value as the store keeps it. Dates are seconds since the Unix epoch (double).
using StoreValue = std::variant<std::string, std::int64_t, bool, double>;

// The host's per-application key-value settings, with a registration domain of
// defaults that lives only in memory. Safe to call from any thread.
//
// Look-up order: a written value, else a registered default, else absent.
class KeyValueStore {
 public:
  virtual ~KeyValueStore() = default;

  virtual std::optional<StoreValue> object(std::string_view key) const = 0;
  virtual void setObject(std::string_view key, StoreValue value) = 0;
  virtual void removeObject(std::string_view key) = 0;
  // Replaces the registered defaults of the given keys; never written to disk.
  virtual void registerDefaults(const std::map<std::string, StoreValue>& defaults) = 0;

  // Typed accessors with the platform's conversions: a missing string reads as
  // absent, a missing integer as 0, a missing Boolean as false.
  std::optional<std::string> string(std::string_view key) const;
  std::int64_t integer(std::string_view key) const;
  bool boolean(std::string_view key) const;
  std::optional<double> number(std::string_view key) const;

  void setString(std::string_view key, std::string value) { setObject(key, StoreValue{std::move(value)}); }
  void setInteger(std::string_view key, std::int64_t value) { setObject(key, StoreValue{value}); }
  void setBool(std::string_view key, bool value) { setObject(key, StoreValue{value}); }
  void setNumber(std::string_view key, double value) { setObject(key, StoreValue{value}); }
};

}  // namespace orvane
