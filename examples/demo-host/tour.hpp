#pragma once

#include <QString>

namespace demo {

// Without a display: presents the wall offscreen, takes part in one campaign end to end and
// writes screenshots of the pop-up, the list, an alert and a detail screen to `outDir`,
// printing what it does. Exits the application when done.
void runHeadlessWall(const QString& outDir);
// Tears the headless run down; call after the event loop ended, while Qt is whole.
void finishHeadlessWall();

}  // namespace demo
