// The host's events on the real Qt platform against the sandbox: a whole session in
// order, a listener that closes the wall, configuration faults, a prefetched wall and a
// wall without network that shows the kept list.
#include "core/sdk/host_events.hpp"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/participation/api_join.hpp"
#include "core/screens/camp_list_store.hpp"
#include "core/support/image_cache.hpp"
#include "orvane/events.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "wall_test_support.hpp"

namespace orvane::testing {
namespace {

constexpr int kWaitMs = 8000;

// Every event as a line, with the depth of listener calls it was delivered at.
class Recorder : public EventListener {
 public:
  void onWallOpened(const WallOpened& e) override { add("opened " + std::to_string(e.wall)); }
  void onWallClosed(const WallClosed& e) override {
    add("closed " + std::to_string(e.wall));
    if (onClosed) onClosed(e);
  }
  void onListLoaded(const ListLoaded& e) override {
    add("loaded " + std::to_string(e.wall) + (e.outOfDate ? " old" : ""));
    loaded.push_back(e);
    if (onLoaded) onLoaded(e);
  }
  void onListFailed(const ListFailed& e) override { add("failed " + std::to_string(e.wall)); }
  void onParticipationStarted(const ParticipationStarted& e) override {
    add("started " + std::to_string(e.campid));
  }
  void onRewardClaimed(const RewardClaimed& e) override {
    add("claimed " + std::to_string(e.campid));
    claimed.push_back(e);
  }
  void onError(const ErrorEvent& e) override {
    add("error " + e.operation + " " + std::to_string(e.code));
    errors.push_back(e);
  }

  bool has(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::vector<std::string> lines;
  std::vector<ListLoaded> loaded;
  std::vector<RewardClaimed> claimed;
  std::vector<ErrorEvent> errors;
  std::function<void(const ListLoaded&)> onLoaded;
  std::function<void(const WallClosed&)> onClosed;
  int depth = 0;
  int deepest = 0;

 private:
  void add(std::string line) {
    ++depth;
    deepest = std::max(deepest, depth);
    lines.push_back(std::move(line));
    --depth;
  }
};

class HostEventsTest : public WallTest {
 protected:
  void SetUp() override {
    WallTest::SetUp();
    ASSERT_TRUE(QTest::qWaitFor([] { return !ApiJoin::shared().isPolling(); }, kWaitMs));
    ASSERT_TRUE(cacheDir_.isValid());
    // The kept list and the images go to a folder of this test's own.
    ImageCache::setDefaultDirectory(cacheDir_.filePath("images").toStdString());
    CampListStore::shared().forget();
    recorder_ = std::make_shared<Recorder>();
    addEventListener(recorder_);
    Orvane::shared().setTrackingUsage(false);
    Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
    Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
  }
  void TearDown() override {
    delete wall_;
    removeEventListener(recorder_.get());
    ApiJoin::shared().viewController.reset();
    CampListStore::shared().forget();
    ImageCache::setDefaultDirectory({});
    WallTest::TearDown();
  }

  OrvaneWall* openWall() {
    Outcome outcome;
    wall_ = Orvane::shared().orvaneViewController(nullptr, &outcome);
    EXPECT_TRUE(outcome.ok()) << outcome.text;
    if (!wall_) return nullptr;
    wall_->resize(390, 700);
    wall_->show();
    return wall_;
  }
  ui::OrvaneViewController* screen() const {
    return wall_ ? wall_->findChild<ui::OrvaneViewController*>() : nullptr;
  }
  std::string id() const { return std::to_string(wall_->wallId()); }

  QTemporaryDir cacheDir_;
  std::shared_ptr<Recorder> recorder_;
  QPointer<OrvaneWall> wall_;
};

TEST_F(HostEventsTest, ASessionIsReportedInOrderThroughTheListenerAndTheSignals) {
  initialize();
  QSignalSpy opened(Orvane::shared().events(), &OrvaneEvents::wallOpened);
  QSignalSpy claimed(Orvane::shared().events(), &OrvaneEvents::rewardClaimed);
  QSignalSpy closed(Orvane::shared().events(), &OrvaneEvents::wallClosed);
  ASSERT_NE(openWall(), nullptr);
  const std::string wall = id();
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("loaded " + wall); }, kWaitMs));
  ASSERT_EQ(recorder_->loaded.size(), 1u);
  EXPECT_GT(recorder_->loaded[0].count, 0u);
  EXPECT_GT(recorder_->loaded[0].totalReward, 0.0);
  EXPECT_FALSE(recorder_->loaded[0].mark.empty());

  // A campaign whose join answers with a key, joined from its detail screen: the reward is
  // claimed at once.
  const auto& list = screen()->selectedAllCampList();
  std::optional<sandbox::CampaignInfo> instant;
  auto it = list.end();
  for (const auto& info : server_->campaigns()) {
    if (!info.instant || info.house || info.joinResult != 0 || info.convflag != 0) continue;
    it = std::find_if(list.begin(), list.end(), [&](const Camp& c) { return c.campid == info.campid; });
    if (it != list.end()) {
      instant = info;
      break;
    }
  }
  ASSERT_TRUE(instant.has_value()) << "the fixture lost its instant campaigns";
  const int row = static_cast<int>(it - list.begin());
  screen()->tableView()->scrollToRow(row);
  QCoreApplication::processEvents();
  auto* cell = screen()->tableView()->cellForRow(row);
  ASSERT_NE(cell, nullptr);
  // The pill of an ordinary cell, the price button of a CPS cell: a tap anywhere joins.
  QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(cell->width() / 2, 8));
  if (it->detailpage == 1) {
    // The tap pushed the detail screen; it joins once its view request is answered.
    auto* detail = qobject_cast<ui::DetailViewController*>(
        wall_->findChild<ui::NavigationController*>()->topViewController());
    ASSERT_NE(detail, nullptr);
    QSignalSpy answered(detail, &ui::DetailViewController::viewAnswered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered.count() > 0; }, kWaitMs));
    QTest::mouseClick(detail->findChild<QPushButton*>("b_reward"), Qt::LeftButton);
  }
  const std::string campid = std::to_string(instant->campid);
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("claimed " + campid); }, kWaitMs))
      << ::testing::PrintToString(recorder_->lines) << " joins " << count("/v1/join") << " rewards "
      << count("/v1/reward");
  EXPECT_DOUBLE_EQ(recorder_->claimed.back().amount, instant->rewardprice);
  EXPECT_EQ(recorder_->claimed.back().mark, instant->pricemark);
  EXPECT_EQ(recorder_->claimed.back().name, instant->name);

  // The close control: the wall window closes and reports it last.
  auto* close = wall_->findChild<QWidget*>("b_close");
  ASSERT_NE(close, nullptr);
  QTest::mouseClick(close, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("closed " + wall); }, kWaitMs));
  std::vector<std::string> session;
  for (const auto& line : recorder_->lines)
    if (line.find(wall) != std::string::npos || line.find(campid) != std::string::npos)
      session.push_back(line);
  EXPECT_EQ(session, (std::vector<std::string>{"opened " + wall, "loaded " + wall, "started " + campid,
                                               "claimed " + campid, "closed " + wall}));
  EXPECT_EQ(recorder_->deepest, 1);
  // The signals carry the same, on the same object.
  EXPECT_GE(opened.count(), 1);
  EXPECT_EQ(opened.last().at(0).toULongLong(), wall_->wallId());
  ASSERT_GE(claimed.count(), 1);
  EXPECT_EQ(claimed.last().at(0).toLongLong(), instant->campid);
  ASSERT_GE(closed.count(), 1);
  EXPECT_EQ(closed.last().at(0).toULongLong(), wall_->wallId());
}

TEST_F(HostEventsTest, AListenerThatDeletesTheWallGetsItsClosedEventAfterItReturns) {
  initialize();
  bool inLoaded = false;
  bool closedInsideLoaded = false;
  recorder_->onLoaded = [&](const ListLoaded&) {
    inLoaded = true;
    delete wall_;  // the host removes the wall from inside the event
    inLoaded = false;
  };
  recorder_->onClosed = [&](const WallClosed&) { closedInsideLoaded = inLoaded; };
  ASSERT_NE(openWall(), nullptr);
  const std::string wall = id();
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("closed " + wall); }, kWaitMs));
  EXPECT_TRUE(wall_.isNull());
  EXPECT_FALSE(closedInsideLoaded);
  EXPECT_EQ(recorder_->deepest, 1);
  std::vector<std::string> session;
  for (const auto& line : recorder_->lines)
    if (line.find(wall) != std::string::npos) session.push_back(line);
  EXPECT_EQ(session, (std::vector<std::string>{"opened " + wall, "loaded " + wall, "closed " + wall}));
}

TEST_F(HostEventsTest, ConfigurationFaultsAreReturnedAndRaised) {
  QWidget host;
  // Never initialised.
  Outcome outcome = Orvane::shared().presentOrvane(&host);
  EXPECT_EQ(outcome.fault, Fault::notInitialized);
  EXPECT_FALSE(outcome);
  EXPECT_EQ(Orvane::shared().orvaneViewController(nullptr, &outcome), nullptr);
  EXPECT_EQ(outcome.fault, Fault::notInitialized);
  EXPECT_EQ(Orvane::shared().prefetch().fault, Fault::notInitialized);
  // No host widget.
  initialize();
  EXPECT_EQ(Orvane::shared().presentOrvane(nullptr).fault, Fault::noHostWidget);
  // A server address that does not parse.
  OrvaneSDK::shared().hostUrl = "htp:/nowhere";
  outcome = Orvane::shared().presentOrvane(&host);
  EXPECT_EQ(outcome.fault, Fault::invalidBaseUrl);
  EXPECT_NE(outcome.text.find("hostUrl"), std::string::npos) << outcome.text;
  EXPECT_EQ(host.findChild<QWidget*>("orvane_wall_window"), nullptr);

  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->errors.size() >= 5; }, kWaitMs));
  std::vector<std::string> seen;
  for (const auto& e : recorder_->errors) seen.push_back(e.operation + " " + std::to_string(e.code));
  EXPECT_EQ(seen, (std::vector<std::string>{"presentOrvane -1", "orvaneViewController -1", "prefetch -1",
                                            "presentOrvane -4", "presentOrvane -2"}));
}

TEST_F(HostEventsTest, APrefetchedWallShowsTheListAtOnceAndRefreshesItQuietly) {
  initialize();
  Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_POPUP);
  ASSERT_TRUE(Orvane::shared().prefetch());
  EXPECT_FALSE(Orvane::shared().isReady());
  ASSERT_TRUE(QTest::qWaitFor([] { return Orvane::shared().isReady(); }, kWaitMs));
  EXPECT_EQ(count("/v1/req"), 1u);

  ASSERT_NE(openWall(), nullptr);
  // Before any event-loop turn: the list is there and no spinner or alert waits.
  EXPECT_FALSE(screen()->selectedAllCampList().empty());
  EXPECT_TRUE(screen()->showsKeptList());
  const auto shown = screen()->selectedAllCampList().size();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !screen()->showsKeptList(); }, kWaitMs));
  EXPECT_EQ(count("/v1/req"), 2u);
  EXPECT_EQ(screen()->selectedAllCampList().size(), shown);
  const std::string wall = id();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return std::count(recorder_->lines.begin(), recorder_->lines.end(), "loaded " + wall) == 2; },
      kWaitMs));
  EXPECT_FALSE(wall_->findChild<QLabel*>("l_out_of_date")->isVisible());
  // The rewards pop-up came with the prefetched list; the quiet refresh does not repeat it.
  EXPECT_EQ(wall_->findChildren<ui::CanReceiveBenefitsViewController*>().size(), 1);

  // Another user gets no list of this one.
  initialize("someone-else");
  EXPECT_FALSE(Orvane::shared().isReady());
}

TEST_F(HostEventsTest, WithoutNetworkTheWallShowsTheKeptListUnderANotice) {
  initialize();
  ASSERT_NE(openWall(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("loaded " + id()); }, kWaitMs));
  const auto shown = screen()->selectedAllCampList().size();
  delete wall_;
  // A new process would have nothing in memory; the server is gone.
  CampListStore::shared().forget();
  server_->stop();

  ASSERT_NE(openWall(), nullptr);
  const std::string wall = id();
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("loaded " + wall + " old"); }, kWaitMs));
  EXPECT_EQ(screen()->selectedAllCampList().size(), shown);
  EXPECT_TRUE(wall_->findChild<QLabel*>("l_out_of_date")->isVisible());
  EXPECT_EQ(wall_->findChild<ui::NavigationController*>()->alertHost()->currentAlertWidget(), nullptr);
  EXPECT_TRUE(recorder_->has("error list -10"));
  EXPECT_FALSE(recorder_->has("failed " + wall));
}

TEST_F(HostEventsTest, WithoutNetworkAndNothingKeptTheWallFailsAsBefore) {
  initialize();
  server_->stop();
  ASSERT_NE(openWall(), nullptr);
  const std::string wall = id();
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder_->has("failed " + wall); }, kWaitMs));
  EXPECT_NE(wall_->findChild<ui::NavigationController*>()->alertHost()->currentAlertWidget(), nullptr);
  EXPECT_FALSE(wall_->findChild<QLabel*>("l_out_of_date")->isVisible());
}

class HostEventsOnXvfb : public HostEventsTest {};

TEST_F(HostEventsOnXvfb, APresentedWallReportsOnTheGuiThreadWhateverThreadRaised) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
    GTEST_SKIP() << "runs under xvfb-run with QT_QPA_PLATFORM=xcb";
  }
  initialize();
  QWidget host;
  host.resize(600, 800);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  bool offGui = false;
  QObject::connect(Orvane::shared().events(), &OrvaneEvents::error,
                   [&] { offGui = offGui || QThread::currentThread() != qApp->thread(); });
  QSignalSpy loaded(Orvane::shared().events(), &OrvaneEvents::listLoaded);
  QSignalSpy errors(Orvane::shared().events(), &OrvaneEvents::error);
  QSignalSpy closed(Orvane::shared().events(), &OrvaneEvents::wallClosed);
  ASSERT_TRUE(Orvane::shared().presentOrvane(&host));
  auto* window = host.findChild<QWidget*>("orvane_wall_window");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() > 0; }, kWaitMs));
  std::thread([] {
    HostEvents::shared().raise(ErrorEvent{"worker", error_code::other, "raised off the GUI"});
  }).join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return errors.count() > 0; }, kWaitMs));
  EXPECT_FALSE(offGui);
  // The window's own close, as the title bar's button does it.
  window->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return closed.count() > 0; }, kWaitMs));
}

}  // namespace
}  // namespace orvane::testing
