#include "core/api/records.hpp"

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#include "core/api/decode_number.hpp"
#include "core/api/decode_path.hpp"
#include "core/api/decode_utf8.hpp"

namespace orvane {
namespace {

namespace od = simdjson::ondemand;
namespace dom = simdjson::dom;

// Values nested deeper than this inside one field fail the decode; it bounds the recursion
// of the validating skip.
constexpr int kMaxDepth = 512;

// Bodies up to this size reuse the per-thread parsers and buffer. The parsers keep roughly
// thirteen times the largest body they saw, so bigger bodies get their own, freed afterwards.
constexpr std::size_t kReusableBodySize = std::size_t{2} << 20;

// How reading one value ended.
enum class Outcome {
  taken,     // the value had the wanted type and was stored
  null,      // JSON null
  mismatch,  // valid JSON of another type; Ctx holds what was wanted and found
  broken,    // not valid JSON (or nested too deep): the whole decode fails
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
  Outcome broken(simdjson::error_code e) { return broken(invalidJson(e)); }

  static std::string invalidJson(simdjson::error_code e) {
    return std::string("invalid JSON (") + simdjson::error_message(e) + ")";
  }
};

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

Outcome peekType(od::value& v, od::json_type& t, Ctx& c) {
  if (auto e = v.type().get(t)) return c.broken(e);
  return Outcome::taken;
}

Outcome readNull(od::value& v, Ctx& c) {
  bool isNull = false;
  if (auto e = v.is_null().get(isNull)) return c.broken(e);
  if (!isNull) return c.broken(simdjson::INCORRECT_TYPE);
  return Outcome::null;
}

// Consumes any value, validating it completely, so that syntax errors inside ignored or
// wrongly typed values are still found.
Outcome skip(od::value& v, Ctx& c, int depth) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  switch (t) {
    case od::json_type::array: {
      if (depth >= kMaxDepth)
        return c.broken("values nested more than " + std::to_string(kMaxDepth) + " deep");
      od::array arr;
      if (auto e = v.get_array().get(arr)) return c.broken(e);
      for (auto item : arr) {
        od::value ev;
        if (auto e = item.get(ev)) return c.broken(e);
        if (skip(ev, c, depth + 1) == Outcome::broken) return Outcome::broken;
      }
      return Outcome::taken;
    }
    case od::json_type::object: {
      if (depth >= kMaxDepth)
        return c.broken("values nested more than " + std::to_string(kMaxDepth) + " deep");
      od::object obj;
      if (auto e = v.get_object().get(obj)) return c.broken(e);
      for (auto item : obj) {
        od::field f;
        if (auto e = std::move(item).get(f)) return c.broken(e);
        std::string_view key;
        if (auto e = f.unescaped_key().get(key)) return c.broken(e);
        if (skip(f.value(), c, depth + 1) == Outcome::broken) return Outcome::broken;
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

// A value whose JSON type is not the wanted one: null, or a mismatch once it proved valid.
Outcome other(od::value& v, od::json_type t, Wanted wanted, Ctx& c) {
  if (t == od::json_type::null) return readNull(v, c);
  if (skip(v, c, 0) == Outcome::broken) return Outcome::broken;
  return c.mismatch(wanted, foundOf(t));
}

Outcome read(od::value& v, std::int64_t& out, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::number) return other(v, t, Wanted::integer, c);
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

Outcome read(od::value& v, double& out, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::number) return other(v, t, Wanted::number, c);
  double d = 0;
  if (!v.get_double().get(d)) {
    out = d;
    return Outcome::taken;
  }
  if (isJsonNumber(tokenOf(v))) return c.mismatch(Wanted::number, Found::beyondDouble);
  return c.broken("invalid JSON (malformed number)");
}

Outcome read(od::value& v, std::string& out, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::string) return other(v, t, Wanted::string, c);
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

// A list fails on its first bad element (null included) but is still read to its end, so that
// the rest of the body is validated and the iteration stays in step.
template <class T>
Outcome read(od::value& v, std::vector<T>& out, Ctx& c) {
  constexpr Wanted kElement = std::is_same_v<T, std::string> ? Wanted::string : Wanted::object;
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::array) return other(v, t, Wanted::array, c);
  od::array arr;
  if (auto e = v.get_array().get(arr)) return c.broken(e);
  out.clear();
  bool bad = false;
  std::size_t index = 0;
  for (auto item : arr) {
    od::value ev;
    if (auto e = item.get(ev)) return c.broken(e);
    if (bad) {
      if (skip(ev, c, 0) == Outcome::broken) return Outcome::broken;
      continue;
    }
    Outcome o = read(ev, out.emplace_back(), c);
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

// The fast path reads simdjson's DOM. It never describes a failure: anything it cannot settle
// is `broken`, which sends the whole body to the on-demand path.
struct FastCtx {
  Outcome mismatch(Wanted, Found) { return Outcome::mismatch; }
};

Outcome other(dom::element e, Wanted wanted, FastCtx& c) {
  return e.is_null() ? Outcome::null : c.mismatch(wanted, Found::object);
}

Outcome read(dom::element& e, std::int64_t& out, FastCtx& c) {
  switch (e.type()) {
    case dom::element_type::INT64:
      out = e.get_int64().value_unsafe();
      return Outcome::taken;
    case dom::element_type::UINT64:
      return c.mismatch(Wanted::integer, Found::beyondInt64);
    case dom::element_type::DOUBLE: {
      // A non-integral double proves a fractional value; an integral one may be rounded from
      // 300.000000000000000001 or lie at the int64 edge, which only the text can settle.
      const double d = e.get_double().value_unsafe();
      if (std::trunc(d) != d) return c.mismatch(Wanted::integer, Found::fraction);
      return Outcome::broken;
    }
    default:
      return other(e, Wanted::integer, c);
  }
}

Outcome read(dom::element& e, double& out, FastCtx& c) {
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
      return other(e, Wanted::number, c);
  }
}

Outcome read(dom::element& e, std::string& out, FastCtx& c) {
  if (e.type() != dom::element_type::STRING) return other(e, Wanted::string, c);
  out.assign(e.get_string().value_unsafe());
  return Outcome::taken;
}

template <class T>
Outcome read(dom::element& e, std::vector<T>& out, FastCtx& c) {
  if (e.type() != dom::element_type::ARRAY) return other(e, Wanted::array, c);
  const dom::array arr = e.get_array().value_unsafe();
  out.clear();
  out.reserve(arr.size());  // exact unless past simdjson's count limit, where it only under-reserves
  for (dom::element item : arr) {
    const Outcome o = read(item, out.emplace_back(), c);
    if (o != Outcome::taken) return o == Outcome::broken ? o : Outcome::mismatch;
  }
  return Outcome::taken;
}

template <class R>
struct FieldSpec {
  std::string_view name;
  Outcome (*read)(od::value&, R&, Ctx&);  // taken, mismatch or broken
  Outcome (*fastRead)(dom::element&, R&, FastCtx&);
};

// Keys are short: two overlapping word loads compare them without a call to memcmp.
bool sameKey(std::string_view a, std::string_view b) {
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

// Finds a key's field, first at the slot after the previous match since servers keep a
// stable order; N when the key is unknown.
template <class R, std::size_t N>
std::size_t lookup(const std::array<FieldSpec<R>, N>& table, std::string_view key, std::size_t& hint) {
  std::size_t id = N;
  if (hint < N && sameKey(table[hint].name, key)) {
    id = hint;
  } else {
    for (std::size_t k = 0; k < N; ++k) {
      if (sameKey(table[k].name, key)) {
        id = k;
        break;
      }
    }
  }
  if (id < N) hint = id + 1;
  return id;
}

// One pass over the object's fields in whatever order they come.
template <class R, std::size_t N>
Outcome readFields(od::object& obj, R& record, const std::array<FieldSpec<R>, N>& table, Ctx& c) {
  std::size_t hint = 0;
  for (auto item : obj) {
    od::field f;
    if (auto e = std::move(item).get(f)) return c.broken(e);
    std::string_view key;
    if (auto e = f.unescaped_key().get(key)) return c.broken(e);
    const std::size_t id = lookup(table, key, hint);
    if (id == N) {
      if (skip(f.value(), c, 0) == Outcome::broken) return Outcome::broken;
      continue;
    }
    const Outcome o = table[id].read(f.value(), record, c);
    if (o != Outcome::taken) {
      c.path.push_back(Segment{table[id].name, 0});
      return o;
    }
  }
  return Outcome::taken;
}

template <class R, std::size_t N>
Outcome readFields(dom::object obj, R& record, const std::array<FieldSpec<R>, N>& table, FastCtx& c) {
  std::size_t hint = 0;
  for (dom::key_value_pair field : obj) {
    const std::size_t id = lookup(table, field.key, hint);
    if (id == N) continue;
    const Outcome o = table[id].fastRead(field.value, record, c);
    if (o != Outcome::taken) return o;
  }
  return Outcome::taken;
}

template <class R, std::size_t N>
Outcome readObject(od::value& v, R& record, const std::array<FieldSpec<R>, N>& table, Ctx& c) {
  od::json_type t{};
  if (peekType(v, t, c) == Outcome::broken) return Outcome::broken;
  if (t != od::json_type::object) return other(v, t, Wanted::object, c);
  od::object obj;
  if (auto e = v.get_object().get(obj)) return c.broken(e);
  return readFields(obj, record, table, c);
}

template <class R, std::size_t N>
Outcome readObject(dom::element& e, R& record, const std::array<FieldSpec<R>, N>& table, FastCtx& c) {
  if (e.type() != dom::element_type::OBJECT) return other(e, Wanted::object, c);
  return readFields(e.get_object().value_unsafe(), record, table, c);
}

// Strict field: null makes it absent, anything else of the wrong type fails the record.
template <class V, class T, class C>
Outcome strictField(V& v, std::optional<T>& field, C& c) {
  const Outcome o = read(v, field.emplace(), c);
  if (o == Outcome::taken) return o;
  field.reset();
  return o == Outcome::null ? Outcome::taken : o;
}

// Tolerant field of a campaign: anything but its own type gives the fallback.
template <class V, class T, class C>
Outcome tolerantField(V& v, T& field, const T& fallback, C& c) {
  const Outcome o = read(v, field, c);
  if (o == Outcome::taken || o == Outcome::broken) return o;
  field = fallback;
  return Outcome::taken;
}

template <class V, class T, class C>
Outcome tolerantField(V& v, std::optional<T>& field, C& c) {
  const Outcome o = read(v, field.emplace(), c);
  if (o == Outcome::taken) return o;
  field.reset();
  return o == Outcome::broken ? o : Outcome::taken;
}

// The key of each field is its member's name, spelt once; both paths share the field rules.
// clang-format off
#define ORVANE_FIELD(Record, member, call)                                        \
  FieldSpec<Record> {                                                             \
    #member,                                                                      \
    [](od::value& v, Record& r, Ctx& c) { return call; },                         \
    [](dom::element& v, Record& r, FastCtx& c) { return call; }                   \
  }
// clang-format on
#define ORVANE_STRICT(Record, member) ORVANE_FIELD(Record, member, strictField(v, r.member, c))
#define ORVANE_TOLERANT(member, fallback) \
  ORVANE_FIELD(Camp, member, tolerantField(v, r.member, decltype(r.member){fallback}, c))
#define ORVANE_TOLERANT_OPTIONAL(member) ORVANE_FIELD(Camp, member, tolerantField(v, r.member, c))

constexpr std::array<FieldSpec<Camp>, 34> kCampFields{{
    ORVANE_TOLERANT(campid, -1),
    ORVANE_TOLERANT(bm, -1),
    ORVANE_TOLERANT(bmcheck, 0),
    ORVANE_TOLERANT(name, ""),
    ORVANE_TOLERANT(engname, ""),
    ORVANE_TOLERANT(detailpage, 0),
    ORVANE_TOLERANT(package, ""),
    ORVANE_TOLERANT(ctvurl, ""),
    ORVANE_TOLERANT(ctvwidth, 0),
    ORVANE_TOLERANT(ctvheight, 0),
    ORVANE_TOLERANT_OPTIONAL(nativeurl),
    ORVANE_TOLERANT_OPTIONAL(iconurl),
    ORVANE_TOLERANT_OPTIONAL(viewurl),
    ORVANE_TOLERANT(joindesc, ""),
    ORVANE_TOLERANT(rewardcondition, 0),
    ORVANE_TOLERANT(rewarddesc, ""),
    ORVANE_TOLERANT(notice, ""),
    ORVANE_TOLERANT(cta, ""),
    ORVANE_TOLERANT(category, 0),
    ORVANE_TOLERANT(rewardprice, 0.0),
    ORVANE_TOLERANT(pricemark, ""),
    ORVANE_TOLERANT(cpsprice, 0),
    ORVANE_TOLERANT(cpsdcprice, 0),
    ORVANE_TOLERANT(carrier, ""),
    ORVANE_TOLERANT(targetagemin, 0),
    ORVANE_TOLERANT(targetagemax, 0),
    ORVANE_TOLERANT(gender, 0),
    ORVANE_TOLERANT_OPTIONAL(targetpkg),
    ORVANE_TOLERANT_OPTIONAL(detargetpkg),
    ORVANE_TOLERANT_OPTIONAL(ovnkey),
    ORVANE_TOLERANT(convflag, 0),
    ORVANE_TOLERANT(orderseq, 0),
    ORVANE_TOLERANT(rewarddate, ""),
    ORVANE_TOLERANT(rewardtype, -1),
}};

constexpr std::array<FieldSpec<Reward>, 6> kRewardFields{{
    ORVANE_STRICT(Reward, campid),
    ORVANE_STRICT(Reward, name),
    ORVANE_STRICT(Reward, rewardprice),
    ORVANE_STRICT(Reward, rewardmark),
    ORVANE_STRICT(Reward, rewarddate),
    ORVANE_STRICT(Reward, bm),
}};

// List elements that are records: each campaign is tolerant, but an element that is not an
// object fails its list.
template <class V, class C>
Outcome read(V& v, Camp& camp, C& c) {
  return readObject(v, camp, kCampFields, c);
}
template <class V, class C>
Outcome read(V& v, Reward& reward, C& c) {
  return readObject(v, reward, kRewardFields, c);
}

constexpr std::array<FieldSpec<Req>, 7> kReqFields{{
    ORVANE_STRICT(Req, result),
    ORVANE_STRICT(Req, errmsg),
    ORVANE_STRICT(Req, adtype),
    ORVANE_STRICT(Req, rewardtype),
    ORVANE_STRICT(Req, pricedecimal),
    ORVANE_STRICT(Req, camp),
    ORVANE_STRICT(Req, housemd),
}};

constexpr std::array<FieldSpec<RewardList>, 2> kRewardListFields{{
    ORVANE_STRICT(RewardList, result),
    ORVANE_STRICT(RewardList, reward),
}};

constexpr std::array<FieldSpec<ResultData>, 1> kResultDataFields{{
    ORVANE_STRICT(ResultData, result),
}};

constexpr std::array<FieldSpec<AgreeContents>, 2> kAgreeContentsFields{{
    ORVANE_STRICT(AgreeContents, result),
    ORVANE_STRICT(AgreeContents, cs_agree_contents),
}};

constexpr std::array<FieldSpec<VelmontNotice>, 2> kVelmontNoticeFields{{
    ORVANE_STRICT(VelmontNotice, result),
    ORVANE_STRICT(VelmontNotice, text),
}};

constexpr std::array<FieldSpec<Join>, 3> kJoinFields{{
    ORVANE_STRICT(Join, result),
    ORVANE_STRICT(Join, ovnkey),
    ORVANE_STRICT(Join, lurl),
}};

constexpr std::array<FieldSpec<State>, 3> kStateFields{{
    ORVANE_STRICT(State, result),
    ORVANE_STRICT(State, ovnkey),
    ORVANE_STRICT(State, state),
}};

#undef ORVANE_FIELD
#undef ORVANE_STRICT
#undef ORVANE_TOLERANT
#undef ORVANE_TOLERANT_OPTIONAL

// Parsers and the padded input copy, reused across decodes on one thread.
struct Workspace {
  Workspace() {
    // The DOM parser must not accept nesting that the on-demand path rejects.
    // On failure the parser grows on first use, with simdjson's default depth; no harm
    // beyond a slower first decode, as a DEPTH_ERROR there only sends the body on.
    const auto error = dom.allocate(4096, kMaxDepth);
    static_cast<void>(error);
  }

  dom::parser dom;
  od::parser onDemand;
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
  std::size_t size = 0;

  void load(std::string_view text) {
    const std::size_t needed = text.size() + simdjson::SIMDJSON_PADDING;
    if (needed > capacity) {
      buffer = std::make_unique<char[]>(needed);
      capacity = needed;
    }
    if (!text.empty()) std::memcpy(buffer.get(), text.data(), text.size());
    std::memset(buffer.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
    size = text.size();
  }
  simdjson::padded_string_view view() const {
    return simdjson::padded_string_view(buffer.get(), size, capacity);
  }
};

Error decodingError(std::string_view record, std::string text) {
  return Error::make(Error::Kind::decoding, std::string(record) + text);
}

std::string describeFailure(const Ctx& c, Outcome o) {
  std::string where;
  for (auto it = c.path.rbegin(); it != c.path.rend(); ++it) {
    if (it->key.empty()) {
      where += '[' + std::to_string(it->index) + ']';
    } else {
      where += '.';
      where += it->key;
    }
  }
  if (o == Outcome::mismatch) {
    return where + ": expected " + describe(c.wanted) + ", found " + describe(c.found);
  }
  return where + ": " + c.why;
}

template <class R, std::size_t N>
std::optional<R> decodeFast(Workspace& ws, const std::array<FieldSpec<R>, N>& table) {
  dom::element root;
  if (ws.dom.parse(ws.buffer.get(), ws.size, false).get(root)) return std::nullopt;
  if (root.type() != dom::element_type::OBJECT) return std::nullopt;
  R out{};
  FastCtx c;
  if (readFields(root.get_object().value_unsafe(), out, table, c) != Outcome::taken) return std::nullopt;
  return out;
}

template <class R, std::size_t N>
Result<R> decodeOnDemand(Workspace& ws, std::string_view body, std::string_view record,
                         const std::array<FieldSpec<R>, N>& table) {
  Ctx c;
  od::document doc;
  auto error = ws.onDemand.iterate(ws.view()).get(doc);
  if (error == simdjson::UTF8_ERROR) {
    // Invalid bytes only spoil the strings that hold them; the repair offsets find those.
    ws.load(repairUtf8(body, &c.repairs));
    error = ws.onDemand.iterate(ws.view()).get(doc);
  }
  if (error == simdjson::EMPTY) return decodingError(record, ": the body is empty");
  if (error) return decodingError(record, ": " + Ctx::invalidJson(error));
  c.base = ws.buffer.get();

  od::json_type t{};
  if (auto e = doc.type().get(t)) return decodingError(record, ": " + Ctx::invalidJson(e));
  if (t != od::json_type::object) {
    return decodingError(record,
                         std::string(": expected an object at the top level, found ") + describe(foundOf(t)));
  }
  od::object obj;
  if (auto e = doc.get_object().get(obj)) return decodingError(record, ": " + Ctx::invalidJson(e));
  R out{};
  const Outcome o = readFields(obj, out, table, c);
  if (o != Outcome::taken) return decodingError(record, describeFailure(c, o));
  // Past the closing brace the iterator must be at the end: anything left is trailing content.
  const char* rest = nullptr;
  if (doc.current_location().get(rest) != simdjson::OUT_OF_BOUNDS) {
    return decodingError(record, ": invalid JSON (unexpected content after the object)");
  }
  return out;
}

template <class R, std::size_t N>
Result<R> decodeBody(std::string_view body, std::string_view record, const std::array<FieldSpec<R>, N>& table,
                     DecodePath path) {
  thread_local Workspace reused;
  std::unique_ptr<Workspace> own;
  Workspace* ws = &reused;
  if (body.size() > kReusableBodySize) {
    own = std::make_unique<Workspace>();
    ws = own.get();
  }
  ws->load(body);
  if (path == DecodePath::automatic) {
    if (auto fast = decodeFast(*ws, table)) return std::move(*fast);
  }
  return decodeOnDemand(*ws, body, record, table);
}

void appendString(std::string& out, std::string_view s) {
  std::string repaired;
  if (!simdjson::validate_utf8(s.data(), s.size())) {
    repaired = repairUtf8(s);
    s = repaired;
  }
  out += '"';
  for (const char ch : s) {
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (static_cast<unsigned char>(ch) < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[(ch >> 4) & 0xF];
          out += kHex[ch & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

// Appends the "key": prefix, with a comma before every member but the first.
class ObjectWriter {
 public:
  explicit ObjectWriter(std::string& out) : out_(out) { out_ += '{'; }
  ~ObjectWriter() { out_ += '}'; }
  ObjectWriter(const ObjectWriter&) = delete;
  ObjectWriter& operator=(const ObjectWriter&) = delete;

  void field(std::string_view key, std::int64_t v) {
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    this->key(key);
    out_.append(buf, end);
  }
  void field(std::string_view key, double v) {
    this->key(key);
    if (!std::isfinite(v)) {
      out_ += "null";
      return;
    }
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    out_.append(buf, end);
  }
  void field(std::string_view key, const std::string& v) {
    this->key(key);
    appendString(out_, v);
  }
  void field(std::string_view key, const std::vector<std::string>& v) {
    this->key(key);
    out_ += '[';
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (i) out_ += ',';
      appendString(out_, v[i]);
    }
    out_ += ']';
  }
  template <class T>
  void field(std::string_view key, const std::optional<T>& v) {
    if (v) field(key, *v);
  }

 private:
  void key(std::string_view k) {
    if (!first_) out_ += ',';
    first_ = false;
    appendString(out_, k);
    out_ += ':';
  }

  std::string& out_;
  bool first_ = true;
};

}  // namespace

template <>
Result<Req> decodeRecord<Req>(std::string_view body, DecodePath path) {
  return decodeBody(body, "Req", kReqFields, path);
}
template <>
Result<Camp> decodeRecord<Camp>(std::string_view body, DecodePath path) {
  return decodeBody(body, "Camp", kCampFields, path);
}
template <>
Result<Reward> decodeRecord<Reward>(std::string_view body, DecodePath path) {
  return decodeBody(body, "Reward", kRewardFields, path);
}
template <>
Result<RewardList> decodeRecord<RewardList>(std::string_view body, DecodePath path) {
  return decodeBody(body, "RewardList", kRewardListFields, path);
}
template <>
Result<ResultData> decodeRecord<ResultData>(std::string_view body, DecodePath path) {
  return decodeBody(body, "ResultData", kResultDataFields, path);
}
template <>
Result<AgreeContents> decodeRecord<AgreeContents>(std::string_view body, DecodePath path) {
  return decodeBody(body, "AgreeContents", kAgreeContentsFields, path);
}
template <>
Result<VelmontNotice> decodeRecord<VelmontNotice>(std::string_view body, DecodePath path) {
  return decodeBody(body, "VelmontNotice", kVelmontNoticeFields, path);
}
template <>
Result<Join> decodeRecord<Join>(std::string_view body, DecodePath path) {
  return decodeBody(body, "Join", kJoinFields, path);
}
template <>
Result<State> decodeRecord<State>(std::string_view body, DecodePath path) {
  return decodeBody(body, "State", kStateFields, path);
}

Result<Req> decodeReq(std::string_view body) { return decodeRecord<Req>(body, DecodePath::automatic); }
Result<Camp> decodeCamp(std::string_view body) { return decodeRecord<Camp>(body, DecodePath::automatic); }
Result<Reward> decodeReward(std::string_view body) {
  return decodeRecord<Reward>(body, DecodePath::automatic);
}
Result<RewardList> decodeRewardList(std::string_view body) {
  return decodeRecord<RewardList>(body, DecodePath::automatic);
}
Result<ResultData> decodeResultData(std::string_view body) {
  return decodeRecord<ResultData>(body, DecodePath::automatic);
}
Result<AgreeContents> decodeAgreeContents(std::string_view body) {
  return decodeRecord<AgreeContents>(body, DecodePath::automatic);
}
Result<VelmontNotice> decodeVelmontNotice(std::string_view body) {
  return decodeRecord<VelmontNotice>(body, DecodePath::automatic);
}
Result<Join> decodeJoin(std::string_view body) { return decodeRecord<Join>(body, DecodePath::automatic); }
Result<State> decodeState(std::string_view body) { return decodeRecord<State>(body, DecodePath::automatic); }

std::string encodeCamp(const Camp& camp) {
  std::string out;
  out.reserve(1024);
  {
    ObjectWriter w(out);
    w.field("campid", camp.campid);
    w.field("bm", camp.bm);
    w.field("bmcheck", camp.bmcheck);
    w.field("name", camp.name);
    w.field("engname", camp.engname);
    w.field("detailpage", camp.detailpage);
    w.field("package", camp.package);
    w.field("ctvurl", camp.ctvurl);
    w.field("ctvwidth", camp.ctvwidth);
    w.field("ctvheight", camp.ctvheight);
    w.field("nativeurl", camp.nativeurl);
    w.field("iconurl", camp.iconurl);
    w.field("viewurl", camp.viewurl);
    w.field("joindesc", camp.joindesc);
    w.field("rewardcondition", camp.rewardcondition);
    w.field("rewarddesc", camp.rewarddesc);
    w.field("notice", camp.notice);
    w.field("cta", camp.cta);
    w.field("category", camp.category);
    w.field("rewardprice", camp.rewardprice);
    w.field("pricemark", camp.pricemark);
    w.field("cpsprice", camp.cpsprice);
    w.field("cpsdcprice", camp.cpsdcprice);
    w.field("carrier", camp.carrier);
    w.field("targetagemin", camp.targetagemin);
    w.field("targetagemax", camp.targetagemax);
    w.field("gender", camp.gender);
    w.field("targetpkg", camp.targetpkg);
    w.field("detargetpkg", camp.detargetpkg);
    w.field("ovnkey", camp.ovnkey);
    w.field("convflag", camp.convflag);
    w.field("orderseq", camp.orderseq);
    w.field("rewarddate", camp.rewarddate);
    w.field("rewardtype", camp.rewardtype);
  }
  return out;
}

}  // namespace orvane
