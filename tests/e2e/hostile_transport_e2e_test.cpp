// The request builder and the real HTTP session against a sandbox that misbehaves at the
// transport level: redirects to a lower scheme, answers that drip or stall, and chaos.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <vector>

#include "core/api/api_list.hpp"
#include "core/sdk/settings_keys.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/fake/fakes.hpp"
#include "tools/sandbox/sandbox.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = 30s;

[[maybe_unused]] const bool kLoopbackBypassesProxy = [] {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  return true;
}();

class HostileTransport : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<sandbox::Server>(sandbox::Options{.https = true});
    server_->start();
    fakes_.http.reset();
    platform_ = fakes_.platform();
    platform_->http = makeCurlHttpSession({.caFile = server_->caFile()});
    fakes_.store->setString(keys::kMkey, sandbox::kMediaKey);
    fakes_.store->setString(keys::kMckey, sandbox::kMediaChannelKey);
    fakes_.store->setString(keys::kUserId, "hostile-user");
    auto& sdk = OrvaneSDK::shared();
    sdk.reset();
    sdk.hostUrl = server_->httpsApiBase();
    sdk.hostPartnerUrl = server_->httpsOrigin() + "/api";
    sdk.noticeUrl = server_->httpsOrigin() + "/orvane/sdk/notice_contents.json";
  }

  void TearDown() override {
    OrvaneSDK::shared().reset();
    platform_.reset();
    server_.reset();
  }

  Result<std::string> list(ApiProvider::Options options = {}) {
    ApiList api(platform_, options);
    std::promise<Result<std::string>> promise;
    auto future = promise.get_future();
    const RequestHandle request =
        api.getReq([&promise](Result<std::string> r) { promise.set_value(std::move(r)); });
    if (future.wait_for(kWait) != std::future_status::ready) {
      ADD_FAILURE() << "no completion in time";
      return Error::make(Error::Kind::timeout, "test gave up");
    }
    return future.get();
  }

  testing::FakePlatform fakes_;
  std::shared_ptr<Platform> platform_;
  std::unique_ptr<sandbox::Server> server_;
};

TEST_F(HostileTransport, RedirectToPlainHttpNeverCarriesTheIdentity) {
  ASSERT_TRUE(list().ok()) << "the https listener answers when trusted";
  server_->force({.endpoint = "/v1/req", .redirect = sandbox::Redirect::ToHttp});

  const auto lowered = list();
  ASSERT_FALSE(lowered.ok());
  EXPECT_EQ(lowered.error().kind, Error::Kind::network);
  EXPECT_NE(lowered.error().description.find("never lowers https to http"), std::string::npos)
      << lowered.error().description;
  const auto seen = server_->received("/v1/req");
  ASSERT_EQ(seen.size(), 2u);
  for (const auto& r : seen) EXPECT_EQ(r.scheme, "https") << "nothing reached the plain listener";
}

TEST_F(HostileTransport, IdleLimitLetsADripThroughAndEndsAStall) {
  const ApiProvider::Options shortIdle{.timeout = 1s};
  const auto whole = list(shortIdle);
  ASSERT_TRUE(whole.ok()) << whole.error().description;

  // Seven pieces, 300 ms apart: two seconds in all, never a second without a byte.
  server_->force(
      {.endpoint = "/v1/req", .times = 1, .dripIntervalMs = 300, .dripBytes = whole.value().size() / 6});
  const auto began = Clock::now();
  const auto dripped = list(shortIdle);
  ASSERT_TRUE(dripped.ok()) << dripped.error().description;
  EXPECT_EQ(dripped.value().size(), whole.value().size());
  EXPECT_GT(Clock::now() - began, 1s);

  server_->force({.endpoint = "/v1/req", .times = 1, .stallAfterBytes = 10});
  const auto stalled = list(shortIdle);
  ASSERT_FALSE(stalled.ok());
  EXPECT_EQ(stalled.error().kind, Error::Kind::timeout);
  EXPECT_NE(stalled.error().description.find("idle limit"), std::string::npos) << stalled.error().description;
}

// Many operations under chaos: each completes exactly once, and the server saw exactly
// one request per operation.
TEST_F(HostileTransport, EveryOperationUnderChaosCompletesExactlyOnce) {
  constexpr int kOperations = 120;
  server_->startChaos({.seed = 23, .answers = kOperations, .maxDelayMs = 40, .hugeListSize = 200});
  ApiList api(platform_, ApiProvider::Options{.timeout = 5s});
  struct Log {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> calls = std::vector<int>(kOperations, 0);
    int completed = 0;
  };
  auto log = std::make_shared<Log>();  // outlives a test that gave up waiting
  RequestGroup requests;               // dropping a handle would cancel its request
  for (int i = 0; i < kOperations; ++i) {
    auto done = [log, i](Result<std::string>) {
      std::lock_guard lock(log->mutex);
      ++log->calls[static_cast<std::size_t>(i)];
      ++log->completed;
      log->changed.notify_all();
    };
    const std::string campid = "10001";
    switch (i % 6) {
      case 0:
        requests.add(api.getReq(done));
        break;
      case 1:
        requests.add(api.getView(campid, done));
        break;
      case 2:
        requests.add(api.getJoin(campid, done));
        break;
      case 3:
        requests.add(api.getState(campid, done));
        break;
      case 4:
        requests.add(api.getCampList(done));
        break;
      default:
        requests.add(api.getVelmontNotice(done));
        break;
    }
  }
  std::unique_lock lock(log->mutex);
  ASSERT_TRUE(log->changed.wait_for(lock, 60s, [&] { return log->completed >= kOperations; }))
      << log->completed;
  for (int i = 0; i < kOperations; ++i) EXPECT_EQ(log->calls[static_cast<std::size_t>(i)], 1) << i;
  EXPECT_EQ(server_->received().size(), static_cast<std::size_t>(kOperations));
  EXPECT_EQ(server_->chaosStats().served, static_cast<std::size_t>(kOperations));
}

}  // namespace
}  // namespace orvane
