#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/url_opener.hpp"

namespace orvane::qt {

class QtTrackingAuthorization;

// Opens URLs with the desktop (QDesktopServices). Whether a scheme can be opened
// is decided without asking the system, which would block: web, mail and file
// URLs always, our own privacy-settings URL, and schemes the host declared.
class QtUrlOpener final : public UrlOpener {
 public:
  QtUrlOpener(std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<QtTrackingAuthorization> tracking);

  bool canOpen(const std::string& url) const override;
  // The completion is posted to the main thread, also when the URL is refused.
  void open(const std::string& url, std::function<void(bool opened)> completion) override;

  // A scheme (lower case, without ':') the host knows a handler for, e.g. one it
  // registered with QDesktopServices::setUrlHandler or an installed application's.
  void addOpenableScheme(std::string scheme);

 private:
  std::shared_ptr<MainQueue> mainQueue_;
  std::weak_ptr<QtTrackingAuthorization> tracking_;
  mutable std::mutex mutex_;
  std::set<std::string, std::less<>> extraSchemes_;
};

}  // namespace orvane::qt
