// The participation flow over the real curl session against the sandbox: every bm/bmcheck
// path from the tap on join to the credited reward, with the test pressing the buttons.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/api/api_list.hpp"
#include "core/participation/api_join.hpp"
#include "core/screens/camp_ordering.hpp"
#include "core/sdk/settings_keys.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/fake/fakes.hpp"
#include "tools/sandbox/sandbox.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::FakeMainQueue;
using testing::FakePlatform;
using testing::RecordingAlertHost;

// Virtual-time main queue that also wakes the test when a worker thread posts to it.
class WakingQueue : public MainQueue {
 public:
  explicit WakingQueue(std::shared_ptr<FakeMainQueue> inner) : inner_(std::move(inner)) {}
  void post(std::function<void()> work) override {
    inner_->post(std::move(work));
    notify();
  }
  void postDelayed(Millis delay, std::function<void()> work) override {
    inner_->postDelayed(delay, std::move(work));
    notify();
  }
  std::unique_ptr<Timer> scheduleTimer(Millis interval, bool repeats,
                                       std::function<void(Timer&)> tick) override {
    return inner_->scheduleTimer(interval, repeats, std::move(tick));
  }
  bool isMainThread() const override { return inner_->isMainThread(); }

  std::uint64_t posts() const {
    std::lock_guard lock(mutex_);
    return posts_;
  }
  void waitForPostAfter(std::uint64_t seen, std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return posts_ != seen; });
  }
  FakeMainQueue& inner() { return *inner_; }
  // Wakes a waiting test without posting work.
  void notify() {
    {
      std::lock_guard lock(mutex_);
      ++posts_;
    }
    changed_.notify_all();
  }

 private:
  std::shared_ptr<FakeMainQueue> inner_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::uint64_t posts_ = 0;
};

// Counts the requests in flight, so that virtual time moves only while nothing is pending.
class CountingSession : public HttpSession {
 public:
  CountingSession(std::shared_ptr<HttpSession> inner, std::shared_ptr<WakingQueue> queue)
      : inner_(std::move(inner)), queue_(std::move(queue)) {}
  RequestHandle send(HttpRequest request, Completion completion) override {
    ++*inFlight_;
    // The counter is shared: completions cancelled at shutdown outlive this object.
    return inner_->send(std::move(request),
                        [inFlight = inFlight_, queue = queue_,
                         completion = std::move(completion)](Result<HttpResponse> result) {
                          completion(std::move(result));  // hands the answer on before the count drops
                          --*inFlight;
                          queue->notify();
                        });
  }
  int inFlight() const { return *inFlight_; }

 private:
  std::shared_ptr<std::atomic<int>> inFlight_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<HttpSession> inner_;
  std::shared_ptr<WakingQueue> queue_;
};

// Landing pages are fetched like a browser would; app links open unless refused.
class LandingOpener : public UrlOpener {
 public:
  LandingOpener(std::shared_ptr<HttpSession> http, std::shared_ptr<MainQueue> queue)
      : http_(std::move(http)), queue_(std::move(queue)) {}
  bool canOpen(const std::string& url) const override {
    const auto colon = url.find(':');
    return colon != std::string::npos && refused.count(url.substr(0, colon)) == 0;
  }
  void open(const std::string& url, std::function<void(bool)> completion) override {
    const bool ok = canOpen(url);
    if (ok) opened.push_back(url);
    if (ok && url.rfind("http", 0) == 0) {
      HttpRequest request;
      request.url = url;
      visits_.push_back(http_->send(std::move(request), [](Result<HttpResponse>) {}));
    }
    if (completion) queue_->post([completion = std::move(completion), ok] { completion(ok); });
  }
  std::vector<std::string> opened;
  std::set<std::string> refused;

 private:
  std::shared_ptr<HttpSession> http_;
  std::shared_ptr<MainQueue> queue_;
  std::vector<RequestHandle> visits_;
};

struct Receiver : JoinProtocol {
  void onParticipationCheckPossible(std::int64_t /*campid*/) override { ++checks; }
  void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) override {
    accumulations.emplace_back(campid, ovnkey);
  }
  int checks = 0;
  std::vector<std::pair<std::int64_t, std::string>> accumulations;
};

class ParticipationE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    server.start();
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = server.apiBase();
    OrvaneSDK::shared().hostPartnerUrl = server.partnerBase();
    useMedia(sandbox::kMediaKey, sandbox::kMediaChannelKey);
    Log::displayLog = true;
    Log::setSink(fake.logSink);
    fake.store->setString(keys::kUserId, "e2e-user");

    auto platform = fake.platform();
    platform->mainQueue = queue;
    platform->http = http;
    platform->urlOpener = opener;
    join = std::make_unique<ApiJoin>(platform, center);
    this->platform = platform;
    join->viewController = host;
    observations.push_back(center.observe("action_list_change", [this] { posted.push_back("list"); }));
    observations.push_back(center.observe("action_detail_finish", [this] { posted.push_back("detail"); }));
  }
  void TearDown() override {
    join.reset();
    OrvaneSDK::shared().reset();
    Log::displayLog = false;
    Log::setSink(nullptr);
    if (HasFailure()) {
      for (const auto& line : fake.logSink->lines()) std::printf("log: %s\n", line.message.c_str());
    }
  }

  void useMedia(const char* mkey, const char* mckey) {
    fake.store->setString(keys::kMkey, mkey);
    fake.store->setString(keys::kMckey, mckey);
  }

  // Runs the executor and the main queue until `done`, moving virtual time on (for the
  // poll timer) only while no request is in flight and no work is due. Bounded by wall time.
  bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto seen = queue->posts();
      fake.runUntilIdle();
      if (done()) return true;
      if (http->inFlight() > 0) {
        queue->waitForPostAfter(seen, deadline);
      } else if (queue->inner().pending() > 0) {
        fake.advance(Millis{1000});
      } else {
        queue->waitForPostAfter(seen, std::min(deadline, std::chrono::steady_clock::now() + 100ms));
      }
    }
    return done();
  }

  std::optional<Camp> listed(std::int64_t campid) {
    auto answer = std::make_shared<std::optional<Result<Req>>>();
    const auto request = ApiList(platform).getReq([answer, q = queue](Result<std::string> body) {
      auto req = body ? decodeReq(body.value()) : Result<Req>(body.error());
      q->post([answer, req = std::move(req)] { answer->emplace(req); });
    });
    if (!pumpUntil([&] { return answer->has_value(); }) || !(*answer)->ok()) return std::nullopt;
    const auto lists = classify((*answer)->value());
    for (const auto* list :
         {&lists.otherCampList, &lists.cpsCampList, &lists.otherHouseList, &lists.cpsHouseList}) {
      for (const auto& camp : *list) {
        if (camp.campid == campid) return camp;
      }
    }
    return std::nullopt;
  }

  Camp campaign(std::int64_t campid) {
    auto camp = listed(campid);
    EXPECT_TRUE(camp) << campid;
    return camp.value_or(Camp{});
  }

  bool alertShown(const std::string& key) {
    return pumpUntil([&] { return !host->alerts.empty() && host->alerts.back().message == localized(key); });
  }

  // The closing refresh alert: confirming it asks the screens to reload and close.
  void expectCompletion() {
    ASSERT_TRUE(alertShown("ov_participation_complete"));
    posted.clear();
    ASSERT_TRUE(host->press(localized("ov_confirm")));
    EXPECT_EQ(posted, (std::vector<std::string>{"list", "detail"}));
  }

  std::size_t received(const std::string& path) { return server.received(path).size(); }

  sandbox::Server server{sandbox::Options{}};
  FakePlatform fake;
  std::shared_ptr<WakingQueue> queue = std::make_shared<WakingQueue>(fake.mainQueue);
  std::shared_ptr<CountingSession> http = std::make_shared<CountingSession>(makeCurlHttpSession(), queue);
  std::shared_ptr<LandingOpener> opener = std::make_shared<LandingOpener>(http, queue);
  std::shared_ptr<const Platform> platform;
  NotificationCenter center;
  std::vector<NotificationCenter::Observation> observations;
  std::vector<std::string> posted;
  std::shared_ptr<RecordingAlertHost> host = std::make_shared<RecordingAlertHost>();
  std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>();
  std::unique_ptr<ApiJoin> join;
};

// bm 1: the landing visit is the participation; the reward is then collected from the list.
TEST_F(ParticipationE2e, LandingOnlyCampaignIsCollectedFromTheList) {
  const auto camp = campaign(10001);
  ASSERT_EQ(camp.bm, 1);
  join->startJoin(camp, receiver);
  ASSERT_TRUE(pumpUntil([&] { return server.waitForRequests("/landing/10001", 1, 0ms); }));
  EXPECT_TRUE(join->getPartiConfirmList().empty());
  EXPECT_EQ(receiver->checks, 0);
  EXPECT_FALSE(join->isPolling());

  const auto collectable = campaign(10001);
  ASSERT_EQ(collectable.convflag, 1);
  ASSERT_TRUE(collectable.ovnkey);
  join->apiReward(collectable.campid, *collectable.ovnkey);
  expectCompletion();
  EXPECT_FALSE(listed(10001));

  // Joining a collected campaign again is refused by the server.
  join->startJoin(camp, receiver);
  EXPECT_TRUE(alertShown("ov_501"));
}

// bm 2 with bmcheck 1: the poll finds the confirmation and the cell collects.
TEST_F(ParticipationE2e, PolledCampaignIsConfirmedAndClaimed) {
  const auto camp = campaign(10002);
  ASSERT_EQ(camp.bm, 2);
  ASSERT_EQ(camp.bmcheck, 1);
  ASSERT_EQ(camp.rewardtype, 1);
  join->startJoin(camp, receiver);
  ASSERT_TRUE(pumpUntil([&] { return !receiver->accumulations.empty(); }));
  EXPECT_EQ(received("/v1/state"), 2u);  // confirmed on the second state request
  EXPECT_FALSE(join->isPolling());
  EXPECT_EQ(receiver->checks, 0);
  EXPECT_EQ(receiver->accumulations[0].first, 10002);

  join->apiReward(10002, receiver->accumulations[0].second);
  expectCompletion();
  // A second claim with the same key fails.
  join->apiReward(10002, receiver->accumulations[0].second);
  EXPECT_TRUE(alertShown("ov_try_again"));
}

// bm 2/3 with bmcheck 0: listed for the check; the check starts the app, the install
// report confirms, the poll delivers the key.
TEST_F(ParticipationE2e, CheckedCampaignsRunThroughTheParticipationCheck) {
  for (const std::int64_t id : {10003, 10005}) {
    SCOPED_TRACE(id);
    const auto camp = campaign(id);
    ASSERT_EQ(camp.bmcheck, 0);
    join->startJoin(camp, receiver);
    const int checks = receiver->checks;
    ASSERT_TRUE(pumpUntil([&] { return receiver->checks == checks + 1; }));
    EXPECT_EQ(join->getPartiConfirmList(), (std::vector<std::int64_t>{id}));

    join->flowParticipation(camp);
    ASSERT_TRUE(alertShown("ov_start_app"));
    ASSERT_TRUE(host->press(localized("ov_confirm")));
    ASSERT_TRUE(pumpUntil([&] { return !receiver->accumulations.empty(); }));
    EXPECT_EQ(opener->opened.back().rfind(camp.package, 0), 0u);
    EXPECT_TRUE(join->getPartiConfirmList().empty());
    EXPECT_EQ(server.received("/v1/inst").back().queryValue("campid"), std::to_string(id));

    join->apiReward(id, receiver->accumulations.back().second);
    expectCompletion();
    receiver->accumulations.clear();

    // The check of a confirmed participation is refused.
    join->flowParticipation(camp);
    EXPECT_TRUE(alertShown("ov_already_participation_campaign"));
  }
}

// An app that is not installed ends the check with a message; the campaign stays listed.
TEST_F(ParticipationE2e, AppThatDoesNotOpen) {
  const auto camp = campaign(10003);
  opener->refused.insert("metrobike");
  join->startJoin(camp, receiver);
  ASSERT_TRUE(pumpUntil([&] { return receiver->checks == 1; }));
  join->flowParticipation(camp);
  ASSERT_TRUE(alertShown("ov_start_app"));
  host->press(localized("ov_confirm"));
  EXPECT_TRUE(alertShown("ov_not_installed"));
  EXPECT_EQ(received("/v1/inst"), 0u);
  EXPECT_EQ(join->getPartiConfirmList(), (std::vector<std::int64_t>{10003}));
}

// A campaign that answers the join with a key is claimed at once; bm 4 only opens its link
// (here one with spaces, mended by encoding); refusals show their code's alert.
TEST_F(ParticipationE2e, InstantPurchaseAndRefusedCampaigns) {
  const auto instant = campaign(10004);
  join->startJoin(instant, receiver);
  expectCompletion();
  EXPECT_EQ(received("/v1/reward"), 1u);
  EXPECT_TRUE(opener->opened.empty());

  const auto purchase = campaign(10054);
  ASSERT_EQ(purchase.bm, 4);
  join->startJoin(purchase, receiver);
  ASSERT_TRUE(pumpUntil([&] { return server.waitForRequests("/landing/10054", 1, 0ms); }));
  EXPECT_NE(opener->opened.back().find("?ref=spring%20sale&src=orvane%20wall&pid="), std::string::npos);
  EXPECT_EQ(server.received("/landing/10054").back().queryValue("ref"), "spring sale");
  EXPECT_EQ(receiver->checks, 0);
  EXPECT_FALSE(join->isPolling());

  join->startJoin(campaign(10006), receiver);
  ASSERT_TRUE(alertShown("ov_407"));
  EXPECT_TRUE(host->alerts.back().actions[0].handler);  // the refresh alert
  join->startJoin(campaign(10030), receiver);
  ASSERT_TRUE(alertShown("ov_402"));
  EXPECT_FALSE(host->alerts.back().actions[0].handler);
}

// Media whose rewards the server credits: the poll ends with the completion alert.
TEST_F(ParticipationE2e, ServerCreditedRewardEndsWithTheCompletionAlert) {
  useMedia(sandbox::kAutoMediaKey, sandbox::kAutoMediaChannelKey);
  const auto camp = campaign(10002);
  ASSERT_EQ(camp.rewardtype, 2);
  join->startJoin(camp, receiver);
  expectCompletion();
  EXPECT_TRUE(receiver->accumulations.empty());
  EXPECT_EQ(received("/v1/reward"), 0u);
  EXPECT_FALSE(listed(10002));
}

}  // namespace
}  // namespace orvane
