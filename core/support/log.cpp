#include "orvane/log.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "core/support/platform/log_sink.hpp"
#include "core/support/platform/platform.hpp"

namespace orvane {

std::atomic<bool> Log::displayLog{false};

namespace {

// A host-installed sink overrides the platform's. A mutex rather than an atomic
// shared_ptr: ThreadSanitizer flags libstdc++'s atomic shared_ptr as racy.
struct OverrideSink {
  std::mutex mutex;
  std::shared_ptr<LogSink> sink;
};

OverrideSink& overrideSink() {
  static OverrideSink holder;
  return holder;
}

std::shared_ptr<LogSink> activeSink() {
  {
    auto& holder = overrideSink();
    std::lock_guard lock(holder.mutex);
    if (holder.sink) return holder.sink;
  }
  return Platform::current()->logSink;
}

void write(std::string_view item, std::initializer_list<std::string_view> more, const Log::Level& level) {
  if (!Log::displayLog.load(std::memory_order_relaxed)) return;
  const auto sink = activeSink();
  if (!sink) return;
  const LogType type = level.type();
  // A type the system log drops is not worth building the message for.
  if (!sink->accepts(type)) return;
  sink->write(type, level.category(), Log::format(item, more));
}

}  // namespace

std::string Log::Level::category() const {
  switch (kind_) {
    case Kind::debug:
      return "🟡 DEBUG";
    case Kind::info:
      return "🟠 INFO";
    case Kind::network:
      return "🔵 NETWORK";
    case Kind::error:
      return "🔴 ERROR";
    case Kind::custom:
      return "🟢 " + text_;
  }
  return {};
}

LogType Log::Level::type() const {
  switch (kind_) {
    case Kind::info:
    case Kind::network:
      return LogType::info;
    case Kind::error:
      return LogType::error;
    case Kind::debug:
    case Kind::custom:
      return LogType::debug;
  }
  return LogType::debug;
}

std::string Log::format(std::string_view item, std::initializer_list<std::string_view> more) {
  std::string message(item);
  message += ' ';
  bool first = true;
  for (const auto part : more) {
    if (!first) message += ' ';
    message += part;
    first = false;
  }
  return message;
}

void Log::log(std::string_view item, const Level& level) { write(item, {}, level); }

void Log::log(std::string_view item, std::initializer_list<std::string_view> more, const Level& level) {
  write(item, more, level);
}

void Log::setSink(std::shared_ptr<LogSink> sink) {
  auto& holder = overrideSink();
  std::shared_ptr<LogSink> old;
  {
    std::lock_guard lock(holder.mutex);
    old = std::exchange(holder.sink, std::move(sink));
  }
  // `old` is released outside the lock: a sink's destructor may log.
}

}  // namespace orvane
