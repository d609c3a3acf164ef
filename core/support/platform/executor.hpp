#pragma once

#include <functional>

// Where work that must stay off the GUI thread runs: decoding answers, sorting lists,
// reading, decoding and scaling images, writing files.
//
// The executor comes with the platform (`Platform::executor`): the desktop's is a small
// thread pool, the fakes' a ManualExecutor that runs only when the test says so. Work
// never picks a thread of its own, and the transport's worker only moves bytes. To run
// work and then continue on the main thread, use `inBackground` or `fetch`
// (core/support/fetch.hpp), which also hand back a RequestHandle:
//
//   sorting_ = inBackground(*platform, [list = list_] { return sorted(list); },
//                           [this](std::vector<Camp> sorted) { show(std::move(sorted)); });
//
// In a test on the fakes, nothing runs until the test runs it:
//
//   testing::FakePlatform fake;
//   ...                        // code under test posts work
//   fake.executor->runOne();   // one job, on the test's thread
//   fake.runUntilIdle();       // every job and every main-thread hand-over, until none is left
//
// Work captures values (or weak references), never the screen that asked for it: the
// screen may be gone when the work runs.
namespace orvane {

// Runs posted work off the main thread. `post` may be called from any thread and returns
// at once; the work runs later, on one of the executor's threads, possibly beside other
// work, in no promised order. False (the work dropped without running) once the executor
// has shut down.
class Executor {
 public:
  virtual ~Executor() = default;
  virtual bool post(std::function<void()> work) = 0;
};

}  // namespace orvane
