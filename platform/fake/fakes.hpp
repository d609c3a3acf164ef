#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/support/platform/alert_host.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/platform/platform.hpp"
#include "platform/fake/fake_main_queue.hpp"

namespace orvane::testing {

// A wall clock the test sets and moves.
class ManualClock : public Clock {
 public:
  std::chrono::system_clock::time_point now() const override;
  void set(std::chrono::system_clock::time_point t);
  void advance(std::chrono::system_clock::duration d);

 private:
  mutable std::mutex mutex_;
  std::chrono::system_clock::time_point now_{std::chrono::seconds{1'700'000'000}};
};

struct LogLine {
  LogType type;
  std::string category;
  std::string message;
};

// Keeps every line written; `rejected` types are refused like a disabled system log type.
class CapturingLogSink : public LogSink {
 public:
  bool accepts(LogType type) const override;
  void write(LogType type, std::string_view category, std::string_view message) override;
  std::vector<LogLine> lines() const;
  bool contains(std::string_view messagePart) const;
  void clear();
  void reject(LogType type);

 private:
  mutable std::mutex mutex_;
  std::vector<LogLine> lines_;
  std::vector<LogType> rejected_;
};

class FakeDeviceInfo : public DeviceInfo {
 public:
  std::string systemVersion() const override { return version; }
  std::optional<std::string> vendorIdentifier() const override { return vendorId; }
  std::string machineIdentifier() const override { return machine; }
  std::optional<std::string> carrierName() const override { return carrier; }
  bool isSystemVersionAtLeast(int major) const override { return modernMajor >= major; }
  std::optional<std::string> privacySettingsUrl() const override { return settingsUrl; }

  std::string version = "17.2";
  std::optional<std::string> vendorId = "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";
  std::string machine = "iPhone13,2";
  std::optional<std::string> carrier = "TestCarrier";
  int modernMajor = 17;  // answers "version >= N" for N up to this
  std::optional<std::string> settingsUrl = "app-settings:";
};

class FakeAdvertisingId : public AdvertisingId {
 public:
  std::string advertisingIdentifier() override { return id; }
  std::string id = "6D92078A-8246-4BA4-AE5B-76104861E7DC";
};

// Answers with a scripted status; counts the requests and keeps the host asked over.
class FakeTrackingAuthorization : public TrackingAuthorization {
 public:
  int status() const override { return currentStatus; }
  void requestAuthorization(std::function<void(int)> completion, std::weak_ptr<AlertHost> host) override;

  int currentStatus = tracking::notDetermined;
  int answer = tracking::authorized;  // what the user picks when asked
  bool deferAnswer = false;           // keep the completion for the test to call
  int requests = 0;
  std::function<void(int)> pending;
  std::weak_ptr<AlertHost> askedOver;  // the host of the latest request
};

// Records what was opened; answers can-open and open from a script.
class FakeUrlOpener : public UrlOpener {
 public:
  bool canOpen(const std::string& url) const override;
  void open(const std::string& url, std::function<void(bool)> completion) override;

  std::vector<std::string> opened;
  std::vector<std::string> refusedSchemes;  // canOpen and open fail for these
  std::shared_ptr<MainQueue> queue;         // completions are posted here when set
};

// Records every alert; the test presses buttons by title or index.
class RecordingAlertHost : public AlertHost {
 public:
  void present(Alert alert) override { alerts.push_back(std::move(alert)); }
  // Presses a button of the newest alert; returns false when there is none.
  bool press(std::string_view title);
  bool pressIndex(std::size_t index);
  const Alert* last() const { return alerts.empty() ? nullptr : &alerts.back(); }

  std::vector<Alert> alerts;
};

// An image is a tiny text, "IMG <width> <height>" (decode/encode/draw round-trip through
// it), decoded within the same bounds as a real codec; `decodes` counts the images made.
class FakeImageCodec : public ImageCodec {
 public:
  std::optional<DeclaredSize> declaredSize(std::string_view bytes) const override;
  ImagePtr decode(std::string_view bytes) const override;
  std::optional<std::string> encodeJpeg(const Image& image, double quality) const override;
  std::optional<std::string> encodePng(const Image& image) const override;
  ImagePtr draw(const Image& image, int width, int height) const override;

  static ImagePtr make(int width, int height);
  static std::string bytes(int width, int height);
  bool failEncoding = false;
  mutable std::atomic<int> decodes{0};
};

// Scripted HTTP: answers in order from `responses` (or `handler`), records every request.
// Without `manual` the completion runs inside `send`, on the caller's thread; with it,
// completions wait until the test calls `complete`. A dropped handle takes its request
// out of the waiting ones.
class FakeHttpSession : public HttpSession {
 public:
  RequestHandle send(HttpRequest request, Completion completion) override;

  void enqueue(Result<HttpResponse> response);
  static HttpResponse ok(std::string body, int status = 200);
  std::vector<HttpRequest> requests() const;
  // Completes the oldest waiting request (manual mode); false when none waits.
  bool complete(Result<HttpResponse> response);
  std::size_t waiting() const;
  // Requests whose handle was dropped before they were answered.
  std::size_t cancelled() const;

  std::function<Result<HttpResponse>(const HttpRequest&)> handler;
  bool manual = false;

 private:
  struct Waiting {
    std::uint64_t id;
    std::shared_ptr<CompletionGate> gate;
    Completion completion;
  };
  struct State {
    mutable std::mutex mutex;
    std::vector<HttpRequest> requests;
    std::deque<Result<HttpResponse>> responses;
    std::deque<Waiting> waiting;
    std::uint64_t nextId = 0;
    std::size_t cancelled = 0;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// An executor that runs nothing by itself: the test runs its work, on the test's own
// thread, one job at a time or until none is left. `post` is safe from any thread.
class ManualExecutor : public Executor {
 public:
  bool post(std::function<void()> work) override;
  // Runs the oldest job; false when there is none.
  bool runOne();
  // Runs jobs until none is left, those posted meanwhile included; returns how many ran.
  std::size_t runAll();
  std::size_t pending() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> jobs_;
};

// Every service as a fake, bundled; `install()` makes it the process's platform.
struct FakePlatform {
  FakePlatform();
  ~FakePlatform();  // restores a bare platform when installed

  // Runs the executor's jobs and the main queue's due work, alternately, until neither
  // has any left; `advance` does the same while moving virtual time forward.
  void runUntilIdle() { advance(Millis{0}); }
  void advance(Millis ms);

  std::shared_ptr<MemoryKeyValueStore> store;
  std::shared_ptr<FakeMainQueue> mainQueue;
  std::shared_ptr<ManualExecutor> executor;
  std::shared_ptr<FakeHttpSession> http;
  std::shared_ptr<FakeUrlOpener> urlOpener;
  std::shared_ptr<FakeAdvertisingId> advertisingId;
  std::shared_ptr<FakeTrackingAuthorization> tracking;
  std::shared_ptr<FakeDeviceInfo> device;
  std::shared_ptr<FakeImageCodec> imageCodec;
  std::shared_ptr<ManualClock> clock;
  std::shared_ptr<CapturingLogSink> logSink;

  std::shared_ptr<Platform> platform() const;
  void install();

 private:
  bool installed_ = false;
};

}  // namespace orvane::testing
