#include "core/support/request_handle.hpp"

#include <algorithm>
#include <utility>

namespace orvane {

bool CompletionGate::enter() {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  ++running_;
  runner_ = std::this_thread::get_id();
  return true;
}

void CompletionGate::leave() {
  {
    std::lock_guard lock(mutex_);
    --running_;
    finished_ = true;
  }
  left_.notify_all();
}

void CompletionGate::close() {
  std::unique_lock lock(mutex_);
  closed_ = true;
  finished_ = true;
  // From inside the completion itself there is nothing to wait for.
  if (runner_ == std::this_thread::get_id()) return;
  left_.wait(lock, [this] { return running_ == 0; });
}

bool CompletionGate::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

RequestHandle::RequestHandle(std::shared_ptr<CompletionGate> gate, std::function<void()> cancel)
    : gate_(std::move(gate)), cancel_(std::move(cancel)) {}

RequestHandle RequestHandle::completed() {
  auto gate = std::make_shared<CompletionGate>();
  gate->close();
  return RequestHandle(std::move(gate));
}

RequestHandle::RequestHandle(RequestHandle&& other) noexcept
    : gate_(std::move(other.gate_)), cancel_(std::move(other.cancel_)) {
  other.cancel_ = nullptr;
}

RequestHandle& RequestHandle::operator=(RequestHandle&& other) noexcept {
  if (this != &other) {
    reset();
    gate_ = std::move(other.gate_);
    cancel_ = std::move(other.cancel_);
    other.cancel_ = nullptr;
  }
  return *this;
}

RequestHandle::~RequestHandle() { reset(); }

void RequestHandle::reset() {
  // Moved out first: the cancel function may drop the last owner of this handle.
  auto gate = std::move(gate_);
  auto cancel = std::move(cancel_);
  gate_ = nullptr;
  cancel_ = nullptr;
  if (gate) gate->close();
  if (cancel) cancel();
}

void RequestGroup::add(RequestHandle handle) {
  std::erase_if(handles_, [](const RequestHandle& h) { return !h.pending(); });
  if (handle.pending()) handles_.push_back(std::move(handle));
}

void RequestGroup::clear() {
  // Cancelling may run code that adds to this group again: empty it first.
  auto handles = std::move(handles_);
  handles_.clear();
  handles.clear();
}

std::size_t RequestGroup::pending() const {
  return static_cast<std::size_t>(
      std::count_if(handles_.begin(), handles_.end(), [](const RequestHandle& h) { return h.pending(); }));
}

}  // namespace orvane
