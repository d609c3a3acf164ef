#pragma once

#include <atomic>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "orvane/export.hpp"
#include "orvane/log_sink.hpp"

namespace orvane {

// The SDK's one diagnostic channel. Silent until the host enables it through
// `Orvane::setDebugEnabled`. Every member is callable from any thread.
class ORVANE_EXPORT Log {
 public:
  class Level {
   public:
    enum class Kind { debug, info, network, error, custom };

    static Level debug() { return Level(Kind::debug, {}); }
    static Level info() { return Level(Kind::info, {}); }
    static Level network() { return Level(Kind::network, {}); }
    static Level error() { return Level(Kind::error, {}); }
    static Level custom(std::string text) { return Level(Kind::custom, std::move(text)); }

    Kind kind() const { return kind_; }
    const std::string& text() const { return text_; }
    // The category label in the system log, e.g. "🟠 INFO".
    std::string category() const;
    LogType type() const;

   private:
    Level(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
    Kind kind_;
    std::string text_;
  };

  // Process-wide switch; off at every launch.
  static std::atomic<bool> displayLog;

  // Logs `item`, a space, then `more` joined by single spaces (so a call without
  // further items ends in a space).
  static void log(std::string_view item, const Level& level);
  static void log(std::string_view item, std::initializer_list<std::string_view> more, const Level& level);

  // The message as `log` builds it.
  static std::string format(std::string_view item, std::initializer_list<std::string_view> more);

  // A host may route the SDK's log elsewhere (its `write` then runs on whichever thread
  // logs); null returns to the platform's sink. The SDK keeps the sink until replaced.
  static void setSink(std::shared_ptr<LogSink> sink);
};

}  // namespace orvane
