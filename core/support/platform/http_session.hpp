#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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

// Performs HTTP requests. `send` returns at once; the completion runs exactly once,
// on the session's own worker thread (never the main thread): with the response
// whatever its status, or with an error (network, timeout, cancelled at shutdown).
// Redirects are followed only to http and https, and never from https to http: such a
// redirect fails the request before anything is sent to the new address.
// Destroying the session cancels what is in flight and completes it as cancelled.
class HttpSession {
 public:
  virtual ~HttpSession() = default;
  virtual void send(HttpRequest request, std::function<void(Result<HttpResponse>)> completion) = 0;
};

}  // namespace orvane
