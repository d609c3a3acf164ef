#pragma once

#include <Qt>

class QWidget;

// Focus is drawn only when the keyboard brought it, as a browser's :focus-visible:
// a click, or the window's first focus, leaves a control plain. GUI thread.
namespace orvane::ui::focus {

// Whether focus that arrived for `reason` is drawn; `before` is what the control
// drew when it last lost the focus to another window or a pop-up, which the same
// focus coming back keeps. Tab's reason counts only while the user's latest press was
// a key: Qt gives it too when the focused widget is hidden after a click.
bool showsFocus(Qt::FocusReason reason, bool before);

// Keeps the dynamic property "keyboardFocus" of `widget` true while it has focus the
// keyboard brought, and re-polishes it on each change: its style sheet draws the ring
// with [keyboardFocus="true"] instead of :focus.
void markKeyboardFocus(QWidget* widget);

}  // namespace orvane::ui::focus
