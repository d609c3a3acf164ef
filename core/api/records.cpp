#include "core/api/records.hpp"

#include <simdjson.h>

#include <cstddef>
#include <memory>
#include <utility>

#include "core/api/decode_path.hpp"
#include "core/api/dom_reader.hpp"
#include "core/api/on_demand_reader.hpp"
#include "core/api/record_fields.hpp"

namespace orvane {
namespace {

// Bodies up to this size reuse the per-thread parsers and buffer. The parsers keep roughly
// thirteen times the largest body they saw, so bigger bodies get their own, freed afterwards.
constexpr std::size_t kReusableBodySize = std::size_t{2} << 20;

// Parsers and the padded input copy, reused across decodes on one thread.
struct Workspace {
  Workspace() {
    // The DOM parser must not accept nesting that the on-demand path rejects.
    // On failure the parser grows on first use, with simdjson's default depth; no harm
    // beyond a slower first decode, as a DEPTH_ERROR there only sends the body on.
    const auto error = dom.allocate(4096, records::kMaxDepth);
    static_cast<void>(error);
  }

  simdjson::dom::parser dom;
  simdjson::ondemand::parser onDemand;
  records::PaddedBuffer text;
};

}  // namespace

template <class R>
Result<R> decodeRecord(std::string_view body, DecodePath path) {
  thread_local Workspace reused;
  std::unique_ptr<Workspace> own;
  Workspace* ws = &reused;
  if (body.size() > kReusableBodySize) {
    own = std::make_unique<Workspace>();
    ws = own.get();
  }
  ws->text.load(body);
  if (path == DecodePath::automatic) {
    if (auto fast = records::readDom<R>(ws->dom, ws->text)) return std::move(*fast);
  }
  return records::readOnDemand<R>(ws->onDemand, ws->text, body);
}

template Result<Req> decodeRecord<Req>(std::string_view, DecodePath);
template Result<Camp> decodeRecord<Camp>(std::string_view, DecodePath);
template Result<Reward> decodeRecord<Reward>(std::string_view, DecodePath);
template Result<RewardList> decodeRecord<RewardList>(std::string_view, DecodePath);
template Result<ResultData> decodeRecord<ResultData>(std::string_view, DecodePath);
template Result<AgreeContents> decodeRecord<AgreeContents>(std::string_view, DecodePath);
template Result<VelmontNotice> decodeRecord<VelmontNotice>(std::string_view, DecodePath);
template Result<Join> decodeRecord<Join>(std::string_view, DecodePath);
template Result<State> decodeRecord<State>(std::string_view, DecodePath);

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

}  // namespace orvane
