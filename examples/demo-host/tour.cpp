#include "tour.hpp"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "core/participation/api_join.hpp"
#include "demo_services.hpp"
#include "orvane/orvane.hpp"
#include "tour_support.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/widgets/campaign_table_view.hpp"

namespace demo {

namespace {

using orvane::ApiJoin;
using orvane::Camp;
using orvane::Orvane;
using tour::currentAlert;
using tour::findIn;
using tour::say;
using tour::tap;
using tour::waitFor;
namespace ui = orvane::ui;

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

// The headless tour, one step after another on the event loop.
class HeadlessTour {
 public:
  explicit HeadlessTour(QString outDir) : outDir_(std::move(outDir)) {}
  ~HeadlessTour() { delete host_; }  // the wall window goes with its host

  void start() {
    clock_.start();
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
  // Waits until nothing moves and every image has arrived, then goes on.
  void settle(std::function<void()> next) {
    waitFor([] { return tour::isAtRest(tour::wallWindow()); }, 5000,
            [next = std::move(next)](bool) { next(); });
  }

  void shoot(const QString& name) {
    QWidget* what = tour::wallWindow();
    if (!what) return;
    const QString path = outDir_ + "/" + name;
    if (what->grab().save(path)) say(QStringLiteral("  screenshot %1").arg(path));
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
    campName_ = QString::fromStdString(cell->camp()->name);
    say(QStringLiteral("\nTaking part in campaign %1 \"%2\" from its cell").arg(campid_).arg(campName_));
    tap(cell);
    answerAlerts(0);
  }

  // Screenshots the first alert, then confirms every alert until the flow is quiet.
  void answerAlerts(int answered) {
    waitFor([] { return currentAlert() != nullptr || !ApiJoin::shared().isPolling(); }, 12000,
            [this, answered](bool) {
              QWidget* card = currentAlert();
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
                settle([this, answered] {
                  shoot(QStringLiteral("alert.png"));
                  answerAlerts(answered);
                });
                return;
              }
              say(QStringLiteral("  the user confirms the alert"));
              if (auto* confirm = card->findChild<QWidget*>(QStringLiteral("alert_button_0"))) tap(confirm);
              QPointer<QWidget> closing(card);
              waitFor([closing] { return !closing || !closing->isVisible(); }, 3000,
                      [this, answered](bool) { answerAlerts(answered + 1); });
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
    say(QStringLiteral("\nThe headless tour is done in %1 s; screenshots are in %2")
            .arg(static_cast<double>(clock_.elapsed()) / 1000.0, 0, 'f', 1)
            .arg(outDir_));
    QCoreApplication::exit(0);
  }

  void fail(const char* why) {
    std::fprintf(stderr, "The headless tour failed: %s\n", why);
    QCoreApplication::exit(1);
  }

  QString outDir_;
  QElapsedTimer clock_;
  QWidget* host_ = nullptr;
  std::int64_t campid_ = 0;
  QString campName_;
  bool alertShot_ = false;
  int quietChecks_ = 0;
  int taps_ = 0;
};

std::unique_ptr<HeadlessTour>& headlessTour() {
  static std::unique_ptr<HeadlessTour> tour;
  return tour;
}

}  // namespace

void runHeadlessWall(const QString& outDir) {
  headlessTour() = std::make_unique<HeadlessTour>(outDir);
  headlessTour()->start();
}

void finishHeadlessWall() { headlessTour().reset(); }

}  // namespace demo
