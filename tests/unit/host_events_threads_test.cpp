// HostEvents raised and held from worker threads, delivered on the test's main thread.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/sdk/host_events.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

struct Claims : EventListener {
  void onRewardClaimed(const RewardClaimed& e) override { byThread[e.name].push_back(e.campid); }
  void onWallClosed(const WallClosed& e) override {
    closed.push_back(e.wall);
    claimsBeforeClose = 0;
    for (const auto& [name, ids] : byThread) claimsBeforeClose += ids.size();
  }
  std::map<std::string, std::vector<std::int64_t>> byThread;
  std::vector<std::uint64_t> closed;
  std::size_t claimsBeforeClose = 0;
};

TEST(HostEventsThreads, WorkersRaiseInTheirOwnOrderAndTheirHoldsKeepTheCloseLast) {
  testing::FakePlatform fake;
  HostEvents events(fake.platform());
  auto claims = std::make_shared<Claims>();
  events.addListener(claims);
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::vector<std::shared_ptr<void>> holds;
  for (int t = 0; t < kThreads; ++t) holds.push_back(events.holdCloses());
  events.raise(WallClosed{1});
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&events, hold = std::move(holds[static_cast<std::size_t>(t)]), t]() mutable {
      for (int i = 0; i < kEach; ++i) events.raise(RewardClaimed{i, "worker" + std::to_string(t), 1, "P"});
      hold.reset();  // released on the worker
    });
  }
  for (auto& w : workers) w.join();
  fake.runUntilIdle();
  ASSERT_EQ(claims->closed, std::vector<std::uint64_t>{1});
  EXPECT_EQ(claims->claimsBeforeClose, static_cast<std::size_t>(kThreads * kEach));
  for (const auto& [name, ids] : claims->byThread) {
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(kEach)) << name;
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(ids[static_cast<std::size_t>(i)], i) << name;
  }
}

}  // namespace
}  // namespace orvane
