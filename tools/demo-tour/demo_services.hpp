#pragma once

#include <QTimer>
#include <memory>

#include "core/api/records.hpp"
#include "core/participation/auto_confirm_alert_host.hpp"
#include "core/participation/join_protocol.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/platform/platform.hpp"

namespace demo {

// Swaps services of the installed platform for ones that stand for a person at a
// phone: landing links are visited with an HTTP request as a browser would, other
// links start the advertised app, and tracking is allowed when asked. Returns the
// platform that was installed before.
std::shared_ptr<const orvane::Platform> installPersonServices();

// One participation run from the command line: swaps in services that stand for a
// person at a phone (opening links, starting apps, answering the consent question),
// prints every alert, callback and request, and ends the program once the flow has
// been quiet for a while. Main thread.
class JoinSession {
 public:
  JoinSession(orvane::Camp camp, bool verbose);
  ~JoinSession();

  void start();

 private:
  class Receiver;
  void activity();

  orvane::Camp camp_;
  bool verbose_;
  std::shared_ptr<const orvane::Platform> previous_;
  std::shared_ptr<orvane::AutoConfirmAlertHost> alerts_;
  std::shared_ptr<Receiver> receiver_;  // the flow holds its receiver weakly
  orvane::NotificationCenter::Observation listChange_;
  QTimer idle_;
};

}  // namespace demo
