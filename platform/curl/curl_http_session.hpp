#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

#include "core/support/platform/http_session.hpp"

namespace orvane {

// HttpSession over libcurl: one worker thread drives a multi handle, so connections,
// TLS sessions and DNS answers are shared by every request of the session. TLS is
// always verified; the proxy environment variables are honoured.
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
  };

  CurlHttpSession();
  explicit CurlHttpSession(Options options);
  ~CurlHttpSession() override;

  CurlHttpSession(const CurlHttpSession&) = delete;
  CurlHttpSession& operator=(const CurlHttpSession&) = delete;

  void send(HttpRequest request, std::function<void(Result<HttpResponse>)> completion) override;

 private:
  class Worker;

  Options options_;
  std::shared_ptr<Worker> worker_;
  std::thread thread_;
};

std::shared_ptr<HttpSession> makeCurlHttpSession(CurlHttpSession::Options options = {});

}  // namespace orvane
