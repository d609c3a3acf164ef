#pragma once

#include <QLoggingCategory>

#include "core/support/platform/log_sink.hpp"

namespace orvane::qt {

// The category of the SDK's diagnostic lines; a host filters it with the usual rules
// ("orvane.*.debug=false", QT_LOGGING_RULES) or its own message handler.
const QLoggingCategory& logCategory();

// The desktop's default sink: every line the SDK writes while its debug output is on
// goes to Qt's logging under `logCategory()`. Debug lines map to qDebug, info and
// network lines to qInfo, errors to qWarning.
class QtLogSink final : public LogSink {
 public:
  bool accepts(LogType type) const override;
  void write(LogType type, std::string_view category, std::string_view message) override;
};

}  // namespace orvane::qt
