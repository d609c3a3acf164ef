#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/support/platform/platform.hpp"
#include "core/support/thread_pool.hpp"
#include "platform/headless/file_key_value_store.hpp"
#include "platform/headless/headless_services.hpp"
#include "platform/headless/headless_url_opener.hpp"
#include "platform/headless/pump_main_queue.hpp"

namespace orvane::headless {

// Everything a host without Qt may choose; each empty choice takes the default.
struct HeadlessOptions {
  // Settings file; empty means FileKeyValueStore::defaultPath(). `settingsInMemory`
  // keeps them in memory only.
  std::filesystem::path settingsPath;
  bool settingsInMemory = false;
  // Called from any thread when main-thread work is due (see PumpMainQueue).
  PumpMainQueue::Wake wake;
  HeadlessUrlOpener::HostOpen hostOpen;
  std::function<void()> privacySettings;
  // Without it no consent is asked, the flow joins without asking and the advertising
  // identifier stays all zeros.
  HeadlessTracking::Ask askTracking;
  std::optional<std::string> systemVersion;
  std::optional<std::string> machine;
  std::shared_ptr<LogSink> logSink;  // null: stderr
  std::size_t workerThreads = 2;
};

// A platform bundle for a host without Qt: the settings file, the pumped main queue,
// a small pool, the curl session, the URL opener, tracking through the host, the
// device facts and the libpng/libjpeg codec.
struct HeadlessPlatform {
  std::shared_ptr<Platform> platform;
  std::shared_ptr<PumpMainQueue> queue;
  std::shared_ptr<FileKeyValueStore> store;
  std::shared_ptr<HeadlessTracking> tracking;
  std::shared_ptr<ThreadPool> pool;

  static HeadlessPlatform make(HeadlessOptions options);
  // Ends background work: no transfer completes and no job runs afterwards, and the
  // main queue drops what it holds. Pending settings are written.
  void shutdown();
};

// Log lines on stderr: "orvane <category> <message>".
class StderrLogSink final : public LogSink {
 public:
  bool accepts(LogType /*type*/) const override { return true; }
  void write(LogType type, std::string_view category, std::string_view message) override;
};

}  // namespace orvane::headless
