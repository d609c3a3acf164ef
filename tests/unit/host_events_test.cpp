#include "core/sdk/host_events.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/participation/api_join.hpp"
#include "core/sdk/settings_keys.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakePlatform;

// Lines of the events delivered, and how deep listener calls were nested.
struct Lines : EventListener {
  void onWallOpened(const WallOpened& e) override { add("opened " + std::to_string(e.wall)); }
  void onWallClosed(const WallClosed& e) override { add("closed " + std::to_string(e.wall)); }
  void onListLoaded(const ListLoaded& e) override { add("loaded " + std::to_string(e.count)); }
  void onParticipationStarted(const ParticipationStarted& e) override {
    add("started " + std::to_string(e.campid) + " " + e.name);
  }
  void onRewardClaimed(const RewardClaimed& e) override {
    add("claimed " + std::to_string(e.campid) + " " + std::to_string(static_cast<int>(e.amount)) + " " +
        e.mark);
  }
  void onError(const ErrorEvent& e) override { add("error " + e.operation + " " + std::to_string(e.code)); }

  void add(std::string line) {
    ++depth;
    deepest = std::max(deepest, depth);
    lines.push_back(std::move(line));
    if (during) std::exchange(during, nullptr)();
    --depth;
  }
  std::vector<std::string> lines;
  std::function<void()> during;  // runs inside the next delivery
  int depth = 0;
  int deepest = 0;
};

class HostEventsTest : public ::testing::Test {
 protected:
  FakePlatform fake;
  HostEvents events{fake.platform()};
  std::shared_ptr<Lines> lines = std::make_shared<Lines>();
  void SetUp() override { events.addListener(lines); }
};

TEST_F(HostEventsTest, EventsWaitForTheEventLoopAndArriveInOrderOneAtATime) {
  events.raise(WallOpened{1});
  events.raise(ListLoaded{1, 3, 0, "", false});
  EXPECT_TRUE(lines->lines.empty());  // never inside the code that raised them
  // An event raised inside a listener waits for it to return.
  lines->during = [&] { events.raise(WallClosed{1}); };
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines, (std::vector<std::string>{"opened 1", "loaded 3", "closed 1"}));
  EXPECT_EQ(lines->deepest, 1);
}

TEST_F(HostEventsTest, RemovedAndDroppedListenersAreNotCalled) {
  auto second = std::make_shared<Lines>();
  events.addListener(second);
  // Removed by the first listener during the same event: the second no longer hears it.
  lines->during = [&] { events.removeListener(second.get()); };
  events.raise(WallOpened{1});
  fake.runUntilIdle();
  EXPECT_TRUE(second->lines.empty());
  lines.reset();  // kept weakly
  events.raise(WallOpened{2});
  fake.runUntilIdle();
  EXPECT_TRUE(second->lines.empty());
}

TEST_F(HostEventsTest, AClosedWallWaitsForTheHoldsAndComesAfterTheirEvents) {
  auto claim = events.holdCloses();
  auto poll = events.holdCloses();
  events.raise(WallClosed{7});
  events.raise(WallOpened{8});  // other walls are not held
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines, (std::vector<std::string>{"opened 8"}));
  events.raise(RewardClaimed{5, "A", 100, "P"});
  claim.reset();
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines.back(), "claimed 5 100 P");
  poll.reset();
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines.back(), "closed 7");
}

// The flow's events against scripted answers.
class FlowEventsTest : public HostEventsTest {
 protected:
  void SetUp() override {
    HostEventsTest::SetUp();
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = "http://127.0.0.1:8080/v1";
    OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1:8080/api";
    fake.store->setString(keys::kMkey, "mk");
    fake.store->setString(keys::kMckey, "mck");
    fake.store->setString(keys::kUserId, "u1");
    fake.http->handler = [this](const HttpRequest& request) -> Result<HttpResponse> {
      for (const auto& [path, body] : answers)
        if (request.url.find(path + "?") != std::string::npos) return FakeHttpSession::ok(body);
      return FakeHttpSession::ok(R"({"result":200})");
    };
    join = std::make_unique<ApiJoin>(fake.platform(), center, events);
  }
  void TearDown() override {
    join.reset();
    OrvaneSDK::shared().reset();
  }

  static Camp campaign(std::int64_t id, std::int64_t bm = 1) {
    Camp c;
    c.campid = id;
    c.bm = bm;
    c.rewardtype = 1;
    c.name = "Camp" + std::to_string(id);
    c.rewardprice = 300;
    c.pricemark = "P";
    return c;
  }

  std::map<std::string, std::string> answers;
  NotificationCenter center;
  std::unique_ptr<ApiJoin> join;
};

TEST_F(FlowEventsTest, AJoinWithAKeyStartsAndClaimsBeforeAClosingWallIsReported) {
  answers["/join"] = R"({"result":200,"ovnkey":"K1"})";
  fake.http->manual = true;
  join->startJoin(campaign(42), {});
  fake.runUntilIdle();
  ASSERT_TRUE(fake.http->complete(FakeHttpSession::ok(R"({"result":200,"ovnkey":"K1"})")));
  fake.runUntilIdle();
  // The claim is under way when the wall closes.
  events.raise(WallClosed{3});
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines, (std::vector<std::string>{"started 42 Camp42"}));
  ASSERT_TRUE(fake.http->complete(FakeHttpSession::ok(R"({"result":200})")));
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines, (std::vector<std::string>{"started 42 Camp42", "claimed 42 300 P", "closed 3"}));
}

TEST_F(FlowEventsTest, RefusalsAndFailuresBecomeErrorEvents) {
  answers["/join"] = R"({"result":402})";
  join->startJoin(campaign(1), {});
  fake.runUntilIdle();
  answers["/reward"] = R"({"result":500})";
  join->apiReward(campaign(2), "K");
  fake.runUntilIdle();
  answers["/reward"] = "not json";
  join->apiReward(2, "K");  // by id alone: the campaign the flow saw
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines,
            (std::vector<std::string>{"error join 402", "error reward 500", "error reward -13"}));
  // No hold is left behind: a closing wall is reported at once.
  events.raise(WallClosed{9});
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines.back(), "closed 9");
}

TEST_F(FlowEventsTest, APollThatFindsAServerCreditedRewardClaimsItBeforeTheClose) {
  Camp checked = campaign(7, 2);
  checked.bmcheck = 1;
  checked.rewardtype = 2;
  answers["/join"] = R"({"result":200})";
  answers["/state"] = R"({"result":200,"state":1})";
  join->startJoin(checked, {});
  fake.runUntilIdle();
  ASSERT_TRUE(join->isPolling());
  events.raise(WallClosed{4});
  fake.runUntilIdle();
  EXPECT_EQ(lines->lines.back(), "started 7 Camp7");
  answers["/state"] = R"({"result":200,"state":3})";
  fake.advance(Millis{1000});
  EXPECT_FALSE(join->isPolling());
  EXPECT_EQ(lines->lines, (std::vector<std::string>{"started 7 Camp7", "claimed 7 300 P", "closed 4"}));
}

}  // namespace
}  // namespace orvane
