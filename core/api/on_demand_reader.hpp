#pragma once

// The on-demand reader: simdjson's on-demand parser over the raw text. It settles every body
// exactly (numbers by their text, invalid UTF-8 string by string) and alone writes the error
// descriptions, e.g. "Req.camp[1]: expected an object, found null".

#include <simdjson.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/api/record_reading.hpp"
#include "core/api/records.hpp"

namespace orvane::records {

namespace od = simdjson::ondemand;

struct Segment {
  std::string_view key;  // a field name, or empty for a list index
  std::size_t index = 0;
};

// State of one decode. A failure records its cause here; the path is filled on the way out,
// innermost segment first, and only ever on a failure.
struct Ctx {
  const char* base = nullptr;        // start of the parsed text
  std::vector<std::size_t> repairs;  // offsets where invalid UTF-8 was replaced
  Wanted wanted = Wanted::object;
  Found found = Found::null;
  std::string why;  // for broken
  std::vector<Segment> path;

  Outcome mismatch(Wanted w, Found f) {
    wanted = w;
    found = f;
    path.clear();
    return Outcome::mismatch;
  }
  Outcome broken(std::string text) {
    why = std::move(text);
    path.clear();
    return Outcome::broken;
  }
  Outcome broken(simdjson::error_code e);
};

// Consumes any value, validating it completely, so that syntax errors inside ignored or
// wrongly typed values are still found.
Outcome skipValue(od::value& v, Ctx& c, int depth);

// The type of a value, or broken.
Outcome peekType(od::value& v, od::json_type& t, Ctx& c);

// A value whose JSON type is not the wanted one: null, or a mismatch once it proved valid.
Outcome otherValue(od::value& v, od::json_type t, Wanted wanted, Ctx& c);

Outcome readValue(od::value& v, std::int64_t& out, Ctx& c);
Outcome readValue(od::value& v, double& out, Ctx& c);
Outcome readValue(od::value& v, std::string& out, Ctx& c);

// A list fails on its first bad element (null included) but is still read to its end, so that
// the rest of the body is validated and the iteration stays in step.
template <class T>
Outcome readValue(od::value& v, std::vector<T>& out, Ctx& c) {
  constexpr Wanted kElement = std::is_same_v<T, std::string> ? Wanted::string : Wanted::object;
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::array) return otherValue(v, t, Wanted::array, c);
  od::array arr;
  if (auto e = v.get_array().get(arr)) return c.broken(e);
  out.clear();
  bool bad = false;
  std::size_t index = 0;
  for (auto item : arr) {
    od::value ev;
    if (auto e = item.get(ev)) return c.broken(e);
    if (bad) {
      if (skipValue(ev, c, 0) == Outcome::broken) return Outcome::broken;
      continue;
    }
    Outcome o = readValue(ev, out.emplace_back(), c);
    if (o == Outcome::null) o = c.mismatch(kElement, Found::null);
    if (o != Outcome::taken) {
      out.pop_back();
      c.path.push_back(Segment{{}, index});
      if (o == Outcome::broken) return o;
      bad = true;
    }
    ++index;
  }
  return bad ? Outcome::mismatch : Outcome::taken;
}

// Fields whose latest occurrence had the wrong type, each with its failure as recorded then,
// in the order of those occurrences. A later occurrence of the key settles the field again.
class Unsettled {
 public:
  bool empty() const { return failures_.empty(); }
  void fail(std::size_t id, Ctx& c);
  void settle(std::size_t id);
  // Puts the earliest failure back into `c`.
  Outcome report(Ctx& c);

 private:
  struct Failure {
    std::size_t id;
    Wanted wanted;
    Found found;
    std::vector<Segment> path;
  };
  std::vector<Failure> failures_;
};

// One pass over the object's fields in whatever order they come; the last occurrence of a key
// decides its field.
template <Described R>
Outcome readFields(od::object& obj, R& record, Ctx& c) {
  constexpr auto& readers = kFieldReaders<R, od::value, Ctx>;
  std::size_t hint = 0;
  Unsettled unsettled;
  for (auto item : obj) {
    od::field f;
    if (auto e = std::move(item).get(f)) return c.broken(e);
    std::string_view key;
    if (auto e = f.unescaped_key().get(key)) return c.broken(e);
    const std::size_t id = findField<R>(key, hint);
    if (id == kFieldCount<R>) {
      if (skipValue(f.value(), c, 0) == Outcome::broken) return Outcome::broken;
      continue;
    }
    const Outcome o = readers[id](f.value(), record, c);
    if (o == Outcome::taken) {
      if (!unsettled.empty()) unsettled.settle(id);
      continue;
    }
    c.path.push_back(Segment{kKeys<R>[id], 0});
    if (o == Outcome::broken) return o;
    unsettled.fail(id, c);
  }
  return unsettled.empty() ? Outcome::taken : unsettled.report(c);
}

// A record inside a list: an element that is not an object fails its list.
template <Described R>
Outcome readValue(od::value& v, R& record, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::object) return otherValue(v, t, Wanted::object, c);
  od::object obj;
  if (auto e = v.get_object().get(obj)) return c.broken(e);
  return readFields(obj, record, c);
}

// The top level of one decode. `text` holds the body; when the body is not valid UTF-8 it is
// reloaded with a repaired copy, whose replacements spoil only the strings that hold them.
class Document {
 public:
  // The object's fields, or a description of why the body is not one JSON object.
  std::optional<std::string> open(od::parser& parser, PaddedBuffer& text, std::string_view body, Ctx& c);
  od::object& object() { return object_; }
  // The description of a failed decode after reading the fields, if it failed.
  std::optional<std::string> close(Outcome fields, const Ctx& c);

 private:
  od::document doc_;
  od::object object_;
};

Error decodingError(std::string_view record, std::string_view description);

template <Described R>
Result<R> readOnDemand(od::parser& parser, PaddedBuffer& text, std::string_view body) {
  Ctx c;
  Document doc;
  if (auto failure = doc.open(parser, text, body, c)) return decodingError(Fields<R>::name, *failure);
  R out{};
  const Outcome o = readFields(doc.object(), out, c);
  if (auto failure = doc.close(o, c)) return decodingError(Fields<R>::name, *failure);
  return out;
}

}  // namespace orvane::records
