#pragma once

#include <functional>
#include <string>

namespace orvane {

// Opens URLs with the system. Called on the main thread; the completion, when
// given, runs on the main thread with whether the URL was opened.
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  virtual bool canOpen(const std::string& url) const = 0;
  virtual void open(const std::string& url, std::function<void(bool opened)> completion) = 0;
};

}  // namespace orvane
