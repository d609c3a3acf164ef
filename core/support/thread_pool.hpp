#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/support/platform/executor.hpp"

namespace orvane {

// A fixed set of worker threads running posted work in submission order (several at
// a time): the desktop platform's executor. Destroying the pool drops work not yet
// started and waits for the running work; destroyed from one of its own workers, it
// waits for the others and lets that one end once its work returns.
class ThreadPool : public Executor {
 public:
  explicit ThreadPool(std::size_t threads);
  ~ThreadPool() override;
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // False (and the work is dropped) once the pool is shutting down.
  bool post(std::function<void()> work) override;

  // Drops work not yet started, waits for the running work and ends the workers. Safe
  // to repeat and to call from one of the pool's own workers (that one is not waited for).
  void shutdown();

 private:
  // Shared with the threads, so that a worker outliving the pool touches no freed memory.
  struct State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> queue;
    bool stopping = false;
  };
  static void run(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::mutex threadsMutex_;
  std::vector<std::thread> threads_;  // guarded by threadsMutex_
};

}  // namespace orvane
