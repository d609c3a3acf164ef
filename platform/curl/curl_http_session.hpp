#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/support/platform/http_session.hpp"

namespace orvane {

// HttpSession over libcurl: one worker thread drives a multi handle, so connections,
// TLS sessions and DNS answers are shared by every request of the session. TLS is
// always verified; the proxy environment variables are honoured. A request's `timeout`
// is an idle limit, checked about once a second; `totalTimeout` caps the whole exchange.
class CurlHttpSession : public HttpSession {
 public:
  struct Options {
    // A larger answer fails instead of growing without bound.
    std::size_t maxResponseBytes = std::size_t{64} * 1024 * 1024;
    long maxRedirects = 10;
    // Capped by each request's own timeout.
    std::chrono::milliseconds connectTimeout{15'000};
    // Like the usual per-host limit of a browser or a platform session.
    long maxConnectionsPerHost = 6;
    // How long the destructor waits for the worker to finish the cancelled completions.
    std::chrono::milliseconds shutdownTimeout{5'000};
    // A PEM file of trust anchors used instead of the system's (a private CA, or a test's
    // throwaway one); empty = the system store. Verification stays on either way.
    std::string caFile;
  };

  CurlHttpSession();
  explicit CurlHttpSession(Options options);
  ~CurlHttpSession() override;

  CurlHttpSession(const CurlHttpSession&) = delete;
  CurlHttpSession& operator=(const CurlHttpSession&) = delete;

  RequestHandle send(HttpRequest request, Completion completion) override;

  // Cancels everything in flight (each completion whose handle is still held runs once,
  // as a cancellation), ends the worker thread and fails later requests at once. Safe
  // to repeat; the destructor calls it.
  void shutdown();

 private:
  class Worker;

  Options options_;
  std::shared_ptr<Worker> worker_;
  std::mutex threadMutex_;
  std::thread thread_;  // guarded by threadMutex_
};

// Sessions made here are also ended by shutdownCurlHttpSessions().
std::shared_ptr<HttpSession> makeCurlHttpSession(CurlHttpSession::Options options = {});

// Ends every live session made by makeCurlHttpSession. For the application's exit: a
// transfer completing while static objects are torn down would run callers' code
// against half-destroyed libraries.
void shutdownCurlHttpSessions();

}  // namespace orvane
