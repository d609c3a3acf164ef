#pragma once

#include <QPoint>
#include <memory>

namespace orvane::testing {

// The pointer and keys through the X server's XTEST extension, so that input travels
// the whole way a user's does: X server, Qt's xcb platform, the widget. The X headers
// stay in the .cpp: their macros (None, Status, ...) must not meet Qt's or ours.
class XTestInput {
 public:
  // Key symbols of X11/keysym.h that the tests press.
  static constexpr unsigned long kTab = 0xff09;
  static constexpr unsigned long kSpace = 0x0020;

  XTestInput();
  ~XTestInput();
  XTestInput(const XTestInput&) = delete;
  XTestInput& operator=(const XTestInput&) = delete;

  // A display with XTEST was found.
  bool ok() const;
  void moveTo(QPoint global);
  // The left button, pressed and released where the pointer is.
  void click();
  void key(unsigned long keysym);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::testing
