#include "core/support/notification_center.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

TEST(NotificationCenterTest, PostCallsObserversOfThatNameInRegistrationOrder) {
  NotificationCenter center;
  std::vector<std::string> calls;
  auto a = center.observe(kActionListChange, [&] { calls.push_back("a"); });
  auto other = center.observe(kActionDetailFinish, [&] { calls.push_back("other"); });
  auto b = center.observe(kActionListChange, [&] { calls.push_back("b"); });

  center.post(kActionListChange);
  EXPECT_EQ(calls, (std::vector<std::string>{"a", "b"}));
  center.post("nobody_listens");
  EXPECT_EQ(calls.size(), 2u);
}

TEST(NotificationCenterTest, TokenRemovesObserverOnDestructionResetAndMoveAssign) {
  NotificationCenter center;
  int first = 0;
  int second = 0;
  {
    auto scoped = center.observe("n", [&] { ++first; });
    center.post("n");
  }
  center.post("n");
  EXPECT_EQ(first, 1);
  EXPECT_EQ(center.observerCount("n"), 0u);

  auto token = center.observe("n", [&] { ++first; });
  auto moved = std::move(token);
  EXPECT_FALSE(token.active());
  center.post("n");
  EXPECT_EQ(first, 2);

  moved = center.observe("n", [&] { ++second; });  // the old observer goes
  center.post("n");
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 1);
  moved.reset();
  EXPECT_EQ(center.observerCount("n"), 0u);
}

TEST(NotificationCenterTest, ChangesDuringPostAreSafe) {
  NotificationCenter center;
  std::vector<std::string> calls;
  NotificationCenter::Observation self;
  NotificationCenter::Observation victim;
  std::optional<NotificationCenter::Observation> added;

  self = center.observe("n", [&] {
    calls.push_back("self");
    self.reset();    // removes itself mid-call
    victim.reset();  // and a later observer of the same post
    added = center.observe("n", [&] { calls.push_back("added"); });
  });
  victim = center.observe("n", [&] { calls.push_back("victim"); });
  center.post("n");
  EXPECT_EQ(calls, (std::vector<std::string>{"self"}));  // added observers wait for the next post

  center.post("n");
  EXPECT_EQ(calls, (std::vector<std::string>{"self", "added"}));
}

TEST(NotificationCenterTest, ObserverMayPostAgainWithoutDeadlock) {
  NotificationCenter center;
  int depth = 0;
  int detailFinish = 0;
  auto reentrant = center.observe("n", [&] {
    if (++depth < 3) center.post("n");
  });
  auto chained = center.observe(kActionListChange, [&] { center.post(kActionDetailFinish); });
  auto finish = center.observe(kActionDetailFinish, [&] { ++detailFinish; });
  center.post("n");
  center.post(kActionListChange);
  EXPECT_EQ(depth, 3);
  EXPECT_EQ(detailFinish, 1);
}

TEST(NotificationCenterTest, TokenOutlivingCentreIsHarmless) {
  NotificationCenter::Observation token;
  {
    NotificationCenter center;
    token = center.observe("n", [] {});
  }
  token.reset();
  EXPECT_FALSE(token.active());
}

// Observers own heap state that dies right after their token; a callback that ran
// after its token was dropped would touch freed memory (caught by the sanitizers)
// or see `alive == false`.
TEST(NotificationCenterTest, TokensDroppedOnOtherThreadsWhilePostsRun) {
  NotificationCenter center;
  constexpr int kRounds = 500;
  constexpr int kObservers = 8;
  std::atomic<bool> stop{false};
  std::atomic<int> lateCalls{0};

  std::vector<std::thread> posters;
  for (int t = 0; t < 2; ++t) {
    posters.emplace_back([&] {
      while (!stop) center.post("tick");
    });
  }

  std::thread dropper([&] {
    struct State {
      std::atomic<bool> alive{true};
      std::vector<int> payload = std::vector<int>(16, 1);
    };
    for (int round = 0; round < kRounds; ++round) {
      std::vector<std::unique_ptr<State>> states;
      std::vector<NotificationCenter::Observation> tokens;
      for (int i = 0; i < kObservers; ++i) {
        states.push_back(std::make_unique<State>());
        State* state = states.back().get();
        tokens.push_back(center.observe("tick", [state, &lateCalls] {
          if (!state->alive || state->payload[0] != 1) ++lateCalls;
        }));
      }
      for (int i = 0; i < kObservers; ++i) {
        tokens[i].reset();
        states[i]->alive = false;
        states[i].reset();
      }
    }
  });

  dropper.join();
  stop = true;
  for (auto& p : posters) p.join();
  EXPECT_EQ(lateCalls, 0);
  EXPECT_EQ(center.observerCount("tick"), 0u);
}

}  // namespace
}  // namespace orvane
