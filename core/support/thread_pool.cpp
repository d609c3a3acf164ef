#include "core/support/thread_pool.hpp"

#include <algorithm>

namespace orvane {

ThreadPool::ThreadPool(std::size_t threads) {
  const std::size_t count = std::max<std::size_t>(1, threads);
  threads_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) threads_.emplace_back([state = state_] { run(state); });
}

ThreadPool::~ThreadPool() { shutdown(); }

void ThreadPool::shutdown() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    dropped.swap(state_->queue);
  }
  state_->wake.notify_all();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(threadsMutex_);
    threads.swap(threads_);
  }
  for (auto& t : threads) {
    if (t.get_id() == std::this_thread::get_id()) {
      t.detach();  // this worker ends when the work that called us returns
    } else {
      t.join();
    }
  }
  // Dropped work is destroyed outside the lock: its captures may post again.
}

bool ThreadPool::post(std::function<void()> work) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->stopping) return false;
    state_->queue.push_back(std::move(work));
  }
  state_->wake.notify_one();
  return true;
}

void ThreadPool::run(const std::shared_ptr<State>& state) {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(state->mutex);
      state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
      if (state->stopping) return;
      work = std::move(state->queue.front());
      state->queue.pop_front();
    }
    work();
  }
}

}  // namespace orvane
