#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/result.hpp"

// The records that the servers answer with, and their decoders.
//
// Every answer is one JSON object. `Camp` decodes tolerantly: each field that is missing,
// null or of the wrong type takes its fallback and the campaign still decodes. All other
// records decode strictly: missing or null gives an absent field, a wrong type fails the
// whole decode. Shared rules:
// - Int: a JSON number whose exact value is an integer within int64 (300.0 and 1e2 count).
// - Double: any JSON number representable as a double.
// - String: only a JSON string holding valid UTF-8.
// - Unknown keys are ignored (their values must still be valid JSON).
// - A key that occurs twice: the last occurrence wins, as if the object were read into a map;
//   earlier ones only have to be valid JSON. In strict and tolerant records, at any depth.
// - The body must be exactly one JSON object; anything after it fails the decode.
// Decoding never throws for bad input; an error has kind `decoding` and a description that
// names the record, the field and the problem, e.g. "State.result: expected an integer,
// found a string". Invalid JSON anywhere in the body is reported before a wrong type; of
// several wrongly typed fields, the one whose last occurrence comes first is named. The
// decoders are safe to call from any thread.

namespace orvane {

// One campaign. Only nativeurl, iconurl, viewurl, targetpkg, detargetpkg and ovnkey can be
// absent; every other field holds a value, its fallback when the server sent none.
// Consumers treat the fields as fixed after decoding except `rewardtype`, which the
// campaign classification overwrites with the answer's own.
struct Camp {
  std::int64_t campid = -1;
  std::int64_t bm = -1;
  std::int64_t bmcheck = 0;
  std::string name;
  std::string engname;
  std::int64_t detailpage = 0;
  std::string package;
  std::string ctvurl;
  std::int64_t ctvwidth = 0;
  std::int64_t ctvheight = 0;
  std::optional<std::string> nativeurl;
  std::optional<std::string> iconurl;
  std::optional<std::string> viewurl;
  std::string joindesc;
  std::int64_t rewardcondition = 0;
  std::string rewarddesc;
  std::string notice;
  std::string cta;
  std::int64_t category = 0;
  double rewardprice = 0.0;
  std::string pricemark;
  std::int64_t cpsprice = 0;
  std::int64_t cpsdcprice = 0;
  std::string carrier;
  std::int64_t targetagemin = 0;
  std::int64_t targetagemax = 0;
  std::int64_t gender = 0;
  std::optional<std::vector<std::string>> targetpkg;
  std::optional<std::vector<std::string>> detargetpkg;
  std::optional<std::string> ovnkey;
  std::int64_t convflag = 0;
  std::int64_t orderseq = 0;
  std::string rewarddate;
  std::int64_t rewardtype = -1;

  bool operator==(const Camp&) const = default;
};

// The campaign-list answer.
struct Req {
  std::optional<std::int64_t> result;
  std::optional<std::string> errmsg;
  std::optional<std::int64_t> adtype;
  std::optional<std::int64_t> rewardtype;
  std::optional<std::string> pricedecimal;
  std::optional<std::vector<Camp>> camp;
  std::optional<std::vector<Camp>> housemd;

  bool operator==(const Req&) const = default;
};

// One entry of the reward history.
struct Reward {
  std::optional<std::int64_t> campid;
  std::optional<std::string> name;
  std::optional<double> rewardprice;
  std::optional<std::string> rewardmark;
  std::optional<std::string> rewarddate;
  std::optional<std::int64_t> bm;

  bool operator==(const Reward&) const = default;
};

// The reward-history answer.
struct RewardList {
  std::optional<std::int64_t> result;
  std::optional<std::vector<Reward>> reward;

  bool operator==(const RewardList&) const = default;
};

// The inquiry-submission answer.
struct ResultData {
  std::optional<std::int64_t> result;

  bool operator==(const ResultData&) const = default;
};

// The agreement-text answer.
struct AgreeContents {
  std::optional<std::int64_t> result;
  std::optional<std::string> cs_agree_contents;

  bool operator==(const AgreeContents&) const = default;
};

// The notice document and the view answer.
struct VelmontNotice {
  std::optional<std::int64_t> result;
  std::optional<std::string> text;

  bool operator==(const VelmontNotice&) const = default;
};

// The join and reward answers.
struct Join {
  std::optional<std::int64_t> result;
  std::optional<std::string> ovnkey;
  std::optional<std::string> lurl;

  bool operator==(const Join&) const = default;
};

// The state and exec answers.
struct State {
  std::optional<std::int64_t> result;
  std::optional<std::string> ovnkey;
  std::optional<std::int64_t> state;

  bool operator==(const State&) const = default;
};

Result<Req> decodeReq(std::string_view body);
Result<Camp> decodeCamp(std::string_view body);
Result<Reward> decodeReward(std::string_view body);
Result<RewardList> decodeRewardList(std::string_view body);
Result<ResultData> decodeResultData(std::string_view body);
Result<AgreeContents> decodeAgreeContents(std::string_view body);
Result<VelmontNotice> decodeVelmontNotice(std::string_view body);
Result<Join> decodeJoin(std::string_view body);
Result<State> decodeState(std::string_view body);

// A JSON object with every field of `camp` that holds a value, in declaration order; absent
// fields are left out. Invalid UTF-8 in a string is written as U+FFFD and a non-finite
// `rewardprice` as null, so the output is always valid JSON that decodes back.
std::string encodeCamp(const Camp& camp);

}  // namespace orvane
