#include "tour.hpp"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "core/participation/api_join.hpp"
#include "demo_services.hpp"
#include "orvane/orvane.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/widgets/campaign_table_view.hpp"

namespace demo {

namespace {

using orvane::ApiJoin;
using orvane::Camp;
using orvane::Orvane;
namespace ui = orvane::ui;

void say(const QString& text) {
  std::printf("%s\n", text.toUtf8().constData());
  std::fflush(stdout);
}

// Polls `ready` on the event loop every 50 ms; `then(true)` once it holds, `then(false)`
// after `timeoutMs`.
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

template <class T>
T* findIn(const char* name) {
  QWidget* wall = wallWindow();
  if (!wall) return nullptr;
  for (T* w : wall->findChildren<T*>(QString::fromLatin1(name))) {
    if (w->isVisible()) return w;
  }
  return nullptr;
}

ui::CampTableViewCell* findCell(const std::function<bool(const Camp&)>& wanted) {
  auto* table = findIn<ui::CampaignTableView>("tv_camp");
  if (!table) return nullptr;
  for (auto* cell : table->visibleCells()) {
    auto* campCell = qobject_cast<ui::CampTableViewCell*>(cell);
    if (campCell && campCell->camp() && wanted(*campCell->camp())) return campCell;
  }
  return nullptr;
}

// Scrolls the table row by row until a wanted campaign is on screen, as a user would.
ui::CampTableViewCell* scrollToCell(const std::function<bool(const Camp&)>& wanted) {
  auto* table = findIn<ui::CampaignTableView>("tv_camp");
  if (!table) return nullptr;
  for (int row = 0; row < table->numberOfRows(); ++row) {
    table->scrollToRow(row);
    QCoreApplication::processEvents();
    auto* campCell = qobject_cast<ui::CampTableViewCell*>(table->cellForRow(row));
    if (campCell && campCell->camp() && wanted(*campCell->camp())) return campCell;
  }
  return nullptr;
}

void tap(QWidget* widget) {
  const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
  const QPointF global = widget->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QCoreApplication::sendEvent(widget, &release);
}

// The headless run, one step after another on the event loop.
class HeadlessRun {
 public:
  explicit HeadlessRun(QString outDir) : outDir_(std::move(outDir)) {}
  ~HeadlessRun() { delete host_; }  // the wall window goes with its host

  void start() {
    QDir().mkpath(outDir_);
    // A person at a phone: landing links are visited, apps start, tracking is allowed.
    installPersonServices();
    host_ = new QWidget;
    host_->setWindowTitle(QStringLiteral("Orvane demo host"));
    host_->resize(900, 900);
    host_->show();
    say(QStringLiteral("\nPresenting the wall over the host window"));
    Orvane::shared().presentOrvane(host_);
    waitFor([] { return findCell([](const Camp&) { return true; }) != nullptr; }, 15000,
            [this](bool ok) {
              if (!ok) return fail("the wall showed no campaigns");
              settle([this] { popup(); });
            });
  }

 private:
  // Lets images arrive and animations end before a screenshot.
  void settle(std::function<void()> next) { QTimer::singleShot(1500, qApp, std::move(next)); }

  void shoot(const QString& name) {
    QWidget* wall = wallWindow();
    if (!wall) return;
    const QString path = outDir_ + "/" + name;
    if (wall->grab().save(path)) say(QStringLiteral("  screenshot %1").arg(path));
  }

  void popup() {
    auto* sheet = findIn<QWidget>("CanReceiveBenefitsViewController");
    if (!sheet) {
      say(QStringLiteral("  no rewards pop-up (nothing to collect, or the list-top presentation)"));
      return list();
    }
    say(QStringLiteral("  the rewards pop-up announces what can be collected"));
    shoot(QStringLiteral("popup.png"));
    if (auto* close = sheet->findChild<QWidget*>(QStringLiteral("iv_close"))) tap(close);
    waitFor([] { return findIn<QWidget>("CanReceiveBenefitsViewController") == nullptr; }, 3000,
            [this](bool) { settle([this] { list(); }); });
  }

  void list() {
    shoot(QStringLiteral("list.png"));
    // A campaign that is confirmed by visiting its landing page: join, poll, done.
    auto* cell =
        scrollToCell([](const Camp& c) { return c.detailpage == 0 && c.convflag == 0 && c.bm != 4; });
    if (!cell) cell = scrollToCell([](const Camp& c) { return c.detailpage == 0 && c.bm != 4; });
    if (!cell) return detail();
    campid_ = cell->camp()->campid;
    say(QStringLiteral("\nTaking part in campaign %1 \"%2\" from its cell")
            .arg(campid_)
            .arg(QString::fromStdString(cell->camp()->name)));
    tap(cell);
    answerAlerts(0);
  }

  // Screenshots the first alert, then confirms every alert until the flow is quiet.
  void answerAlerts(int answered) {
    waitFor([] { return findIn<QWidget>("orvane_alert") != nullptr || !ApiJoin::shared().isPolling(); },
            12000,
            [this, answered](bool) {
              QWidget* card = findIn<QWidget>("orvane_alert");
              if (!card) {
                if (answered > 0 || quietChecks_++ > 6) return settle([this] { detail(); });
                // The cell may now offer the next step (participation check, collect): take it.
                const auto id = campid_;
                auto* cell = scrollToCell([id](const Camp& c) { return c.campid == id; });
                if (cell && cell->state() != ui::CampTableViewCell::State::join && taps_ < 3) {
                  ++taps_;
                  say(QStringLiteral("  the user taps \"%1\"").arg(cell->buttonText()));
                  tap(cell);
                }
                return QTimer::singleShot(500, qApp, [this, answered] { answerAlerts(answered); });
              }
              if (!alertShot_) {
                alertShot_ = true;
                shoot(QStringLiteral("alert.png"));
              }
              auto* confirm = card->findChild<QWidget*>(QStringLiteral("alert_button_0"));
              say(QStringLiteral("  the user confirms the alert"));
              if (confirm) tap(confirm);
              QTimer::singleShot(300, qApp, [this, answered] { answerAlerts(answered + 1); });
            });
  }

  void detail() {
    // The reload after the participation announces the rewards again; close that first.
    if (auto* sheet = findIn<QWidget>("CanReceiveBenefitsViewController")) {
      if (auto* close = sheet->findChild<QWidget*>(QStringLiteral("iv_close"))) tap(close);
      return waitFor([] { return findIn<QWidget>("CanReceiveBenefitsViewController") == nullptr; }, 3000,
                     [this](bool) { settle([this] { detail(); }); });
    }
    auto* table = findIn<ui::CampaignTableView>("tv_camp");
    if (table) table->scrollToRow(0);
    auto* cell = scrollToCell([](const Camp& c) { return c.detailpage == 1; });
    if (!cell) return done();
    say(QStringLiteral("\nOpening the detail screen of \"%1\"")
            .arg(QString::fromStdString(cell->camp()->name)));
    tap(cell);
    waitFor([] { return findIn<QWidget>("DetailViewController") != nullptr; }, 5000,
            [this](bool ok) {
              if (!ok) return fail("the detail screen did not open");
              settle([this] {
                shoot(QStringLiteral("detail.png"));
                done();
              });
            });
  }

  void done() {
    say(QStringLiteral("\nThe headless wall demo is done; screenshots are in %1").arg(outDir_));
    QCoreApplication::exit(0);
  }

  void fail(const char* why) {
    std::fprintf(stderr, "The headless wall demo failed: %s\n", why);
    QCoreApplication::exit(1);
  }

  QString outDir_;
  QWidget* host_ = nullptr;
  std::int64_t campid_ = 0;
  bool alertShot_ = false;
  int quietChecks_ = 0;
  int taps_ = 0;
};

}  // namespace

namespace {
std::unique_ptr<HeadlessRun>& headlessRun() {
  static std::unique_ptr<HeadlessRun> run;
  return run;
}
}  // namespace

void runHeadlessWall(const QString& outDir) {
  headlessRun() = std::make_unique<HeadlessRun>(outDir);
  headlessRun()->start();
}

void finishHeadlessWall() { headlessRun().reset(); }

}  // namespace demo
