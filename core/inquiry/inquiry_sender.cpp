#include "core/inquiry/inquiry_sender.hpp"

#include <mutex>
#include <utility>

#include "core/support/fetch.hpp"

namespace orvane::inquiry {

namespace {

// The transfer's handle, once the executor has started it; a cancel that comes first
// keeps it from being kept.
struct TransferSlot {
  std::mutex mutex;
  bool cancelled = false;
  RequestHandle transfer;
};

}  // namespace

RequestHandle sendInquiry(const std::shared_ptr<const Platform>& platform, const Submission& submission,
                          std::vector<ImagePtr> screenshots, ApiList::Completion completion) {
  auto gate = std::make_shared<CompletionGate>();
  auto slot = std::make_shared<TransferSlot>();
  auto builder = std::make_shared<ApiList>(platform);
  runOffMain(platform->executor, [gate, slot, builder, submission, screenshots = std::move(screenshots),
                                  completion = std::move(completion)] {
    if (gate->closed()) return;
    RequestHandle transfer = builder->postCS(submission.name, submission.email, submission.tel,
                                             submission.cstype, submission.campid, submission.content,
                                             screenshots, [gate, completion](Result<std::string> answer) {
                                               gate->pass([&] { completion(std::move(answer)); });
                                             });
    std::unique_lock lock(slot->mutex);
    if (slot->cancelled) {
      lock.unlock();
      transfer.reset();
      return;
    }
    slot->transfer = std::move(transfer);
  });
  return RequestHandle(gate, [slot] {
    RequestHandle transfer;
    {
      std::lock_guard lock(slot->mutex);
      slot->cancelled = true;
      transfer = std::move(slot->transfer);
    }
    transfer.reset();
  });
}

}  // namespace orvane::inquiry
