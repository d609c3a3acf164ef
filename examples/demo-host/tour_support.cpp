#include "tour_support.hpp"

#include <QAbstractAnimation>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "ui/sdk/navigation_controller.hpp"
#include "ui/widgets/image_view.hpp"

namespace demo::tour {

void say(const QString& text) {
  std::printf("%s\n", text.toUtf8().constData());
  std::fflush(stdout);
}

void waitFor(std::function<bool()> ready, int timeoutMs, std::function<void(bool)> then) {
  auto* timer = new QTimer(qApp);
  auto left = std::make_shared<int>(timeoutMs);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, then, left] {
    *left -= 50;
    const bool ok = ready();
    if (!ok && *left > 0) return;
    timer->stop();
    timer->deleteLater();
    then(ok);
  });
  timer->start(50);
}

QWidget* wallWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QLatin1String("orvane_wall_window") && w->isVisible()) return w;
  }
  return nullptr;
}

orvane::ui::NavigationController* wallNavigation() {
  QWidget* wall = wallWindow();
  return wall ? wall->findChild<orvane::ui::NavigationController*>() : nullptr;
}

bool isAtRest(QWidget* window) {
  if (!window) return false;
  for (const QAbstractAnimation* a : window->findChildren<QAbstractAnimation*>()) {
    if (a->state() == QAbstractAnimation::Running) return false;
  }
  for (const orvane::qt::ImageView* v : window->findChildren<orvane::qt::ImageView*>()) {
    if (v->isVisible() && v->boundUrl() && !v->image()) return false;
  }
  return true;
}

QWidget* currentAlert() { return findIn<QWidget>("orvane_alert"); }

QWidget* alertButton(const QString& title) {
  QWidget* card = currentAlert();
  if (!card) return nullptr;
  for (QPushButton* b : card->findChildren<QPushButton*>()) {
    if (b->text() == title || b->accessibleName() == title) return b;
  }
  return nullptr;
}

QString alertText(QWidget* card) {
  if (!card) return {};
  QStringList texts;
  for (const QLabel* label : card->findChildren<QLabel*>()) {
    if (!label->text().isEmpty()) texts << label->text();
  }
  return texts.join(QStringLiteral(": "));
}

void tap(QWidget* widget, std::optional<QPoint> at) {
  const QPointF point = at ? QPointF(*at) : QPointF(widget->width() / 2.0, widget->height() / 2.0);
  const QPointF global = widget->mapToGlobal(point);
  QMouseEvent press(QEvent::MouseButtonPress, point, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, point, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QCoreApplication::sendEvent(widget, &release);
}

}  // namespace demo::tour
