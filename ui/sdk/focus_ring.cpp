#include "ui/sdk/focus_ring.hpp"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPointer>
#include <QStyle>
#include <QWidget>

namespace orvane::ui::focus {

namespace {

constexpr char kProperty[] = "keyboardFocus";

// Whether the user's latest press was a key rather than the pointer. Qt moves the focus
// with the Tab reason when the focused widget is hidden (a pop-up closed by a click, a
// screen pushed over the list): only a keyboard user sees that focus drawn.
class InputWatcher : public QObject {
 public:
  bool keyboard = false;  // nothing pressed yet

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
        keyboard = true;
        break;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::TouchBegin:
      case QEvent::TabletPress:
        keyboard = false;
        break;
      default:
        break;
    }
    return false;
  }
};

bool lastInputWasKeyboard() {
  auto* app = QCoreApplication::instance();
  if (app == nullptr) return true;
  static QPointer<InputWatcher> watcher;  // goes with the application
  if (watcher.isNull()) {
    watcher = new InputWatcher;
    watcher->setParent(app);
    app->installEventFilter(watcher);
  }
  return watcher->keyboard;
}

class KeyboardFocusMarker : public QObject {
 public:
  explicit KeyboardFocusMarker(QWidget* widget) : QObject(widget), widget_(widget) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != widget_) return false;
    if (event->type() == QEvent::FocusIn) {
      shown_ = showsFocus(static_cast<QFocusEvent*>(event)->reason(), shown_);
      mark(shown_);
    } else if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // Kept for the same focus coming back with the window or after a pop-up.
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) shown_ = false;
      mark(false);
    }
    return false;
  }

 private:
  void mark(bool on) {
    if (widget_->property(kProperty).toBool() == on) return;
    widget_->setProperty(kProperty, on);
    widget_->style()->unpolish(widget_);
    widget_->style()->polish(widget_);
    widget_->update();
  }

  QWidget* widget_;
  bool shown_ = false;
};

}  // namespace

bool showsFocus(Qt::FocusReason reason, bool before) {
  switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
      return lastInputWasKeyboard();
    case Qt::ShortcutFocusReason:
      return true;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
      return before;
    default:
      return false;
  }
}

void markKeyboardFocus(QWidget* widget) {
  if (widget == nullptr || widget->property("orvane_focus_marked").toBool()) return;
  widget->setProperty("orvane_focus_marked", true);
  (void)lastInputWasKeyboard();  // watching from now, before the first press
  widget->installEventFilter(new KeyboardFocusMarker(widget));
}

}  // namespace orvane::ui::focus
