#pragma once

// Shared body of the decoder fuzz targets. Besides "no crash, no sanitizer report" it checks:
// - both decoding paths agree on every input, to the error description;
// - a failure is a decoding error with a description;
// - every decoded campaign survives encode -> decode unchanged, and re-encodes identically;
// - a campaign decode of any well-formed JSON object succeeds.

#include <simdjson.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

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
  if constexpr (std::is_same_v<R, Camp>) {
    if (!fast.ok()) require(!isWellFormedObject(body), "a well-formed campaign object failed to decode");
  }
  return 0;
}

}  // namespace orvane::fuzz
