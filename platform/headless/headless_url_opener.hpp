#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/url_opener.hpp"
#include "platform/xdg/xdg_environment.hpp"

namespace orvane::headless {

// Opens URLs for a host without Qt. With `hostOpen` the host opens them itself (its
// answer: whether it did). Otherwise the desktop's registered handler is looked up by
// the freedesktop rules on a thread of its own (platform/xdg, the same truthful
// look-up as the Qt platform: no handler, not opened) and started detached, the URL
// one argument, never through a shell. The SDK's own settings page
// ("orvane-settings:privacy") goes to `privacySettings`.
//
// Called on the main thread; completions run there, through the main queue.
class HeadlessUrlOpener final : public UrlOpener {
 public:
  using HostOpen = std::function<bool(const std::string& url)>;

  struct Options {
    HostOpen hostOpen;
    std::function<void()> privacySettings;
    std::chrono::milliseconds timeLimit{5000};
    // The environment of the look-ups; null means the process's, read on the main thread.
    std::function<xdg::XdgEnvironment()> environment;
  };

  HeadlessUrlOpener(std::shared_ptr<MainQueue> mainQueue, Options options);

  // Settings page: when a host hook is set; host opener: always; otherwise what the
  // latest look-up of the scheme found (a look-up starts when none is recent).
  bool canOpen(const std::string& url) const override;
  void open(const std::string& url, std::function<void(bool opened)> completion) override;

 private:
  struct Table;
  xdg::XdgEnvironment environment() const;
  void complete(std::function<void(bool)> completion, bool opened) const;

  std::shared_ptr<MainQueue> mainQueue_;
  Options options_;
  std::shared_ptr<Table> table_;
};

// Starts `argv` detached (double fork: no zombie, and it outlives the host) in
// `workingDirectory` (empty: the current one). True when the program was executed.
bool launchDetached(const std::vector<std::string>& argv, const std::string& workingDirectory);

}  // namespace orvane::headless
