#include "core/api/records.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/api/decode_number.hpp"
#include "core/api/decode_path.hpp"
#include "core/api/decode_utf8.hpp"

namespace orvane {
namespace {

Camp campOf(const std::string& body) {
  auto r = decodeCamp(body);
  EXPECT_TRUE(r.ok()) << body << " -> " << (r.ok() ? "" : r.error().description);
  return r.ok() ? r.value() : Camp{};
}

template <class R>
std::string errorOf(const Result<R>& r) {
  EXPECT_FALSE(r.ok());
  if (r.ok()) return {};
  EXPECT_EQ(r.error().kind, Error::Kind::decoding);
  return r.error().description;
}

Camp fullCamp(int i) {
  Camp c;
  c.campid = 1000 + i;
  c.bm = i % 7;
  c.bmcheck = 1;
  c.name = "Campaign \"" + std::to_string(i) + "\" \xEC\xBA\xA0\xED\x8E\x98\xEC\x9D\xB8";
  c.engname = "line\nbreak\ttab\\slash\x01";
  c.detailpage = 1;
  c.package = "app" + std::to_string(i) + "://start";
  c.ctvurl = "https://img.example.test/c/" + std::to_string(i) + ".png";
  c.ctvwidth = 720;
  c.ctvheight = 360;
  c.iconurl = "https://img.example.test/i.png";
  c.viewurl = "";
  c.joindesc = "<b>Install</b> and open";
  c.rewardcondition = 2;
  c.rewarddesc = "desc";
  c.notice = "notice";
  c.cta = "Go";
  c.category = 3;
  c.rewardprice = 0.1 * i + 1e-300;
  c.pricemark = "P";
  c.cpsprice = std::numeric_limits<std::int64_t>::max();
  c.cpsdcprice = std::numeric_limits<std::int64_t>::min();
  c.carrier = "any";
  c.targetagemin = 19;
  c.targetagemax = 65;
  c.gender = 2;
  c.targetpkg = std::vector<std::string>{"a.b", "c.d"};
  c.detargetpkg = std::vector<std::string>{};
  c.ovnkey = "k" + std::to_string(i);
  c.convflag = i % 2;
  c.orderseq = -i;
  c.rewarddate = "2024-01-02";
  c.rewardtype = 4;
  return c;
}

TEST(RecordsNumber, ExactIntegerReading) {
  using S = JsonInteger::Status;
  struct Case {
    const char* text;
    S status;
    std::int64_t value;
  };
  const Case cases[] = {
      {"300", S::integer, 300},
      {"300.0", S::integer, 300},
      {"1e2", S::integer, 100},
      {"1.5E1", S::integer, 15},
      {"12500e-2", S::integer, 125},
      {"-0", S::integer, 0},
      {"0.000e99999999999999999999", S::integer, 0},
      {"-9223372036854775808", S::integer, std::numeric_limits<std::int64_t>::min()},
      {"9223372036854775807", S::integer, std::numeric_limits<std::int64_t>::max()},
      {"9223372036854775807.000", S::integer, std::numeric_limits<std::int64_t>::max()},
      {"300.5", S::fractional, 0},
      {"1e-400", S::fractional, 0},
      {"9223372036854775808", S::outOfRange, 0},
      {"-9223372036854775809", S::outOfRange, 0},
      {"18446744073709551616", S::outOfRange, 0},
      {"1e400", S::outOfRange, 0},
      {"1e99999999999999999999", S::outOfRange, 0},
      {"", S::malformed, 0},
      {"-", S::malformed, 0},
      {"01", S::malformed, 0},
      {"1.", S::malformed, 0},
      {".5", S::malformed, 0},
      {"1e", S::malformed, 0},
      {"+1", S::malformed, 0},
      {"1 ", S::malformed, 0},
      {"0x10", S::malformed, 0},
  };
  for (const auto& c : cases) {
    const JsonInteger r = readJsonInteger(c.text);
    EXPECT_EQ(r.status, c.status) << c.text;
    if (c.status == S::integer) {
      EXPECT_EQ(r.value, c.value) << c.text;
    }
    EXPECT_EQ(isJsonNumber(c.text), c.status != S::malformed) << c.text;
  }
}

TEST(RecordsUtf8, RepairReplacesEachBadSubsequenceAndReportsOffsets) {
  std::vector<std::size_t> at;
  // Truncated 3-byte sequence, a lone continuation byte, a surrogate and an overlong form.
  EXPECT_EQ(repairUtf8("a\xE2\x82"
                       "b\x80"
                       "c",
                       &at),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD"
            "c");
  EXPECT_EQ(at, (std::vector<std::size_t>{1, 5}));
  EXPECT_EQ(repairUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(repairUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(repairUtf8("ok \xF0\x9F\x98\x80 \xEF\xBF\xBD"), "ok \xF0\x9F\x98\x80 \xEF\xBF\xBD");
}

TEST(RecordsCamp, EmptyObjectGivesEveryFallback) {
  const Camp c = campOf("{}");
  EXPECT_EQ(c, Camp{});
  EXPECT_EQ(c.campid, -1);
  EXPECT_EQ(c.bm, -1);
  EXPECT_EQ(c.rewardtype, -1);
  EXPECT_EQ(c.bmcheck, 0);
  EXPECT_EQ(c.name, "");
  EXPECT_FALSE(c.iconurl.has_value());
  EXPECT_FALSE(c.targetpkg.has_value());
  EXPECT_FALSE(c.ovnkey.has_value());
}

// Each bad field takes its own fallback; its neighbours, before and after, are unaffected.
TEST(RecordsCamp, BadFieldsFallBackWithoutTouchingSiblings) {
  struct Case {
    const char* campid;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"12", 12},
      {"300.0", 300},
      {"1e2", 100},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"\"12\"", -1},
      {"300.5", -1},
      {"9223372036854775808", -1},
      {"18446744073709551616", -1},
      {"1e400", -1},
      {"null", -1},
      {"true", -1},
      {"[1, 2]", -1},
      {"{\"a\": [1, {\"b\": null}]}", -1},
  };
  for (const auto& c : cases) {
    const std::string body = std::string(R"({"bm": 3, "campid": )") + c.campid +
                             R"(, "name": "n", "rewardprice": 1e400, "iconurl": "i", "bmcheck": 2})";
    const Camp camp = campOf(body);
    EXPECT_EQ(camp.campid, c.expected) << body;
    EXPECT_EQ(camp.bm, 3) << body;
    EXPECT_EQ(camp.name, "n") << body;
    EXPECT_EQ(camp.rewardprice, 0.0) << body;
    EXPECT_EQ(camp.iconurl, "i") << body;
    EXPECT_EQ(camp.bmcheck, 2) << body;
  }
}

TEST(RecordsCamp, TypeRulesPerField) {
  EXPECT_EQ(campOf(R"({"rewardprice": 300})").rewardprice, 300.0);
  EXPECT_EQ(campOf(R"({"rewardprice": 18446744073709551616})").rewardprice, 18446744073709551616.0);
  EXPECT_EQ(campOf(R"({"rewardprice": "300"})").rewardprice, 0.0);
  EXPECT_EQ(campOf(R"({"name": 5, "engname": "e"})").name, "");
  EXPECT_FALSE(campOf(R"({"iconurl": 5})").iconurl.has_value());
  EXPECT_EQ(campOf(R"({"viewurl": ""})").viewurl, "");

  const Camp mixed = campOf(R"({"targetpkg": ["a", 1, "b"], "detargetpkg": ["x"], "gender": 1})");
  EXPECT_FALSE(mixed.targetpkg.has_value());
  EXPECT_EQ(mixed.detargetpkg, std::vector<std::string>{"x"});
  EXPECT_EQ(mixed.gender, 1);
  EXPECT_FALSE(campOf(R"({"targetpkg": ["a", null]})").targetpkg.has_value());
  EXPECT_EQ(campOf(R"({"targetpkg": []})").targetpkg, std::vector<std::string>{});
}

TEST(RecordsCamp, LastDuplicateKeyWins) {
  EXPECT_EQ(campOf(R"({"campid": 1, "campid": 2})").campid, 2);
  EXPECT_EQ(campOf(R"({"campid": 1, "campid": "x"})").campid, -1);
  EXPECT_FALSE(campOf(R"({"ovnkey": "k", "ovnkey": null})").ovnkey.has_value());
}

TEST(RecordsCamp, KeyOrderDoesNotMatter) {
  const Camp forward = campOf(R"({"campid": 1, "bm": 2, "name": "n", "ovnkey": "k", "rewardtype": 9})");
  const Camp backward = campOf(R"({"rewardtype": 9, "ovnkey": "k", "name": "n", "bm": 2, "campid": 1})");
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(forward.campid, 1);
  EXPECT_EQ(forward.rewardtype, 9);
}

TEST(RecordsCamp, EscapedKeysAndStringsAreUnescaped) {
  const Camp c = campOf(R"({"camp\u0069d": 7, "name": "a\"b\\c\u00e9\ud83d\ude00"})");
  EXPECT_EQ(c.campid, 7);
  EXPECT_EQ(c.name, "a\"b\\c\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(RecordsCamp, EncodeRoundTrips) {
  for (int i = 0; i < 5; ++i) {
    const Camp original = fullCamp(i);
    const std::string json = encodeCamp(original);
    auto back = decodeCamp(json);
    ASSERT_TRUE(back.ok()) << json << " -> " << back.error().description;
    EXPECT_EQ(back.value(), original) << json;
  }
  const std::string empty = encodeCamp(Camp{});
  EXPECT_EQ(empty.find("nativeurl"), std::string::npos);
  EXPECT_EQ(empty.find("targetpkg"), std::string::npos);
  EXPECT_EQ(decodeCamp(empty).value(), Camp{});
}

TEST(RecordsCamp, EncodeNeverWritesInvalidJson) {
  Camp c;
  c.name = "bad \xFF byte";
  c.rewardprice = std::numeric_limits<double>::infinity();
  const auto back = decodeCamp(encodeCamp(c));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.value().name, "bad \xEF\xBF\xBD byte");
  EXPECT_EQ(back.value().rewardprice, 0.0);
}

TEST(RecordsStrict, SpecimenAnswers) {
  const auto req = decodeReq(R"({"result": 200, "camp": [{"campid": "12"}], "extra": {"x": [1, 2]}})");
  ASSERT_TRUE(req.ok()) << req.error().description;
  ASSERT_TRUE(req.value().camp.has_value());
  ASSERT_EQ(req.value().camp->size(), 1u);
  const Camp& only = req.value().camp->front();
  EXPECT_EQ(only.campid, -1);
  EXPECT_EQ(only.name, "");
  EXPECT_FALSE(only.iconurl.has_value());
  EXPECT_FALSE(req.value().housemd.has_value());

  const auto notice = decodeVelmontNotice(R"({"result": null, "text": "x"})");
  ASSERT_TRUE(notice.ok());
  EXPECT_FALSE(notice.value().result.has_value());
  EXPECT_EQ(notice.value().text, "x");

  const auto join = decodeJoin(R"({"lurl": "https://l.test/?a=1&b=2", "result": 200.0, "ovnkey": "k"})");
  ASSERT_TRUE(join.ok());
  EXPECT_EQ(join.value(), (Join{200, "k", "https://l.test/?a=1&b=2"}));

  const auto list = decodeRewardList(
      R"({"result": 200, "reward": [{"campid": 1, "name": "n", "rewardprice": 10, "rewardmark": "P",
          "rewarddate": "2024-01-01", "bm": 2}, {}]})");
  ASSERT_TRUE(list.ok());
  ASSERT_EQ(list.value().reward->size(), 2u);
  EXPECT_EQ(list.value().reward->at(0).rewardprice, 10.0);
  EXPECT_EQ(list.value().reward->at(1), Reward{});

  EXPECT_EQ(decodeResultData(R"({"result": 1e2})").value().result, 100);
  EXPECT_EQ(
      decodeAgreeContents(R"({"result": 200, "cs_agree_contents": "<p>t</p>"})").value().cs_agree_contents,
      "<p>t</p>");
  EXPECT_EQ(decodeState(R"({"state": 3})").value(), (State{std::nullopt, std::nullopt, 3}));
}

TEST(RecordsStrict, WrongTypeFailsWithDescriptionNamingRecordAndField) {
  EXPECT_EQ(errorOf(decodeState(R"({"result": "200"})")),
            "State.result: expected an integer, found a string");
  EXPECT_EQ(errorOf(decodeState(R"({"result": 200, "state": 1.5})")),
            "State.state: expected an integer, found a number with a fractional part");
  EXPECT_EQ(errorOf(decodeJoin(R"({"result": 9223372036854775808})")),
            "Join.result: expected an integer, found an integer outside the 64-bit range");
  EXPECT_EQ(errorOf(decodeJoin(R"({"ovnkey": 12})")), "Join.ovnkey: expected a string, found a number");
  EXPECT_EQ(errorOf(decodeReward(R"({"rewardprice": 1e400})")),
            "Reward.rewardprice: expected a number, found a number outside the range of a double");
  EXPECT_EQ(errorOf(decodeRewardList(R"({"reward": [{}, {"rewardprice": "1"}]})")),
            "RewardList.reward[1].rewardprice: expected a number, found a string");
  EXPECT_EQ(errorOf(decodeRewardList(R"({"reward": {}})")),
            "RewardList.reward: expected an array, found an object");
  EXPECT_EQ(errorOf(decodeReq(R"({"camp": [{}, null]})")), "Req.camp[1]: expected an object, found null");
  EXPECT_EQ(errorOf(decodeReq(R"({"housemd": [[]]})")), "Req.housemd[0]: expected an object, found an array");
  EXPECT_EQ(errorOf(decodeVelmontNotice("[]")),
            "VelmontNotice: expected an object at the top level, found an array");
}

TEST(RecordsSyntax, MalformedBodiesFailEvenWhereFieldsAreTolerant) {
  const char* bodies[] = {
      "",
      " \n ",
      "{",
      R"({"campid": 1,})",
      R"({"campid": 1} x)",
      R"({"campid": 1}})",
      R"({"campid": 1} {"campid": 2})",
      R"({"campid" 1})",
      R"({"campid": [1,,2]})",
      R"({"ignored": [1 2]})",
      R"({"ignored": 01})",
      R"({"ignored": -})",
      R"({"ignored": nul})",
      R"({"ignored": tru})",
      R"({"campid": 1x})",
      R"({"name": "unterminated})",
      "{\"name\": \"control \x01 char\"}",
      R"({"name": "bad \x escape"})",
      R"({"ignored": {"a" 1}})",
      "\xEF\xBB\xBF\xFF{}",
  };
  for (const char* body : bodies) {
    const auto r = decodeCamp(body);
    EXPECT_FALSE(r.ok()) << body;
    if (!r.ok()) {
      EXPECT_EQ(r.error().description.rfind("Camp", 0), 0u) << r.error().description;
    }
  }
  EXPECT_EQ(errorOf(decodeState("")), "State: the body is empty");
  EXPECT_NE(errorOf(decodeState(R"({"result": 200} {})")).find("after the object"), std::string::npos);
}

TEST(RecordsSyntax, DeepNestingFailsCleanlyAndModerateNestingPasses) {
  const std::string deep = R"({"ignored": )" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_FALSE(decodeState(deep).ok());
  EXPECT_FALSE(decodeCamp(R"({"campid": )" + std::string(100000, '[') + std::string(100000, ']') + "}").ok());
  const std::string moderate =
      R"({"ignored": )" + std::string(100, '[') + std::string(100, ']') + R"(, "result": 1})";
  EXPECT_EQ(decodeState(moderate).value().result, 1);
}

TEST(RecordsUtf8, InvalidBytesSpoilOnlyTheStringsThatHoldThem) {
  // A genuine U+FFFD elsewhere in the body must not be mistaken for a repaired byte.
  const Camp c = campOf(
      "{\"name\": \"bad \xC3\", \"engname\": \"ok \xEF\xBF\xBD\", \"iconurl\": \"\xFF\", "
      "\"notice\": \"fine\", \"ignored\": \"\xFE\"}");
  EXPECT_EQ(c.name, "");
  EXPECT_EQ(c.engname, "ok \xEF\xBF\xBD");
  EXPECT_FALSE(c.iconurl.has_value());
  EXPECT_EQ(c.notice, "fine");

  EXPECT_EQ(errorOf(decodeState("{\"result\": 200, \"ovnkey\": \"k\xE2\x82\"}")),
            "State.ovnkey: expected a string, found a string that is not valid UTF-8");
  EXPECT_EQ(decodeState("{\"result\": 200, \"junk\": \"\xE2\x82\"}").value().result, 200);

  const auto req = decodeReq("{\"camp\": [{\"name\": \"\xFF\", \"campid\": 4}]}");
  ASSERT_TRUE(req.ok());
  EXPECT_EQ(req.value().camp->front().campid, 4);
  EXPECT_EQ(req.value().camp->front().name, "");
}

TEST(RecordsReq, LargeListDecodesCompletely) {
  std::vector<Camp> camps;
  std::string body = R"({"result": 200, "rewardtype": 2, "camp": [)";
  for (int i = 0; body.size() < (std::size_t{1} << 20); ++i) {
    if (i) body += ',';
    camps.push_back(fullCamp(i));
    body += encodeCamp(camps.back());
  }
  body += R"(], "housemd": [], "pricedecimal": "0"})";
  const auto r = decodeReq(body);
  ASSERT_TRUE(r.ok()) << r.error().description;
  EXPECT_EQ(r.value().result, 200);
  EXPECT_EQ(r.value().rewardtype, 2);
  EXPECT_EQ(r.value().camp, camps);
  EXPECT_EQ(r.value().housemd, std::vector<Camp>{});
  EXPECT_EQ(r.value().pricedecimal, "0");
}

// The SIMD fast path must hand every body it cannot settle exactly to the on-demand path.
TEST(RecordsPaths, FastPathAgreesWithOnDemandPath) {
  const char* bodies[] = {
      R"({"result": 300.0, "state": 1e2})",
      R"({"result": 300.00000000000000001})",
      R"({"result": 9223372036854775807.0})",
      R"({"result": -9223372036854775809})",
      R"({"result": 1.5})",
      R"({"result": 18446744073709551615})",
      R"({"result": 200, "ovnkey": 5})",
      R"({"rewardprice": 18446744073709551616, "campid": 1e400, "bm": 4})",
      R"({"campid": 300.00000000000000001, "camp": [{"campid": 2.0}, {"targetpkg": ["a", 1]}]})",
      R"({"reward": [{"campid": 1.0}, {"campid": "1"}]})",
      "{\"text\": \"\xFF\", \"cs_agree_contents\": \"ok\"}",
      R"({"result": 1, "result": null})",
      R"([{"result": 1}])",
      R"({"result": 1} [])",
      "",
  };
  std::vector<std::string> all(std::begin(bodies), std::end(bodies));
  for (int depth : {510, 511, 512, 513}) {  // around the nesting limit that both paths share
    all.push_back(R"({"result": 1, "x": )" + std::string(depth, '[') + std::string(depth, ']') + "}");
  }
  for (const std::string& body : all) {
    auto same = [&](const auto& fast, const auto& slow) {
      ASSERT_EQ(fast.ok(), slow.ok()) << body;
      if (fast.ok()) {
        EXPECT_TRUE(fast.value() == slow.value()) << body;
      } else {
        EXPECT_EQ(fast.error().description, slow.error().description) << body;
      }
    };
    same(decodeRecord<Req>(body, DecodePath::automatic), decodeRecord<Req>(body, DecodePath::onDemand));
    same(decodeRecord<Camp>(body, DecodePath::automatic), decodeRecord<Camp>(body, DecodePath::onDemand));
    same(decodeRecord<State>(body, DecodePath::automatic), decodeRecord<State>(body, DecodePath::onDemand));
    same(decodeRecord<RewardList>(body, DecodePath::automatic),
         decodeRecord<RewardList>(body, DecodePath::onDemand));
    same(decodeRecord<AgreeContents>(body, DecodePath::automatic),
         decodeRecord<AgreeContents>(body, DecodePath::onDemand));
  }
  EXPECT_EQ(decodeState(R"({"result": 300.00000000000000001})").error().description,
            "State.result: expected an integer, found a number with a fractional part");
  EXPECT_EQ(decodeState(R"({"result": 9223372036854775807.0})").value().result,
            std::numeric_limits<std::int64_t>::max());
}

// Decodes with both paths, which must agree, and hands back the automatic one.
template <class R>
Result<R> decodeBoth(const std::string& body) {
  Result<R> fast = decodeRecord<R>(body, DecodePath::automatic);
  const Result<R> slow = decodeRecord<R>(body, DecodePath::onDemand);
  EXPECT_EQ(fast.ok(), slow.ok()) << body;
  if (fast.ok() && slow.ok()) {
    EXPECT_TRUE(fast.value() == slow.value()) << body;
  } else if (!fast.ok() && !slow.ok()) {
    EXPECT_EQ(fast.error().description, slow.error().description) << body;
  }
  return fast;
}

// A key that occurs more than once counts only with its last occurrence, whatever the earlier
// ones held; in strict and tolerant records, at the top level and inside lists.
TEST(RecordsDuplicateKeys, LastOccurrenceDecidesTheField) {
  EXPECT_EQ(decodeBoth<State>(R"({"result": "x", "result": 200})").value().result, 200);
  EXPECT_EQ(decodeBoth<State>(R"({"result": 1.5, "result": 300.0})").value().result, 300);
  EXPECT_EQ(decodeBoth<State>(R"({"result": null, "result": 200})").value().result, 200);
  EXPECT_EQ(decodeBoth<State>(R"({"result": [1, {}], "res\u0075lt": 2})").value().result, 2);
  EXPECT_FALSE(decodeBoth<State>(R"({"result": 200, "result": null})").value().result.has_value());
  EXPECT_EQ(decodeBoth<State>("{\"ovnkey\": \"\xFF\", \"ovnkey\": \"k\"}").value().ovnkey, "k");
  EXPECT_EQ(errorOf(decodeBoth<State>(R"({"result": 200, "result": "x"})")),
            "State.result: expected an integer, found a string");
  EXPECT_EQ(errorOf(decodeBoth<Join>(R"({"lurl": 1, "result": 200, "lurl": 2})")),
            "Join.lurl: expected a string, found a number");

  const auto req = decodeBoth<Req>(
      R"({"camp": [null], "result": 200, "camp": [{"campid": "x", "campid": 7, "name": 1, "name": "n"}],
          "housemd": [{"campid": 1}], "housemd": [{"campid": 2, "campid": "y"}]})");
  ASSERT_TRUE(req.ok()) << req.error().description;
  ASSERT_EQ(req.value().camp->size(), 1u);
  EXPECT_EQ(req.value().camp->front().campid, 7);
  EXPECT_EQ(req.value().camp->front().name, "n");
  ASSERT_EQ(req.value().housemd->size(), 1u);
  EXPECT_EQ(req.value().housemd->front().campid, -1);
  EXPECT_EQ(errorOf(decodeBoth<Req>(R"({"camp": [{"campid": 1}], "camp": 5})")),
            "Req.camp: expected an array, found a number");

  const auto rewards = decodeBoth<RewardList>(R"({"reward": [{"campid": "1", "bm": 2, "campid": 1}]})");
  ASSERT_TRUE(rewards.ok()) << rewards.error().description;
  EXPECT_EQ(rewards.value().reward->front(), (Reward{1, {}, {}, {}, {}, 2}));
  EXPECT_EQ(errorOf(decodeBoth<RewardList>(R"({"reward": [{"campid": 1, "campid": "1"}]})")),
            "RewardList.reward[0].campid: expected an integer, found a string");

  const Camp camp = decodeBoth<Camp>(
                        R"({"campid": "x", "campid": 5, "targetpkg": [1], "targetpkg": ["a"],
                            "iconurl": "i", "iconurl": 3, "rewardprice": 2, "rewardprice": "2"})")
                        .value();
  EXPECT_EQ(camp.campid, 5);
  EXPECT_EQ(camp.targetpkg, std::vector<std::string>{"a"});
  EXPECT_FALSE(camp.iconurl.has_value());
  EXPECT_EQ(camp.rewardprice, 0.0);
}

// To know the last occurrence the whole object is read, so a wrong type never hides bad syntax
// after it; of several bad fields, the one whose last occurrence comes first is named.
TEST(RecordsDuplicateKeys, WholeObjectIsReadBeforeAWrongTypeIsReported) {
  EXPECT_NE(errorOf(decodeBoth<State>(R"({"result": "x", "ignored": [1 2]})")).find("invalid JSON"),
            std::string::npos);
  EXPECT_NE(errorOf(decodeBoth<State>(R"({"result": "x"} {})")).find("after the object"), std::string::npos);
  EXPECT_EQ(errorOf(decodeBoth<State>(R"({"state": "a", "result": "b", "state": "c"})")),
            "State.result: expected an integer, found a string");
  EXPECT_EQ(errorOf(decodeBoth<State>(R"({"state": "a", "result": "b", "result": 1})")),
            "State.state: expected an integer, found a string");
}

// Every key as the server spells it, so a misspelt key in a record's description shows here
// rather than passing an encode -> decode round trip unnoticed.
TEST(RecordsKeys, EveryFieldIsReadAndWrittenUnderItsOwnKey) {
  const std::string campJson =
      R"({"campid":1,"bm":2,"bmcheck":3,"name":"a","engname":"b","detailpage":4,"package":"c",)"
      R"("ctvurl":"d","ctvwidth":5,"ctvheight":6,"nativeurl":"e","iconurl":"f","viewurl":"g",)"
      R"("joindesc":"h","rewardcondition":7,"rewarddesc":"i","notice":"j","cta":"k","category":8,)"
      R"("rewardprice":9.5,"pricemark":"l","cpsprice":10,"cpsdcprice":11,"carrier":"m",)"
      R"("targetagemin":12,"targetagemax":13,"gender":14,"targetpkg":["n"],"detargetpkg":["o"],)"
      R"("ovnkey":"p","convflag":15,"orderseq":16,"rewarddate":"q","rewardtype":17})";
  const Camp expected{1,
                      2,
                      3,
                      "a",
                      "b",
                      4,
                      "c",
                      "d",
                      5,
                      6,
                      "e",
                      "f",
                      "g",
                      "h",
                      7,
                      "i",
                      "j",
                      "k",
                      8,
                      9.5,
                      "l",
                      10,
                      11,
                      "m",
                      12,
                      13,
                      14,
                      std::vector<std::string>{"n"},
                      std::vector<std::string>{"o"},
                      "p",
                      15,
                      16,
                      "q",
                      17};
  EXPECT_EQ(campOf(campJson), expected);
  EXPECT_EQ(encodeCamp(expected), campJson);

  EXPECT_EQ(decodeBoth<Req>(R"({"result":1,"errmsg":"e","adtype":2,"rewardtype":3,"pricedecimal":"p",)"
                            R"("camp":[],"housemd":[{}]})")
                .value(),
            (Req{1, "e", 2, 3, "p", std::vector<Camp>{}, std::vector<Camp>{Camp{}}}));
  EXPECT_EQ(decodeBoth<Reward>(R"({"campid":1,"name":"n","rewardprice":2,"rewardmark":"m",)"
                               R"("rewarddate":"d","bm":3})")
                .value(),
            (Reward{1, "n", 2.0, "m", "d", 3}));
  EXPECT_EQ(decodeBoth<State>(R"({"result":1,"ovnkey":"k","state":2})").value(), (State{1, "k", 2}));
}

TEST(RecordsReq, ConcurrentDecodersDoNotInterfere) {
  const std::string a = R"({"result": 200, "camp": [{"campid": 1}, {"campid": 2}]})";
  const std::string b = R"({"result": 500, "errmsg": "no", "camp": []})";
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const auto ra = decodeReq(a);
        const auto rb = decodeReq(b);
        if (!ra.ok() || ra.value().camp->size() != 2 || !rb.ok() || rb.value().result != 500) ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace orvane
