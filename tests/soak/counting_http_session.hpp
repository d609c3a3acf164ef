#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/support/platform/http_session.hpp"

namespace orvane::testing {

// Hands every request to `inner` and keeps, per request, what became of it: how often
// the transport completed it, how often that completion reached the SDK, and whether the
// SDK dropped its handle before any completion reached it (cancelled: by the handle's
// rule its completion then never comes). Thread-safe.
class CountingHttpSession : public HttpSession {
 public:
  struct Fate {
    std::string path;
    std::string url;    // kept only when neither http nor https
    int arrived = 0;    // completions from the transport
    int delivered = 0;  // completions handed to the SDK
    bool cancelled = false;
    bool arrivedAfterCancel = false;  // the transport broke the handle's promise
  };

  struct Tally {
    std::size_t sent = 0;
    std::size_t delivered = 0;        // exactly once
    std::size_t cancelled = 0;        // dropped before a completion reached the SDK
    std::size_t pending = 0;          // neither yet
    std::size_t twice = 0;            // arrived or delivered more than once
    std::size_t afterCancel = 0;      // the transport completed a cancelled transfer
    std::vector<std::string> faults;  // the first few, for the failure message
    std::vector<std::string> notWeb;  // URLs sent that are neither http nor https
  };

  explicit CountingHttpSession(std::shared_ptr<HttpSession> inner);

  RequestHandle send(HttpRequest request, Completion completion) override;

  Tally tally() const;
  std::map<std::string, std::size_t> sentByPath() const;

 private:
  struct Book;
  std::shared_ptr<HttpSession> inner_;
  std::shared_ptr<Book> book_;
};

}  // namespace orvane::testing
