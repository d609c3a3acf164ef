#include "platform/qt/qt_log_sink.hpp"

#include <QString>

namespace orvane::qt {

Q_LOGGING_CATEGORY(orvaneSdk, "orvane.sdk")

const QLoggingCategory& logCategory() { return orvaneSdk(); }

bool QtLogSink::accepts(LogType type) const {
  // Asked before the line is built, so a filtered line costs nothing.
  switch (type) {
    case LogType::debug:
      return orvaneSdk().isDebugEnabled();
    case LogType::info:
    case LogType::defaultType:
      return orvaneSdk().isInfoEnabled();
    case LogType::error:
      return orvaneSdk().isWarningEnabled();
  }
  return false;
}

void QtLogSink::write(LogType type, std::string_view category, std::string_view message) {
  const QString line = QString::fromUtf8(category.data(), static_cast<qsizetype>(category.size())) + u' ' +
                       QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
  // noquote: the line is the SDK's text, not a value to be shown in quotes.
  switch (type) {
    case LogType::debug:
      qCDebug(orvaneSdk).noquote() << line;
      return;
    case LogType::info:
    case LogType::defaultType:
      qCInfo(orvaneSdk).noquote() << line;
      return;
    case LogType::error:
      qCWarning(orvaneSdk).noquote() << line;
      return;
  }
}

}  // namespace orvane::qt
