#pragma once

// What the two JSON readers (dom_reader.hpp, on_demand_reader.hpp) share: the outcome of
// reading one value, the padded input, the key lookup and the field rules that turn a record's
// description (record_fields.hpp) into per-field readers. Each reader supplies `readValue`
// overloads for its own value type and context; they are found by argument-dependent lookup.

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "core/api/record_fields.hpp"

namespace orvane::records {

// Values nested deeper than this fail the decode, in both readers.
constexpr int kMaxDepth = 512;

// How reading one value ended.
enum class Outcome {
  taken,     // the value had the wanted type and was stored
  null,      // JSON null
  mismatch,  // valid JSON of another type
  broken,    // not valid JSON (or nested too deep), or the fast reader cannot settle it
};

enum class Wanted { integer, number, string, array, object };
enum class Found {
  array,
  object,
  number,
  string,
  boolean,
  null,
  fraction,
  beyondInt64,
  beyondDouble,
  badUtf8
};

// A copy of the body with the zeroed padding that simdjson reads past the end; reused across
// decodes so that its allocation is not paid per body.
class PaddedBuffer {
 public:
  void load(std::string_view text) {
    const std::size_t needed = text.size() + simdjson::SIMDJSON_PADDING;
    if (needed > capacity_) {
      buffer_ = std::make_unique<char[]>(needed);
      capacity_ = needed;
    }
    if (!text.empty()) std::memcpy(buffer_.get(), text.data(), text.size());
    std::memset(buffer_.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
    size_ = text.size();
  }
  const char* data() const { return buffer_.get(); }
  std::size_t size() const { return size_; }
  simdjson::padded_string_view view() const {
    return simdjson::padded_string_view(buffer_.get(), size_, capacity_);
  }

 private:
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

template <Described R>
inline constexpr auto kKeys = std::apply(
    [](const auto&... field) { return std::array<std::string_view, sizeof...(field)>{field.key...}; },
    Fields<R>::fields);

// Keys are short: two overlapping word loads compare them without a call to memcmp.
inline bool sameKey(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n >= 8 && n <= 16) {
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a.data(), 8);
    std::memcpy(&b0, b.data(), 8);
    std::memcpy(&a1, a.data() + n - 8, 8);
    std::memcpy(&b1, b.data() + n - 8, 8);
    return a0 == b0 && a1 == b1;
  }
  if (n >= 4 && n < 8) {
    std::uint32_t a0, a1, b0, b1;
    std::memcpy(&a0, a.data(), 4);
    std::memcpy(&b0, b.data(), 4);
    std::memcpy(&a1, a.data() + n - 4, 4);
    std::memcpy(&b1, b.data() + n - 4, 4);
    return a0 == b0 && a1 == b1;
  }
  return std::memcmp(a.data(), b.data(), n) == 0;
}

// The index of a key's field, kFieldCount<R> when the record has no such field. The slot
// after the previous match is tried first, since servers keep a stable key order.
template <Described R>
std::size_t findField(std::string_view key, std::size_t& hint) {
  constexpr auto& keys = kKeys<R>;
  constexpr std::size_t n = keys.size();
  std::size_t id = n;
  if (hint < n && sameKey(keys[hint], key)) {
    id = hint;
  } else {
    for (std::size_t k = 0; k < n; ++k) {
      if (sameKey(keys[k], key)) {
        id = k;
        break;
      }
    }
  }
  if (id < n) hint = id + 1;
  return id;
}

// Strict field: null makes it absent, anything else of the wrong type fails the record.
template <class V, class T, class C>
Outcome strictField(V& v, std::optional<T>& field, C& c) {
  const Outcome o = readValue(v, field.emplace(), c);
  if (o == Outcome::taken) return o;
  field.reset();
  return o == Outcome::null ? Outcome::taken : o;
}

// Tolerant field: anything but its own type gives the fallback.
template <class V, class T, class F, class C>
Outcome tolerantField(V& v, T& field, const F& fallback, C& c) {
  const Outcome o = readValue(v, field, c);
  if (o == Outcome::taken || o == Outcome::broken) return o;
  field = fallback;
  return Outcome::taken;
}

template <class V, class T, class C>
Outcome tolerantField(V& v, std::optional<T>& field, std::nullopt_t, C& c) {
  const Outcome o = readValue(v, field.emplace(), c);
  if (o == Outcome::taken) return o;
  field.reset();
  return o == Outcome::broken ? o : Outcome::taken;
}

// Reads field I of record R by its rule: taken, mismatch (strict only) or broken.
template <Described R, std::size_t I, class V, class C>
Outcome readField(V& v, R& record, C& c) {
  constexpr const auto& field = std::get<I>(Fields<R>::fields);
  constexpr auto member = field.member;
  if constexpr (field.strict) {
    return strictField(v, record.*member, c);
  } else {
    return tolerantField(v, record.*member, field.fallback, c);
  }
}

// One reader per field of R, indexed like kKeys<R>.
template <Described R, class V, class C>
inline constexpr auto kFieldReaders = []<std::size_t... I>(std::index_sequence<I...>) {
  return std::array<Outcome (*)(V&, R&, C&), sizeof...(I)>{&readField<R, I, V, C>...};
}
(std::make_index_sequence<kFieldCount<R>>{});

}  // namespace orvane::records
