#include "platform/headless/headless_url_opener.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <set>
#include <thread>

#include "core/participation/link_url.hpp"
#include "orvane/log.hpp"
#include "platform/headless/headless_services.hpp"
#include "platform/xdg/mime_apps.hpp"

namespace orvane::headless {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::seconds kKnownFor{30};

// The scheme of an absolute URL, lower case; empty when the text is none.
std::string schemeOf(const std::string& url) {
  if (!parsesAsUrl(url)) return {};
  const std::size_t colon = url.find(':');
  if (colon == std::string::npos || colon < 2) return {};
  std::string scheme = url.substr(0, colon);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if ((scheme == "http" || scheme == "https") && url.compare(colon, 3, "://") != 0) return {};
  return scheme;
}

}  // namespace

struct HeadlessUrlOpener::Table {
  struct Known {
    bool found = false;
    SteadyClock::time_point at;
  };
  std::mutex mutex;
  std::map<std::string, Known, std::less<>> known;
  std::set<std::string, std::less<>> refreshing;

  void record(const std::string& scheme, const xdg::HandlerLookup& r) {
    if (r.status == xdg::HandlerLookup::Status::timedOut) return;
    std::lock_guard lock(mutex);
    known[scheme] = {r.status == xdg::HandlerLookup::Status::found, SteadyClock::now()};
  }
};

bool launchDetached(const std::vector<std::string>& argv, const std::string& workingDirectory) {
  if (argv.empty()) return false;
  // Everything the children need is made before fork: after it only async-signal-safe calls.
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipe[0]);
    ::close(pipe[1]);
    return false;
  }
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) {
      // Stay where we are; the handler does not depend on it.
    }
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::dup2(devnull, 1);
    }
    ::execv(args[0], args.data());
    const char failed = 1;  // exec failed: tell the parent through the pipe
    (void)!::write(pipe[1], &failed, 1);
    ::_exit(127);
  }
  ::close(pipe[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  char failed = 0;
  ssize_t n = 0;
  do {
    n = ::read(pipe[0], &failed, 1);  // EOF once exec closed the pipe (CLOEXEC)
  } while (n < 0 && errno == EINTR);
  ::close(pipe[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

HeadlessUrlOpener::HeadlessUrlOpener(std::shared_ptr<MainQueue> mainQueue, Options options)
    : mainQueue_(std::move(mainQueue)), options_(std::move(options)), table_(std::make_shared<Table>()) {}

xdg::XdgEnvironment HeadlessUrlOpener::environment() const {
  return options_.environment ? options_.environment() : xdg::XdgEnvironment::fromProcess();
}

void HeadlessUrlOpener::complete(std::function<void(bool)> completion, bool opened) const {
  if (!completion) return;
  mainQueue_->post([completion = std::move(completion), opened] { completion(opened); });
}

bool HeadlessUrlOpener::canOpen(const std::string& url) const {
  if (url == HeadlessDeviceInfo::kPrivacySettingsUrl) return static_cast<bool>(options_.privacySettings);
  const std::string scheme = schemeOf(url);
  if (scheme.empty()) return false;
  if (options_.hostOpen) return true;
  std::optional<Table::Known> known;
  {
    std::lock_guard lock(table_->mutex);
    if (auto it = table_->known.find(scheme); it != table_->known.end()) known = it->second;
    if ((!known || SteadyClock::now() - known->at > kKnownFor) && table_->refreshing.insert(scheme).second) {
      std::thread([table = table_, env = environment(), scheme,
                   deadline = SteadyClock::now() + options_.timeLimit] {
        table->record(scheme, xdg::findUrlHandler(env, scheme, deadline));
        std::lock_guard lock(table->mutex);
        table->refreshing.erase(scheme);
      }).detach();
    }
  }
  return known && known->found;
}

void HeadlessUrlOpener::open(const std::string& url, std::function<void(bool opened)> completion) {
  if (url == HeadlessDeviceInfo::kPrivacySettingsUrl) {
    if (options_.privacySettings) options_.privacySettings();
    complete(std::move(completion), static_cast<bool>(options_.privacySettings));
    return;
  }
  const std::string scheme = schemeOf(url);
  if (scheme.empty()) {
    Log::log("HeadlessUrlOpener not an absolute URL, nothing opened : " + url, Log::Level::error());
    complete(std::move(completion), false);
    return;
  }
  if (options_.hostOpen) {
    complete(std::move(completion), options_.hostOpen(url));
    return;
  }
  // The look-up reads the disk and the launch forks: both off the main thread. The
  // time limit answers for a look-up that hangs; whichever comes first reports.
  struct Attempt {
    std::atomic<int> state{0};  // 0 looking, 1 launching, 2 reported
    std::function<void(bool)> completion;
    std::string url;
  };
  auto attempt = std::make_shared<Attempt>();
  attempt->completion = std::move(completion);
  attempt->url = url;
  auto report = [](const std::shared_ptr<Attempt>& a, bool opened, const std::string& note) {
    if (opened) {
      Log::log("HeadlessUrlOpener opened with " + note + " : " + a->url, Log::Level::info());
    } else {
      Log::log("HeadlessUrlOpener not opened (" + note + ") : " + a->url, Log::Level::error());
    }
    if (a->completion) a->completion(opened);
  };
  std::thread([attempt, report, queue = mainQueue_, table = table_, env = environment(), scheme,
               deadline = SteadyClock::now() + options_.timeLimit] {
    const auto found = xdg::findUrlHandler(env, scheme, deadline);
    table->record(scheme, found);
    bool opened = false;
    std::string note;
    int expected = 0;
    if (found.status != xdg::HandlerLookup::Status::found) {
      if (!attempt->state.compare_exchange_strong(expected, 2)) return;
      note = found.status == xdg::HandlerLookup::Status::timedOut ? "the look-up ran out of time"
                                                                  : "no application handles " + scheme + ":";
    } else {
      if (!attempt->state.compare_exchange_strong(expected, 1)) return;
      auto argv = xdg::expandExec(*found.handler, attempt->url);
      if (!argv) {
        note = "its Exec line is malformed";
      } else {
        (*argv)[0] = found.program;
        opened = launchDetached(*argv, found.handler->workingDirectory);
        note = opened ? found.handler->id : "its program did not start";
      }
      attempt->state = 2;
    }
    queue->post([attempt, report, opened, note] { report(attempt, opened, note); });
  }).detach();
  mainQueue_->postDelayed(options_.timeLimit, [attempt, report] {
    int expected = 0;
    if (attempt->state.compare_exchange_strong(expected, 2)) report(attempt, false, "time limit reached");
  });
}

}  // namespace orvane::headless
