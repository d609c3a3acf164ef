#include "platform/qt/qt_url_opener.hpp"

#include <QDesktopServices>
#include <QUrl>
#include <algorithm>
#include <cctype>

#include "platform/qt/qt_device_info.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"

namespace orvane::qt {

namespace {

bool isSettingsUrl(const QUrl& url) {
  return url == QUrl(QString::fromLatin1(QtDeviceInfo::kPrivacySettingsUrl));
}

}  // namespace

QtUrlOpener::QtUrlOpener(std::shared_ptr<MainQueue> mainQueue,
                         std::shared_ptr<QtTrackingAuthorization> tracking)
    : mainQueue_(std::move(mainQueue)), tracking_(tracking) {}

bool QtUrlOpener::canOpen(const std::string& url) const {
  const QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  if (!u.isValid() || u.scheme().isEmpty()) return false;
  if (isSettingsUrl(u)) return !tracking_.expired();
  const std::string scheme = u.scheme().toLower().toStdString();
  if (scheme == "http" || scheme == "https") return !u.host().isEmpty();
  if (scheme == "mailto" || scheme == "file") return true;
  std::lock_guard lock(mutex_);
  return extraSchemes_.count(scheme) > 0;
}

void QtUrlOpener::open(const std::string& url, std::function<void(bool opened)> completion) {
  bool opened = false;
  const QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  if (u.isValid() && !u.scheme().isEmpty()) {
    if (isSettingsUrl(u)) {
      if (auto tracking = tracking_.lock()) {
        tracking->showSettings();
        opened = true;
      }
    } else {
      opened = QDesktopServices::openUrl(u);
    }
  }
  if (!completion) return;
  if (mainQueue_) {
    mainQueue_->post([completion = std::move(completion), opened] { completion(opened); });
  } else {
    completion(opened);
  }
}

void QtUrlOpener::addOpenableScheme(std::string scheme) {
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::lock_guard lock(mutex_);
  extraSchemes_.insert(std::move(scheme));
}

}  // namespace orvane::qt
