#pragma once

// The fast reader: simdjson's SIMD DOM parser. It never describes a failure; anything it
// cannot settle exactly (a parse error, a number whose text decides its type, a strict field
// whose last occurrence has the wrong type) ends it, and the on-demand reader decides.

#include <simdjson.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/api/record_reading.hpp"

namespace orvane::records {

namespace dom = simdjson::dom;

struct DomCtx {};

inline Outcome otherValue(dom::element e) { return e.is_null() ? Outcome::null : Outcome::mismatch; }

inline Outcome readValue(dom::element& e, std::int64_t& out, DomCtx&) {
  switch (e.type()) {
    case dom::element_type::INT64:
      out = e.get_int64().value_unsafe();
      return Outcome::taken;
    case dom::element_type::UINT64:
      return Outcome::mismatch;  // beyond int64
    case dom::element_type::DOUBLE: {
      // A non-integral double proves a fractional value; an integral one may be rounded from
      // 300.000000000000000001 or lie at the int64 edge, which only the text can settle.
      const double d = e.get_double().value_unsafe();
      return std::trunc(d) != d ? Outcome::mismatch : Outcome::broken;
    }
    default:
      return otherValue(e);
  }
}

inline Outcome readValue(dom::element& e, double& out, DomCtx&) {
  switch (e.type()) {
    case dom::element_type::INT64:
      out = static_cast<double>(e.get_int64().value_unsafe());
      return Outcome::taken;
    case dom::element_type::UINT64:
      out = static_cast<double>(e.get_uint64().value_unsafe());
      return Outcome::taken;
    case dom::element_type::DOUBLE:
      out = e.get_double().value_unsafe();
      return Outcome::taken;
    default:
      return otherValue(e);
  }
}

inline Outcome readValue(dom::element& e, std::string& out, DomCtx&) {
  if (e.type() != dom::element_type::STRING) return otherValue(e);
  out.assign(e.get_string().value_unsafe());
  return Outcome::taken;
}

template <class T>
Outcome readValue(dom::element& e, std::vector<T>& out, DomCtx& c) {
  if (e.type() != dom::element_type::ARRAY) return otherValue(e);
  const dom::array arr = e.get_array().value_unsafe();
  out.clear();
  out.reserve(arr.size());  // exact unless past simdjson's count limit, where it only under-reserves
  for (dom::element item : arr) {
    const Outcome o = readValue(item, out.emplace_back(), c);
    if (o != Outcome::taken) return o == Outcome::broken ? o : Outcome::mismatch;
  }
  return Outcome::taken;
}

// One pass over the object's fields in whatever order they come. A field that fails only
// stays failed if no later occurrence of its key replaces it.
template <Described R>
Outcome readFields(dom::object obj, R& record, DomCtx& c) {
  static_assert(kFieldCount<R> <= 64, "one bit per field");
  constexpr auto& readers = kFieldReaders<R, dom::element, DomCtx>;
  std::size_t hint = 0;
  std::uint64_t unsettled = 0;
  for (dom::key_value_pair field : obj) {
    const std::size_t id = findField<R>(field.key, hint);
    if (id == kFieldCount<R>) continue;
    const Outcome o = readers[id](field.value, record, c);
    if (o == Outcome::broken) return o;
    const std::uint64_t bit = std::uint64_t{1} << id;
    unsettled = o == Outcome::taken ? unsettled & ~bit : unsettled | bit;
  }
  return unsettled ? Outcome::mismatch : Outcome::taken;
}

// A record inside a list: an element that is not an object fails its list.
template <Described R>
Outcome readValue(dom::element& e, R& record, DomCtx& c) {
  if (e.type() != dom::element_type::OBJECT) return otherValue(e);
  return readFields(e.get_object().value_unsafe(), record, c);
}

// The record, or nothing when the on-demand reader has to decide. `parser` must have been
// allocated with kMaxDepth, so that it rejects what the on-demand reader rejects.
template <Described R>
std::optional<R> readDom(dom::parser& parser, const PaddedBuffer& text) {
  dom::element root;
  if (parser.parse(text.data(), text.size(), false).get(root)) return std::nullopt;
  if (root.type() != dom::element_type::OBJECT) return std::nullopt;
  R out{};
  DomCtx c;
  if (readFields(root.get_object().value_unsafe(), out, c) != Outcome::taken) return std::nullopt;
  return out;
}

}  // namespace orvane::records
