#pragma once

#include <chrono>
#include <thread>

#include "platform/fake/fake_main_queue.hpp"

namespace orvane::testing {

// Runs the fake main queue until `done` holds; false after `timeout`. For tests whose
// executor or transport are real threads (on the fakes alone, FakePlatform::runUntilIdle
// settles everything at once, without waiting).
template <class Pred>
bool pumpUntil(FakeMainQueue& queue, Pred done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    queue.runUntilIdle();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace orvane::testing
