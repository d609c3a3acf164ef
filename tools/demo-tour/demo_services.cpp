#include "demo_services.hpp"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>

#include "core/participation/api_join.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"

namespace demo {

namespace {

using orvane::Platform;

void say(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

std::string schemeOf(const std::string& url) {
  const auto colon = url.find(':');
  return colon == std::string::npos ? std::string() : url.substr(0, colon);
}

// Stands for the person at the phone: a landing link is visited with an HTTP request,
// as a browser would, and any other link starts the advertised app.
class VisitingUrlOpener : public orvane::UrlOpener {
 public:
  VisitingUrlOpener(std::shared_ptr<orvane::HttpSession> http, std::shared_ptr<orvane::MainQueue> queue)
      : http_(std::move(http)), queue_(std::move(queue)) {}

  bool canOpen(const std::string& url) const override { return !schemeOf(url).empty(); }

  void open(const std::string& url, std::function<void(bool)> completion) override {
    const auto scheme = schemeOf(url);
    if (scheme.empty()) {
      say("  [browser] cannot open " + url);
      answer(std::move(completion), false);
      return;
    }
    if (scheme != "http" && scheme != "https") {
      say("  [phone] starts the app behind " + url);
      answer(std::move(completion), true);
      return;
    }
    say("  [browser] visits " + url);
    orvane::HttpRequest request;
    request.url = url;
    request.timeout = std::chrono::seconds(10);
    visits_.add(
        http_->send(std::move(request), [this, completion = std::move(completion)](auto result) mutable {
          const std::string what = result.ok() ? "HTTP " + std::to_string(result.value().status)
                                               : "failed: " + result.error().description;
          queue_->post([what] { say("  [browser] landing page: " + what); });
          answer(std::move(completion), result.ok());
        }));
  }

 private:
  void answer(std::function<void(bool)> completion, bool opened) {
    if (completion) queue_->post([completion = std::move(completion), opened] { completion(opened); });
  }

  std::shared_ptr<orvane::HttpSession> http_;
  std::shared_ptr<orvane::MainQueue> queue_;
  orvane::RequestGroup visits_;  // the landing pages being visited; GUI thread
};

// The person allows tracking when asked.
class AllowingTracking : public orvane::TrackingAuthorization {
 public:
  int status() const override { return status_; }
  void requestAuthorization(std::function<void(int)> completion, std::weak_ptr<orvane::AlertHost>) override {
    if (status_ == orvane::tracking::notDetermined) {
      say("  [phone] tracking consent asked: allowed");
      status_ = orvane::tracking::authorized;
    }
    completion(status_);
  }

 private:
  int status_ = orvane::tracking::notDetermined;
};

// Prints the transport's request and answer lines compactly; the rest only when verbose.
class PrintingLogSink : public orvane::LogSink {
 public:
  PrintingLogSink(std::shared_ptr<orvane::MainQueue> queue, bool verbose, std::function<void()> activity)
      : queue_(std::move(queue)), verbose_(verbose), activity_(std::move(activity)) {}

  bool accepts(orvane::LogType) const override { return true; }

  void write(orvane::LogType, std::string_view category, std::string_view message) override {
    std::string line;
    if (message.substr(0, 3) == ">>>") {
      line = "  -> " + field(message, 1);
    } else if (message.substr(0, 3) == "<<<") {
      auto body = field(message, 2);
      if (body.size() > 150) body = body.substr(0, 150) + "...";
      line = "  <- " + body;
    } else if (verbose_) {
      line = "  log " + std::string(category) + ": " + std::string(message);
    } else {
      return;
    }
    queue_->post([line, activity = activity_] {
      say(line);
      activity();
    });
  }

 private:
  // The n-th line of a transport log entry, without its framing.
  static std::string field(std::string_view message, int n) {
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
      const auto nl = message.find('\n', start);
      if (nl == std::string_view::npos) return {};
      start = nl + 1;
    }
    auto end = message.find('\n', start);
    std::string_view text = message.substr(start, end == std::string_view::npos ? message.npos : end - start);
    if (const auto frame = text.find(" >>>>"); frame != std::string_view::npos) text = text.substr(0, frame);
    if (const auto frame = text.find(" <<<<"); frame != std::string_view::npos) text = text.substr(0, frame);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
  }

  std::shared_ptr<orvane::MainQueue> queue_;
  bool verbose_;
  std::function<void()> activity_;
};

}  // namespace

// Does what a person would do with the cell's button after each callback.
class JoinSession::Receiver : public orvane::JoinProtocol {
 public:
  Receiver(orvane::Camp camp, std::function<void()> activity)
      : camp_(std::move(camp)), activity_(std::move(activity)) {}

  void onParticipationCheckPossible(std::int64_t /*campid*/) override {
    say("  [callback] participation check possible: the user taps \"" +
        orvane::localized("ov_participation_check") + "\"");
    activity_();
    orvane::ApiJoin::shared().flowParticipation(camp_);
  }

  void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) override {
    say("  [callback] reward can be collected (campid " + std::to_string(campid) + ", ovnkey " + ovnkey +
        "): the user taps collect");
    activity_();
    orvane::ApiJoin::shared().apiReward(campid, ovnkey);
  }

 private:
  orvane::Camp camp_;
  std::function<void()> activity_;
};

JoinSession::JoinSession(orvane::Camp camp, bool verbose) : camp_(std::move(camp)), verbose_(verbose) {
  idle_.setSingleShot(true);
  idle_.setInterval(3000);
  QObject::connect(&idle_, &QTimer::timeout, [] {
    if (orvane::ApiJoin::shared().isPolling()) return;
    say("\nThe flow has been quiet for 3 s; the participation run is over.");
    QCoreApplication::exit(0);
  });
}

JoinSession::~JoinSession() {
  orvane::Log::setSink(nullptr);
  if (previous_) Platform::install(previous_);
}

void JoinSession::activity() { idle_.start(); }

std::shared_ptr<const Platform> installPersonServices() {
  auto previous = Platform::current();
  auto platform = std::make_shared<Platform>(*previous);
  platform->urlOpener = std::make_shared<VisitingUrlOpener>(platform->http, platform->mainQueue);
  platform->tracking = std::make_shared<AllowingTracking>();
  Platform::install(platform);
  return previous;
}

void JoinSession::start() {
  previous_ = installPersonServices();
  const auto platform = Platform::current();

  const auto activity = [this] { this->activity(); };
  orvane::Log::displayLog = true;
  orvane::Log::setSink(std::make_shared<PrintingLogSink>(platform->mainQueue, verbose_, activity));

  alerts_ =
      std::make_shared<orvane::AutoConfirmAlertHost>(platform->mainQueue, [activity](const orvane::Alert& a) {
        std::string buttons;
        for (const auto& b : a.actions) buttons += (buttons.empty() ? "" : " | ") + b.title;
        say("  [alert] " + a.title + ": " + a.message + "  [" + buttons + "]  -> the user confirms");
        activity();
      });
  receiver_ = std::make_shared<Receiver>(camp_, activity);
  listChange_ = orvane::NotificationCenter::shared().observe("action_list_change", [activity] {
    say("  [notification] action_list_change: the wall reloads its list");
    activity();
  });

  say("\nTaking part in campaign " + std::to_string(camp_.campid) + " \"" + camp_.name + "\" (bm " +
      std::to_string(camp_.bm) + ", bmcheck " + std::to_string(camp_.bmcheck) + ")");
  auto& flow = orvane::ApiJoin::shared();
  flow.viewController = alerts_;
  flow.startJoin(camp_, receiver_);
  activity();
}

}  // namespace demo
