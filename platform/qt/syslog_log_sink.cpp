#include "platform/qt/syslog_log_sink.hpp"

#include <syslog.h>

#include <QCoreApplication>
#include <algorithm>
#include <climits>
#include <mutex>

namespace orvane::qt {

namespace {

int clampedLength(std::string_view s) { return static_cast<int>(std::min<std::size_t>(s.size(), INT_MAX)); }

}  // namespace

SyslogLogSink::SyslogLogSink(std::string identity) {
  if (identity.empty()) identity = applicationIdentity();
  // openlog keeps the pointer, not the text: the identity must outlive every sink.
  static std::mutex mutex;
  static std::string kept;
  std::lock_guard lock(mutex);
  if (kept.empty()) {
    kept = std::move(identity);
    openlog(kept.c_str(), LOG_PID, LOG_USER);
  }
}

int SyslogLogSink::priority(LogType type) {
  switch (type) {
    case LogType::debug:
      return LOG_DEBUG;
    case LogType::info:
      return LOG_INFO;
    case LogType::error:
      return LOG_ERR;
    case LogType::defaultType:
      break;
  }
  return LOG_NOTICE;
}

std::string SyslogLogSink::applicationIdentity() {
  const QString app = QCoreApplication::applicationName();
  const QString domain = QCoreApplication::organizationDomain();
  if (app.isEmpty()) return "orvane";
  if (domain.isEmpty()) return app.toStdString();
  return (domain + u'.' + app).toStdString();
}

bool SyslogLogSink::accepts(LogType type) const { return (setlogmask(0) & LOG_MASK(priority(type))) != 0; }

void SyslogLogSink::write(LogType type, std::string_view category, std::string_view message) {
  // Never the message as the format: it is arbitrary text.
  syslog(priority(type), "%.*s %.*s", clampedLength(category), category.data(), clampedLength(message),
         message.data());
}

}  // namespace orvane::qt
