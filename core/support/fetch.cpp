#include "core/support/fetch.hpp"

#include "orvane/log.hpp"

namespace orvane {

void runOffMain(const std::shared_ptr<Executor>& executor, std::function<void()> work) {
  if (!executor) {
    work();
    return;
  }
  // A pool that shut down (the application exits) drops the work: nobody waits for it.
  executor->post(std::move(work));
}

namespace detail {

void runOnMain(const std::shared_ptr<MainQueue>& queue, const std::shared_ptr<CompletionGate>& gate,
               std::function<void()> work) {
  if (!queue) {
    Log::log("No main queue: an answer is dropped", Log::Level::error());
    gate->close();
    return;
  }
  queue->post([gate, work = std::move(work)] { gate->pass(work); });
}

}  // namespace detail
}  // namespace orvane
