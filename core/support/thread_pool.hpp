#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvane {

// A fixed set of worker threads running posted work in submission order (several at
// a time). Destroying the pool drops work not yet started and joins the workers; it
// must not be destroyed from one of its own workers.
class ThreadPool {
 public:
  explicit ThreadPool(std::size_t threads);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // False (and the work is dropped) once the pool is shutting down.
  bool post(std::function<void()> work);

  // Drops work not yet started, waits for the running work and ends the workers. Safe
  // to repeat; not from one of the pool's own workers.
  void shutdown();

  // The process-wide pool for image look-ups, decoding, scaling and file writes.
  // Never destroyed, so work posted during static destruction cannot touch a dead pool.
  static ThreadPool& imageWorkers();

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace orvane
