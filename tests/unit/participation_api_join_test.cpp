#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/participation/api_join.hpp"
#include "core/participation/auto_confirm_alert_host.hpp"
#include "core/participation/link_url.hpp"
#include "core/sdk/settings_keys.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakePlatform;
using testing::RecordingAlertHost;

constexpr char kFail[] = "!transport-failure";

struct Receiver : JoinProtocol {
  void onParticipationCheckPossible(std::int64_t campid) override {
    ++checks;
    checked.push_back(campid);
  }
  void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) override {
    accumulations.emplace_back(campid, ovnkey);
  }
  int checks = 0;
  std::vector<std::int64_t> checked;
  std::vector<std::pair<std::int64_t, std::string>> accumulations;
};

std::string pathOf(const std::string& url) {
  const auto start = url.find('/', url.find("://") + 3);
  return url.substr(start, url.find('?') == std::string::npos ? std::string::npos : url.find('?') - start);
}

Camp campaign(std::int64_t id, std::int64_t bm, std::int64_t bmcheck = 0, std::int64_t rewardtype = 1) {
  Camp c;
  c.campid = id;
  c.bm = bm;
  c.bmcheck = bmcheck;
  c.rewardtype = rewardtype;
  c.package = "app" + std::to_string(id) + "://start";
  return c;
}

class ApiJoinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = "http://127.0.0.1:8080/v1";
    OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1:8080/api";
    fake.store->setString(keys::kMkey, "mk");
    fake.store->setString(keys::kMckey, "mck");
    fake.store->setString(keys::kUserId, "u1");
    Log::displayLog = true;
    Log::setSink(fake.logSink);
    // Each endpoint answers from its script in order; the last answer repeats.
    fake.http->handler = [this](const HttpRequest& request) -> Result<HttpResponse> {
      auto& answers = script[pathOf(request.url)];
      if (answers.empty()) return FakeHttpSession::ok(R"({"result":200})");
      std::string body = answers.front();
      if (answers.size() > 1) answers.erase(answers.begin());
      if (body == kFail) return Error::make(Error::Kind::network, "refused");
      return FakeHttpSession::ok(body);
    };
    join = std::make_unique<ApiJoin>(fake.platform(), center);
    join->viewController = host;
    observations.push_back(center.observe("action_list_change", [this] { posted.push_back("list"); }));
    observations.push_back(center.observe("action_detail_finish", [this] { posted.push_back("detail"); }));
  }
  void TearDown() override {
    join.reset();
    OrvaneSDK::shared().reset();
    Log::displayLog = false;
    Log::setSink(nullptr);
  }

  std::size_t sent(const std::string& path) const {
    std::size_t n = 0;
    for (const auto& r : fake.http->requests()) n += pathOf(r.url) == path;
    return n;
  }
  std::string lastUrl(const std::string& path) const {
    std::string url;
    for (const auto& r : fake.http->requests())
      if (pathOf(r.url) == path) url = r.url;
    return url;
  }
  void run() { fake.runUntilIdle(); }
  const Alert& lastAlert() const { return host->alerts.back(); }
  void expectAlert(const std::string& key, bool refresh) {
    ASSERT_FALSE(host->alerts.empty()) << key;
    EXPECT_EQ(lastAlert().title, localized("ov_alarm"));
    EXPECT_EQ(lastAlert().message, localized(key));
    ASSERT_EQ(lastAlert().actions.size(), 1u) << key;
    EXPECT_EQ(lastAlert().actions[0].title, localized("ov_confirm"));
    EXPECT_EQ(static_cast<bool>(lastAlert().actions[0].handler), refresh) << key;
  }
  // The participation check of a joined campaign, answered with the start of its app.
  void checkAndStart(const Camp& camp) {
    script["/v1/exec"] = {R"({"result":200})"};
    join->flowParticipation(camp);
    run();
    ASSERT_EQ(lastAlert().message, localized("ov_start_app"));
    ASSERT_TRUE(host->press(localized("ov_confirm")));
    run();
  }

  FakePlatform fake;
  NotificationCenter center;
  std::vector<NotificationCenter::Observation> observations;
  std::vector<std::string> posted;
  std::map<std::string, std::vector<std::string>> script;
  std::shared_ptr<RecordingAlertHost> host = std::make_shared<RecordingAlertHost>();
  std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>();
  std::unique_ptr<ApiJoin> join;
};

TEST_F(ApiJoinTest, JoinWithoutKeyOpensTheLinkAndFollowsBmAndBmcheck) {
  struct Case {
    std::int64_t bm, bmcheck;
    bool listed, polls;
  };
  const Case cases[] = {{1, 0, false, false}, {4, 1, false, false}, {-1, 1, false, false},
                        {3, 0, true, false},  {2, 7, true, false},  {2, 1, false, true}};
  script["/v1/join"] = {R"({"result":200,"lurl":"https://land.example/a b?x=1"})"};
  script["/v1/state"] = {R"({"result":200,"state":1})"};
  std::int64_t id = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE("bm " + std::to_string(c.bm) + " bmcheck " + std::to_string(c.bmcheck));
    const auto before = receiver->checks;
    join->startJoin(campaign(++id, c.bm, c.bmcheck), receiver);
    run();
    EXPECT_EQ(fake.urlOpener->opened.back(), "https://land.example/a%20b?x=1");
    const auto list = join->getPartiConfirmList();
    EXPECT_EQ(std::count(list.begin(), list.end(), id), c.listed ? 1 : 0);
    EXPECT_EQ(receiver->checks - before, c.listed ? 1 : 0);
    EXPECT_EQ(join->isPolling(), c.polls);
    EXPECT_NE(lastUrl("/v1/join").find("campid=" + std::to_string(id) + "&"), std::string::npos);
  }
  EXPECT_TRUE(host->alerts.empty());
}

TEST_F(ApiJoinTest, JoinWithKeyClaimsAtOnceAndRefreshNotifiesInOrder) {
  script["/v1/join"] = {R"({"result":200,"ovnkey":"K 1","lurl":"https://land/x"})"};
  join->startJoin(campaign(5, 3), receiver);
  run();
  EXPECT_TRUE(fake.urlOpener->opened.empty());
  EXPECT_TRUE(join->getPartiConfirmList().empty());
  EXPECT_NE(lastUrl("/v1/reward").find("campid=5&userid=u1"), std::string::npos);
  EXPECT_NE(lastUrl("/v1/reward").find("ovnkey=K%201"), std::string::npos);
  expectAlert("ov_participation_complete", true);
  EXPECT_TRUE(posted.empty());
  host->press(localized("ov_confirm"));
  EXPECT_EQ(posted, (std::vector<std::string>{"list", "detail"}));

  script["/v1/reward"] = {R"({"result":500})"};
  join->apiReward(5, "K");
  run();
  expectAlert("ov_try_again", false);
  EXPECT_TRUE(fake.logSink->contains("ApiJoin getReward Error : Optional(500)"));
}

TEST_F(ApiJoinTest, JoinErrorsChooseTheirAlert) {
  struct Case {
    std::string body, key;
    bool refresh;
    std::string log;
  };
  const Case cases[] = {
      {R"({"result":401})", "ov_401", true, "ApiJoin apiJoin Error : Optional(401)"},
      {R"({"result":502})", "ov_502", true, "Optional(502)"},
      {R"({"result":900})", "ov_900", false, "Optional(900)"},
      {R"({"result":411})", "ov_411", false, "Optional(411)"},
      {R"({"result":404})", "ov_not_participation_campaign", false, "Optional(404)"},
      {R"({"result":200.5})", "", false, "Join.result"},  // undecodable: logged, no alert
      {R"({"lurl":"x"})", "ov_not_participation_campaign", false, "ApiJoin apiJoin Error : nil"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    host->alerts.clear();
    script["/v1/join"] = {c.body};
    join->startJoin(campaign(7, 3), receiver);
    run();
    if (c.key.empty()) {
      EXPECT_TRUE(host->alerts.empty());
    } else {
      expectAlert(c.key, c.refresh);
    }
    EXPECT_TRUE(fake.logSink->contains(c.log));
  }
  // A transport failure ends the attempt silently.
  host->alerts.clear();
  script["/v1/join"] = {kFail};
  join->startJoin(campaign(7, 3), receiver);
  run();
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_TRUE(join->getPartiConfirmList().empty());
  EXPECT_EQ(receiver->checks, 0);
}

TEST_F(ApiJoinTest, PollSendsFiveStateRequestsOneSecondApartThenStopsQuietly) {
  script["/v1/join"] = {R"({"result":200})"};
  script["/v1/state"] = {R"({"result":200,"state":1})"};
  join->startJoin(campaign(8, 2, 1), receiver);
  run();
  EXPECT_EQ(sent("/v1/state"), 1u);
  for (std::size_t second = 1; second <= 4; ++second) {
    fake.advance(Millis{999});
    EXPECT_EQ(sent("/v1/state"), second);
    fake.advance(Millis{1});
    EXPECT_EQ(sent("/v1/state"), second + 1);
    EXPECT_TRUE(join->isPolling());
  }
  fake.advance(Millis{1000});
  EXPECT_FALSE(join->isPolling());
  fake.advance(Millis{10'000});
  EXPECT_EQ(sent("/v1/state"), 5u);
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_TRUE(receiver->accumulations.empty());
  EXPECT_EQ(fake.mainQueue->pending(), 0u);
}

TEST_F(ApiJoinTest, ParticipationCheckRunsToConfirmationAndRemovesOneListing) {
  const auto camp = campaign(9, 3, 0);
  script["/v1/join"] = {R"({"result":200})"};
  join->startJoin(camp, receiver);
  run();
  join->startJoin(camp, receiver);  // no poll runs yet: accepted, listed twice
  run();
  EXPECT_EQ(join->getPartiConfirmList(), (std::vector<std::int64_t>{9, 9}));
  EXPECT_EQ(receiver->checks, 2);

  script["/v1/state"] = {R"({"result":200,"state":1})", R"({"result":200,"state":3,"ovnkey":"OK9"})"};
  checkAndStart(camp);
  EXPECT_EQ(fake.urlOpener->opened.back(), "app9://start");
  EXPECT_TRUE(fake.logSink->contains("successfuly opened"));
  EXPECT_EQ(sent("/v1/inst"), 1u);
  EXPECT_EQ(sent("/v1/state"), 1u);
  fake.advance(Millis{1000});
  EXPECT_EQ(sent("/v1/state"), 2u);
  EXPECT_FALSE(join->isPolling());
  EXPECT_EQ(join->getPartiConfirmList(), (std::vector<std::int64_t>{9}));
  ASSERT_EQ(receiver->accumulations.size(), 1u);
  EXPECT_EQ(receiver->accumulations[0], (std::pair<std::int64_t, std::string>{9, "OK9"}));
  fake.advance(Millis{5000});
  EXPECT_EQ(sent("/v1/state"), 2u);
}

TEST_F(ApiJoinTest, JoinIsRefusedWhilePollingAndTheOldReceiverStays) {
  script["/v1/join"] = {R"({"result":200})"};
  script["/v1/state"] = {R"({"result":200})", R"({"result":200,"state":3,"ovnkey":"A"})"};
  join->startJoin(campaign(10, 2, 1), receiver);
  run();
  auto other = std::make_shared<Receiver>();
  join->startJoin(campaign(11, 1), other);
  run();
  expectAlert("ov_participation_waiting", false);
  EXPECT_EQ(sent("/v1/join"), 1u);
  fake.advance(Millis{1000});
  EXPECT_EQ(receiver->accumulations.size(), 1u);
  EXPECT_TRUE(other->accumulations.empty());
  // Once the poll has ended, joins are accepted again.
  join->startJoin(campaign(11, 1), other);
  run();
  EXPECT_EQ(sent("/v1/join"), 2u);
}

TEST_F(ApiJoinTest, StateAnswersEndOrContinueThePoll) {
  struct Case {
    std::vector<std::string> answers;
    std::size_t requests;  // after the poll has run out
    std::string log;
  };
  const Case cases[] = {
      {{R"({"result":500})"}, 1, "Optional(500)"},
      {{R"({"state":3})"}, 1, "nil"},
      {{kFail}, 1, "stateAPICheckStop"},
      {{R"({"result":"200"})"}, 5, "State.result"},  // undecodable: logged, the poll goes on
      {{R"({"result":200,"state":2})"}, 5, "stateAPICheckfunc"},
  };
  script["/v1/join"] = {R"({"result":200})"};
  std::size_t before = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers.front());
    script["/v1/state"] = c.answers;
    join->startJoin(campaign(12, 2, 1), receiver);
    run();
    fake.advance(Millis{6000});
    EXPECT_FALSE(join->isPolling());
    EXPECT_EQ(sent("/v1/state") - before, c.requests);
    EXPECT_TRUE(fake.logSink->contains(c.log));
    before = sent("/v1/state");
  }
  EXPECT_TRUE(host->alerts.empty());
}

TEST_F(ApiJoinTest, ConfirmationByRewardType) {
  script["/v1/join"] = {R"({"result":200})"};
  script["/v1/state"] = {R"({"result":200,"state":3,"ovnkey":"K"})"};
  join->startJoin(campaign(13, 2, 1, 2), receiver);
  run();
  expectAlert("ov_participation_complete", true);
  EXPECT_TRUE(receiver->accumulations.empty());

  host->alerts.clear();
  join->startJoin(campaign(13, 2, 1, 0), receiver);  // another type: nothing
  run();
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_TRUE(receiver->accumulations.empty());
  EXPECT_FALSE(join->isPolling());

  // Type 1 needs a key and a receiver; without either the poll ends with an error line.
  script["/v1/state"] = {R"({"result":200,"state":3})"};
  join->startJoin(campaign(13, 2, 1, 1), receiver);
  run();
  EXPECT_TRUE(receiver->accumulations.empty());
  EXPECT_TRUE(fake.logSink->contains("no ovnkey"));
  EXPECT_FALSE(join->isPolling());

  script["/v1/state"] = {R"({"result":200,"state":3,"ovnkey":"K"})"};
  auto gone = std::make_shared<Receiver>();
  join->startJoin(campaign(13, 2, 1, 1), gone);
  gone.reset();
  run();
  EXPECT_TRUE(fake.logSink->contains("no receiver"));
  EXPECT_FALSE(join->isPolling());
}

TEST_F(ApiJoinTest, ExecAnswersAndAppStart) {
  const auto camp = campaign(14, 3);
  script["/v1/exec"] = {R"({"result":501})"};
  join->flowParticipation(camp);
  run();
  expectAlert("ov_already_participation_campaign", true);
  EXPECT_TRUE(fake.logSink->contains("ApiJoin getExec Error : Optional(501)"));

  script["/v1/exec"] = {R"({"result":502})"};
  join->flowParticipation(camp);
  run();
  expectAlert("ov_not_participation_campaign", false);

  script["/v1/exec"] = {R"({"result":200})"};
  join->flowParticipation(camp);
  run();
  ASSERT_EQ(lastAlert().actions.size(), 2u);
  EXPECT_EQ(lastAlert().actions[0].title, localized("ov_cancel"));
  EXPECT_EQ(lastAlert().actions[1].title, localized("ov_confirm"));
  host->press(localized("ov_cancel"));
  run();
  EXPECT_TRUE(fake.urlOpener->opened.empty());

  // The app is not there.
  fake.urlOpener->refusedSchemes = {"app14"};
  host->press(localized("ov_confirm"));
  run();
  expectAlert("ov_not_installed", false);
  EXPECT_TRUE(fake.logSink->contains("fail opened"));
  EXPECT_EQ(sent("/v1/inst"), 0u);
  EXPECT_FALSE(join->isPolling());

  // A package that is no URL cannot start anything either.
  auto broken = camp;
  broken.package = "not a url";
  join->flowParticipation(broken);
  run();
  host->press(localized("ov_confirm"));
  run();
  expectAlert("ov_not_installed", false);
  EXPECT_TRUE(fake.urlOpener->opened.empty());
  EXPECT_EQ(sent("/v1/inst"), 0u);
}

TEST_F(ApiJoinTest, TrackingConsentGatesTheJoin) {
  script["/v1/join"] = {R"({"result":200})"};
  fake.store->setBool(keys::kTrackingUsage, true);

  fake.tracking->answer = tracking::authorized;
  join->startJoin(campaign(15, 1), receiver);
  run();
  EXPECT_EQ(fake.tracking->requests, 1);
  EXPECT_TRUE(fake.logSink->contains("ApiJoin authorized : 6D92078A-8246-4BA4-AE5B-76104861E7DC"));
  EXPECT_EQ(sent("/v1/join"), 1u);

  for (const int status : {tracking::denied, tracking::restricted, 7}) {
    SCOPED_TRACE(status);
    fake.tracking->currentStatus = status;
    host->alerts.clear();
    join->startJoin(campaign(15, 1), receiver);
    run();
    EXPECT_EQ(sent("/v1/join"), 1u);
    ASSERT_EQ(host->alerts.size(), 1u);
    EXPECT_EQ(lastAlert().message, localized("ov_allow_tracking"));
    EXPECT_TRUE(fake.logSink->contains("ApiJoin status : " + std::to_string(status)));
  }
  ASSERT_EQ(lastAlert().actions.size(), 2u);
  EXPECT_EQ(lastAlert().actions[0].title, localized("ov_cancel"));
  host->press(localized("ov_confirm"));
  EXPECT_EQ(fake.urlOpener->opened.back(), "app-settings:");

  // An answer from another thread reaches the flow on the main thread only.
  fake.tracking->currentStatus = tracking::notDetermined;
  fake.tracking->deferAnswer = true;
  join->startJoin(campaign(15, 1), receiver);
  std::thread([&] { fake.tracking->pending(tracking::authorized); }).join();
  EXPECT_EQ(sent("/v1/join"), 1u);
  run();
  EXPECT_EQ(sent("/v1/join"), 2u);

  // Old systems and hosts that do not use tracking skip the request.
  const int requests = fake.tracking->requests;
  fake.tracking->currentStatus = tracking::denied;
  fake.device->modernMajor = 13;
  join->startJoin(campaign(15, 1), receiver);
  run();
  fake.device->modernMajor = 17;
  fake.store->setBool(keys::kTrackingUsage, false);
  join->startJoin(campaign(15, 1), receiver);
  run();
  EXPECT_EQ(fake.tracking->requests, requests);
  EXPECT_EQ(sent("/v1/join"), 4u);
  EXPECT_TRUE(fake.logSink->contains("ApiJoin <ios14 || STANDARD_TRACKING_USAGE==false"));
}

TEST_F(ApiJoinTest, OneJoinAtATimeFromTheTapUntilItsAnswer) {
  script["/v1/join"] = {R"({"result":200,"lurl":"https://land/a"})"};
  fake.store->setBool(keys::kTrackingUsage, true);
  fake.tracking->deferAnswer = true;
  auto first = std::make_shared<Receiver>();
  auto other = std::make_shared<Receiver>();
  join->joinProtocol = receiver;

  // Taps while the question is open (the same campaign again, then another) start nothing.
  join->startJoin(campaign(30, 3), first);
  EXPECT_EQ(fake.tracking->askedOver.lock(), host);  // asked over the flow's screen
  join->startJoin(campaign(30, 3), other);
  join->startJoin(campaign(31, 3), other);
  run();
  EXPECT_EQ(fake.tracking->requests, 1);
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_TRUE(join->isJoining());
  EXPECT_EQ(join->joinProtocol.lock(), receiver);  // not taken before the join is sent

  fake.tracking->pending(tracking::authorized);
  run();
  ASSERT_EQ(sent("/v1/join"), 1u);
  EXPECT_NE(lastUrl("/v1/join").find("campid=30&"), std::string::npos);
  EXPECT_EQ(fake.urlOpener->opened.size(), 1u);
  EXPECT_EQ(first->checked, std::vector<std::int64_t>{30});
  EXPECT_EQ(other->checks, 0);
  EXPECT_FALSE(join->isJoining());

  // A join in flight blocks a second tap (a double click) until it is answered, whatever
  // the answer; a refused consent frees the next tap too.
  fake.tracking->currentStatus = tracking::authorized;
  fake.http->manual = true;
  join->startJoin(campaign(32, 1), first);
  run();
  join->startJoin(campaign(32, 1), first);
  run();
  EXPECT_EQ(fake.http->waiting(), 1u);
  ASSERT_TRUE(fake.http->complete(Error::make(Error::Kind::network, "refused")));
  run();
  join->startJoin(campaign(33, 1), first);
  run();
  EXPECT_EQ(fake.http->waiting(), 1u);
  ASSERT_TRUE(fake.http->complete(FakeHttpSession::ok(R"({"result":200.5})")));  // undecodable
  run();
  EXPECT_FALSE(join->isJoining());
  fake.http->manual = false;

  fake.tracking->currentStatus = tracking::notDetermined;
  join->startJoin(campaign(34, 1), first);
  fake.tracking->pending(tracking::denied);
  run();
  EXPECT_EQ(host->last()->message, localized("ov_allow_tracking"));
  EXPECT_FALSE(join->isJoining());
  fake.tracking->currentStatus = tracking::authorized;
  join->startJoin(campaign(35, 1), first);
  run();
  EXPECT_EQ(sent("/v1/join"), 4u);
  EXPECT_NE(lastUrl("/v1/join").find("campid=35&"), std::string::npos);
}

TEST_F(ApiJoinTest, ConfirmedKeysAreKeptByCampaignUntilClaimed) {
  int confirmations = 0;
  auto observation = center.observe(kParticipationConfirmed, [&] { ++confirmations; });
  const auto waiting = campaign(40, 3, 0);  // waits for its participation check
  const auto polled = campaign(41, 2, 1);   // polls at once
  auto waitingCell = std::make_shared<Receiver>();
  auto polledCell = std::make_shared<Receiver>();
  script["/v1/join"] = {R"({"result":200})"};
  join->startJoin(waiting, waitingCell);
  run();
  EXPECT_EQ(waitingCell->checked, std::vector<std::int64_t>{40});

  script["/v1/state"] = {R"({"result":200,"state":3,"ovnkey":"K41"})"};
  join->startJoin(polled, polledCell);
  run();
  ASSERT_EQ(polledCell->accumulations.size(), 1u);
  EXPECT_EQ(polledCell->accumulations[0], (std::pair<std::int64_t, std::string>{41, "K41"}));
  EXPECT_EQ(join->confirmedKey(41), "K41");
  EXPECT_EQ(confirmations, 1);

  // The waiting campaign is confirmed while the latest join's receiver shows another
  // one: the call names campaign 40, and the key waits in the flow for 40's own cell.
  script["/v1/state"] = {R"({"result":200,"state":3,"ovnkey":"K40"})"};
  checkAndStart(waiting);
  ASSERT_EQ(polledCell->accumulations.size(), 2u);
  EXPECT_EQ(polledCell->accumulations[1].first, 40);
  EXPECT_TRUE(waitingCell->accumulations.empty());
  EXPECT_EQ(join->confirmedKey(40), "K40");
  EXPECT_EQ(join->confirmedKey(41), "K41");
  EXPECT_EQ(confirmations, 2);

  // Without any receiver left the key is kept all the same.
  polledCell.reset();
  script["/v1/join"] = {R"({"result":200})"};
  script["/v1/state"] = {R"({"result":200,"state":3,"ovnkey":"K42"})"};
  join->startJoin(campaign(42, 2, 1), std::weak_ptr<JoinProtocol>());
  run();
  EXPECT_EQ(join->confirmedKey(42), "K42");

  // A refused claim keeps the key; a credited one drops only its own campaign's.
  script["/v1/reward"] = {R"({"result":500})", R"({"result":200})"};
  join->apiReward(41, "K41");
  run();
  EXPECT_EQ(join->confirmedKey(41), "K41");
  join->apiReward(41, "K41");
  run();
  EXPECT_FALSE(join->confirmedKey(41).has_value());
  EXPECT_EQ(join->confirmedKey(40), "K40");
  EXPECT_NE(lastUrl("/v1/reward").find("campid=41&"), std::string::npos);
}

TEST_F(ApiJoinTest, WithoutAScreenAlertsAreDroppedButTheFlowGoesOn) {
  join->viewController.reset();
  script["/v1/join"] = {R"({"result":401})"};
  join->startJoin(campaign(16, 3), receiver);
  run();
  script["/v1/join"] = {R"({"result":200})"};
  join->startJoin(campaign(16, 3), receiver);
  run();
  EXPECT_EQ(join->getPartiConfirmList(), (std::vector<std::int64_t>{16}));
  EXPECT_EQ(receiver->checks, 1);
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_EQ(sent("/v1/join"), 2u);
}

TEST_F(ApiJoinTest, MissingValuesEndTheStepWithAnErrorLine) {
  join->startJoin(campaign(-1, 3), receiver);
  join->flowParticipation(campaign(-1, 3));
  join->apiReward(-1, "K");
  run();
  EXPECT_TRUE(fake.http->requests().empty());
  EXPECT_TRUE(fake.logSink->contains("ApiJoin startJoin : campaign without campid -1"));
  EXPECT_TRUE(fake.logSink->contains("ApiJoin apiReward : campaign without campid -1"));
  EXPECT_EQ(host->alerts.size(), 3u);

  // A landing link that cannot be mended is not opened; the flow goes on.
  script["/v1/join"] = {R"({"result":200,"lurl":""})"};
  join->startJoin(campaign(17, 3), receiver);
  run();
  EXPECT_TRUE(fake.urlOpener->opened.empty());
  EXPECT_TRUE(fake.logSink->contains("ApiJoin lurl is not a URL"));
  EXPECT_EQ(receiver->checks, 1);
}

// Answers come on another thread; overlapping polls must not disturb each other.
TEST_F(ApiJoinTest, AnswersFromAnotherThreadAndOverlappingPolls) {
  fake.http->manual = true;
  const auto answer = [&](const std::string& body) {
    std::thread([&] { ASSERT_TRUE(fake.http->complete(FakeHttpSession::ok(body))); }).join();
  };
  join->startJoin(campaign(20, 2, 1), receiver);
  answer(R"({"result":200})");
  EXPECT_FALSE(join->isPolling());  // nothing changes before the main thread runs
  run();
  ASSERT_TRUE(join->isPolling());
  fake.advance(Millis{1000});  // a second state request before the first answer
  ASSERT_EQ(fake.http->waiting(), 2u);
  answer(R"({"result":200,"state":3,"ovnkey":"A"})");
  answer(R"({"result":200,"state":3,"ovnkey":"A"})");
  run();
  EXPECT_EQ(receiver->accumulations.size(), 1u);  // confirmed once
  EXPECT_FALSE(join->isPolling());

  // A new poll replaces an old one; the old one's late error leaves the new one running.
  join->startJoin(campaign(21, 2, 1), receiver);
  answer(R"({"result":200})");
  run();  // poll A: its state request waits
  ASSERT_EQ(fake.http->waiting(), 1u);
  fake.http->manual = false;
  script["/v1/exec"] = {R"({"result":200})"};
  script["/v1/state"] = {R"({"result":200,"state":1})"};
  join->flowParticipation(campaign(22, 3));
  run();
  host->press(localized("ov_confirm"));
  run();  // app opened: install report and poll B
  ASSERT_TRUE(join->isPolling());
  answer(R"({"result":500})");
  run();
  EXPECT_TRUE(fake.logSink->contains("Optional(500)"));
  EXPECT_TRUE(join->isPolling());
}

TEST_F(ApiJoinTest, AnswersAfterTheFlowIsGoneAreDropped) {
  fake.http->manual = true;
  join->startJoin(campaign(23, 3), receiver);
  join->flowParticipation(campaign(23, 3));
  join.reset();
  while (fake.http->waiting() > 0) fake.http->complete(FakeHttpSession::ok(R"({"result":200})"));
  run();
  EXPECT_EQ(receiver->checks, 0);
  EXPECT_TRUE(host->alerts.empty());
}

TEST_F(ApiJoinTest, ServerLinksToLocalResourcesAreNeitherOpenedNorReportedAsInstalled) {
  // A landing link naming a local file: not opened, the flow goes on as for no link.
  script["/v1/join"] = {R"({"result":200,"lurl":"FILE:///etc/passwd"})"};
  join->startJoin(campaign(21, 3), receiver);
  run();
  EXPECT_TRUE(fake.urlOpener->opened.empty());
  EXPECT_TRUE(fake.logSink->contains("ApiJoin lurl refused"));
  EXPECT_EQ(receiver->checks, 1);

  // App-start links naming local things end as "not installed", with no install report.
  for (const char* package : {"FILE:///usr/bin/xterm", "/usr/bin/xterm", "app21://x?f=file%3A%2F%2Fetc"}) {
    SCOPED_TRACE(package);
    auto camp = campaign(21, 3);
    camp.package = package;
    checkAndStart(camp);
    expectAlert("ov_not_installed", false);
    EXPECT_TRUE(fake.urlOpener->opened.empty());
    EXPECT_EQ(sent("/v1/inst"), 0u);
  }
  checkAndStart(campaign(21, 3));  // its own scheme is opened
  EXPECT_EQ(fake.urlOpener->opened, std::vector<std::string>{"app21://start"});
  EXPECT_EQ(sent("/v1/inst"), 1u);
}

TEST(LinkUrl, ParsesAndMendsLinks) {
  for (const char* good : {"https://a.example/p?q=1#f", "tidyhome://start", "/relative/path", "mailto:a@b",
                           "http://[::1]:8080/x", "https://a/%20b"}) {
    EXPECT_TRUE(parsesAsUrl(good)) << good;
  }
  for (const char* bad : {"", "a b", "https://a/%2", "https://a/%zz", "x#y#z", "https://a/[x]", "1abc:x",
                          "https://a/\xC3\xA9", "https://a/<b>"}) {
    EXPECT_FALSE(parsesAsUrl(bad)) << bad;
  }
  EXPECT_EQ(openableLink("https://a/b c"), "https://a/b%20c");
  // '%' and '#' are encoded too, as the fragment-allowed set has them not.
  EXPECT_EQ(openableLink("https://a/%zz#x y"), "https://a/%25zz%23x%20y");
  EXPECT_EQ(openableLink("https://a/\xC3\xA9"), "https://a/%C3%A9");
  EXPECT_EQ(openableLink("https://a/ok"), "https://a/ok");
  EXPECT_EQ(openableLink(""), std::nullopt);
  EXPECT_EQ(openableLink("ht tp://a"), std::nullopt);  // the scheme stays broken
}

TEST(AutoConfirmAlertHost, ReportsThenPressesConfirmLater) {
  auto queue = std::make_shared<testing::FakeMainQueue>();
  std::vector<std::string> seen;
  AutoConfirmAlertHost host(queue, [&](const Alert& a) { seen.push_back(a.message); });
  int confirmed = 0, cancelled = 0;
  Alert alert;
  alert.message = "m";
  const auto action = [](const std::string& title, std::function<void()> handler) {
    AlertAction a;
    a.title = title;
    a.handler = std::move(handler);
    return a;
  };
  alert.actions = {action(localized("ov_cancel"), [&] { ++cancelled; }),
                   action(localized("ov_confirm"), [&] { ++confirmed; })};
  host.present(alert);
  EXPECT_EQ(seen, std::vector<std::string>{"m"});
  EXPECT_EQ(confirmed, 0);
  queue->runUntilIdle();
  EXPECT_EQ(confirmed, 1);
  EXPECT_EQ(cancelled, 0);
  alert.actions.resize(1);  // no confirm button: left alone
  host.present(alert);
  queue->runUntilIdle();
  EXPECT_EQ(host.pressed(), 1u);
  EXPECT_EQ(host.alerts().size(), 2u);
}

}  // namespace
}  // namespace orvane
