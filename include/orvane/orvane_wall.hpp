#pragma once

#include <QWidget>

#include "orvane/export.hpp"

namespace orvane {

// The wall as a widget: what `Orvane::orvaneViewController` hands out, and what
// `presentOrvane` shows in its dialog. Made by the facade only. GUI thread.
//
// Esc closes the wall's topmost layer in turn: the rewards pop-up, an alert or a
// choice sheet, a screen opened from the list (back to the list); with nothing left
// to close it asks to close the wall, like the close control.
class ORVANE_EXPORT OrvaneWall : public QWidget {
  Q_OBJECT

 public:
  ~OrvaneWall() override;

  // The wall's number in the host's events (orvane/events.hpp), from 1 per process.
  quint64 wallId() const { return id_; }

 signals:
  // The user asked to close the wall: its close control, or Esc on the list. A wall
  // that is a window of its own (shown without a parent) has closed its window by the
  // time this is emitted. A wall placed inside the host's window stays where it is:
  // connect this signal and remove, hide or delete (`deleteLater`) the wall; without a
  // connection the request only reaches the log and standard error. The host's
  // WallClosed event follows (orvane/events.hpp).
  void closeRequested();

 private:
  friend class Orvane;
  // `content` is the wall's navigation container; the wall takes it over.
  OrvaneWall(QWidget* content, quint64 id, QWidget* parent);
  void onCloseRequested();
  // WallClosed, once: when the user closes the wall or when it is destroyed.
  void raiseClosed();

  quint64 id_ = 0;
  bool closed_ = false;
};

}  // namespace orvane
