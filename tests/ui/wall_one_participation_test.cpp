// One participation at a time on the wall: the tracking question blocks the wall
// (on the real X11 platform), and each confirmation reaches only its own campaign's
// cell or detail screen, on screen or not.
#include <QGuiApplication>
#include <QPointer>
#include <chrono>
#include <vector>

#include "open_wall_support.hpp"
#include "platform/qt/qt_advertising_id.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "xtest_input.hpp"

namespace orvane::testing {
namespace {

using ui::CampTableViewCell;
using State = CampTableViewCell::State;

bool waitsForCheck(const Camp& c) { return (c.bm == 2 || c.bm == 3) && c.bmcheck != 1 && c.detailpage == 0; }
bool polls(const Camp& c) { return (c.bm == 2 || c.bm == 3) && c.bmcheck == 1 && c.detailpage == 0; }

class OneParticipation : public OpenWallTest {
 protected:
  State stateOf(std::int64_t campid) const {
    auto* cell = cellOf(campid);
    return cell ? cell->state() : State::join;
  }
  void clickPill(std::int64_t campid) {
    QLabel* pill = pillOf(campid);
    ASSERT_NE(pill, nullptr) << campid;
    QTest::mouseClick(pill, Qt::LeftButton);
  }
  // Every cell on screen shows collect only for a campaign that is collectable, and
  // only with that campaign's own key.
  void expectNoForeignKeyOnScreen() const {
    for (auto* cell : screen_->tableView()->visibleCells()) {
      auto* c = qobject_cast<CampTableViewCell*>(cell);
      if (!c || !c->camp()) continue;
      const auto own = flow_->confirmedKey(c->camp()->campid);
      if (c->ovnkey()) {
        EXPECT_EQ(c->ovnkey(), own) << c->camp()->campid;
      }
      if (c->state() == State::collect) {
        EXPECT_TRUE(own || c->camp()->convflag == 1) << c->camp()->campid;
      }
    }
  }
};

TEST_F(OneParticipation, TwoCampaignsInFlightEachConfirmationChangesOnlyItsOwnCell) {
  open();
  const auto waiting = plainCampaign(waitsForCheck);
  const auto polled = plainCampaign(polls);
  ASSERT_TRUE(waiting && polled) << "the fixture lost its checked campaigns";
  const std::int64_t w = waiting->campid;
  const std::int64_t p = polled->campid;

  // One waits for its check, the other is polled until confirmed: the key reaches only
  // the polled campaign's cell.
  clickPill(w);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stateOf(w) == State::participationCheck; }, kWaitMs));
  clickPill(p);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stateOf(p) == State::collect; }, kWaitMs));
  const auto polledKey = cellOf(p)->ovnkey();
  ASSERT_TRUE(polledKey.has_value());
  EXPECT_EQ(polledKey, flow_->confirmedKey(p));
  EXPECT_EQ(stateOf(w), State::participationCheck);
  EXPECT_FALSE(cellOf(w)->ovnkey().has_value());

  // The waiting campaign's check; its app starts while its row is off screen, and the
  // confirmation goes to the latest join's receiver: the polled campaign's cell.
  clickPill(w);
  ASSERT_TRUE(waitForAlert("ov_start_app"));
  screen_->tableView()->scrollToRow(screen_->tableView()->numberOfRows() - 1);
  QCoreApplication::processEvents();
  ASSERT_EQ(visibleCellOf(w), nullptr);
  QTest::mouseClick(alertButton(1), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return flow_->confirmedKey(w).has_value(); }, kWaitMs));
  const std::string waitingKey = *flow_->confirmedKey(w);
  EXPECT_NE(waitingKey, *polledKey);
  expectNoForeignKeyOnScreen();

  // Back on screen, each cell shows its own campaign's state and key.
  EXPECT_EQ(stateOf(w), State::collect);
  EXPECT_EQ(cellOf(w)->ovnkey(), waitingKey);
  EXPECT_EQ(stateOf(p), State::collect);
  EXPECT_EQ(cellOf(p)->ovnkey(), polledKey);
  expectNoForeignKeyOnScreen();

  // Each claim carries the key of the campaign it claims.
  clickPill(w);
  ASSERT_TRUE(waitForAlert("ov_participation_complete")) << alertText().toStdString();
  ASSERT_EQ(count("/v1/reward"), 1u);
  EXPECT_EQ(server_->received("/v1/reward")[0].queryValue("campid"), std::to_string(w));
  EXPECT_EQ(server_->received("/v1/reward")[0].queryValue("ovnkey"), waitingKey);
  const int before = updates_;
  QTest::mouseClick(alertButton(0), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ > before; }, kWaitMs));
  EXPECT_FALSE(flow_->confirmedKey(w).has_value());

  clickPill(p);
  ASSERT_TRUE(waitForAlert("ov_participation_complete")) << alertText().toStdString();
  ASSERT_EQ(count("/v1/reward"), 2u);
  EXPECT_EQ(server_->received("/v1/reward")[1].queryValue("campid"), std::to_string(p));
  EXPECT_EQ(server_->received("/v1/reward")[1].queryValue("ovnkey"), polledKey);
  EXPECT_EQ(count("/v1/join"), 2u);
}

// Stands in for a cell of another campaign that started the latest join.
struct OtherReceiver : JoinProtocol {
  void onParticipationCheckPossible(std::int64_t campid) override { calls.push_back(campid); }
  void onAccumulationPossible(std::int64_t campid, const std::string&) override { calls.push_back(campid); }
  std::vector<std::int64_t> calls;
};

TEST_F(OneParticipation, TheDetailScreenTakesOnlyItsCampaignsReportsAndFindsItsKeyLater) {
  open();
  const auto polled = plainCampaign(polls);
  ASSERT_TRUE(polled);
  const std::int64_t p = polled->campid;
  const QString cta = QString::fromStdString(polled->cta);
  auto* detail = new ui::DetailViewController(services());
  detail->camp = polled;
  wall_->pushViewController(detail, false);
  QPointer<ui::DetailViewController> shown(detail);
  auto* reward = detail->findChild<QPushButton*>("b_reward");
  ASSERT_NE(reward, nullptr);
  EXPECT_EQ(reward->text(), cta);

  // Reports naming other campaigns change nothing here.
  detail->onParticipationCheckPossible(p + 1000);
  detail->onAccumulationPossible(p + 1000, "foreign-key");
  EXPECT_EQ(reward->text(), cta);
  EXPECT_FALSE(detail->ovnkey.has_value());

  // Joined elsewhere, with another receiver: the screen switches when the key is kept.
  auto other = std::make_shared<OtherReceiver>();
  flow_->startJoin(*polled, other);
  ASSERT_TRUE(QTest::qWaitFor([&] { return flow_->confirmedKey(p).has_value(); }, kWaitMs));
  const std::string key = *flow_->confirmedKey(p);
  EXPECT_EQ(other->calls, std::vector<std::int64_t>{p});
  EXPECT_EQ(reward->text(), text("ov_accumulate"));
  EXPECT_EQ(detail->ovnkey, key);

  // A new detail screen of the campaign finds the key at once, and claims with it.
  wall_->popViewController(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.isNull(); }, kWaitMs));
  detail = new ui::DetailViewController(services());
  detail->camp = polled;
  wall_->pushViewController(detail, false);
  reward = detail->findChild<QPushButton*>("b_reward");
  EXPECT_EQ(reward->text(), text("ov_accumulate"));
  QTest::mouseClick(reward, Qt::LeftButton);
  ASSERT_TRUE(server_->waitForRequests("/v1/reward", 1, std::chrono::milliseconds(kWaitMs)));
  EXPECT_EQ(server_->received("/v1/reward")[0].queryValue("campid"), std::to_string(p));
  EXPECT_EQ(server_->received("/v1/reward")[0].queryValue("ovnkey"), key);
}

// Counts the clicks that reach a widget.
class ReleaseCounter : public QObject {
 public:
  int releases = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) ++releases;
    return false;
  }
};

// The desktop's consent question over the wall, on the real X11 platform: clicks come
// through the X server, so what blocks them is the window's own stacking.
class WallConsentOnXvfb : public OpenWallTest {
 protected:
  void SetUp() override {
    OpenWallTest::SetUp();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
      GTEST_SKIP() << "needs the xcb platform (run under xvfb-run)";
    }
    ASSERT_TRUE(input_.ok()) << "no XTEST on this display";
    tracking_ = std::make_shared<qt::QtTrackingAuthorization>(platform_->store);
    platform_->tracking = tracking_;
    platform_->advertisingId = std::make_shared<qt::QtAdvertisingId>(tracking_);
  }

  // Pills of campaigns that join from the list, fully on screen.
  std::vector<std::pair<std::int64_t, QLabel*>> joinablePills() const {
    std::vector<std::pair<std::int64_t, QLabel*>> pills;
    const QRect viewport(screen_->tableView()->viewport()->mapToGlobal(QPoint(0, 0)),
                         screen_->tableView()->viewport()->size());
    for (auto* cell : screen_->tableView()->visibleCells()) {
      auto* c = qobject_cast<CampTableViewCell*>(cell);
      if (!c || !c->camp() || c->camp()->detailpage == 1 || c->state() != State::join) continue;
      auto* pill = c->findChild<QLabel*>("l_reward_button");
      const QRect global(pill->mapToGlobal(QPoint(0, 0)), pill->size());
      if (viewport.contains(global)) pills.emplace_back(c->camp()->campid, pill);
    }
    return pills;
  }

  // A left click at the centre of what `widget` covers on the screen.
  void click(const QWidget& widget) {
    input_.moveTo(widget.mapToGlobal(widget.rect().center()));
    input_.click();
  }

  XTestInput input_;
  std::shared_ptr<qt::QtTrackingAuthorization> tracking_;
};

TEST_F(WallConsentOnXvfb, TheQuestionBlocksTheWallAndAllowSendsOneJoinForTheFirstTap) {
  open(/*trackingUsage=*/true);
  wall_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(wall_));
  // Down to the campaigns that join from the list (the first rows open detail pages).
  const auto joinable = plainCampaign([](const Camp& c) { return c.detailpage == 0; });
  ASSERT_TRUE(joinable);
  ASSERT_NE(cellOf(joinable->campid), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return joinablePills().size() >= 3; }, kWaitMs));
  const auto pills = joinablePills();
  const std::int64_t first = pills[0].first;

  click(*pills[0].second);
  ASSERT_TRUE(waitForAlert("ov_tracking_message"));
  EXPECT_TRUE(tracking_->isAsking());
  EXPECT_EQ(tracking_->dialog(), nullptr) << "asked over the wall, not in a window of its own";

  // The same campaign again and two others: the clicks land on the question's overlay.
  ReleaseCounter counter;
  alert()->parentWidget()->installEventFilter(&counter);
  for (std::size_t i : {0u, 1u, 2u}) click(*pills[i].second);
  ASSERT_TRUE(QTest::qWaitFor([&] { return counter.releases >= 3; }, kWaitMs));
  EXPECT_EQ(count("/v1/join"), 0u);
  EXPECT_FALSE(sink_->contains("is not joined")) << "a tap reached the flow through the question";
  EXPECT_TRUE(alertText().contains(text("ov_tracking_message")));

  // Allow: exactly one join, for the campaign first tapped.
  QPushButton* allow = alertButton(1);
  ASSERT_NE(allow, nullptr);
  EXPECT_EQ(allow->text(), text("ov_tracking_allow"));
  click(*allow);
  ASSERT_TRUE(QTest::qWaitFor([&] { return count("/v1/join") >= 1; }, kWaitMs));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !flow_->isJoining(); }, kWaitMs));
  ASSERT_EQ(count("/v1/join"), 1u);
  EXPECT_EQ(server_->received("/v1/join")[0].queryValue("campid"), std::to_string(first));
  EXPECT_LE(urlOpener_->count(), 1u);
  EXPECT_EQ(tracking_->status(), tracking::authorized);
  EXPECT_NE(platform_->advertisingId->advertisingIdentifier(),
            qt::QtTrackingAuthorization::kZeroAdvertisingId);
  EXPECT_NE(server_->received("/v1/join")[0].queryValue("adid"),
            std::optional<std::string>(qt::QtTrackingAuthorization::kZeroAdvertisingId));

  // The privacy settings ask again over the wall; "no" withdraws the identifier.
  tracking_->showSettings();
  ASSERT_TRUE(waitForAlert("ov_tracking_message"));
  EXPECT_EQ(alertButton(0)->text(), text("ov_tracking_deny"));
  click(*alertButton(0));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tracking_->isAsking(); }, kWaitMs));
  EXPECT_EQ(tracking_->status(), tracking::denied);
  EXPECT_EQ(platform_->advertisingId->advertisingIdentifier(),
            qt::QtTrackingAuthorization::kZeroAdvertisingId);
}

}  // namespace
}  // namespace orvane::testing
