#include "core/support/thread_pool.hpp"

#include <algorithm>

namespace orvane {

ThreadPool::ThreadPool(std::size_t threads) {
  threads_.reserve(std::max<std::size_t>(1, threads));
  for (std::size_t i = 0; i < std::max<std::size_t>(1, threads); ++i)
    threads_.emplace_back([this] { run(); });
}

ThreadPool::~ThreadPool() { shutdown(); }

void ThreadPool::shutdown() {
  std::vector<std::thread> threads;
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(queue_);
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (auto& t : threads) t.join();
  // Dropped work is destroyed outside the lock: its captures may post again.
}

bool ThreadPool::post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    queue_.push_back(std::move(work));
  }
  wake_.notify_one();
  return true;
}

void ThreadPool::run() {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    work();
  }
}

ThreadPool& ThreadPool::imageWorkers() {
  // Two workers: the work is short and partly disk-bound, and the host's own threads
  // need the cores more.
  static auto* pool = new ThreadPool(2);
  return *pool;
}

}  // namespace orvane
