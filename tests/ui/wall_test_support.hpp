#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/log_sink.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/platform/platform.hpp"
#include "core/support/platform/url_opener.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/qt/qt_platform.hpp"
#include "tools/sandbox/sandbox.hpp"
#include "ui/sdk/navigation_controller.hpp"

namespace orvane::testing {

// Keeps the SDK's log lines for the test to read.
class CapturingSink : public LogSink {
 public:
  bool accepts(LogType) const override { return true; }
  void write(LogType, std::string_view, std::string_view message) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(message);
  }
  bool contains(const std::string& part) const {
    std::lock_guard lock(mutex_);
    for (const auto& line : lines_)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Records the links the flow opens instead of starting a browser.
class RecordingUrlOpener : public UrlOpener {
 public:
  bool canOpen(const std::string&) const override { return true; }
  void open(const std::string& url, std::function<void(bool)> completion) override {
    {
      std::lock_guard lock(mutex_);
      opened_.push_back(url);
    }
    if (completion) completion(true);
  }
  std::size_t count() const {
    std::lock_guard lock(mutex_);
    return opened_.size();
  }
  std::vector<std::string> links() const {
    std::lock_guard lock(mutex_);
    return opened_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> opened_;
};

// The desktop platform over an in-memory store, the SDK pointed at a sandbox on
// 127.0.0.1 and the log captured; screens made with `services()` do not animate.
class WallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    server_ = std::make_unique<sandbox::Server>(sandbox::Options{});
    server_->start();
    platform_ = qt::QtPlatform::make();
    platform_->store = std::make_shared<MemoryKeyValueStore>();
    urlOpener_ = std::make_shared<RecordingUrlOpener>();
    platform_->urlOpener = urlOpener_;
    Platform::install(platform_);
    auto& sdk = OrvaneSDK::shared();
    sdk.reset();
    sdk.hostUrl = server_->apiBase();
    sdk.hostPartnerUrl = server_->partnerBase();
    sdk.noticeUrl = server_->noticeUrl();
    sink_ = std::make_shared<CapturingSink>();
    Log::setSink(sink_);
    Log::displayLog = true;
  }

  void TearDown() override {
    QTest::qWait(0);
    Log::displayLog = false;
    Log::setSink(nullptr);
    OrvaneSDK::shared().reset();
    // The HTTP session ends first: a transfer still in flight would complete into the
    // next test, and idle connections would hold the server's stop.
    if (auto curl = std::dynamic_pointer_cast<CurlHttpSession>(platform_->http)) curl->shutdown();
    QTest::qWait(0);
    Platform::install(nullptr);
    platform_.reset();
    server_->stop();
  }

  // What the screens of a test are made with: the shared instances on this test's
  // platform, without animations.
  ui::Services services() const {
    auto services = ui::Services::shared();
    services.animations = false;
    return services;
  }

  void initialize(const std::string& userId = "wall-user") {
    Orvane::shared().initialize(sandbox::kMediaKey, sandbox::kMediaChannelKey, userId);
  }

  // Answered requests of `path` so far.
  std::size_t count(const std::string& path) const { return server_->received(path).size(); }

  std::unique_ptr<sandbox::Server> server_;
  std::shared_ptr<Platform> platform_;
  std::shared_ptr<CapturingSink> sink_;
  std::shared_ptr<RecordingUrlOpener> urlOpener_;
};

}  // namespace orvane::testing
