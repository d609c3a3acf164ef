// The soak: the real wall, the real curl session and the Qt platform against a sandbox
// that answers every endpoint at random from hostile and malformed answers, while a
// seeded user reloads, switches tabs and sort, opens and leaves every screen, takes part
// in campaigns, answers alerts and closes the wall. Nothing may crash or hang, every
// request completes exactly once (or is cancelled by its dropped handle), and the longest
// GUI stall and the memory are measured and bounded loosely: the point is hangs, leaks
// and lost requests, not speed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/participation/api_join.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/platform/url_opener.hpp"
#include "counting_http_session.hpp"
#include "orvane/orvane.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/qt/qt_platform.hpp"
#include "tools/sandbox/sandbox.hpp"
#include "ui/inquiry/file_dialog_picture_source.hpp"
#include "ui/inquiry/request_view_controller.hpp"
#include "ui/screens/benefits_view_controller.hpp"
#include "ui/screens/camp_cell.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/navigation_controller.hpp"

namespace orvane::testing {
namespace {

// Sized for the dev build (ASan and UBSan) on a shared two-core machine: the drive ends
// after kAnswers chaotic answers or kDriveCap, whichever comes first. A user-paced driver
// there gets several hundred answers a minute; a release build gets further.
constexpr std::size_t kAnswers = 2000;
constexpr std::size_t kMinAnswers = 300;  // fewer: the driver got stuck somewhere
constexpr auto kDriveCap = std::chrono::seconds(50);
constexpr int kMaxRounds = 20000;
constexpr int kSettleMs = 20000;
// Loose on purpose: a hang or a runaway, not a slow machine. ASan keeps 256 MiB of freed
// memory in quarantine, which the first half of the run fills.
constexpr qint64 kMaxStallMs = 1500;
constexpr long kMaxPeakKb = 2L * 1024 * 1024;
constexpr long kMaxGrowthKb = 768L * 1024;
constexpr long kMaxLateGrowthKb = 256L * 1024;  // from half way to the end

long statusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return -1;
}

// Links as an unreliable desktop opens them: sometimes there is no handler, sometimes
// the answer comes late. Nothing is ever started.
class ChaoticOpener : public UrlOpener {
 public:
  ChaoticOpener(std::shared_ptr<MainQueue> queue, std::uint64_t seed)
      : queue_(std::move(queue)), random_(seed) {}
  bool canOpen(const std::string&) const override { return next(4) != 0; }
  void open(const std::string&, std::function<void(bool)> completion) override {
    ++opened;
    if (!completion) return;
    const bool ok = next(4) != 0;
    if (next(2) == 0) {
      completion(ok);
    } else {
      queue_->post([completion = std::move(completion), ok] { completion(ok); });
    }
  }
  int opened = 0;

 private:
  int next(int n) const { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  std::shared_ptr<MainQueue> queue_;
  mutable std::mt19937_64 random_;
};

// The user picks one or two pictures of its own, handed over after the picker closed.
class SoakPictures : public inquiry::PictureSource {
 public:
  explicit SoakPictures(QStringList files) : files_(std::move(files)) {}
  bool hasCamera() const override { return false; }
  void pickPictures(int limit, Picked done) override {
    const QStringList chosen = files_.mid(0, std::max(limit, 0));
    QTimer::singleShot(0, qApp, [done = std::move(done), chosen] {
      done(ui::FileDialogPictureSource::picturesFromFiles(chosen));
    });
  }
  void takePhoto(Picked done) override {
    QTimer::singleShot(0, qApp, [done = std::move(done)] { done({}); });
  }

 private:
  QStringList files_;
};

// The largest gap between ticks of a short repeating timer on the GUI thread.
class StallMeter {
 public:
  StallMeter() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      const qint64 gap = now - last_;
      last_ = now;
      if (gap > longest) {
        longest = gap;
        during = *label;
      }
      if (gap > 100) ++over100;
    });
  }
  void start(const std::string* currentLabel) {
    label = currentLabel;
    clock_.start();
    last_ = 0;
    timer_.start(10);
  }
  void stop() { timer_.stop(); }

  qint64 longest = 0;
  int over100 = 0;
  std::string during;

 private:
  const std::string* label = nullptr;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
};

class WallSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    ASSERT_TRUE(tempDir_.isValid());
    // Woven into hostile answers; a reader opening it would block for good, so a hang
    // of the drain below would show it.
    fifo_ = tempDir_.filePath(QStringLiteral("never-opened.fifo")).toStdString();
    ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
    for (int i = 0; i < 2; ++i) {
      QImage picture(320 + 80 * i, 480, QImage::Format_RGB32);
      picture.fill(i == 0 ? Qt::darkGreen : Qt::darkBlue);
      const QString path = tempDir_.filePath(QStringLiteral("picture-%1.png").arg(i));
      ASSERT_TRUE(picture.save(path));
      pictures_ << path;
    }

    server_ = std::make_unique<sandbox::Server>(sandbox::Options{});
    server_->start();
    auto platform = qt::QtPlatform::make();
    ASSERT_TRUE(platform);
    platform->store = std::make_shared<MemoryKeyValueStore>();
    curl_ = makeCurlHttpSession({});
    http_ = std::make_shared<CountingHttpSession>(curl_);
    platform->http = http_;
    opener_ = std::make_shared<ChaoticOpener>(platform->mainQueue, 11);
    platform->urlOpener = opener_;
    platform_ = platform;
    Platform::install(platform_);
    auto& sdk = OrvaneSDK::shared();
    sdk.reset();
    sdk.hostUrl = server_->apiBase();
    sdk.hostPartnerUrl = server_->partnerBase();
    sdk.noticeUrl = server_->noticeUrl();
    Orvane::shared().initialize(sandbox::kMediaKey, sandbox::kMediaChannelKey, "soak-user");
    Orvane::shared().setTrackingUsage(false);  // the consent dialog is not under test

    host_ = std::make_unique<QWidget>();
    host_->resize(900, 900);
    host_->show();
  }

  void TearDown() override {
    if (QWidget* window = wallWindow()) delete window;
    host_.reset();
    ApiJoin::shared().viewController.reset();
    OrvaneSDK::shared().reset();
    if (auto curl = std::dynamic_pointer_cast<CurlHttpSession>(curl_)) curl->shutdown();
    QCoreApplication::processEvents();
    Platform::install(nullptr);
    platform_.reset();
    server_->stop();
  }

  // ---- what is on screen

  static QWidget* wallWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("orvane_wall_window") && w->isVisible()) return w;
    return nullptr;
  }
  static ui::NavigationController* nav() {
    QWidget* window = wallWindow();
    return window ? window->findChild<ui::NavigationController*>() : nullptr;
  }
  template <class T = QWidget>
  static T* shown(const char* name) {
    QWidget* window = wallWindow();
    if (!window) return nullptr;
    for (T* w : window->findChildren<T*>(QString::fromLatin1(name)))
      if (w->isVisible()) return w;
    return nullptr;
  }
  static QWidget* alert() { return shown("orvane_alert"); }
  static QWidget* overlay() { return shown("vProgress"); }
  static QWidget* popup() { return shown("CanReceiveBenefitsViewController"); }
  template <class Screen>
  static Screen* top() {
    auto* n = nav();
    return n ? qobject_cast<Screen*>(n->topViewController()) : nullptr;
  }

  // ---- what a user does

  // A click where a person could click: it goes to whatever is at the middle of the
  // widget, and only when that is the widget itself, a part of it, or (for a widget
  // that lets clicks through, like a cell's pill) what holds it. Nothing covering it:
  // no alert, busy layer or pop-up.
  bool tap(QWidget* w) {
    if (!w || !w->isVisible() || !w->isEnabled()) return false;
    QWidget* window = w->window();
    const QPoint at = w->mapTo(window, w->rect().center());
    QWidget* hit = window->childAt(at);
    if (!hit) return false;
    const bool through = w->testAttribute(Qt::WA_TransparentForMouseEvents) && hit->isAncestorOf(w);
    if (hit != w && !w->isAncestorOf(hit) && !through) return false;
    QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFrom(window, at));
    return true;
  }
  void escape() {
    // Where Qt delivers a key: the focus widget of the wall's window, or the window.
    if (QWidget* window = wallWindow())
      QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
  }
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }

  // Lets the event loop run for a while, as a person takes time between taps.
  void pause(int ms) {
    if (ms > 0) {
      QEventLoop loop;
      QTimer::singleShot(ms, &loop, &QEventLoop::quit);
      loop.exec();
    } else {
      QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  void act(const char* what) {
    label_ = what;
    ++actions_[what];
  }

  void openWall() {
    act("open the wall");
    Orvane::shared().setListType(chance(0.5) ? Orvane::TYPE_LIST_NATIVE : Orvane::TYPE_LIST_ICON);
    Orvane::shared().setBenefitsType(chance(0.7) ? Orvane::TYPE_BENEFITS_DISPLAY_POPUP
                                                 : Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
    Orvane::shared().presentOrvane(host_.get());
    ++opens_;
  }

  // An alert or sheet: mostly one of its buttons, sometimes Esc.
  void answerAlert(QWidget* card) {
    if (chance(0.15)) {
      act("Esc on an alert");
      escape();
      return;
    }
    std::vector<QAbstractButton*> buttons;
    for (auto* b : card->findChildren<QAbstractButton*>())
      if (b->objectName().startsWith(QLatin1String("alert_button_")) && b->isVisible()) buttons.push_back(b);
    if (buttons.empty()) {
      act("Esc on an alert without buttons");
      escape();
      return;
    }
    act("press an alert button");
    tap(buttons[static_cast<std::size_t>(below(static_cast<int>(buttons.size())))]);
  }

  void onList(ui::OrvaneViewController& list) {
    switch (below(20)) {
      case 0:
      case 1:
      case 2:
      case 19:
        // Sometimes several in a row: each new load cancels the one before.
        act("reload the list");
        for (int i = below(3); i >= 0; --i) list.refreshList();
        break;
      case 3:
      case 4:
        act("switch tab");
        tap(shown(chance(0.5) ? "sc_camp_0" : "sc_camp_1"));
        break;
      case 5:
      case 6:
        act("change sort");
        tap(shown("b_sort"));
        break;
      case 7: {
        act("scroll");
        auto* table = list.tableView();
        if (table->numberOfRows() > 0) table->scrollToRow(below(table->numberOfRows()));
        break;
      }
      case 8:
      case 9:
      case 10:
      case 11:
      case 12: {
        // A campaign: its call to action or the cell itself (a detail page, or a join).
        std::vector<ui::CampCell*> cells;
        for (auto* cell : list.tableView()->visibleCells())
          if (auto* c = qobject_cast<ui::CampCell*>(cell); c && c->camp()) cells.push_back(c);
        if (cells.empty()) break;
        ui::CampCell* cell = cells[static_cast<std::size_t>(below(static_cast<int>(cells.size())))];
        QWidget* pill = cell->findChild<QWidget*>(QStringLiteral("l_reward_button"));
        if (!pill) pill = cell->findChild<QWidget*>(QStringLiteral("b_reward_button"));
        if (pill && pill->isVisible() && chance(0.6)) {
          act("tap a campaign's call to action");
          tap(pill);
        } else {
          act("tap a campaign");
          tap(cell);
        }
        break;
      }
      case 13:
      case 14:
        act("open the rewards history");
        tap(shown("b_history"));
        break;
      case 15:
      case 16:
        act("open the inquiry form");
        tap(shown("b_inquiry"));
        break;
      case 17:
        act("close the wall");
        tap(shown("b_close"));
        break;
      case 18:
        act("Esc on the list");
        escape();
        break;
      default:
        break;
    }
  }

  void onDetail() {
    switch (below(6)) {
      case 0:
      case 1:
      case 2:
        act("tap the detail's call to action");
        tap(shown("b_reward"));
        break;
      case 3:
      case 4:
        act("back from the detail");
        tap(shown("b_back"));
        break;
      default:
        act("Esc on the detail");
        escape();
        break;
    }
  }

  void onHistory() {
    switch (below(6)) {
      case 0:
      case 1:
        act("change the history's period");
        tap(shown("b_period"));
        break;
      case 2:
      case 3:
        act("change the history's kind");
        tap(shown("b_benefits_kind"));
        break;
      default:
        act("back from the history");
        tap(shown("b_back"));
        break;
    }
  }

  void onInquiry(ui::RequestViewController& form) {
    const auto type = [&](const char* name, const QString& text) {
      auto* field = form.findChild<QWidget*>(QString::fromLatin1(name));
      if (!field || !field->isVisible()) return;
      if (auto* line = qobject_cast<QLineEdit*>(field)) line->clear();
      if (auto* plain = qobject_cast<QPlainTextEdit*>(field)) plain->clear();
      QTest::keyClicks(field, text);
    };
    switch (below(12)) {
      case 0:
        act("fill in the inquiry");
        type("tf_name", QStringLiteral("Soak User"));
        type("tf_phone", QStringLiteral("01012345678"));
        type("tf_email", QStringLiteral("soak@example.com"));
        type("tv_input_inquiry", QStringLiteral("My reward has not arrived."));
        break;
      case 1:
      case 2:
        act("choose the inquiry's kind");
        tap(form.findChild<QWidget*>(QStringLiteral("v_request_type")));
        break;
      case 3:
      case 4:
        act("choose the inquiry's campaign");
        tap(form.findChild<QWidget*>(QStringLiteral("v_ad_select")));
        break;
      case 5:
        act("attach pictures");
        form.setPictureSource(std::make_shared<SoakPictures>(pictures_));
        tap(form.findChild<QWidget*>(QStringLiteral("iv_attach")));
        break;
      case 6:
        act("tick the agreement");
        tap(form.findChild<QWidget*>(QStringLiteral("cb_agree")));
        break;
      case 7:
      case 8:
        act("send the inquiry");
        tap(form.findChild<QWidget*>(QStringLiteral("b_positive")));
        break;
      case 9:
        act("cancel the inquiry");
        tap(form.findChild<QWidget*>(QStringLiteral("b_negative")));
        break;
      default:
        act("back from the inquiry");
        tap(shown("b_back"));
        break;
    }
  }

  // One step of the user.
  void round() {
    if (!wallWindow()) return openWall();
    if (overlay()) {
      act("wait for the busy layer");
      return;
    }
    if (QWidget* card = alert()) return answerAlert(card);
    if (QWidget* sheet = popup()) {
      act("close the rewards pop-up");
      if (chance(0.7)) {
        tap(sheet->findChild<QWidget*>(QStringLiteral("iv_close")));
      } else {
        escape();
      }
      return;
    }
    if (auto* list = top<ui::OrvaneViewController>()) return onList(*list);
    if (top<ui::DetailViewController>()) return onDetail();
    if (top<ui::BenefitsViewController>()) return onHistory();
    if (auto* form = top<ui::RequestViewController>()) return onInquiry(*form);
    act("Esc on an unknown screen");
    escape();
  }

  // Everything has come to rest: no request outstanding, no flow polling, no busy layer.
  bool quiet() const { return http_->tally().pending == 0 && !ApiJoin::shared().isPolling() && !overlay(); }

  std::string fifo_;
  QTemporaryDir tempDir_;
  QStringList pictures_;
  std::unique_ptr<sandbox::Server> server_;
  std::shared_ptr<HttpSession> curl_;
  std::shared_ptr<CountingHttpSession> http_;
  std::shared_ptr<ChaoticOpener> opener_;
  std::shared_ptr<Platform> platform_;
  std::unique_ptr<QWidget> host_;
  std::mt19937_64 random_{20261206};
  std::string label_ = "start";
  std::map<std::string, int> actions_;
  int opens_ = 0;
};

TEST_F(WallSoak, HostileAnswersForThousandsOfRoundsLoseNothingAndLeaveTheWallUsable) {
  QElapsedTimer wall;
  wall.start();
  StallMeter stalls;
  stalls.start(&label_);

  openWall();
  ASSERT_TRUE(QTest::qWaitFor([] { return nav() != nullptr; }, 10000)) << "the wall did not open";
  ASSERT_TRUE(QTest::qWaitFor([this] { return http_->tally().pending == 0; }, 10000));
  const long rssStart = statusKb("VmRSS");

  server_->startChaos({.seed = 20261206,
                       .answers = kAnswers,
                       .maxDelayMs = 80,
                       .hugeListSize = 800,
                       .normalShare = 0.35,
                       .localPath = fifo_});
  int rounds = 0;
  long rssMid = -1;
  sandbox::ChaosStats stats = server_->chaosStats();
  const auto driveEnd = std::chrono::steady_clock::now() + kDriveCap;
  while (rounds < kMaxRounds && std::chrono::steady_clock::now() < driveEnd) {
    ++rounds;
    round();
    pause(below(3) == 0 ? 0 : below(12));
    if (rounds % 10 == 0) {
      stats = server_->chaosStats();
      // Half way by answers or by time, whichever comes first.
      const bool halfWay =
          stats.served >= kAnswers / 2 || std::chrono::steady_clock::now() > driveEnd - kDriveCap / 2;
      if (rssMid < 0 && halfWay) rssMid = statusKb("VmRSS");
      if (!stats.active) break;
    }
  }
  stats = server_->chaosStats();
  server_->stopChaos();
  const qint64 driveMs = wall.elapsed();

  // Normal answers again: the user answers what is left on screen until everything rests.
  act("settle");
  int presses = 0;
  const bool settled = QTest::qWaitFor(
      [&] {
        if (QWidget* card = alert()) {
          if (presses++ < 200) {
            auto* button = card->findChild<QAbstractButton*>(QStringLiteral("alert_button_0"));
            if (!tap(button)) escape();
          }
          return false;
        }
        if (QWidget* sheet = popup()) tap(sheet->findChild<QWidget*>(QStringLiteral("iv_close")));
        return !popup() && quiet();
      },
      kSettleMs);
  EXPECT_TRUE(settled) << "still busy after " << kSettleMs << " ms: " << http_->tally().pending
                       << " requests outstanding, polling " << ApiJoin::shared().isPolling()
                       << ", busy layer " << (overlay() != nullptr) << ", alert " << (alert() != nullptr);
  EXPECT_LT(presses, 200) << "alerts kept coming";
  EXPECT_EQ(alert(), nullptr) << "an alert is left that its buttons do not close";
  EXPECT_EQ(overlay(), nullptr) << "the busy layer is left on screen";

  // The wall still works: a reload with normal answers shows a list, and it closes.
  if (!wallWindow()) openWall();
  ASSERT_TRUE(QTest::qWaitFor([] { return nav() != nullptr; }, 10000));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (QWidget* sheet = popup()) tap(sheet->findChild<QWidget*>(QStringLiteral("iv_close")));
        if (nav() && nav()->topViewController() != nav()->rootViewController()) tap(shown("b_back"));
        return top<ui::OrvaneViewController>() && !popup() && !alert() && quiet();
      },
      kSettleMs));
  auto* list = top<ui::OrvaneViewController>();
  QSignalSpy updated(list, &ui::OrvaneViewController::listUpdated);
  list->refreshList();
  ASSERT_TRUE(QTest::qWaitFor([&] { return updated.count() > 0; }, 10000));
  EXPECT_FALSE(list->selectedAllCampList().empty()) << "normal answers show campaigns again";
  EXPECT_EQ(alert(), nullptr);
  act("close the wall");
  // The reload may announce the rewards again: the pop-up goes first.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (QWidget* sheet = popup()) tap(sheet->findChild<QWidget*>(QStringLiteral("iv_close")));
        return !popup() && tap(shown("b_close"));
      },
      5000));
  EXPECT_TRUE(QTest::qWaitFor([] { return wallWindow() == nullptr; }, 5000)) << "the wall did not close";
  EXPECT_TRUE(QTest::qWaitFor([this] { return http_->tally().pending == 0; }, 10000));
  stalls.stop();

  const auto tally = http_->tally();
  const long rssEnd = statusKb("VmRSS");
  const long peak = statusKb("VmHWM");
  const qint64 totalMs = wall.elapsed();

  std::printf("[ soak ] %d rounds in %.1f s of driving, %.1f s in all; the wall opened %d times\n", rounds,
              static_cast<double>(driveMs) / 1000.0, static_cast<double>(totalMs) / 1000.0, opens_);
  std::printf("[ soak ] chaos served %zu answers (%.0f a second):", stats.served,
              static_cast<double>(stats.served) * 1000.0 / static_cast<double>(std::max<qint64>(driveMs, 1)));
  for (const auto& [kind, n] : stats.byKind) std::printf(" %s=%zu", kind.c_str(), n);
  std::printf("\n[ soak ] by endpoint:");
  for (const auto& [path, n] : stats.byEndpoint) std::printf(" %s=%zu", path.c_str(), n);
  std::printf(
      "\n[ soak ] requests sent %zu: completed once %zu, cancelled by a dropped handle %zu, "
      "outstanding %zu, twice %zu, after cancel %zu\n",
      tally.sent, tally.delivered, tally.cancelled, tally.pending, tally.twice, tally.afterCancel);
  std::printf("[ soak ] sent by path:");
  for (const auto& [path, n] : http_->sentByPath()) std::printf(" %s=%zu", path.c_str(), n);
  std::printf("\n[ soak ] links opened %d; user actions:", opener_->opened);
  for (const auto& [what, n] : actions_) std::printf(" [%s]=%d", what.c_str(), n);
  std::printf("\n[ soak ] longest GUI stall %lld ms (during \"%s\"), %d stalls over 100 ms\n",
              static_cast<long long>(stalls.longest), stalls.during.c_str(), stalls.over100);
  std::printf(
      "[ soak ] memory: peak (VmHWM) %ld MiB; RSS %ld MiB after opening, %ld MiB half way, "
      "%ld MiB at the end\n",
      peak / 1024, rssStart / 1024, rssMid / 1024, rssEnd / 1024);
  std::fflush(stdout);

  EXPECT_GE(stats.served, kMinAnswers) << "the soak did too little to prove anything";
  EXPECT_EQ(tally.twice, 0u);
  EXPECT_EQ(tally.afterCancel, 0u);
  EXPECT_EQ(tally.pending, 0u) << "requests that never completed";
  EXPECT_EQ(tally.delivered + tally.cancelled, tally.sent);
  for (const auto& fault : tally.faults) ADD_FAILURE() << fault;
  for (const auto& url : tally.notWeb) ADD_FAILURE() << "handed to the HTTP session: " << url;
  EXPECT_LT(stalls.longest, kMaxStallMs) << "during \"" << stalls.during << "\"";
  EXPECT_LT(peak, kMaxPeakKb);
  EXPECT_LT(rssEnd - rssStart, kMaxGrowthKb);
  if (rssMid > 0) {
    EXPECT_LT(rssEnd - rssMid, kMaxLateGrowthKb) << "memory still growing in the second half";
  }
}

}  // namespace
}  // namespace orvane::testing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setOrganizationName("OrvaneTests");
  QApplication::setApplicationName("orvane_soak_tests");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
