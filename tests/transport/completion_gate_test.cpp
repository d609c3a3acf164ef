#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "core/support/request_handle.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 10s;

// The promise of a handle: once dropping returns, the completion is not running on
// another thread. A completion caught in the middle is waited for.
TEST(CompletionGate, ClosingWaitsForACompletionRunningElsewhere) {
  auto gate = std::make_shared<CompletionGate>();
  std::promise<void> entered, release;
  std::atomic<bool> left{false};
  std::thread worker([&, gate] {
    gate->pass([&] {
      entered.set_value();
      release.get_future().wait();
      left = true;
    });
  });
  ASSERT_EQ(entered.get_future().wait_for(kWait), std::future_status::ready);

  std::atomic<bool> leftWhenClosed{false};
  std::thread owner([&, gate] {
    RequestHandle handle(gate);
    handle.reset();
    leftWhenClosed = left.load();
  });
  release.set_value();
  owner.join();
  worker.join();
  EXPECT_TRUE(leftWhenClosed) << "the handle was dropped while its completion still ran";
  EXPECT_FALSE(gate->pass([] { ADD_FAILURE() << "ran after the handle was dropped"; }));
}

}  // namespace
}  // namespace orvane
