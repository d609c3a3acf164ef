#pragma once

#include <QString>

namespace orvane::sandbox {
class Server;
}

namespace demo {

// Without a display: presents the wall offscreen over a host window and goes through it
// as a user would, printing each step: the rewards pop-up, the list, one campaign taken
// part in end to end, a detail screen, the rewards history and the inquiry form (both
// through the wall's bar; the form is filled in, given two pictures and sent to
// `server`, whose answer and stored inquiry are printed), then the carousel in a host
// frame. Screenshots go to `outDir`. Exits the application when done.
void runHeadlessTour(const QString& outDir, const orvane::sandbox::Server& server);
// Tears the tour down; call after the event loop ended, while Qt is whole.
void finishHeadlessTour();

}  // namespace demo
