#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/url_opener.hpp"
#include "platform/xdg/handler_cache.hpp"
#include "platform/xdg/xdg_environment.hpp"

namespace orvane::qt {

class QtTrackingAuthorization;

// Opens URLs with the application the desktop has registered for their scheme, and
// says truthfully whether it did: a scheme without a handler is not opened.
//
// `open` looks the handler up (the freedesktop associations, platform/xdg) and runs
// its Exec line with the URL as one argument of an argument vector, never through a
// shell, on a worker thread within a time limit; the completion comes later on the
// main thread with whether the handler was started. http and https go to the web
// browser (handler of x-scheme-handler/http(s), else text/html). Running the entry
// ourselves rather than through QDesktopServices means that what was looked up is
// what starts, and a failed start is seen: the desktop's opener reports success as
// soon as it is itself launched, whatever happens next.
//
// Two kinds of URL do not go through the desktop: the privacy-settings URL, which
// shows the consent dialog in-process, and schemes the host declared with
// `addOpenableScheme`, which go to QDesktopServices::openUrl (so a handler the host
// registered with QDesktopServices::setUrlHandler gets them).
//
// `canOpen` must not touch the disk on the GUI thread: it answers from the last
// look-up of the scheme (kept for half a minute) and otherwise starts one in the
// background and answers false until it has a result.
class QtUrlOpener final : public UrlOpener {
 public:
  struct Options {
    // For the look-up and the start of the handler together; after it `open`
    // completes with false and the handler is not started any more.
    std::chrono::milliseconds timeLimit{5000};
    // The desktop's directories, read on the GUI thread when a look-up starts; the
    // process environment when empty.
    std::function<xdg::XdgEnvironment()> environment;
  };

  QtUrlOpener(std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<QtTrackingAuthorization> tracking);
  QtUrlOpener(std::shared_ptr<MainQueue> mainQueue, std::shared_ptr<QtTrackingAuthorization> tracking,
              Options options);
  ~QtUrlOpener() override;

  bool canOpen(const std::string& url) const override;
  // The completion is posted to the main thread, also when the URL is refused.
  void open(const std::string& url, std::function<void(bool opened)> completion) override;

  // A scheme (any case, without ':') the host has its own handler for, e.g. one it
  // registered with QDesktopServices::setUrlHandler.
  void addOpenableScheme(std::string scheme);

 private:
  xdg::XdgEnvironment environment() const;
  void complete(std::function<void(bool)> completion, bool opened) const;

  std::shared_ptr<MainQueue> mainQueue_;
  std::weak_ptr<QtTrackingAuthorization> tracking_;
  Options options_;
  std::shared_ptr<xdg::HandlerCache> handlers_;
  mutable std::mutex mutex_;
  std::set<std::string, std::less<>> extraSchemes_;
};

}  // namespace orvane::qt
