#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace orvane::testing {

// Points the user-scope settings of this process at a fresh temporary folder, so
// that tests never read or write the user's real settings.
class TempSettings {
 public:
  TempSettings() { QSettings::setPath(QSettings::defaultFormat(), QSettings::UserScope, dir_.path()); }
  TempSettings(const TempSettings&) = delete;
  TempSettings& operator=(const TempSettings&) = delete;

  QString path() const { return dir_.path(); }
  QString file() const { return QSettings().fileName(); }
  QByteArray fileContents() const {
    QSettings().sync();
    QFile f(file());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  // What a restarted process sees: the file copied to a new folder that no
  // QSettings of this process has cached.
  void simulateRestart() {
    QSettings().sync();
    const QString from = file();
    const auto& next = restarts_.emplace_back(std::make_unique<QTemporaryDir>());
    QSettings::setPath(QSettings::defaultFormat(), QSettings::UserScope, next->path());
    const QString to = QSettings().fileName();
    QDir().mkpath(QFileInfo(to).path());
    QFile::copy(from, to);
  }

 private:
  QTemporaryDir dir_;
  std::vector<std::unique_ptr<QTemporaryDir>> restarts_;
};

}  // namespace orvane::testing
