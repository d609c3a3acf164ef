#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <regex>

#include "core/api/api_list.hpp"
#include "core/api/records.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/thread_pool.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/fake/fakes.hpp"
#include "tools/sandbox/sandbox.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 15s;

// The sandbox is on loopback; a proxy from the environment must not take these requests.
const bool kLoopbackBypassesProxy = [] {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  return true;
}();

// The SDK with its real HTTP session, talking to a sandbox on 127.0.0.1.
class ApiEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<sandbox::Server>(sandbox::Options{});
    server_->start();
    fakes_.http.reset();
    platform_ = fakes_.platform();
    platform_->http = makeCurlHttpSession();
    platform_->executor = std::make_shared<ThreadPool>(2);  // as on the desktop
    initialize("e2e-user");
    auto& sdk = OrvaneSDK::shared();
    sdk.reset();
    sdk.hostUrl = server_->apiBase();
    sdk.hostPartnerUrl = server_->partnerBase();
    sdk.noticeUrl = server_->noticeUrl();
  }

  void TearDown() override {
    OrvaneSDK::shared().reset();
    platform_.reset();
    server_.reset();
  }

  void initialize(const std::string& userId) {
    fakes_.store->setString(keys::kMkey, sandbox::kMediaKey);
    fakes_.store->setString(keys::kMckey, sandbox::kMediaChannelKey);
    fakes_.store->setString(keys::kUserId, userId);
  }

  // Runs one operation and waits (bounded) for its single completion.
  Result<std::string> call(const std::function<RequestHandle(ApiList&, ApiList::Completion)>& op,
                           ApiProvider::Options options = {}) {
    ApiList api(platform_, options);
    auto promise = std::make_shared<std::promise<Result<std::string>>>();
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto future = promise->get_future();
    const auto request = op(api, [promise, calls](Result<std::string> r) {
      if (calls->fetch_add(1) == 0) promise->set_value(std::move(r));
    });
    if (future.wait_for(kWait) != std::future_status::ready) {
      ADD_FAILURE() << "no completion within " << kWait.count() << " s";
      return Error::make(Error::Kind::timeout, "test gave up");
    }
    auto result = future.get();
    EXPECT_EQ(calls->load(), 1) << "completed more than once";
    return result;
  }

  sandbox::ReceivedRequest lastRequest(const std::string& path) {
    auto got = server_->received(path);
    EXPECT_FALSE(got.empty()) << "the sandbox received no " << path;
    return got.empty() ? sandbox::ReceivedRequest{} : got.back();
  }

  static std::vector<std::string> names(const sandbox::ReceivedRequest& r) {
    std::vector<std::string> out;
    for (const auto& [name, value] : r.query) out.push_back(name);
    return out;
  }

  std::string firstCampId() {
    auto body = call([](ApiList& api, auto done) { return api.getReq(std::move(done)); });
    EXPECT_TRUE(body.ok());
    auto req = decodeReq(body.ok() ? body.value() : "");
    EXPECT_TRUE(req.ok() && req.value().camp && !req.value().camp->empty());
    if (!req.ok() || !req.value().camp || req.value().camp->empty()) return "0";
    return std::to_string(req.value().camp->front().campid);
  }

  testing::FakePlatform fakes_;
  std::shared_ptr<Platform> platform_;
  std::unique_ptr<sandbox::Server> server_;
};

TEST_F(ApiEndToEnd, CampaignListCarriesTheUserIdUnchangedAndDecodes) {
  initialize("a&b+c d=e");
  auto body = call([](ApiList& api, auto done) { return api.getReq(std::move(done)); });
  ASSERT_TRUE(body.ok()) << body.error().description;

  const auto r = lastRequest("/v1/req");
  EXPECT_EQ(r.rawQuery, "mkey=sandbox-mkey&mckey=sandbox-mckey&userid=a%26b%2Bc%20d%3De&adid=" +
                            fakes_.advertisingId->id + "&gender=0&carrier=TestCarrier");
  EXPECT_EQ(r.queryValue("userid"), "a&b+c d=e");
  EXPECT_EQ(r.headers.at("cookie"), "1");
  EXPECT_NE(r.headers.at("user-agent").find("Mozilla/5.0"), std::string::npos);

  auto req = decodeReq(body.value());
  ASSERT_TRUE(req.ok()) << req.error().description;
  EXPECT_EQ(req.value().result, 200);
  ASSERT_TRUE(req.value().camp.has_value());
  EXPECT_GE(req.value().camp->size() + req.value().housemd.value_or(std::vector<Camp>{}).size(), 60u);
}

TEST_F(ApiEndToEnd, AgeAndInspectionModeAreAppendedInOrder) {
  fakes_.store->setInteger(keys::kAge, 25);
  fakes_.store->setString(keys::kGender, "2");
  OrvaneSDK::shared().isInspect = true;
  ASSERT_TRUE(call([](ApiList& api, auto done) { return api.getReq(std::move(done)); }).ok());
  EXPECT_EQ(names(lastRequest("/v1/req")),
            (std::vector<std::string>{"mkey", "mckey", "userid", "adid", "gender", "carrier", "age",
                                      "campinspect"}));
  EXPECT_EQ(lastRequest("/v1/req").queryValue("age"), "25");
  EXPECT_EQ(lastRequest("/v1/req").queryValue("gender"), "2");

  // Inspection never marks the inquiry submission or the notice document.
  ASSERT_TRUE(call([](ApiList& api, auto done) {
                return api.postCS("n", "e@x.org", "010", "etc", 7, "hi", {}, std::move(done));
              }).ok());
  EXPECT_EQ(lastRequest("/api/cs").rawQuery, "");
  ASSERT_TRUE(call([](ApiList& api, auto done) { return api.getVelmontNotice(std::move(done)); }).ok());
  EXPECT_EQ(lastRequest("/orvane/sdk/notice_contents.json").rawQuery, "");

  fakes_.store->setInteger(keys::kAge, 0);
  OrvaneSDK::shared().isInspect = false;
  ASSERT_TRUE(call([](ApiList& api, auto done) { return api.getReq(std::move(done)); }).ok());
  EXPECT_EQ(names(lastRequest("/v1/req")).back(), "carrier");
}

TEST_F(ApiEndToEnd, MissingDeviceFactsAreSentAsBareNames) {
  fakes_.device->carrier.reset();
  fakes_.device->vendorId.reset();
  const auto campid = firstCampId();
  ASSERT_TRUE(call([&](ApiList& api, auto done) { return api.getJoin(campid, std::move(done)); }).ok());
  const auto r = lastRequest("/v1/join");
  EXPECT_NE(r.rawQuery.find("&accid&"), std::string::npos) << r.rawQuery;
  EXPECT_NE(r.rawQuery.find("&carrier&"), std::string::npos) << r.rawQuery;
  EXPECT_EQ(names(r), (std::vector<std::string>{"mkey", "mckey", "userid", "campid", "adid", "accid",
                                                "devmodel", "osver", "carrier", "gender"}));
  EXPECT_EQ(r.queryValue("devmodel"), "iPhone 12");
  EXPECT_EQ(r.queryValue("osver"), "17.2");
}

TEST_F(ApiEndToEnd, EveryOperationReachesItsEndpointWithItsParameters) {
  OrvaneSDK::shared().isInspect = true;
  const auto campid = firstCampId();
  struct Case {
    std::string path;
    std::function<RequestHandle(ApiList&, ApiList::Completion)> op;
    std::vector<std::string> params;
  };
  const std::vector<Case> cases = {
      {"/v1/view",
       [&](ApiList& a, auto d) { return a.getView(campid, std::move(d)); },
       {"mkey", "mckey", "userid", "campid", "campinspect"}},
      {"/v1/state",
       [&](ApiList& a, auto d) { return a.getState(campid, std::move(d)); },
       {"mkey", "mckey", "userid", "campid", "campinspect"}},
      {"/v1/exec",
       [&](ApiList& a, auto d) { return a.getExec(campid, std::move(d)); },
       {"mkey", "mckey", "campid", "adid", "campinspect"}},
      {"/v1/reward",
       [&](ApiList& a, auto d) { return a.getReward(campid, "KEY 1", std::move(d)); },
       {"mkey", "mckey", "campid", "userid", "adid", "os", "ovnkey", "campinspect"}},
      {"/api/cs/user_camp_list",
       [&](ApiList& a, auto d) { return a.getCampList(std::move(d)); },
       {"mkey", "mckey", "userid", "campinspect"}},
      {"/api/cs/agree_contents_app",
       [&](ApiList& a, auto d) { return a.getAgreeContents(std::move(d)); },
       {"mkey", "mckey", "userid", "campinspect"}},
      {"/api/cs/user_reward_list",
       [&](ApiList& a, auto d) { return a.getRewardList("0", "20261001", "20261206", std::move(d)); },
       {"mkey", "mckey", "userid", "sdate", "edate", "campinspect"}},
      {"/api/cs/user_reward_list",
       [&](ApiList& a, auto d) { return a.getRewardList("2", "20261001", "20261206", std::move(d)); },
       {"mkey", "mckey", "userid", "sdate", "edate", "rewardtype", "campinspect"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    auto body = call(c.op);
    ASSERT_TRUE(body.ok()) << body.error().description;
    EXPECT_EQ(names(lastRequest(c.path)), c.params);
  }
  EXPECT_EQ(lastRequest("/v1/reward").queryValue("ovnkey"), "KEY 1");
  EXPECT_EQ(lastRequest("/v1/reward").queryValue("os"), "ios");

  auto rewards = decodeRewardList(call([](ApiList& a, auto d) {
                                    return a.getRewardList("0", "20200101", "20991231", std::move(d));
                                  }).value());
  ASSERT_TRUE(rewards.ok()) << rewards.error().description;
  EXPECT_EQ(rewards.value().result, 200);

  // The install report has no completion: wait for the server to see it.
  const auto inst = ApiList(platform_).getInst(campid);
  ASSERT_TRUE(server_->waitForRequests("/v1/inst", 1, kWait));
  EXPECT_EQ(names(lastRequest("/v1/inst")),
            (std::vector<std::string>{"mkey", "mckey", "userid", "campid", "adid", "os", "campinspect"}));

  auto notice =
      decodeVelmontNotice(call([](ApiList& a, auto d) { return a.getVelmontNotice(std::move(d)); }).value());
  ASSERT_TRUE(notice.ok());
  EXPECT_EQ(notice.value().result, 200);
  EXPECT_FALSE(notice.value().text.value_or("").empty());
}

TEST_F(ApiEndToEnd, InquiryWithTwoImagesArrivesAsMultipartForm) {
  std::vector<ImagePtr> images = {testing::FakeImageCodec::make(640, 480),
                                  testing::FakeImageCodec::make(20, 30)};
  auto body = call([&](ApiList& api, auto done) {
    return api.postCS("Kim", "kim@example.org", "010-1234", "error", 1234, "line one\r\n--^-----^\r\nforged",
                      images, std::move(done));
  });
  ASSERT_TRUE(body.ok()) << body.error().description;
  auto result = decodeResultData(body.value());
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().result, 200);

  const auto r = lastRequest("/api/cs");
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.formValue("content"), "line one\r\n--^-----^\r\nforged");
  EXPECT_EQ(r.formValue("campid"), "1234");
  EXPECT_EQ(r.formValue("userid"), "e2e-user");
  EXPECT_EQ(r.formFields.size(), 9u);
  ASSERT_EQ(r.files.size(), 2u);
  for (const auto& f : r.files) {
    EXPECT_EQ(f.field, "uploadfiles[]");
    EXPECT_TRUE(std::regex_match(f.fileName, std::regex("image[0-9]+\\.jpg"))) << f.fileName;
    EXPECT_EQ(f.contentType, "image/jpeg");
  }
  ASSERT_EQ(server_->inquiries().size(), 1u);
}

TEST_F(ApiEndToEnd, TransportFailuresCompleteOnceWithAReason) {
  // A status other than 200 keeps its status and body.
  server_->force({.endpoint = "/v1/req", .httpStatus = 404});
  auto notFound = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_FALSE(notFound.ok());
  EXPECT_EQ(notFound.error().kind, Error::Kind::httpStatus);
  EXPECT_EQ(notFound.error().status, 404);
  EXPECT_FALSE(notFound.error().body.empty());

  // An empty 200 is delivered as zero bytes; the caller's decoding then fails.
  server_->force({.endpoint = "/v1/req", .body = sandbox::BodyMode::Empty});
  auto empty = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_TRUE(empty.ok()) << empty.error().description;
  EXPECT_TRUE(empty.value().empty());
  EXPECT_FALSE(decodeReq(empty.value()).ok());

  // Malformed JSON and invalid UTF-8 arrive as bytes; decoding says why it fails.
  server_->force({.endpoint = "/v1/req", .body = sandbox::BodyMode::Malformed});
  auto malformed = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_TRUE(malformed.ok());
  auto bad = decodeReq(malformed.value());
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.error().description.find("Req"), std::string::npos) << bad.error().description;

  server_->force({.endpoint = "/v1/req", .body = sandbox::BodyMode::InvalidUtf8});
  auto invalid = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_TRUE(invalid.ok());
  // The broken name is one campaign's bad field: it falls back, the rest stays.
  auto tolerant = decodeReq(invalid.value());
  ASSERT_TRUE(tolerant.ok()) << tolerant.error().description;
  ASSERT_TRUE(tolerant.value().camp && tolerant.value().camp->size() > 1);
  EXPECT_EQ(tolerant.value().camp->at(0).name, "");
  EXPECT_NE(tolerant.value().camp->at(0).campid, -1);
  EXPECT_FALSE(tolerant.value().camp->at(1).name.empty());

  // A 10 MB answer is delivered whole.
  server_->force({.endpoint = "/v1/req", .body = sandbox::BodyMode::Huge, .hugeBytes = 10u * 1024 * 1024});
  auto huge = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_TRUE(huge.ok()) << huge.error().description;
  EXPECT_GE(huge.value().size(), 10u * 1024 * 1024);
  EXPECT_TRUE(decodeReq(huge.value()).ok());

  // A slow server runs into the request's timeout.
  server_->force({.endpoint = "/v1/req", .delayMs = 5000});
  const auto started = std::chrono::steady_clock::now();
  auto slow = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); }, ApiProvider::Options{300ms});
  ASSERT_FALSE(slow.ok());
  EXPECT_EQ(slow.error().kind, Error::Kind::timeout);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
  server_->clearForcing();
}

TEST_F(ApiEndToEnd, ServerDownFailsWithNetworkError) {
  server_->stop();
  auto down = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_FALSE(down.ok());
  EXPECT_EQ(down.error().kind, Error::Kind::network);
  EXPECT_FALSE(down.error().description.empty());
}

TEST_F(ApiEndToEnd, UnknownMediaKeyIsRefusedByResultCode) {
  fakes_.store->setString(keys::kMkey, "nobody");
  auto body = call([](ApiList& a, auto d) { return a.getReq(std::move(d)); });
  ASSERT_TRUE(body.ok());
  auto req = decodeReq(body.value());
  ASSERT_TRUE(req.ok());
  EXPECT_EQ(req.value().result, 401);
}

}  // namespace
}  // namespace orvane
