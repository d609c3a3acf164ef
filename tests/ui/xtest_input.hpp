#pragma once

// Input through the X server (XTEST), for tests on the xcb platform under Xvfb: the
// server, Qt's xcb input and the widgets' stacking are all on the path. Include it
// last: Xlib's macros (None, KeyPress...) must not meet Qt's headers.

// clang-format off
#include <QPoint>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace orvane::testing {

class XTestInput {
 public:
  XTestInput() : display_(XOpenDisplay(nullptr)) {
    int event = 0, error = 0, major = 0, minor = 0;
    ok_ = display_ != nullptr && XTestQueryExtension(display_, &event, &error, &major, &minor);
  }
  ~XTestInput() {
    if (display_) XCloseDisplay(display_);
  }
  XTestInput(const XTestInput&) = delete;
  XTestInput& operator=(const XTestInput&) = delete;

  bool ok() const { return ok_; }
  // A left click at a point of the screen.
  void click(QPoint global) {
    XTestFakeMotionEvent(display_, -1, global.x(), global.y(), 0);
    XTestFakeButtonEvent(display_, 1, True, 0);
    XTestFakeButtonEvent(display_, 1, False, 0);
    XFlush(display_);
  }
  // A left click at the centre of what `widget` covers on the screen.
  void click(const QWidget& widget) { click(widget.mapToGlobal(widget.rect().center())); }

 private:
  Display* display_;
  bool ok_ = false;
};

}  // namespace orvane::testing
