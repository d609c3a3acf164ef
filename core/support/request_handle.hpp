#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// How to cancel work in this SDK: keep the handle, drop it to cancel.
//
// Everything asynchronous that calls back (an HTTP request, a request decoded off the
// GUI thread, a wait for a callback of the platform) returns a RequestHandle. Whoever
// will be gone when the answer comes keeps the handle as a member, so that it is
// dropped with its owner:
//
//   class MyScreen : public ViewController {
//     void load() {
//       const auto& platform = services().platform;
//       // The lambda may use `this`: once view_ is dropped, it never runs.
//       view_ = fetch(
//           *platform, [&](auto done) { return ApiList(platform).getView(id, std::move(done)); },
//           decodeVelmontNotice, [this](Result<VelmontNotice> view) { show(view); });
//     }
//     RequestHandle view_;  // assigning a new request cancels the old one
//   };
//
// In a test, FakeHttpSession (manual = true) shows a dropped request as cancelled()
// and no longer waiting().
//
// The promise: once a handle's destructor (or `reset`) returns, its completion is not
// running on another thread and never runs; it may have run already. A handle may be
// dropped from inside its own completion. If the completion runs on another thread at
// that moment, dropping waits for it to return, so completions hand their result on and
// never wait for the thread that owns the handle. The completion's thread is the one its
// sender documents: `HttpSession::send` the transport's worker, `fetch` the main thread.
// Several requests at once go into a RequestGroup. `fetch` (core/support/fetch.hpp) is
// the usual way to get one.
namespace orvane {

// The sender's side of a handle: its completion passes through the gate, and the handle
// closes it. Thread-safe.
class CompletionGate {
 public:
  // Runs `work` unless the gate is closed; true when it ran. While it runs, `close` on
  // another thread waits for it. Completions are meant to pass once; a second pass is
  // allowed and obeys the same rule.
  template <class Work>
  bool pass(Work&& work) {
    if (!enter()) return false;
    struct Leave {  // NOLINT(cppcoreguidelines-special-member-functions): a scope guard, never copied
      CompletionGate* gate;
      ~Leave() { gate->leave(); }
    } leave{this};
    std::forward<Work>(work)();
    return true;
  }

  // Nothing passes after this returns, and nothing is passing on another thread.
  void close();
  bool closed() const;
  // A pass ran to its end, or the gate was closed: nothing more will come through it.
  bool finished() const { return finished_.load(); }

 private:
  bool enter();
  void leave();

  mutable std::mutex mutex_;
  std::condition_variable left_;
  bool closed_ = false;
  int running_ = 0;
  std::thread::id runner_;
  std::atomic<bool> finished_{false};
};

// Owns one asynchronous operation; dropping it cancels the operation (the promise above).
// Move-only. Make it on the main thread or any other; drop it where its sender says.
class [[nodiscard]] RequestHandle {
 public:
  RequestHandle() = default;
  // `gate` is what the completion passes through; `cancel`, when given, stops the work
  // behind it (a transfer, a queued job) and runs once, after the gate is closed.
  explicit RequestHandle(std::shared_ptr<CompletionGate> gate, std::function<void()> cancel = {});
  // A handle for an operation that completed before it was returned.
  static RequestHandle completed();

  RequestHandle(RequestHandle&& other) noexcept;
  RequestHandle& operator=(RequestHandle&& other) noexcept;  // cancels what it held
  RequestHandle(const RequestHandle&) = delete;
  RequestHandle& operator=(const RequestHandle&) = delete;
  ~RequestHandle();

  // Cancels now; the handle is then empty.
  void reset();
  // Holds an operation whose completion may still come.
  bool pending() const { return gate_ && !gate_->finished(); }
  bool empty() const { return gate_ == nullptr; }

 private:
  std::shared_ptr<CompletionGate> gate_;
  std::function<void()> cancel_;
};

// Several handles of one owner (a flow with overlapping requests, a loader with many
// images). Dropping the group cancels them all. One thread at a time.
class RequestGroup {
 public:
  // Keeps `handle`; handles whose completion is over are let go at the same time.
  void add(RequestHandle handle);
  // Cancels every request of the group.
  void clear();
  // Requests whose completion may still come.
  std::size_t pending() const;

 private:
  std::vector<RequestHandle> handles_;
};

}  // namespace orvane
