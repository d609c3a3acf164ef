#include "tour_support.hpp"

#include <QAbstractAnimation>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "ui/inquiry/file_dialog_picture_source.hpp"
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

void typeText(QWidget* field, const QString& text) {
  field->setFocus(Qt::MouseFocusReason);  // as a click into the field gives it
  for (const QChar c : text) {
    // Qt's key codes for ASCII are the upper-case characters.
    const int key = c.unicode() < 128 ? int{c.toUpper().unicode()} : int{Qt::Key_unknown};
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(field, &press);
    QCoreApplication::sendEvent(field, &release);
  }
}

namespace {

// One phone screen: a status bar, the app's bar in `colour`, a card with a round mark and
// a headline, and a few lines below.
QImage phoneScreen(const QColor& colour, const QString& app, const QString& headline,
                   const QStringList& lines) {
  constexpr int kW = 720, kH = 1280;
  QImage image(kW, kH, QImage::Format_RGB32);
  image.fill(QColor(0xF4, 0xF5, 0xF7));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont font = p.font();

  p.fillRect(0, 0, kW, 220, colour);
  font.setPixelSize(26);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(32, 0, kW - 64, 60), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("9:41"));
  p.drawText(QRect(32, 0, kW - 64, 60), Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("LTE  87%"));
  font.setPixelSize(44);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(32, 90, kW - 64, 100), Qt::AlignVCenter | Qt::AlignLeft, app);

  const QRectF card(40, 270, kW - 80, 520);
  QPainterPath cardPath;
  cardPath.addRoundedRect(card, 32, 32);
  p.fillPath(cardPath, Qt::white);
  const QRectF mark(kW / 2.0 - 90, 320, 180, 180);
  p.setBrush(colour);
  p.setPen(Qt::NoPen);
  p.drawEllipse(mark);
  p.setPen(QPen(Qt::white, 18, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(mark.left() + 48, mark.center().y() + 4),
                            QPointF(mark.left() + 80, mark.center().y() + 38),
                            QPointF(mark.right() - 42, mark.center().y() - 34)}));
  p.setPen(QColor(0x11, 0x11, 0x11));
  font.setPixelSize(46);
  p.setFont(font);
  p.drawText(QRectF(card.left(), 540, card.width(), 80), Qt::AlignCenter, headline);
  font.setBold(false);
  font.setPixelSize(30);
  p.setFont(font);
  p.setPen(QColor(0x8C, 0x8C, 0x8C));
  p.drawText(QRectF(card.left() + 40, 630, card.width() - 80, 120), Qt::AlignCenter | Qt::TextWordWrap,
             lines.value(0));

  int y = 840;
  for (qsizetype i = 1; i < lines.size(); ++i, y += 120) {
    QPainterPath row;
    row.addRoundedRect(QRectF(40, y, kW - 80, 96), 24, 24);
    p.fillPath(row, Qt::white);
    p.setPen(QColor(0x11, 0x11, 0x11));
    p.drawText(QRectF(80, y, kW - 160, 96), Qt::AlignVCenter | Qt::AlignLeft, lines[i]);
  }
  return image;
}

}  // namespace

QStringList drawScreenshots(const QString& dir, const QString& campaignName) {
  const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
  const QImage first = phoneScreen(
      QColor(0x2E, 0x9E, 0x6A), campaignName, QStringLiteral("All set!"),
      {QStringLiteral("The app is installed and the first task is done."),
       QStringLiteral("Installed  %1").arg(today), QStringLiteral("First task done  %1").arg(today)});
  const QImage second =
      phoneScreen(QColor(0x3B, 0x6E, 0xD8), QStringLiteral("Free coins"), QStringLiteral("No reward yet"),
                  {QStringLiteral("The reward for %1 has not arrived.").arg(campaignName),
                   QStringLiteral("Taken part  %1").arg(today), QStringLiteral("Reward  none")});
  QStringList paths;
  const QDir folder(dir);
  for (const auto& [name, image] : {std::pair{QStringLiteral("task-done.png"), &first},
                                    std::pair{QStringLiteral("no-reward.png"), &second}}) {
    const QString path = folder.filePath(name);
    if (image->save(path)) paths << path;
  }
  return paths;
}

void ChosenPictures::pickPictures(int limit, Picked done) {
  const QStringList chosen = files_.mid(0, std::max(limit, 0));
  QStringList names;
  for (const QString& path : chosen) names << QFileInfo(path).fileName();
  say(QStringLiteral("  [picker] the user picks %1").arg(names.join(QStringLiteral(", "))));
  // A picker hands its choice over once it has closed, never inside the tap.
  QTimer::singleShot(0, qApp, [done = std::move(done), chosen] {
    done(orvane::ui::FileDialogPictureSource::picturesFromFiles(chosen));
  });
}

void ChosenPictures::takePhoto(Picked done) {
  QTimer::singleShot(0, qApp, [done = std::move(done)] { done({}); });
}

AnswerTap::AnswerTap(std::shared_ptr<orvane::HttpSession> inner, std::shared_ptr<orvane::MainQueue> queue,
                     std::string path, Seen seen)
    : inner_(std::move(inner)), queue_(std::move(queue)), path_(std::move(path)), seen_(std::move(seen)) {}

orvane::RequestHandle AnswerTap::send(orvane::HttpRequest request, Completion completion) {
  const auto query = request.url.find('?');
  const std::string_view url = std::string_view(request.url).substr(0, query);
  const bool tapped = request.method == "POST" && url.size() >= path_.size() &&
                      url.substr(url.size() - path_.size()) == path_;
  if (!tapped) return inner_->send(std::move(request), std::move(completion));
  return inner_->send(std::move(request),
                      [queue = queue_, seen = seen_, completion = std::move(completion)](auto answer) {
                        queue->post([seen, copy = answer] { seen(copy); });
                        completion(std::move(answer));
                      });
}

}  // namespace demo::tour
