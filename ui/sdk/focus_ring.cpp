#include "ui/sdk/focus_ring.hpp"

#include <QEvent>
#include <QFocusEvent>
#include <QStyle>
#include <QWidget>

namespace orvane::ui::focus {

namespace {

constexpr char kProperty[] = "keyboardFocus";

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
  widget->installEventFilter(new KeyboardFocusMarker(widget));
}

}  // namespace orvane::ui::focus
