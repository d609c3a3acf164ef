// The rewards history against the sandbox, reached the way a user reaches it: a click on
// the wall's bar. Real clicks on the selectors and on the action sheets' entries.
#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/screens/reward_history.hpp"
#include "orvane/events.hpp"
#include "orvane/localized.hpp"
#include "ui/screens/benefits_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/screens/reward_table_view_cell.hpp"
#include "ui/sdk/storyboard.hpp"
#include "wall_test_support.hpp"
#include "xtest_input.hpp"

namespace orvane::testing {
namespace {

using ui::BenefitsViewController;
using ui::RewardTableViewCell;

constexpr char kRewardPath[] = "/api/cs/user_reward_list";

// A wall clock the test moves.
class TestClock : public Clock {
 public:
  std::chrono::system_clock::time_point now() const override {
    return std::chrono::system_clock::time_point{at};
  }
  std::atomic<std::chrono::system_clock::duration> at{std::chrono::system_clock::now().time_since_epoch()};
};

// Passes requests to the real session; while `hold` is set, the answers to the history's
// wait until the test hands them on (`release`).
class HistorySession : public HttpSession {
 public:
  explicit HistorySession(std::shared_ptr<HttpSession> inner) : inner_(std::move(inner)) {}

  RequestHandle send(HttpRequest request, Completion completion) override {
    if (request.url.find(kRewardPath) == std::string::npos || !hold)
      return inner_->send(std::move(request), std::move(completion));
    auto entry = std::make_shared<Held>();
    entry->completion = std::move(completion);
    // The transfer runs on: the answer arrives whether or not the screen still wants it.
    entry->transfer = inner_->send(std::move(request), [entry](Result<HttpResponse> answer) {
      std::lock_guard lock(entry->mutex);
      entry->answer.emplace(std::move(answer));
    });
    std::lock_guard lock(mutex_);
    held_.push_back(entry);
    return RequestHandle(entry->gate);
  }

  // Waits for the answer of held request `index`, then hands it to the screen's
  // completion; false when the screen had dropped the request by then.
  bool release(std::size_t index) {
    std::shared_ptr<Held> entry;
    {
      std::lock_guard lock(mutex_);
      if (index >= held_.size()) return false;
      entry = held_[index];
    }
    const bool arrived = QTest::qWaitFor(
        [&] {
          std::lock_guard lock(entry->mutex);
          return entry->answer.has_value();
        },
        5000);
    if (!arrived) return false;
    std::optional<Result<HttpResponse>> answer;
    {
      std::lock_guard lock(entry->mutex);
      answer = std::move(entry->answer);
    }
    return entry->gate->pass([&] { entry->completion(std::move(*answer)); });
  }

  std::size_t heldCount() const {
    std::lock_guard lock(mutex_);
    return held_.size();
  }
  void dropHeld() {
    std::lock_guard lock(mutex_);
    held_.clear();
  }

  bool hold = false;

 private:
  struct Held {
    std::mutex mutex;
    std::shared_ptr<CompletionGate> gate = std::make_shared<CompletionGate>();
    Completion completion;
    RequestHandle transfer;
    std::optional<Result<HttpResponse>> answer;
  };
  std::shared_ptr<HttpSession> inner_;
  mutable std::mutex mutex_;
  std::deque<std::shared_ptr<Held>> held_;
};

QString compact(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); }
QString dashed(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }
QString qs(const std::string& s) { return QString::fromStdString(s); }

class BenefitsScreen : public WallTest {
 protected:
  void SetUp() override {
    WallTest::SetUp();
    realHttp_ = platform_->http;
    session_ = std::make_shared<HistorySession>(realHttp_);
    platform_->http = session_;
    platform_->clock = clock_;
    locale_ = QLocale();
  }

  void TearDown() override {
    delete wall_;
    wall_ = nullptr;
    session_->dropHeld();
    platform_->http = realHttp_;
    QLocale::setDefault(locale_);
    // The last holder of the HTTP session must be the platform: its end closes the
    // connections the sandbox would otherwise wait out.
    realHttp_.reset();
    session_.reset();
    WallTest::TearDown();
  }

  // The wall, then the history through the bar's control; `answered` waits for its first answer.
  void open(bool answered = true) {
    initialize();
    Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
    Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
    wall_ = new ui::NavigationController(new ui::OrvaneViewController(services()), services());
    wall_->resize(390, 720);
    wall_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wall_));
    auto* history = wall_->findChild<QToolButton*>("b_history");
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(history->isVisible());
    QTest::mouseClick(history, Qt::LeftButton);
    screen_ = qobject_cast<BenefitsViewController*>(wall_->topViewController());
    ASSERT_NE(screen_, nullptr);
    QObject::connect(screen_, &BenefitsViewController::rewardListAnswered, [this] { ++answers_; });
    if (answered) {
      ASSERT_TRUE(waitAnswers(1));
    }
  }

  bool waitAnswers(int n) {
    return QTest::qWaitFor([&] { return answers_ >= n; }, 5000);
  }

  template <class T>
  T* child(const char* name) const {
    return screen_->findChild<T*>(QString::fromLatin1(name));
  }
  QWidget* sheet() const { return wall_->findChild<QWidget*>("orvane_alert"); }
  QPushButton* sheetButton(int index) const {
    auto* s = sheet();
    return s ? s->findChild<QPushButton*>(QStringLiteral("alert_button_%1").arg(index)) : nullptr;
  }
  // Opens the picker of `selector` and clicks entry `index` (the last is cancel).
  void pick(const char* selector, int index) {
    QTest::mouseClick(child<QPushButton>(selector), Qt::LeftButton);
    auto* entry = sheetButton(index);
    ASSERT_NE(entry, nullptr);
    QTest::mouseClick(entry, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet() == nullptr; }, 2000));
  }
  // Picks and waits for the answer of the query it sends.
  void pickAndWait(const char* selector, int index) {
    const int before = answers_;
    pick(selector, index);
    ASSERT_TRUE(waitAnswers(before + 1));
  }

  std::optional<std::string> lastQuery(const std::string& name) const {
    const auto requests = server_->received(kRewardPath);
    return requests.empty() ? std::nullopt : requests.back().queryValue(name);
  }
  QDate today() const {
    return QDateTime::fromSecsSinceEpoch(
               std::chrono::duration_cast<std::chrono::seconds>(clock_->at.load()).count())
        .date();
  }
  std::vector<RewardTableViewCell*> rows() const {
    std::vector<RewardTableViewCell*> out;
    for (auto* cell : screen_->tableView()->visibleCells())
      out.push_back(static_cast<RewardTableViewCell*>(cell));
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->row() < b->row(); });
    return out;
  }
  bool tableShown() const {
    return screen_->tableView()->isVisible() && !child<QLabel>("l_no_receive_benefits")->isVisible();
  }

  std::shared_ptr<TestClock> clock_ = std::make_shared<TestClock>();
  QLocale locale_;
  std::shared_ptr<HttpSession> realHttp_;
  std::shared_ptr<HistorySession> session_;
  ui::NavigationController* wall_ = nullptr;
  BenefitsViewController* screen_ = nullptr;
  int answers_ = 0;
};

TEST_F(BenefitsScreen, TheFirstQueryIsEveryKindOverTheLastWeek) {
  open();
  ASSERT_EQ(server_->received(kRewardPath).size(), 1u);
  EXPECT_EQ(lastQuery("sdate"), compact(today().addDays(-7)).toStdString());
  EXPECT_EQ(lastQuery("edate"), compact(today()).toStdString());
  EXPECT_EQ(lastQuery("rewardtype"), std::nullopt) << "kind 0 is sent as no rewardtype";
  EXPECT_EQ(child<QLabel>("l_term")->text(),
            qs(localized("ov_term")) + " : " + dashed(today().addDays(-7)) + " ~ " + dashed(today()));
  EXPECT_EQ(child<QPushButton>("b_benefits_kind")->text(), qs(localized("ov_breakdown_all")));
  EXPECT_EQ(child<QPushButton>("b_period")->text(), qs(localized("ov_recently_week1")));
  EXPECT_TRUE(child<QPushButton>("b_period")->accessibleName().contains(qs(localized("ov_recently_week1"))));
  const auto query = compact(today().addDays(-7)) + " / sEnd : " + compact(today());
  EXPECT_TRUE(sink_->contains("sStart : " + query.toStdString()));
  EXPECT_TRUE(sink_->contains("sStart : " + dashed(today().addDays(-7)).toStdString()));
  EXPECT_TRUE(sink_->contains("BenefitsViewController tableView count :  6"));

  // The sandbox's week: six rows, newest first.
  EXPECT_TRUE(tableShown());
  ASSERT_EQ(screen_->reward().size(), 6u);
  const auto cells = rows();
  ASSERT_FALSE(cells.empty());
  EXPECT_EQ(cells[0]->findChild<QLabel*>("l_name")->text(), "Cloudberry Puzzle");
  EXPECT_EQ(cells[0]->findChild<QLabel*>("l_date")->text(), dashed(today()));
  EXPECT_EQ(cells[0]->findChild<QLabel*>("l_reward_price")->text(), "300 P");
  EXPECT_EQ(cells[0]->findChild<QLabel*>("l_reward_price")->palette().color(QPalette::WindowText),
            Orvane::shared().orvaneColorPrimary);
  // Tab order: the two selectors, then the table, which shows it has the keyboard.
  EXPECT_EQ(child<QPushButton>("b_benefits_kind")->nextInFocusChain(), child<QPushButton>("b_period"));
  screen_->tableView()->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(child<QWidget>("v_focus_frame")->isVisible());
  // The back control above the screen names it; the bar's two controls stay on the list.
  EXPECT_EQ(wall_->findChild<QToolButton*>("b_back")->text(), qs(localized("ov_benefits_received")));
  EXPECT_FALSE(wall_->findChild<QToolButton*>("b_history")->isVisible());
  EXPECT_FALSE(wall_->findChild<QToolButton*>("b_inquiry")->isVisible());
}

TEST_F(BenefitsScreen, EveryPickerChoiceQueriesAgainAndTheSheetMarksTheCurrentEntry) {
  open();
  // The sheet lists the kinds, the shown one checked, and ends with cancel.
  QTest::mouseClick(child<QPushButton>("b_benefits_kind"), Qt::LeftButton);
  ASSERT_NE(sheet(), nullptr);
  const auto kinds = benefitsKindList();
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(sheetButton(i), nullptr);
    EXPECT_EQ(sheetButton(i)->text(), qs(kinds[static_cast<std::size_t>(i)].label));
    EXPECT_EQ(sheetButton(i)->accessibleDescription() == "selected", i == 0) << i;
  }
  EXPECT_EQ(sheetButton(3)->text(), qs(localized("ov_cancel")));
  QTest::mouseClick(sheetButton(2), Qt::LeftButton);
  ASSERT_TRUE(waitAnswers(2));
  EXPECT_EQ(lastQuery("rewardtype"), "2");
  EXPECT_EQ(child<QPushButton>("b_benefits_kind")->text(), qs(kinds[2].label));

  // No purchase this week: an empty table, not the notice.
  EXPECT_TRUE(tableShown());
  EXPECT_TRUE(screen_->reward().empty());
  EXPECT_EQ(screen_->tableView()->numberOfRows(), 0);
  EXPECT_TRUE(child<QLabel>("l_empty_history")->isVisible());

  // The same entry again queries again; cancel does not.
  pickAndWait("b_benefits_kind", 2);
  EXPECT_EQ(server_->received(kRewardPath).size(), 3u);
  pick("b_benefits_kind", 3);
  QTest::qWait(0);
  EXPECT_EQ(server_->received(kRewardPath).size(), 3u);
  EXPECT_EQ(child<QPushButton>("b_benefits_kind")->text(), qs(kinds[2].label));

  // Three months of purchases: four rows; the empty text goes.
  pickAndWait("b_period", 2);
  EXPECT_EQ(lastQuery("sdate"), compact(today().addMonths(-3)).toStdString());
  EXPECT_EQ(lastQuery("rewardtype"), "2");
  EXPECT_EQ(screen_->reward().size(), 4u);
  EXPECT_FALSE(child<QLabel>("l_empty_history")->isVisible());
  for (const Reward& r : screen_->reward()) EXPECT_EQ(r.bm, 4);
}

TEST_F(BenefitsScreen, PeriodsCountFromWhenTheScreenWasMade) {
  open();
  const QDate made = today();
  // Forty days later, without leaving the screen.
  clock_->at = clock_->at.load() + std::chrono::hours(24 * 40);
  pickAndWait("b_period", 2);
  EXPECT_EQ(lastQuery("sdate"), compact(made.addMonths(-3)).toStdString());
  EXPECT_EQ(lastQuery("edate"), compact(made.addDays(40)).toStdString());
  pickAndWait("b_period", 0);
  EXPECT_EQ(lastQuery("sdate"), compact(made.addDays(-7)).toStdString());
}

// The host's error events, as "operation code" lines.
struct ErrorLines : EventListener {
  void onError(const ErrorEvent& e) override { lines.push_back(e.operation + " " + std::to_string(e.code)); }
  bool has(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::vector<std::string> lines;
};

TEST_F(BenefitsScreen, FailuresShowTheNoticeAndKeepTheRows) {
  const auto errors = std::make_shared<ErrorLines>();
  addEventListener(errors);
  open();
  ASSERT_EQ(screen_->reward().size(), 6u);
  const auto kept = screen_->reward();
  auto* notice = child<QLabel>("l_no_receive_benefits");
  struct Case {
    const char* what;
    sandbox::Forcing forcing;
  } cases[] = {
      {"result 500", {.endpoint = kRewardPath, .result = 500, .times = 1}},
      {"HTTP 503", {.endpoint = kRewardPath, .httpStatus = 503, .times = 1}},
      {"malformed", {.endpoint = kRewardPath, .body = sandbox::BodyMode::Malformed, .times = 1}},
      {"empty body", {.endpoint = kRewardPath, .body = sandbox::BodyMode::Empty, .times = 1}},
  };
  for (const auto& c : cases) {
    server_->force(c.forcing);
    pickAndWait("b_period", 0);
    EXPECT_TRUE(notice->isVisible()) << c.what;
    EXPECT_FALSE(screen_->tableView()->isVisible()) << c.what;
    EXPECT_FALSE(notice->text().isEmpty());
    EXPECT_EQ(screen_->reward(), kept) << c.what;
    // The next good answer brings the table back.
    pickAndWait("b_period", 0);
    EXPECT_TRUE(tableShown()) << c.what;
  }
  EXPECT_TRUE(sink_->contains("BenefitsViewController getRewardList Error :  Optional(500)"));
  // The failures the screen reports reach the host too.
  EXPECT_TRUE(QTest::qWaitFor([&] { return errors->has("rewards history 503"); }, 5000));
  EXPECT_TRUE(errors->has("rewards history " + std::to_string(error_code::decoding)));
  removeEventListener(errors.get());

  // A 200 without a list is an empty table.
  server_->force({.endpoint = kRewardPath, .result = 200, .times = 1});
  pickAndWait("b_period", 0);
  EXPECT_TRUE(tableShown());
  EXPECT_TRUE(screen_->reward().empty());
}

// The table comes back from under the notice with the new, shorter list: while it was
// hidden its size went stale, and showing it lays out cells at once, before any row of
// the longer list it last showed may be asked for.
TEST_F(BenefitsScreen, AShorterListAfterANoticeNeverAsksForAGoneRow) {
  open();
  const auto week = screen_->reward().size();
  pickAndWait("b_period", 2);
  const auto longer = screen_->reward().size();
  ASSERT_GT(longer, week);
  auto* table = screen_->tableView();
  table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
  ASSERT_FALSE(rows().empty());
  ASSERT_GE(static_cast<std::size_t>(rows().back()->row()), week)
      << "the view must show a row the week lacks";

  server_->force({.endpoint = kRewardPath, .result = 500, .times = 1});
  pickAndWait("b_period", 2);
  ASSERT_FALSE(table->isVisible());
  wall_->resize(420, 760);  // the hidden table keeps its old size until it is shown
  QTest::qWait(0);

  EXPECT_NO_THROW(pickAndWait("b_period", 0));
  EXPECT_TRUE(tableShown());
  EXPECT_EQ(screen_->reward().size(), week);
  for (auto* row : rows()) EXPECT_LT(static_cast<std::size_t>(row->row()), week);
}

TEST_F(BenefitsScreen, AnAnswerToAnOlderQueryIsDroppedWhenItComesLate) {
  session_->hold = true;
  open(/*answered=*/false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return session_->heldCount() == 1; }, 5000));
  // Three months asked while the week is still on its way.
  pick("b_period", 2);
  ASSERT_EQ(session_->heldCount(), 2u);
  EXPECT_FALSE(screen_->tableView()->isEnabled()) << "rows of other labels are greyed out meanwhile";
  ASSERT_TRUE(session_->release(1));
  ASSERT_TRUE(waitAnswers(1));
  EXPECT_TRUE(screen_->tableView()->isEnabled());
  const auto threeMonths = screen_->reward();
  EXPECT_GT(threeMonths.size(), 6u);
  // The week's answer arrives after all: it is not shown under the new labels.
  EXPECT_FALSE(session_->release(0));
  QTest::qWait(0);
  EXPECT_EQ(answers_, 1);
  EXPECT_EQ(screen_->reward(), threeMonths);
  EXPECT_EQ(child<QPushButton>("b_period")->text(), qs(localized("ov_recently_month3")));
}

TEST_F(BenefitsScreen, AmountsFollowTheLocaleAndMarkupShowsLiterally) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  open();
  // "Welcome bonus", two days ago, in the German style.
  auto cells = rows();
  ASSERT_GE(cells.size(), 3u);
  EXPECT_EQ(cells[2]->nameText(), "Welcome bonus");
  EXPECT_EQ(cells[2]->priceText(), "1.500 P");

  server_->setHostile({.kind = sandbox::HostileKind::Markup});
  pickAndWait("b_period", 0);
  int markup = 0;
  for (auto* cell : rows()) {
    const Reward& r = screen_->reward()[static_cast<std::size_t>(cell->row())];
    ASSERT_TRUE(r.name.has_value());
    auto* name = cell->findChild<QLabel*>("l_name");
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    EXPECT_EQ(cell->findChild<QLabel*>("l_reward_price")->textFormat(), Qt::PlainText);
    EXPECT_EQ(cell->nameText(), qs(*r.name));
    if (r.name->find('<') != std::string::npos) {
      ++markup;
      EXPECT_TRUE(name->text().contains('<')) << name->text().toStdString();
    }
  }
  EXPECT_GT(markup, 0);
}

// The bar's two controls by mouse and keyboard; the inquiry form's control pushes its
// screen once the storyboard can make it, and fails cleanly until then.
TEST_F(BenefitsScreen, TheBarLeadsToTheHistoryAndTheInquiryFormByKeyboardToo) {
  initialize();
  Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
  wall_ = new ui::NavigationController(new ui::OrvaneViewController(services()), services());
  wall_->resize(390, 720);
  wall_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(wall_));
  auto* history = wall_->findChild<QToolButton*>("b_history");
  auto* inquiry = wall_->findChild<QToolButton*>("b_inquiry");
  auto* close = wall_->findChild<QToolButton*>("b_close");
  for (QToolButton* b : {history, inquiry}) {
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isVisible());
    EXPECT_EQ(b->size(), QSize(44, 44));
    EXPECT_FALSE(b->accessibleName().isEmpty());
    EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(b->geometry().intersects(close->geometry()));
    EXPECT_FALSE(b->geometry().intersects(wall_->findChild<QLabel*>("l_navigation_title")->geometry()));
  }
  EXPECT_EQ(history->accessibleName(), qs(localized("ov_benefits_received")));
  EXPECT_EQ(inquiry->accessibleName(), qs(localized("ov_inquiry")));

  // Tab reaches the history control; Space opens the history.
  wall_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(wall_));
  wall_->setFocus();
  for (int i = 0; i < 12 && QApplication::focusWidget() != history; ++i)
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : wall_, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), history);
  EXPECT_TRUE(history->property("keyboardFocus").toBool()) << "the keyboard's focus is marked";
  QTest::keyClick(history, Qt::Key_Space);
  ASSERT_NE(qobject_cast<BenefitsViewController*>(wall_->topViewController()), nullptr);
  QTest::mouseClick(wall_->findChild<QToolButton*>("b_back"), Qt::LeftButton);
  ASSERT_EQ(wall_->viewControllers().size(), 1u);
  EXPECT_TRUE(history->isVisible());

  // Tab goes on from the history control to the inquiry control.
  history->setFocus(Qt::TabFocusReason);
  QTest::keyClick(history, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), inquiry);
  QTest::keyClick(inquiry, Qt::Key_Space);
  std::unique_ptr<ui::ViewController> probe(ui::Storyboard::named("OrvaneStoryboard", services())
                                                ->instantiateViewController("RequestViewController"));
  if (probe) {
    EXPECT_EQ(wall_->viewControllers().size(), 2u);
    EXPECT_EQ(wall_->topViewController()->metaObject()->className(), probe->metaObject()->className());
  } else {
    EXPECT_EQ(wall_->viewControllers().size(), 1u);
    EXPECT_TRUE(sink_->contains("Failed to instantiate nib RequestViewController"));
  }
}

}  // namespace
}  // namespace orvane::testing

namespace orvane::testing {
namespace {

// What the X server shows at a point of `widget`.
QColor onScreen(QWidget* widget, QPoint local) {
  const QPoint at = widget->mapToGlobal(local);
  return widget->screen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

// The bar's two controls on a real X server: drawn, lit under the pointer, opened by
// a real click and by real keys.
class WallBarOnXvfb : public BenefitsScreen {};

TEST_F(WallBarOnXvfb, TheBarControlsAreDrawnLightUpAndOpenByPointerAndKeys) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
    GTEST_SKIP() << "runs under xvfb-run with QT_QPA_PLATFORM=xcb";
  }
  XTestInput input;
  ASSERT_TRUE(input.ok()) << "no XTEST on this display";
  initialize();
  Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
  Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
  wall_ = new ui::NavigationController(new ui::OrvaneViewController(services()), services());
  wall_->move(40, 40);
  wall_->resize(390, 720);
  wall_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(wall_));
  // Xvfb has no window manager to hand the focus over.
  wall_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(wall_));
  auto* history = wall_->findChild<QToolButton*>("b_history");
  ASSERT_NE(history, nullptr);

  // The icon is on screen: dark strokes inside the hit area.
  const QPoint corner = history->mapToGlobal(QPoint(0, 0));
  const QImage shown = history->screen()->grabWindow(0, corner.x(), corner.y(), 44, 44).toImage();
  int dark = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) dark += shown.pixelColor(x, y).lightness() < 100 ? 1 : 0;
  EXPECT_GT(dark, 30);

  // Under the pointer the round mark lights up; a click opens the history.
  const QPoint inMark(22, 5);
  EXPECT_EQ(onScreen(history, inMark), QColor(Qt::white));
  EXPECT_EQ(onScreen(history, QPoint(22, 1)), QColor(Qt::white)) << "no focus mark without the keyboard";
  input.moveTo(history->mapToGlobal(QPoint(22, 22)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return history->underMouse(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(history, inMark) == QColor(0xF2, 0xF2, 0xF2); }, 5000))
      << qPrintable(onScreen(history, inMark).name());
  input.click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return qobject_cast<BenefitsViewController*>(wall_->topViewController()) != nullptr; }, 5000));
  screen_ = qobject_cast<BenefitsViewController*>(wall_->topViewController());
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen_->reward().size() == 6; }, 5000));

  // Back by pointer, then Tab to the control and Space.
  auto* back = wall_->findChild<QToolButton*>("b_back");
  input.moveTo(back->mapToGlobal(back->rect().center()));
  input.click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return wall_->viewControllers().size() == 1; }, 5000));
  // Tab visits every row of the list on its way round to the bar.
  for (int i = 0; i < 80 && QApplication::focusWidget() != history; ++i) {
    QWidget* before = QApplication::focusWidget();
    input.key(XTestInput::kTab);
    (void)QTest::qWaitFor([&] { return QApplication::focusWidget() != before; }, 1000);
  }
  ASSERT_EQ(QApplication::focusWidget(), history);
  // The keyboard's focus is drawn: the round mark's rim.
  EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(history, QPoint(22, 1)).lightness() < 200; }, 5000))
      << qPrintable(onScreen(history, QPoint(22, 1)).name());
  input.key(XTestInput::kSpace);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return qobject_cast<BenefitsViewController*>(wall_->topViewController()) != nullptr; }, 5000));
}

}  // namespace
}  // namespace orvane::testing
