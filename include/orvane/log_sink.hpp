#pragma once

#include <string_view>

#include "orvane/export.hpp"

namespace orvane {

// The system log's message types.
enum class LogType { debug, info, defaultType, error };

// Where enabled log messages go; a host installs its own with `Log::setSink`.
// Called from any thread, possibly from several at once: an implementation guards
// its own state.
class ORVANE_EXPORT LogSink {
 public:
  virtual ~LogSink() = default;
  // False when the system log drops this type; the message is then not built.
  virtual bool accepts(LogType type) const = 0;
  virtual void write(LogType type, std::string_view category, std::string_view message) = 0;
};

}  // namespace orvane
