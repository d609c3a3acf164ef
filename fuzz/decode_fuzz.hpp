#pragma once

// Shared body of the decoder fuzz targets. Besides "no crash, no sanitizer report" it checks:
// - both decoding paths agree on every input, to the error description;
// - a failure is a decoding error with a description;
// - every decoded campaign survives encode -> decode unchanged, and re-encodes identically;
// - a campaign decode of any well-formed JSON object succeeds;
// - the last occurrence of a key wins: a well-formed body decodes exactly as before once every
//   member of every object is preceded by a decoy occurrence of its key.

#include <simdjson.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/api/decode_path.hpp"
#include "core/api/decode_utf8.hpp"
#include "core/api/records.hpp"

namespace orvane::fuzz {

inline void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void checkCamp(const Camp& camp) {
  const std::string json = encodeCamp(camp);
  const Result<Camp> back = decodeCamp(json);
  require(back.ok(), "an encoded campaign does not decode");
  require(back.value() == camp, "encode -> decode changed a campaign");
  require(encodeCamp(back.value()) == json, "re-encoding a campaign gives other text");
}

inline void checkDecoded(const Camp& camp) { checkCamp(camp); }

inline void checkDecoded(const Req& req) {
  for (const auto* list : {&req.camp, &req.housemd}) {
    if (!*list) continue;
    for (const Camp& camp : **list) checkCamp(camp);
  }
}

template <class R>
void checkDecoded(const R&) {}

// Whether `body` is one JSON object, once invalid UTF-8 is repaired, within the nesting that
// the decoders accept.
inline bool isWellFormedObject(std::string_view body) {
  static simdjson::dom::parser parser = [] {
    simdjson::dom::parser p;
    const auto error = p.allocate(4096, 512);
    static_cast<void>(error);
    return p;
  }();
  const simdjson::padded_string text(repairUtf8(body));
  simdjson::dom::element root;
  if (parser.parse(text).get(root)) return false;
  return root.type() == simdjson::dom::element_type::OBJECT;
}

// Values that a server might send under any key: null, each JSON type, numbers that only
// their text settles, and invalid UTF-8.
constexpr std::string_view kDecoys[] = {
    "null",
    "\"x\"",
    "1.5",
    "-7",
    "true",
    "1e400",
    "300.00000000000000001",
    "18446744073709551616",
    "\"\xFF\"",
    "[]",
    "{}",
    "[null]",
    "[\"a\",1]",
    "{\"result\":\"x\",\"campid\":1}",
};
constexpr std::size_t kScalarDecoys = 9;  // the first ones, safe at any nesting depth

// `body` (one well-formed JSON object) with `"key":decoy,` written before every member of every
// object, so that each real member stays its key's last occurrence.
inline std::string withDecoys(std::string_view body, std::size_t salt) {
  std::string out;
  out.reserve(body.size() * 2);
  std::vector<bool> inObject;  // per open container
  bool expectKey = false;
  std::size_t count = salt;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char ch = body[i];
    if (ch == '"') {
      std::size_t end = i + 1;
      while (end < body.size() && body[end] != '"') end += body[end] == '\\' ? 2 : 1;
      const std::string_view token = body.substr(i, end - i + 1);
      if (expectKey) {
        const bool deep = inObject.size() > 100;
        out.append(token).append(":").append(kDecoys[count++ % (deep ? kScalarDecoys : std::size(kDecoys))]);
        out += ',';
        expectKey = false;
      }
      out.append(token);
      i = end;
      continue;
    }
    out += ch;
    if (ch == '{' || ch == '[') {
      inObject.push_back(ch == '{');
      expectKey = ch == '{';
    } else if (ch == '}' || ch == ']') {
      inObject.pop_back();
    } else if (ch == ',') {
      expectKey = !inObject.empty() && inObject.back();
    }
  }
  return out;
}

template <class R>
bool sameResult(const Result<R>& a, const Result<R>& b) {
  if (a.ok() != b.ok()) return false;
  return a.ok() ? a.value() == b.value() : a.error().description == b.error().description;
}

template <class R>
int run(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const Result<R> fast = decodeRecord<R>(body, DecodePath::automatic);
  const Result<R> slow = decodeRecord<R>(body, DecodePath::onDemand);
  require(fast.ok() == slow.ok(), "the decoding paths disagree on success");
  if (fast.ok()) {
    require(fast.value() == slow.value(), "the decoding paths disagree on the record");
    checkDecoded(fast.value());
  } else {
    require(fast.error().kind == Error::Kind::decoding, "a failure that is not a decoding error");
    require(!fast.error().description.empty(), "a failure without a description");
    require(fast.error().description == slow.error().description,
            "the decoding paths describe a failure differently");
  }
  if (!isWellFormedObject(body)) return 0;
  if constexpr (std::is_same_v<R, Camp>) require(fast.ok(), "a well-formed campaign object failed to decode");
  const std::string decoyed = withDecoys(body, size);
  require(sameResult(decodeRecord<R>(decoyed, DecodePath::automatic), fast),
          "an earlier occurrence of a key changed the decode (automatic path)");
  require(sameResult(decodeRecord<R>(decoyed, DecodePath::onDemand), slow),
          "an earlier occurrence of a key changed the decode (on-demand path)");
  return 0;
}

}  // namespace orvane::fuzz
