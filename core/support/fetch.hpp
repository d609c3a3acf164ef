#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/support/platform/platform.hpp"
#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"

// The one step between the network and a screen: the answer is decoded off the GUI
// thread, on the platform's executor, and the screen (or the flow) continues with the
// decoded record on the main thread. Both return the RequestHandle that the caller
// keeps: dropped on the main thread, the continuation never runs (request_handle.hpp).
namespace orvane {

// Runs `work` on the executor, without a continuation; without an executor (a bare
// platform) where it is called.
void runOffMain(const std::shared_ptr<Executor>& executor, std::function<void()> work);

namespace detail {

// Runs `work` on the main thread through `gate`; logged and dropped without a main queue.
void runOnMain(const std::shared_ptr<MainQueue>& queue, const std::shared_ptr<CompletionGate>& gate,
               std::function<void()> work);

}  // namespace detail

// Runs `work()` on the executor, then `then(result)` on the main thread. Both are copied
// into std::function: capture values, not references to the caller's locals.
template <class Work, class Then>
RequestHandle inBackground(const Platform& platform, Work work, Then then) {
  using Out = std::invoke_result_t<Work&>;
  auto gate = std::make_shared<CompletionGate>();
  runOffMain(platform.executor, [gate, queue = platform.mainQueue, work = std::move(work),
                                 then = std::move(then)]() mutable {
    if (gate->closed()) return;  // nobody waits for it any more
    auto result = std::make_shared<Out>(work());
    detail::runOnMain(queue, gate, [then = std::move(then), result]() mutable { then(std::move(*result)); });
  });
  return RequestHandle(gate);
}

// Sends a request with `send`, decodes its answer on the executor and hands the outcome
// to `then` on the main thread.
//
// `send(completion)` starts the request and returns its handle, e.g.
//   [&](auto done) { return ApiList(platform).getJoin(campid, std::move(done)); }
// `decode` takes either the body (std::string_view: an error answer then skips decoding
// and reaches `then` as it is) or the whole answer of type `Answer`. A decoding error
// has kind `decoding`, so `then` can tell it from a failed transfer.
template <class Answer = Result<std::string>, class Send, class Decode, class Then>
RequestHandle fetch(const Platform& platform, Send&& send, Decode decode, Then then) {
  auto gate = std::make_shared<CompletionGate>();
  auto executor = platform.executor;
  auto queue = platform.mainQueue;
  auto arrived = [gate, executor, queue, decode = std::move(decode), then = std::move(then)](Answer answer) {
    if (gate->closed()) return;
    auto shared = std::make_shared<Answer>(std::move(answer));
    if constexpr (std::is_invocable_v<Decode&, Answer&>) {
      runOffMain(executor, [gate, queue, decode, then, shared]() mutable {
        if (gate->closed()) return;
        auto out = std::make_shared<std::invoke_result_t<Decode&, Answer&>>(decode(*shared));
        detail::runOnMain(queue, gate, [then, out]() mutable { then(std::move(*out)); });
      });
    } else {
      using Out = std::invoke_result_t<Decode&, std::string_view>;
      if (!shared->ok()) {
        // Nothing to decode: straight on to the main thread.
        detail::runOnMain(queue, gate, [then, shared]() mutable { then(Out(shared->error())); });
        return;
      }
      runOffMain(executor, [gate, queue, decode, then, shared]() mutable {
        if (gate->closed()) return;
        auto out = std::make_shared<Out>(decode(std::string_view(shared->value())));
        detail::runOnMain(queue, gate, [then, out]() mutable { then(std::move(*out)); });
      });
    }
  };
  auto transfer = std::make_shared<RequestHandle>(std::forward<Send>(send)(std::move(arrived)));
  return RequestHandle(gate, [transfer] { transfer->reset(); });
}

}  // namespace orvane
