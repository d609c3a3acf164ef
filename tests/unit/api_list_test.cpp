#include "core/api/api_list.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/api/query.hpp"
#include "core/sdk/settings_keys.hpp"
#include "orvane/config.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakeImageCodec;
using testing::FakePlatform;

const std::string kApi = "http://127.0.0.1:8080/v1";
const std::string kPartner = "http://127.0.0.1:8080/api";
const std::string kAdid = "6D92078A-8246-4BA4-AE5B-76104861E7DC";
const std::string kAccid = "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";
const std::string kId = "mkey=mk&mckey=mck&userid=u1";

struct Recorder {
  int calls = 0;
  std::optional<Result<std::string>> result;
  ApiList::Completion completion() {
    return [this](Result<std::string> r) {
      ++calls;
      result.emplace(std::move(r));
    };
  }
};

struct Operation {
  std::string name;
  std::function<RequestHandle(ApiList&, ApiList::Completion)> call;
  std::string url;  // without inspection
  bool inspected;   // carries campinspect in inspection mode
  bool partner;
};

std::vector<Operation> operations() {
  return {
      {"getReq", [](ApiList& a, auto c) { return a.getReq(c); },
       kApi + "/req?" + kId + "&adid=" + kAdid + "&gender=0&carrier=TestCarrier", true, false},
      {"getVelmontNotice", [](ApiList& a, auto c) { return a.getVelmontNotice(c); }, config::kNoticeUrl,
       false, false},
      {"getCampList", [](ApiList& a, auto c) { return a.getCampList(c); },
       kPartner + "/cs/user_camp_list?" + kId, true, true},
      {"getAgreeContents", [](ApiList& a, auto c) { return a.getAgreeContents(c); },
       kPartner + "/cs/agree_contents_app?" + kId, true, true},
      {"postCS", [](ApiList& a, auto c) { return a.postCS("n", "e@x", "010", "3", 77, "hi", {}, c); },
       kPartner + "/cs", false, true},
      {"getRewardList", [](ApiList& a, auto c) { return a.getRewardList("0", "20240101", "20240131", c); },
       kPartner + "/cs/user_reward_list?" + kId + "&sdate=20240101&edate=20240131", true, true},
      {"getRewardList2", [](ApiList& a, auto c) { return a.getRewardList("2", "20240101", "20240131", c); },
       kPartner + "/cs/user_reward_list?" + kId + "&sdate=20240101&edate=20240131&rewardtype=2", true, true},
      {"getView", [](ApiList& a, auto c) { return a.getView("12", c); }, kApi + "/view?" + kId + "&campid=12",
       true, false},
      {"getJoin", [](ApiList& a, auto c) { return a.getJoin("12", c); },
       kApi + "/join?" + kId + "&campid=12&adid=" + kAdid + "&accid=" + kAccid +
           "&devmodel=iPhone%2012&osver=17.2&carrier=TestCarrier&gender=0",
       true, false},
      {"getState", [](ApiList& a, auto c) { return a.getState("12", c); },
       kApi + "/state?" + kId + "&campid=12", true, false},
      {"getInst",
       [](ApiList& a, auto c) {
         auto request = a.getInst("12");
         c(std::string());  // no completion of its own
         return request;
       },
       kApi + "/inst?" + kId + "&campid=12&adid=" + kAdid + "&os=ios", true, false},
      {"getExec", [](ApiList& a, auto c) { return a.getExec("12", c); },
       kApi + "/exec?mkey=mk&mckey=mck&campid=12&adid=" + kAdid, true, false},
      {"getReward", [](ApiList& a, auto c) { return a.getReward("12", "k y", c); },
       kApi + "/reward?mkey=mk&mckey=mck&campid=12&userid=u1&adid=" + kAdid + "&os=ios&ovnkey=k%20y", true,
       false},
  };
}

class ApiListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = kApi;
    OrvaneSDK::shared().hostPartnerUrl = kPartner;
    fake.store->setString(keys::kMkey, "mk");
    fake.store->setString(keys::kMckey, "mck");
    fake.store->setString(keys::kUserId, "u1");
    fake.http->handler = [](const HttpRequest&) { return Result<HttpResponse>(FakeHttpSession::ok("{}")); };
    Log::displayLog = true;
    Log::setSink(fake.logSink);
  }
  void TearDown() override {
    OrvaneSDK::shared().reset();
    Log::displayLog = false;
    Log::setSink(nullptr);
  }

  std::string lastUrl() const {
    const auto requests = fake.http->requests();
    return requests.empty() ? std::string() : requests.back().url;
  }

  FakePlatform fake;
  RequestGroup kept;  // the requests' handles, held as a caller would
};

TEST_F(ApiListTest, EveryOperationBuildsItsExactRequest) {
  ApiList api(fake.platform());
  for (const auto& op : operations()) {
    SCOPED_TRACE(op.name);
    Recorder r;
    const auto request = op.call(api, r.completion());
    EXPECT_EQ(lastUrl(), op.url);
    EXPECT_EQ(fake.http->requests().back().method, op.name == "postCS" ? "POST" : "GET");
    EXPECT_EQ(r.calls, 1);
    ASSERT_TRUE(r.result && r.result->ok());
  }
}

TEST_F(ApiListTest, InspectionModeAppendsLastParameterExceptOnPostAndNotice) {
  OrvaneSDK::shared().isInspect = true;
  fake.store->setInteger(keys::kAge, 25);
  ApiList api(fake.platform());
  for (const auto& op : operations()) {
    SCOPED_TRACE(op.name);
    Recorder r;
    const auto request = op.call(api, r.completion());
    auto expected = op.url;
    if (op.name == "getReq" || op.name == "getJoin") expected += "&age=25";
    if (op.inspected) expected += "&campinspect=1";
    EXPECT_EQ(lastUrl(), expected);
  }
}

TEST_F(ApiListTest, AgeGenderAndDeviceFactsAreReadPerRequest) {
  ApiList api(fake.platform());
  const auto reqWith = [&](std::int64_t age) {
    fake.store->setInteger(keys::kAge, age);
    kept.add(api.getReq(nullptr));
    return lastUrl();
  };
  EXPECT_TRUE(reqWith(0).ends_with("&carrier=TestCarrier"));
  EXPECT_TRUE(reqWith(25).ends_with("&carrier=TestCarrier&age=25"));
  EXPECT_TRUE(reqWith(-3).ends_with("&carrier=TestCarrier&age=-3"));

  fake.store->setInteger(keys::kAge, 0);
  fake.store->setString(keys::kGender, "F");
  fake.device->carrier.reset();
  fake.device->vendorId.reset();
  kept.add(api.getJoin("9", nullptr));
  EXPECT_EQ(lastUrl(), kApi + "/join?" + kId + "&campid=9&adid=" + kAdid +
                           "&accid&devmodel=iPhone%2012&osver=17.2&carrier&gender=F");
}

TEST_F(ApiListTest, IdentityAndAddressesAreFrozenAtCreation) {
  fake.store->setString(keys::kUserId, "a&b+c d=e/\xC3\xBC?#");
  fake.advertisingId->id = "";
  ApiList before(fake.platform());

  fake.store->setString(keys::kMkey, "mk2");
  fake.store->setString(keys::kUserId, "u2");
  fake.advertisingId->id = "NEW";
  OrvaneSDK::shared().hostUrl = "http://127.0.0.1:9/v2";
  OrvaneSDK::shared().isInspect = true;  // unlike the identity, read per request
  ApiList after(fake.platform());

  kept.add(before.getState("1", nullptr));
  EXPECT_EQ(lastUrl(),
            kApi + "/state?mkey=mk&mckey=mck&userid=a%26b%2Bc%20d%3De%2F%C3%BC%3F%23&campid=1&campinspect=1");
  kept.add(before.getExec("1", nullptr));
  EXPECT_EQ(lastUrl(), kApi + "/exec?mkey=mk&mckey=mck&campid=1&adid&campinspect=1");
  kept.add(after.getExec("1", nullptr));
  EXPECT_EQ(lastUrl(), "http://127.0.0.1:9/v2/exec?mkey=mk2&mckey=mck&campid=1&adid=NEW&campinspect=1");
}

TEST_F(ApiListTest, ServerAddressChoice) {
  OrvaneSDK::shared().reset();
  OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1:1/ignored";  // without hostUrl: built-ins for both
  {
    ApiList api(fake.platform());
    kept.add(api.getView("1", nullptr));
    EXPECT_EQ(lastUrl(), std::string(config::kApiBaseUrl) + "/view?" + kId + "&campid=1");
    kept.add(api.getCampList(nullptr));
    EXPECT_EQ(lastUrl(), std::string(config::kPartnerBaseUrl) + "/cs/user_camp_list?" + kId);
  }
  // The base's own query is replaced, a trailing slash joins with a single one, the fragment dropped.
  OrvaneSDK::shared().hostUrl = "https://127.0.0.1:8443/v1/?debug=1#top";
  OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1/api?x=y";
  OrvaneSDK::shared().noticeUrl = "http://127.0.0.1/notice.json?v=3";
  ApiList api(fake.platform());
  kept.add(api.getView("1", nullptr));
  EXPECT_EQ(lastUrl(), "https://127.0.0.1:8443/v1/view?" + kId + "&campid=1");
  kept.add(api.postCS("n", "e", "t", "1", 5, "c", {}, nullptr));
  EXPECT_EQ(lastUrl(), "http://127.0.0.1/api/cs");
  kept.add(api.getVelmontNotice(nullptr));
  EXPECT_EQ(lastUrl(), "http://127.0.0.1/notice.json?v=3");
}

TEST_F(ApiListTest, PostCsSendsFormFieldsAndImages) {
  ApiList api(fake.platform());
  Recorder r;
  kept.add(api.postCS("Kim", "k@example.com", "010-1", "2", 123, "line1\nline2", {FakeImageCodec::make(2, 3)},
                      r.completion()));
  fake.runUntilIdle();  // the images are encoded on the executor
  ASSERT_EQ(r.calls, 1);
  const auto request = fake.http->requests().back();
  const auto& body = request.body;
  for (const auto& [name, value] :
       std::vector<std::pair<std::string, std::string>>{{"mkey", "mk"},
                                                        {"mckey", "mck"},
                                                        {"userid", "u1"},
                                                        {"email", "k@example.com"},
                                                        {"tel", "010-1"},
                                                        {"cstype", "2"},
                                                        {"campid", "123"},
                                                        {"name", "Kim"},
                                                        {"content", "line1\nline2"}}) {
    EXPECT_NE(body.find("name=\"" + name + "\"\r\n\r\n" + value + "\r\n"), std::string::npos) << name;
  }
  EXPECT_NE(body.find("name=\"uploadfiles[]\"; filename=\"image"), std::string::npos);
  EXPECT_NE(body.find("Content-Type: image/jpeg\r\n\r\nIMG 2 3\r\n"), std::string::npos);
  EXPECT_TRUE(body.ends_with("--^-----^--\r\n"));
}

TEST_F(ApiListTest, RequestsThatCannotBeFormedFailOnceWithTheReason) {
  const auto expectFailure = [&](ApiList& api, const Operation& op, Error::Kind kind,
                                 std::string_view names) {
    SCOPED_TRACE(op.name);
    const auto sent = fake.http->requests().size();
    Recorder r;
    const auto request = op.call(api, r.completion());
    EXPECT_EQ(fake.http->requests().size(), sent);
    if (op.name == "getInst") return;  // nobody to tell; the failure is logged
    ASSERT_EQ(r.calls, 1);
    ASSERT_FALSE(r.result->ok());
    EXPECT_EQ(r.result->error().kind, kind);
    EXPECT_NE(r.result->error().description.find(names), std::string::npos) << r.result->error().description;
  };

  {  // never initialised: everything but the notice document fails
    fake.store->removeObject(keys::kMckey);
    ApiList api(fake.platform());
    for (const auto& op : operations()) {
      if (op.name == "getVelmontNotice") continue;
      expectFailure(api, op, Error::Kind::notConfigured, "STANDARD_MCKEY");
    }
    Recorder notice;
    kept.add(api.getVelmontNotice(notice.completion()));
    EXPECT_TRUE(notice.result && notice.result->ok());
    EXPECT_TRUE(fake.logSink->contains("ApiList Error : "));
    fake.store->setString(keys::kMckey, "mck");
  }
  {  // hostUrl without hostPartnerUrl: only the partner server is out of reach
    OrvaneSDK::shared().hostPartnerUrl.reset();
    ApiList api(fake.platform());
    for (const auto& op : operations()) {
      if (op.partner) {
        expectFailure(api, op, Error::Kind::notConfigured, "hostPartnerUrl");
      } else {
        Recorder r;
        const auto request = op.call(api, r.completion());
        EXPECT_TRUE(r.result && r.result->ok()) << op.name;
      }
    }
  }
  for (const std::string bad : {"ftp://127.0.0.1/v1", "http://", "http://127.0.0.1:99999/v1", "127.0.0.1/v1",
                                "http://127.0.0.1/v 1", "http://user@127.0.0.1/v1", "https://h/\x01", ""}) {
    OrvaneSDK::shared().hostUrl = bad;
    OrvaneSDK::shared().hostPartnerUrl = bad;
    ApiList api(fake.platform());
    for (const auto& op : operations()) {
      if (op.name == "getVelmontNotice") continue;
      expectFailure(api, op, Error::Kind::invalidUrl, "invalid base URL");
    }
  }
}

TEST_F(ApiListTest, TransportFailuresReachTheCallerUnchanged) {
  fake.http->handler = nullptr;
  fake.http->enqueue(FakeHttpSession::ok("{\"result\":500}", 500));
  ApiList api(fake.platform());
  Recorder r;
  kept.add(api.getReq(r.completion()));
  ASSERT_EQ(r.calls, 1);
  EXPECT_EQ(r.result->error().kind, Error::Kind::httpStatus);
  EXPECT_EQ(r.result->error().body, "{\"result\":500}");
}

TEST(Query, EncodesEverythingButUnreservedCharacters) {
  EXPECT_EQ(percentEncode("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(percentEncode("+&=#/? %\x7F\xFF"), "%2B%26%3D%23%2F%3F%20%25%7F%FF");
  EXPECT_EQ(encodeQuery({{"a b", "1+1"}, {"bare", std::nullopt}, {"e", ""}}), "a%20b=1%2B1&bare&e=");
}

TEST(Query, BaseUrlAcceptsOnlyPlainHttpUrls) {
  for (const std::string good :
       {"https://api.example.com/v1", "http://127.0.0.1:8080", "http://[::1]:80/p?q=1#f", "HTTPS://h/%2Fx"}) {
    EXPECT_TRUE(BaseUrl::parse(good).ok()) << good;
  }
  for (const std::string bad :
       {"https://h:/v1", "https://h:0", "https://h/%zz", "https://h/%2", "https://[zz]/", "https://h/<x>",
        "https://\xC3\xA9.com/", "mailto:x@y", " https://h/v1"}) {
    EXPECT_FALSE(BaseUrl::parse(bad).ok()) << bad;
  }
  const auto url = BaseUrl::parse("http://h:1/v1?old=1").value();
  EXPECT_EQ(url.with("/x", "n=2"), "http://h:1/v1/x?n=2");
  EXPECT_EQ(url.with("/x", std::nullopt), "http://h:1/v1/x");
  EXPECT_EQ(url.text(), "http://h:1/v1?old=1");

  // Trailing slashes of the base and the endpoint's leading one make a single slash.
  for (const std::string base : {"http://h:1/v1/", "http://h:1/v1//"}) {
    const auto slashed = BaseUrl::parse(base).value();
    EXPECT_EQ(slashed.with("/x", std::nullopt), "http://h:1/v1/x") << base;
    EXPECT_EQ(slashed.text(), base) << "the text as given";
  }
  EXPECT_EQ(BaseUrl::parse("http://h:1/").value().with("/x", "n=2"), "http://h:1/x?n=2");
  EXPECT_EQ(BaseUrl::parse("http://h:1").value().with("/x", std::nullopt), "http://h:1/x");
}

}  // namespace
}  // namespace orvane
