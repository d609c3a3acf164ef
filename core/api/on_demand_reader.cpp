#include "core/api/on_demand_reader.hpp"

#include <algorithm>

#include "core/api/decode_number.hpp"
#include "core/api/decode_utf8.hpp"

namespace orvane::records {
namespace {

std::string invalidJson(simdjson::error_code e) {
  return std::string("invalid JSON (") + simdjson::error_message(e) + ")";
}

const char* describe(Wanted w) {
  switch (w) {
    case Wanted::integer:
      return "an integer";
    case Wanted::number:
      return "a number";
    case Wanted::string:
      return "a string";
    case Wanted::array:
      return "an array";
    case Wanted::object:
      return "an object";
  }
  return "?";
}

const char* describe(Found f) {
  switch (f) {
    case Found::array:
      return "an array";
    case Found::object:
      return "an object";
    case Found::number:
      return "a number";
    case Found::string:
      return "a string";
    case Found::boolean:
      return "a boolean";
    case Found::null:
      return "null";
    case Found::fraction:
      return "a number with a fractional part";
    case Found::beyondInt64:
      return "an integer outside the 64-bit range";
    case Found::beyondDouble:
      return "a number outside the range of a double";
    case Found::badUtf8:
      return "a string that is not valid UTF-8";
  }
  return "?";
}

Found foundOf(od::json_type t) {
  switch (t) {
    case od::json_type::array:
      return Found::array;
    case od::json_type::object:
      return Found::object;
    case od::json_type::number:
      return Found::number;
    case od::json_type::string:
      return Found::string;
    case od::json_type::boolean:
      return Found::boolean;
    case od::json_type::null:
      return Found::null;
  }
  return Found::null;
}

// The text of a scalar token; the on-demand tokens run up to the next structural character.
std::string_view tokenOf(od::value& v) {
  std::string_view t = v.raw_json_token();
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r')) {
    t.remove_suffix(1);
  }
  return t;
}

Outcome readNull(od::value& v, Ctx& c) {
  bool isNull = false;
  if (auto e = v.is_null().get(isNull)) return c.broken(e);
  if (!isNull) return c.broken(simdjson::INCORRECT_TYPE);
  return Outcome::null;
}

std::string tooDeep() { return "values nested more than " + std::to_string(kMaxDepth) + " deep"; }

}  // namespace

Outcome Ctx::broken(simdjson::error_code e) { return broken(invalidJson(e)); }

Outcome peekType(od::value& v, od::json_type& t, Ctx& c) {
  if (auto e = v.type().get(t)) return c.broken(e);
  return Outcome::taken;
}

Outcome skipValue(od::value& v, Ctx& c, int depth) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  switch (t) {
    case od::json_type::array: {
      if (depth >= kMaxDepth) return c.broken(tooDeep());
      od::array arr;
      if (auto e = v.get_array().get(arr)) return c.broken(e);
      for (auto item : arr) {
        od::value ev;
        if (auto e = item.get(ev)) return c.broken(e);
        if (skipValue(ev, c, depth + 1) == Outcome::broken) return Outcome::broken;
      }
      return Outcome::taken;
    }
    case od::json_type::object: {
      if (depth >= kMaxDepth) return c.broken(tooDeep());
      od::object obj;
      if (auto e = v.get_object().get(obj)) return c.broken(e);
      for (auto item : obj) {
        od::field f;
        if (auto e = std::move(item).get(f)) return c.broken(e);
        std::string_view key;
        if (auto e = f.unescaped_key().get(key)) return c.broken(e);
        if (skipValue(f.value(), c, depth + 1) == Outcome::broken) return Outcome::broken;
      }
      return Outcome::taken;
    }
    case od::json_type::number: {
      double d = 0;
      if (!v.get_double().get(d)) return Outcome::taken;
      // 1e400 and the like are valid JSON that a double cannot hold.
      return isJsonNumber(tokenOf(v)) ? Outcome::taken : c.broken("invalid JSON (malformed number)");
    }
    case od::json_type::string: {
      std::string_view s;
      if (auto e = v.get_string().get(s)) return c.broken(e);
      return Outcome::taken;
    }
    case od::json_type::boolean: {
      bool b = false;
      if (auto e = v.get_bool().get(b)) return c.broken(e);
      return Outcome::taken;
    }
    case od::json_type::null:
      return readNull(v, c) == Outcome::null ? Outcome::taken : Outcome::broken;
  }
  return c.broken("invalid JSON (unknown value type)");
}

Outcome otherValue(od::value& v, od::json_type t, Wanted wanted, Ctx& c) {
  if (t == od::json_type::null) return readNull(v, c);
  if (skipValue(v, c, 0) == Outcome::broken) return Outcome::broken;
  return c.mismatch(wanted, foundOf(t));
}

Outcome readValue(od::value& v, std::int64_t& out, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::number) return otherValue(v, t, Wanted::integer, c);
  std::int64_t x = 0;
  if (!v.get_int64().get(x)) {
    out = x;
    return Outcome::taken;
  }
  // Not a plain int64 literal: 300.0, 1e2, 2^64, 300.5 ... decided by exact value.
  const JsonInteger r = readJsonInteger(tokenOf(v));
  switch (r.status) {
    case JsonInteger::Status::integer:
      out = r.value;
      return Outcome::taken;
    case JsonInteger::Status::fractional:
      return c.mismatch(Wanted::integer, Found::fraction);
    case JsonInteger::Status::outOfRange:
      return c.mismatch(Wanted::integer, Found::beyondInt64);
    case JsonInteger::Status::malformed:
      break;
  }
  return c.broken("invalid JSON (malformed number)");
}

Outcome readValue(od::value& v, double& out, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::number) return otherValue(v, t, Wanted::number, c);
  double d = 0;
  if (!v.get_double().get(d)) {
    out = d;
    return Outcome::taken;
  }
  if (isJsonNumber(tokenOf(v))) return c.mismatch(Wanted::number, Found::beyondDouble);
  return c.broken("invalid JSON (malformed number)");
}

Outcome readValue(od::value& v, std::string& out, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::string) return otherValue(v, t, Wanted::string, c);
  bool repaired = false;
  if (!c.repairs.empty()) {
    const std::string_view token = v.raw_json_token();
    const auto begin = static_cast<std::size_t>(token.data() - c.base);
    auto it = std::lower_bound(c.repairs.begin(), c.repairs.end(), begin);
    repaired = it != c.repairs.end() && *it < begin + token.size();
  }
  std::string_view s;
  if (auto e = v.get_string().get(s)) return c.broken(e);
  if (repaired) return c.mismatch(Wanted::string, Found::badUtf8);
  out.assign(s);
  return Outcome::taken;
}

void Unsettled::fail(std::size_t id, Ctx& c) {
  settle(id);
  failures_.push_back(Failure{id, c.wanted, c.found, std::move(c.path)});
  c.path.clear();
}

void Unsettled::settle(std::size_t id) {
  std::erase_if(failures_, [id](const Failure& f) { return f.id == id; });
}

Outcome Unsettled::report(Ctx& c) {
  Failure& first = failures_.front();
  c.wanted = first.wanted;
  c.found = first.found;
  c.path = std::move(first.path);
  return Outcome::mismatch;
}

std::optional<std::string> Document::open(od::parser& parser, PaddedBuffer& text, std::string_view body,
                                          Ctx& c) {
  auto error = parser.iterate(text.view()).get(doc_);
  if (error == simdjson::UTF8_ERROR) {
    text.load(repairUtf8(body, &c.repairs));
    error = parser.iterate(text.view()).get(doc_);
  }
  if (error == simdjson::EMPTY) return ": the body is empty";
  if (error) return ": " + invalidJson(error);
  c.base = text.data();

  od::json_type t{};
  if (auto e = doc_.type().get(t)) return ": " + invalidJson(e);
  if (t != od::json_type::object) {
    return std::string(": expected an object at the top level, found ") + describe(foundOf(t));
  }
  if (auto e = doc_.get_object().get(object_)) return ": " + invalidJson(e);
  return std::nullopt;
}

std::optional<std::string> Document::close(Outcome fields, const Ctx& c) {
  std::string where;
  for (auto it = c.path.rbegin(); it != c.path.rend(); ++it) {
    if (it->key.empty()) {
      where += '[' + std::to_string(it->index) + ']';
    } else {
      where += '.';
      where += it->key;
    }
  }
  if (fields == Outcome::broken) return where + ": " + c.why;
  // Past the closing brace the iterator must be at the end: anything left is trailing content.
  // A wrong type was only found by reading the whole object, so bad syntax after it still wins.
  const char* rest = nullptr;
  if (doc_.current_location().get(rest) != simdjson::OUT_OF_BOUNDS) {
    return ": invalid JSON (unexpected content after the object)";
  }
  if (fields == Outcome::mismatch) {
    return where + ": expected " + describe(c.wanted) + ", found " + describe(c.found);
  }
  return std::nullopt;
}

Error decodingError(std::string_view record, std::string_view description) {
  return Error::make(Error::Kind::decoding, std::string(record) + std::string(description));
}

}  // namespace orvane::records
