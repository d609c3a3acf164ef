#pragma once

#include <memory>

#include "core/support/platform/platform.hpp"

namespace orvane::qt {

// The desktop platform bundle: QSettings, the Qt event loop, a pool of two threads
// as the executor, QDesktopServices, the consent dialog, os-release/uname facts and
// syslog.
class QtPlatform {
 public:
  // A fresh bundle. Needs a QCoreApplication (null without one); call it on the GUI thread.
  static std::shared_ptr<Platform> make();
  // Installs `make()` as the process's platform, unless a platform other than the
  // bare stand-in is installed already, and sets the text language from the system
  // locale. True when a platform with services is installed afterwards.
  static bool install();
};

}  // namespace orvane::qt
