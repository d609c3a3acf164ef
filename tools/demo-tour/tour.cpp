#include "tour.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>

#include "carousel_frame.hpp"
#include "core/participation/api_join.hpp"
#include "demo_services.hpp"
#include "orvane/localized.hpp"
#include "orvane/orvane.hpp"
#include "tools/sandbox/sandbox.hpp"
#include "tour_support.hpp"
#include "ui/inquiry/item_screenshot_view.hpp"
#include "ui/inquiry/request_view_controller.hpp"
#include "ui/screens/benefits_view_controller.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/screens/orvane_carousel_view.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/widgets/campaign_table_view.hpp"

namespace demo {

namespace {

using orvane::ApiJoin;
using orvane::Camp;
using orvane::Orvane;
using tour::alertButton;
using tour::currentAlert;
using tour::findIn;
using tour::say;
using tour::tap;
using tour::waitFor;
namespace ui = orvane::ui;

QString text(std::string_view key) { return QString::fromStdString(orvane::localized(key)); }

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

template <class Screen>
Screen* topScreen() {
  auto* nav = tour::wallNavigation();
  return nav ? qobject_cast<Screen*>(nav->topViewController()) : nullptr;
}

QString labelText(const QWidget* parent, const char* name) {
  const auto* label = parent->findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text() : QString();
}

// The headless tour, one step after another on the event loop.
class HeadlessTour {
 public:
  HeadlessTour(QString outDir, const orvane::sandbox::Server& server)
      : outDir_(std::move(outDir)), server_(server) {}
  ~HeadlessTour() {
    delete carouselFrame_;
    delete host_;  // the wall window goes with its host
    if (drawing_.valid()) drawing_.wait();
  }

  void start() {
    clock_.start();
    QDir().mkpath(outDir_);
    // A person at a phone: landing links are visited, apps start, tracking is allowed.
    installPersonServices();
    tapInquiryAnswers();
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
  // Keeps what the sandbox answered to the inquiry, as the SDK received it.
  void tapInquiryAnswers() {
    auto platform = std::make_shared<orvane::Platform>(*orvane::Platform::current());
    auto answer = inquiryAnswer_;
    platform->http = std::make_shared<tour::AnswerTap>(
        platform->http, platform->mainQueue, "/api/cs",
        [answer](const orvane::Result<orvane::HttpResponse>& seen) {
          *answer =
              seen.ok()
                  ? QStringLiteral("HTTP %1 %2")
                        .arg(seen.value().status)
                        .arg(QString::fromStdString(seen.value().body).trimmed())
                  : QStringLiteral("no answer: %1").arg(QString::fromStdString(seen.error().description));
        });
    orvane::Platform::install(platform);
  }

  // Waits until nothing moves and every image has arrived, then goes on.
  void settle(std::function<void()> next, QWidget* window = nullptr) {
    waitFor([window] { return tour::isAtRest(window ? window : tour::wallWindow()); }, 5000,
            [next = std::move(next)](bool) { next(); });
  }

  void shoot(const QString& name, QWidget* what = nullptr) {
    if (!what) what = tour::wallWindow();
    if (!what) return;
    const QString path = outDir_ + "/" + name;
    if (what->grab().save(path)) say(QStringLiteral("  screenshot %1").arg(path));
  }

  // Opens a sheet with `opener`, taps its entry `title` and waits for the sheet to go.
  void choose(QWidget* opener, const QString& title, std::function<void()> next) {
    if (!opener) return fail("a picker is missing");
    tap(opener);
    waitFor([title] { return alertButton(title) != nullptr; }, 3000,
            [this, title, next = std::move(next)](bool ok) mutable {
              if (!ok) return fail("a picker did not offer its entry");
              tap(alertButton(title));
              waitFor([] { return currentAlert() == nullptr; }, 3000,
                      [this, next = std::move(next)](bool) { settle(next); });
            });
  }

  // Goes back screen by screen with the bar's back control until the list is on top.
  void backToList(std::function<void()> next) {
    auto* nav = tour::wallNavigation();
    if (!nav) return fail("the wall went away");
    if (nav->topViewController() == nav->rootViewController()) return settle(std::move(next));
    auto* back = findIn<QWidget>("b_back");
    if (!back) return fail("the bar shows no back control");
    const int depth = static_cast<int>(nav->viewControllers().size());
    tap(back);
    QPointer<ui::NavigationController> guard(nav);
    waitFor([guard, depth] { return guard && static_cast<int>(guard->viewControllers().size()) < depth; },
            5000,
            [this, next = std::move(next)](bool ok) mutable {
              if (!ok) return fail("the back control did not go back");
              backToList(std::move(next));
            });
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
    if (!cell) return history();
    say(QStringLiteral("\nOpening the detail screen of \"%1\"")
            .arg(QString::fromStdString(cell->camp()->name)));
    tap(cell);
    waitFor([] { return findIn<QWidget>("DetailViewController") != nullptr; }, 5000,
            [this](bool ok) {
              if (!ok) return fail("the detail screen did not open");
              settle([this] {
                shoot(QStringLiteral("detail.png"));
                history();
              });
            });
  }

  void history() {
    backToList([this] {
      say(QStringLiteral("\nOpening the rewards history from the wall's bar"));
      auto* button = findIn<QWidget>("b_history");
      if (!button) return fail("the bar offers no rewards history");
      tap(button);
      history_ = topScreen<ui::BenefitsViewController>();
      if (!history_) return fail("the history did not open");
      QObject::connect(history_, &ui::BenefitsViewController::rewardListAnswered, history_,
                       [this] { ++historyAnswers_; });
      waitFor([this] { return !history_ || historyAnswers_ >= 1; }, 10000,
              [this](bool) {
                if (!history_ || historyAnswers_ < 1) return fail("the history got no answer");
                sayHistory(false);
                widenHistory();
              });
    });
  }

  // The longest period, as a user widens it from its picker.
  void widenHistory() {
    const QString longest = QString::fromStdString(history_->peiriodlist().back().label);
    say(QStringLiteral("  the user chooses \"%1\" in the period picker").arg(longest));
    choose(history_->findChild<QWidget*>(QStringLiteral("b_period")), longest, [this] {
      waitFor([this] { return !history_ || historyAnswers_ >= 2; }, 10000,
              [this](bool) {
                if (!history_ || historyAnswers_ < 2)
                  return fail("the history got no answer for the new period");
                settle([this] {
                  if (!history_) return fail("the history went away");
                  sayHistory(true);
                  shoot(QStringLiteral("history.png"));
                  inquiry();
                });
              });
    });
  }

  void sayHistory(bool withRows) {
    say(QStringLiteral("  %1 rows (%2)").arg(history_->reward().size()).arg(labelText(history_, "l_term")));
    if (!withRows) return;
    for (auto* cell : history_->tableView()->visibleCells()) {
      say(QStringLiteral("    %1  %2  %3")
              .arg(labelText(cell, "l_date"), labelText(cell, "l_reward_price").leftJustified(10),
                   labelText(cell, "l_name")));
    }
  }

  void inquiry() {
    // The user's pictures of what went wrong, drawn elsewhere while the form loads.
    if (!pictureDir_.isValid()) return fail("no temporary folder for the pictures");
    const QString dir = pictureDir_.path();
    const QString campaign = campName_.isEmpty() ? QStringLiteral("the campaign") : campName_;
    drawing_ =
        std::async(std::launch::async, [dir, campaign] { return tour::drawScreenshots(dir, campaign); });

    backToList([this] {
      say(QStringLiteral("\nOpening the inquiry form from the wall's bar"));
      auto* button = findIn<QWidget>("b_inquiry");
      if (!button) return fail("the bar offers no inquiry form");
      tap(button);
      form_ = topScreen<ui::RequestViewController>();
      if (!form_) return fail("the inquiry form did not open");
      QObject::connect(form_, &ui::RequestViewController::campaignsAnswered, form_, [this] { ++formLoads_; });
      QObject::connect(form_, &ui::RequestViewController::agreementAnswered, form_, [this] { ++formLoads_; });
      const auto ready = [this] {
        return !form_ ||
               (formLoads_ >= 2 && drawing_.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
      };
      waitFor(ready, 10000, [this](bool ok) {
        if (!ok || !form_) return fail("the inquiry form did not load");
        pictures_ = drawing_.get();
        if (pictures_.size() != 2) return fail("the tour's pictures could not be written");
        // There is no display for the file dialog: the pictures come through the form's source.
        form_->setPictureSource(std::make_shared<tour::ChosenPictures>(pictures_));
        settle([this] { fillIn(); });
      });
    });
  }

  template <class T = QWidget>
  T* formChild(const char* name) const {
    return form_ ? form_->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  }

  void fillIn() {
    if (!form_) return fail("the inquiry form went away");
    say(QStringLiteral("  the user types a name, a phone number, an e-mail address and the inquiry"));
    tour::typeText(formChild<QLineEdit>("tf_name"), QStringLiteral("Jordan Lee"));
    tour::typeText(formChild<QLineEdit>("tf_phone"), QStringLiteral("01012345678"));
    tour::typeText(formChild<QLineEdit>("tf_email"), QStringLiteral("jordan.lee@example.com"));
    tour::typeText(formChild<QPlainTextEdit>("tv_input_inquiry"),
                   QStringLiteral("The reward for this campaign has not reached my balance. The "
                                  "screenshots show the finished task and my balance."));

    // The campaign this user took part in, else the first the form offers.
    QString campaign;
    if (const auto& camps = form_->form().campaigns(); camps && !camps->empty()) {
      campaign = QString::fromStdString(camps->front().name);
      for (const Camp& c : *camps) {
        if (c.campid == campid_) campaign = QString::fromStdString(c.name);
      }
    }
    if (campaign.isEmpty()) return fail("the inquiry form offers no campaign");
    const QString kind = text("ov_request_type_savings");
    say(QStringLiteral("  the user chooses the kind \"%1\" and the campaign \"%2\"").arg(kind, campaign));
    choose(formChild("v_request_type"), kind, [this, campaign] {
      choose(formChild("v_ad_select"), campaign, [this] {
        shoot(QStringLiteral("inquiry.png"));
        attach();
      });
    });
  }

  void attach() {
    say(QStringLiteral("  the user taps the attach tile"));
    tap(formChild("iv_attach"));
    const auto attached = [this] {
      return !form_ || (form_->picturesLoading() == 0 && form_->thumbnails().size() == 2);
    };
    waitFor(attached, 10000, [this](bool ok) {
      if (!ok || !form_) return fail("the screenshots were not attached");
      say(QStringLiteral("  two thumbnails; the user ticks the agreement box"));
      tap(formChild("cb_agree"));
      // The thumbnails, the agreement and the send button are further down.
      if (auto* scroll = formChild<QScrollArea>("sv_main"))
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
      settle([this] {
        shoot(QStringLiteral("inquiry-screenshots.png"));
        submit();
      });
    });
  }

  void submit() {
    auto* send = formChild<QAbstractButton>("b_positive");
    if (!send) return fail("the inquiry form has no send button");
    QObject::connect(form_, &ui::RequestViewController::submissionFinished, form_,
                     [this](bool sent) { submitted_ = sent; });
    say(QStringLiteral("  the user taps \"%1\"").arg(send->text()));
    tap(send);
    waitFor([this] { return submitted_.has_value() && currentAlert() != nullptr; }, 30000,
            [this](bool ok) {
              if (!ok) return fail("the inquiry got no answer");
              say(QStringLiteral("  the sandbox answered: %1").arg(*inquiryAnswer_));
              settle([this] {
                say(QStringLiteral("  the form tells the user: %1").arg(tour::alertText(currentAlert())));
                shoot(QStringLiteral("inquiry-sent.png"));
                if (!*submitted_) return fail("the inquiry was not sent");
                printStoredInquiry();
                tap(alertButton(text("ov_confirm")));
                backToList([this] { carousel(); });
              });
            });
  }

  void printStoredInquiry() {
    const auto inquiries = server_.inquiries();
    if (inquiries.empty()) return fail("the sandbox stored no inquiry");
    const auto& stored = inquiries.back();
    say(QStringLiteral("  the sandbox stored inquiry %1:").arg(stored.id));
    for (const auto& [name, value] : stored.fields) {
      say(QStringLiteral("    %1 = %2").arg(QString::fromStdString(name), QString::fromStdString(value)));
    }
    for (const auto& file : stored.files) {
      say(QStringLiteral("    %1 \"%2\" %3, %L4 bytes")
              .arg(QString::fromStdString(file.field), QString::fromStdString(file.fileName),
                   QString::fromStdString(file.contentType))
              .arg(static_cast<qulonglong>(file.data.size())));
    }
  }

  void carousel() {
    say(QStringLiteral("\nEmbedding the carousel in a host window"));
    carouselFrame_ = makeCarouselFrame();
    carouselFrame_->show();
    QPointer<ui::OrvaneCarouselView> view = carouselFrame_->findChild<ui::OrvaneCarouselView*>();
    if (!view) return fail("the facade made no carousel");
    settle(
        [this, view] {
          if (!view) return fail("the carousel went away");
          // The middle dot of five: the middle card.
          const int middle = view->pageControl()->numberOfPages() / 2;
          say(QStringLiteral("  the user clicks dot %1 of %2")
                  .arg(middle + 1)
                  .arg(view->pageControl()->numberOfPages()));
          tap(view->pageControl(), view->pageControl()->dotCentre(middle));
          waitFor(
              [this, view, middle] {
                return !view || (view->pageControl()->currentPage() == middle &&
                                 !view->collectionView()->isDecelerating() && tour::isAtRest(carouselFrame_));
              },
              5000,
              [this, view, middle](bool ok) {
                if (!ok || !view) return fail("the carousel did not move to the middle card");
                QStringList cards;
                for (const auto& item : view->items())
                  cards << (item.isDimmed ? QStringLiteral("dimmed") : QStringLiteral("plain"));
                say(QStringLiteral("  card %1 is in the middle; the cards are %2")
                        .arg(middle + 1)
                        .arg(cards.join(QStringLiteral(", "))));
                shoot(QStringLiteral("carousel.png"), carouselFrame_);
                done();
              });
        },
        carouselFrame_);
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
  const orvane::sandbox::Server& server_;
  QElapsedTimer clock_;
  QWidget* host_ = nullptr;
  QWidget* carouselFrame_ = nullptr;
  std::int64_t campid_ = 0;
  QString campName_;
  bool alertShot_ = false;
  int quietChecks_ = 0;
  int taps_ = 0;
  QPointer<ui::BenefitsViewController> history_;
  int historyAnswers_ = 0;
  QPointer<ui::RequestViewController> form_;
  int formLoads_ = 0;
  std::optional<bool> submitted_;
  QTemporaryDir pictureDir_;
  std::future<QStringList> drawing_;
  QStringList pictures_;
  std::shared_ptr<QString> inquiryAnswer_ = std::make_shared<QString>(QStringLiteral("(none seen)"));
};

std::unique_ptr<HeadlessTour>& headlessTour() {
  static std::unique_ptr<HeadlessTour> tour;
  return tour;
}

}  // namespace

void runHeadlessTour(const QString& outDir, const orvane::sandbox::Server& server) {
  headlessTour() = std::make_unique<HeadlessTour>(outDir, server);
  headlessTour()->start();
}

void finishHeadlessTour() { headlessTour().reset(); }

}  // namespace demo
