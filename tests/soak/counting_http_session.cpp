#include "counting_http_session.hpp"

#include <utility>

namespace orvane::testing {

struct CountingHttpSession::Book {
  mutable std::mutex mutex;
  std::uint64_t next = 0;
  std::map<std::uint64_t, Fate> fates;
};

namespace {

// Scheme, host and query left out: the path is what the report groups by.
std::string pathOf(const std::string& url) {
  std::size_t start = url.find("://");
  start = start == std::string::npos ? 0 : url.find('/', start + 3);
  if (start == std::string::npos) return "/";
  const std::size_t end = url.find_first_of("?#", start);
  std::string path = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
  // Images are many and all alike.
  if (path.rfind("/img/", 0) == 0) return "/img/*";
  if (path.rfind("/landing/", 0) == 0) return "/landing/*";
  return path;
}

}  // namespace

CountingHttpSession::CountingHttpSession(std::shared_ptr<HttpSession> inner)
    : inner_(std::move(inner)), book_(std::make_shared<Book>()) {}

RequestHandle CountingHttpSession::send(HttpRequest request, Completion completion) {
  std::uint64_t id = 0;
  {
    std::lock_guard lock(book_->mutex);
    id = book_->next++;
    Fate& fate = book_->fates[id];
    fate.path = pathOf(request.url);
    if (request.url.rfind("http://", 0) != 0 && request.url.rfind("https://", 0) != 0) fate.url = request.url;
  }
  // The SDK's completion passes through a gate of ours, so that a drop is seen here
  // exactly as the SDK sees it.
  auto gate = std::make_shared<CompletionGate>();
  auto arrived = [book = book_, id, gate,
                  completion = std::move(completion)](Result<HttpResponse> r) mutable {
    {
      std::lock_guard lock(book->mutex);
      Fate& fate = book->fates[id];
      ++fate.arrived;
      if (fate.cancelled) fate.arrivedAfterCancel = true;
    }
    gate->pass([&] {
      {
        std::lock_guard lock(book->mutex);
        ++book->fates[id].delivered;
      }
      completion(std::move(r));
    });
  };
  auto transfer = std::make_shared<RequestHandle>(inner_->send(std::move(request), std::move(arrived)));
  return RequestHandle(gate, [book = book_, id, transfer] {
    // Our gate is closed by now: no delivery can follow.
    transfer->reset();
    std::lock_guard lock(book->mutex);
    Fate& fate = book->fates[id];
    if (fate.delivered == 0) fate.cancelled = true;
  });
}

CountingHttpSession::Tally CountingHttpSession::tally() const {
  std::lock_guard lock(book_->mutex);
  Tally t;
  t.sent = book_->fates.size();
  for (const auto& entry : book_->fates) {
    const Fate& fate = entry.second;
    const auto fault = [&](const char* what) {
      if (t.faults.size() < 10)
        t.faults.push_back("request " + std::to_string(entry.first) + " " + fate.path + ": " + what);
    };
    if (fate.arrived > 1 || fate.delivered > 1) {
      ++t.twice;
      fault("completed more than once");
    }
    if (fate.arrivedAfterCancel) {
      ++t.afterCancel;
      fault("completed after its handle was dropped");
    }
    if (!fate.url.empty()) t.notWeb.push_back(fate.url);
    if (fate.delivered == 1) {
      ++t.delivered;
    } else if (fate.cancelled) {
      ++t.cancelled;
    } else if (fate.delivered == 0) {
      ++t.pending;
    }
  }
  return t;
}

std::map<std::string, std::size_t> CountingHttpSession::sentByPath() const {
  std::lock_guard lock(book_->mutex);
  std::map<std::string, std::size_t> out;
  for (const auto& [id, fate] : book_->fates) ++out[fate.path];
  return out;
}

}  // namespace orvane::testing
