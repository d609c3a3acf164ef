#include "xtest_input.hpp"

// Last: Xlib's macros must not meet any other header.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace orvane::testing {

struct XTestInput::Impl {
  Display* display = nullptr;
  bool ok = false;
};

XTestInput::XTestInput() : impl_(std::make_unique<Impl>()) {
  impl_->display = XOpenDisplay(nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  impl_->ok =
      impl_->display != nullptr && XTestQueryExtension(impl_->display, &event, &error, &major, &minor);
}

XTestInput::~XTestInput() {
  if (impl_->display) XCloseDisplay(impl_->display);
}

bool XTestInput::ok() const { return impl_->ok; }

void XTestInput::moveTo(QPoint global) {
  XTestFakeMotionEvent(impl_->display, -1, global.x(), global.y(), 0);
  XFlush(impl_->display);
}

void XTestInput::click() {
  XTestFakeButtonEvent(impl_->display, 1, True, 0);
  XTestFakeButtonEvent(impl_->display, 1, False, 0);
  XFlush(impl_->display);
}

void XTestInput::key(unsigned long keysym) {
  const KeyCode code = XKeysymToKeycode(impl_->display, static_cast<KeySym>(keysym));
  XTestFakeKeyEvent(impl_->display, code, True, 0);
  XTestFakeKeyEvent(impl_->display, code, False, 0);
  XFlush(impl_->display);
}

}  // namespace orvane::testing
