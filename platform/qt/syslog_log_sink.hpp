#pragma once

#include <string>

#include "core/support/platform/log_sink.hpp"

namespace orvane::qt {

// The system log through syslog(3), under the host's application id.
class SyslogLogSink final : public LogSink {
 public:
  // Opens the log with `identity`; empty means the running application's id.
  explicit SyslogLogSink(std::string identity = {});

  bool accepts(LogType type) const override;
  void write(LogType type, std::string_view category, std::string_view message) override;

  static int priority(LogType type);
  // organizationDomain.applicationName, or applicationName alone, or "orvane".
  static std::string applicationIdentity();
};

}  // namespace orvane::qt
