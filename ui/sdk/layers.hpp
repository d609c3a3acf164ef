#pragma once

#include <QVariant>
#include <QWidget>

// Layers are what the wall draws over a window's content: alerts, action sheets, the
// rewards pop-up. Each is a child of the widget it covers, stacked in the order of
// that widget's children, and marks itself with `markAsLayer`. Esc belongs to the
// topmost visible layer: a layer below it leaves the key to its parent, whose
// container (NavigationController) hands it to the topmost one. GUI thread.
namespace orvane::ui::layers {

inline constexpr char kProperty[] = "orvane_layer";

inline void markAsLayer(QWidget* widget) { widget->setProperty(kProperty, true); }

inline bool isLayer(const QObject* object) {
  const auto* widget = qobject_cast<const QWidget*>(object);
  return widget != nullptr && !widget->isWindow() && widget->property(kProperty).toBool();
}

// The topmost visible layer among the children of `parent`, or null.
inline QWidget* topmost(const QWidget* parent) {
  if (parent == nullptr) return nullptr;
  const auto& children = parent->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!isLayer(*it)) continue;
    auto* widget = static_cast<QWidget*>(*it);
    if (widget->isVisible()) return widget;
  }
  return nullptr;
}

// Whether no visible layer lies above `layer`.
inline bool isTopmost(const QWidget* layer) {
  const QWidget* parent = layer->parentWidget();
  return parent == nullptr || topmost(parent) == layer;
}

}  // namespace orvane::ui::layers
