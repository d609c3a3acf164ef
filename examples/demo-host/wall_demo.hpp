#pragma once

#include <QString>
#include <string>

namespace demo {

// With a display: a small host window with the facade's options and a button that
// presents the wall. Both return at once; the event loop does the rest.
void showHostWindow(const std::string& mkey, const std::string& mckey);

// Without one: presents the wall offscreen, takes part in one campaign end to end and
// writes screenshots of the pop-up, the list, an alert and a detail screen to
// `outDir`, printing what it does. Exits the application when done.
void runHeadlessWall(const QString& outDir);
// Tears the headless run down; call after the event loop ended, while Qt is whole.
void finishHeadlessWall();

}  // namespace demo
