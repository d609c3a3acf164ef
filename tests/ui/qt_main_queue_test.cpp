#include "platform/qt/qt_main_queue.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

using namespace std::chrono_literals;
using qt::QtMainQueue;

constexpr int kWaitMs = 5000;

bool onGui() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Runs the event loop until `queue` has run a marker posted `after` from now.
void drain(MainQueue& queue, Millis after = 0ms) {
  bool done = false;
  queue.postDelayed(after, [&] { done = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, kWaitMs));
}

class QtMainQueueTest : public ::testing::Test {
 protected:
  QtMainQueue queue_;
  std::mutex mutex_;
  std::vector<std::string> log_;
  std::atomic<int> offGui_{0};

  std::function<void()> record(std::string what) {
    return [this, what] {
      if (!onGui()) ++offGui_;
      std::lock_guard lock(mutex_);
      log_.push_back(what);
    };
  }
  std::size_t count() {
    std::lock_guard lock(mutex_);
    return log_.size();
  }
};

TEST_F(QtMainQueueTest, PostedWorkRunsLaterOnTheGuiThreadInOrder) {
  EXPECT_TRUE(queue_.isMainThread());
  bool workerSaysMain = true;
  std::thread worker([&] {
    workerSaysMain = queue_.isMainThread();
    for (int i = 0; i < 50; ++i) queue_.post(record("w" + std::to_string(i)));
  });
  for (int i = 0; i < 50; ++i) queue_.post(record("m" + std::to_string(i)));
  EXPECT_EQ(count(), 0u);  // never inline
  worker.join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return count() == 100; }, kWaitMs));
  EXPECT_FALSE(workerSaysMain);
  EXPECT_EQ(offGui_, 0);

  int nextMain = 0, nextWorker = 0;
  for (const auto& e : log_) {
    const std::string expected =
        e[0] == 'm' ? "m" + std::to_string(nextMain++) : "w" + std::to_string(nextWorker++);
    EXPECT_EQ(e, expected);
  }
}

TEST_F(QtMainQueueTest, DelayedWorkRunsByDueTimeThenSubmissionOrder) {
  queue_.postDelayed(80ms, record("late"));
  queue_.postDelayed(20ms, record("a"));
  queue_.postDelayed(20ms, record("b"));
  queue_.postDelayed(-5ms, record("now"));
  std::thread worker([&] { queue_.postDelayed(40ms, record("worker")); });
  worker.join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return count() == 5; }, kWaitMs));
  EXPECT_EQ(log_, (std::vector<std::string>{"now", "a", "b", "worker", "late"}));
  EXPECT_EQ(offGui_, 0);
}

TEST_F(QtMainQueueTest, RepeatingTimerStopsForGoodWhenInvalidatedInItsTick) {
  int ticks = 0;
  auto timer = queue_.scheduleTimer(5ms, true, [&](Timer& t) {
    EXPECT_TRUE(onGui());
    if (++ticks == 3) t.invalidate();
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks == 3; }, kWaitMs));
  EXPECT_FALSE(timer->isValid());
  drain(queue_, 60ms);
  EXPECT_EQ(ticks, 3);
  timer->fire();  // an invalid timer delivers nothing
  EXPECT_EQ(ticks, 3);
}

TEST_F(QtMainQueueTest, OneShotTimerTicksOnceAndFireDeliversAtOnce) {
  int ticks = 0;
  auto once = queue_.scheduleTimer(10ms, false, [&](Timer& t) {
    ++ticks;
    EXPECT_FALSE(t.isValid());
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks == 1; }, kWaitMs));
  drain(queue_, 40ms);
  EXPECT_EQ(ticks, 1);

  int repeats = 0;
  auto repeating = queue_.scheduleTimer(10ms, true, [&](Timer&) { ++repeats; });
  repeating->fire();
  EXPECT_EQ(repeats, 1);  // synchronously
  EXPECT_TRUE(repeating->isValid());
  ASSERT_TRUE(QTest::qWaitFor([&] { return repeats >= 3; }, kWaitMs));  // schedule kept

  int fired = 0;
  auto shot = queue_.scheduleTimer(20ms, false, [&](Timer&) { ++fired; });
  shot->fire();
  EXPECT_FALSE(shot->isValid());
  drain(queue_, 60ms);
  EXPECT_EQ(fired, 1);
}

TEST_F(QtMainQueueTest, DestroyingTheHandleStopsTheTimerEvenFromItsOwnTick) {
  int ticks = 0;
  auto dropped = queue_.scheduleTimer(5ms, true, [&](Timer&) { ++ticks; });
  dropped.reset();

  std::unique_ptr<Timer> self;
  int selfTicks = 0;
  self = queue_.scheduleTimer(5ms, true, [&](Timer&) {
    ++selfTicks;
    self.reset();  // the owner lets go inside the tick
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return selfTicks == 1; }, kWaitMs));
  drain(queue_, 50ms);
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(selfTicks, 1);
}

TEST(QtMainQueue, WorkPendingWhenTheQueueGoesIsDroppedNotRun) {
  bool ran = false;
  {
    QtMainQueue queue;
    queue.post([&] { ran = true; });
    queue.postDelayed(5ms, [&] { ran = true; });
  }
  QtMainQueue other;
  drain(other, 30ms);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace orvane
