#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"

namespace orvane {

struct HttpRequest {
  std::string url;
  std::string method = "GET";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // sent only when not empty or when the method is POST
  // Idle limit: the request fails once no byte has moved in either direction for this
  // long, so a slow upload or download that keeps moving is never cut by it.
  std::chrono::milliseconds timeout{60'000};
  // Overall cap on the whole exchange, however steadily it moves.
  std::chrono::milliseconds totalTimeout{600'000};
};

struct HttpResponse {
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool hasBody = false;  // false when the answer carried no body at all
};

// Performs HTTP requests. `send` returns at once with the request's handle; the
// completion runs once, on the session's own worker thread (never the main thread):
// with the response whatever its status, or with an error (network, timeout, cancelled
// at shutdown). Dropping the handle cancels the transfer: once that returns, the
// completion has run or never will (see RequestHandle). A completion therefore only
// hands the bytes on (to the executor, to the main queue) and never waits.
// Redirects are followed only to http and https, and never from https to http: such a
// redirect fails the request before anything is sent to the new address.
// Destroying the session cancels what is in flight and completes it as cancelled.
class HttpSession {
 public:
  using Completion = std::function<void(Result<HttpResponse>)>;
  virtual ~HttpSession() = default;
  virtual RequestHandle send(HttpRequest request, Completion completion) = 0;
};

}  // namespace orvane
