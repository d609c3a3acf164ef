#include "core/support/thread_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace orvane {
namespace {

using namespace std::chrono_literals;

// Shutting down must wait for work already running (it may still touch what the caller
// is about to tear down), drop queued work without running it, and refuse new work.
TEST(ThreadPool, ShutdownWaitsForRunningWorkAndDropsTheRest) {
  ThreadPool pool(1);
  std::promise<void> started;
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  ASSERT_TRUE(pool.post([&] {
    started.set_value();
    while (!release) std::this_thread::sleep_for(1ms);
    finished = true;
  }));
  auto marker = std::make_shared<int>(0);
  std::atomic<int> queuedRan{0};
  ASSERT_TRUE(pool.post([&queuedRan, marker] { ++queuedRan; }));
  ASSERT_EQ(started.get_future().wait_for(10s), std::future_status::ready);

  std::thread releaser([&] {
    std::this_thread::sleep_for(50ms);
    release = true;
  });
  pool.shutdown();
  releaser.join();
  EXPECT_TRUE(finished) << "shutdown returned while work was still running";
  EXPECT_EQ(queuedRan, 0);
  EXPECT_EQ(marker.use_count(), 1) << "dropped work is destroyed, not kept";

  EXPECT_FALSE(pool.post([&queuedRan] { ++queuedRan; }));
  pool.shutdown();
  EXPECT_EQ(queuedRan, 0);
}

// The platform owns its pool, and the last owner of a platform can be a job on that
// very pool: the pool then ends without joining the thread it is destroyed on.
TEST(ThreadPool, MayBeDestroyedFromOneOfItsOwnWorkers) {
  auto pool = std::make_shared<ThreadPool>(2);
  std::weak_ptr<ThreadPool> weak = pool;
  std::promise<void> released, destroyed;
  auto releasedSignal = released.get_future();
  ASSERT_TRUE(pool->post([&, last = pool]() mutable {
    releasedSignal.wait();  // until the job holds the last reference
    last.reset();
    destroyed.set_value();
  }));
  pool.reset();
  released.set_value();
  ASSERT_EQ(destroyed.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace orvane
