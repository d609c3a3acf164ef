// The wall against the sandbox with real clicks: a participation from a list cell to
// the reloaded list, a detail-page campaign, and the flow's key on a reused cell.
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/participation/api_join.hpp"
#include "core/support/notification_center.hpp"
#include "orvane/localized.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "wall_test_support.hpp"

namespace orvane::testing {
namespace {

using ui::CampTableViewCell;

constexpr int kWaitMs = 8000;

QString text(std::string_view key) { return QString::fromStdString(localized(key)); }

class WallParticipation : public WallTest {
 protected:
  void SetUp() override {
    WallTest::SetUp();
    // A poll left by an earlier test in this process would refuse the join.
    ASSERT_TRUE(QTest::qWaitFor([] { return !ApiJoin::shared().isPolling(); }, kWaitMs));
  }
  void TearDown() override {
    delete wall_;
    ApiJoin::shared().viewController.reset();
    WallTest::TearDown();
  }

  void open() {
    initialize();
    Orvane::shared().setTrackingUsage(false);  // the desktop's tracking prompt is not under test
    Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
    Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
    screen_ = new ui::OrvaneViewController(services());
    QObject::connect(screen_, &ui::OrvaneViewController::listUpdated, [this] { ++updates_; });
    wall_ = new ui::NavigationController(screen_, services());
    wall_->resize(390, 700);
    wall_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wall_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ >= 1; }, kWaitMs));
  }

  std::optional<Camp> shown(std::int64_t campid) const {
    for (const Camp& c : screen_->selectedAllCampList())
      if (c.campid == campid) return c;
    return std::nullopt;
  }

  // The cell now showing the campaign, scrolled into view; looked up afresh each time
  // because a reload may hand the row to another cell.
  CampTableViewCell* cellOf(std::int64_t campid) const {
    const auto& list = screen_->selectedAllCampList();
    const auto it = std::find_if(list.begin(), list.end(), [&](const Camp& c) { return c.campid == campid; });
    if (it == list.end()) return nullptr;
    const int row = static_cast<int>(it - list.begin());
    screen_->tableView()->scrollToRow(row);
    QCoreApplication::processEvents();
    auto* cell = qobject_cast<CampTableViewCell*>(screen_->tableView()->cellForRow(row));
    return cell && cell->camp() && cell->camp()->campid == campid ? cell : nullptr;
  }

  // A real click on the cell's action pill.
  void clickPill(std::int64_t campid) {
    CampTableViewCell* cell = cellOf(campid);
    ASSERT_NE(cell, nullptr);
    auto* pill = cell->findChild<QLabel*>("l_reward_button");
    ASSERT_NE(pill, nullptr);
    ASSERT_TRUE(pill->isVisible());
    QTest::mouseClick(pill, Qt::LeftButton);
  }

  QWidget* alert() const { return wall_->alertHost()->currentAlertWidget(); }
  QString alertText() const {
    QStringList texts;
    if (auto* a = alert())
      for (auto* label : a->findChildren<QLabel*>()) texts << label->text();
    return texts.join("|");
  }
  QPushButton* alertButton(int index) const {
    auto* a = alert();
    return a ? a->findChild<QPushButton*>(QStringLiteral("alert_button_%1").arg(index)) : nullptr;
  }
  bool waitForAlert(std::string_view messageKey) const {
    return QTest::qWaitFor([&] { return alertText().contains(text(messageKey)); }, kWaitMs);
  }

  ui::NavigationController* wall_ = nullptr;
  ui::OrvaneViewController* screen_ = nullptr;
  int updates_ = 0;
};

TEST_F(WallParticipation, ACellTakesPartChecksStartsTheAppCollectsAndTheListReloads) {
  open();
  EXPECT_EQ(ApiJoin::shared().viewController.lock(), wall_->alertHost());

  // A campaign with a participation check the user confirms, joined straight from its cell.
  std::optional<Camp> camp;
  for (const auto& info : server_->campaigns()) {
    const bool plain = !info.house && info.convflag == 0 && info.joinResult == 0 && !info.instant &&
                       !info.inspectOnly && info.targetAgeMin == 0 && info.targetAgeMax == 0 &&
                       info.gender == 0;
    if (!plain || (info.bm != 2 && info.bm != 3) || info.bmcheck != 0) continue;
    camp = shown(info.campid);
    if (camp && camp->detailpage == 0) break;
    camp.reset();
  }
  ASSERT_TRUE(camp.has_value()) << "the fixture lost its checked campaigns";
  const std::int64_t id = camp->campid;
  const std::string campid = std::to_string(id);
  ASSERT_NE(cellOf(id), nullptr);
  EXPECT_EQ(cellOf(id)->state(), CampTableViewCell::State::join);
  EXPECT_EQ(cellOf(id)->buttonText(), QString::fromStdString(camp->cta));

  // Join: the landing link opens and the pill turns into the participation check.
  clickPill(id);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return cellOf(id) && cellOf(id)->state() == CampTableViewCell::State::participationCheck; },
      kWaitMs));
  ASSERT_EQ(count("/v1/join"), 1u);
  EXPECT_EQ(server_->received("/v1/join").front().queryValue("campid"), campid);
  ASSERT_EQ(urlOpener_->links().size(), 1u);
  EXPECT_EQ(urlOpener_->links().front().rfind(server_->origin() + "/landing/" + campid, 0), 0u)
      << urlOpener_->links().front();
  EXPECT_EQ(cellOf(id)->buttonText(), text("ov_participation_check"));
  EXPECT_EQ(count("/v1/exec"), 0u);
  EXPECT_EQ(alert(), nullptr);

  // Check: exec, then the offer to start the app; its confirm opens the app.
  clickPill(id);
  ASSERT_TRUE(waitForAlert("ov_start_app"));
  ASSERT_EQ(count("/v1/exec"), 1u);
  EXPECT_EQ(server_->received("/v1/exec").front().queryValue("campid"), campid);
  ASSERT_NE(alertButton(0), nullptr);
  ASSERT_NE(alertButton(1), nullptr);
  EXPECT_EQ(alertButton(0)->text(), text("ov_cancel"));
  EXPECT_EQ(alertButton(1)->text(), text("ov_confirm"));
  EXPECT_EQ(count("/v1/inst"), 0u);
  QTest::mouseClick(alertButton(1), Qt::LeftButton);
  ASSERT_EQ(urlOpener_->links().size(), 2u);
  EXPECT_EQ(urlOpener_->links().back(), camp->package);

  // The install report and the state poll until the participation is confirmed.
  ASSERT_TRUE(server_->waitForRequests("/v1/inst", 1, std::chrono::milliseconds(kWaitMs)));
  EXPECT_EQ(server_->received("/v1/inst").front().queryValue("campid"), campid);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return cellOf(id) && cellOf(id)->state() == CampTableViewCell::State::collect; }, kWaitMs));
  EXPECT_EQ(cellOf(id)->buttonText(), text("ov_accumulate"));
  ASSERT_TRUE(cellOf(id)->ovnkey().has_value());
  const std::string ovnkey = *cellOf(id)->ovnkey();
  EXPECT_TRUE(QTest::qWaitFor([] { return !ApiJoin::shared().isPolling(); }, kWaitMs));
  EXPECT_GE(count("/v1/state"), 1u);
  EXPECT_LE(count("/v1/state"), 5u);
  for (const auto& r : server_->received("/v1/state")) EXPECT_EQ(r.queryValue("campid"), campid);
  const auto partiConfirm = ApiJoin::shared().getPartiConfirmList();
  EXPECT_EQ(std::count(partiConfirm.begin(), partiConfirm.end(), id), 0);

  // Claim: the reward with the confirmed key, then the refresh alert reloads the list.
  const std::size_t lists = count("/v1/req");
  clickPill(id);
  ASSERT_TRUE(waitForAlert("ov_participation_complete")) << alertText().toStdString();
  ASSERT_EQ(count("/v1/reward"), 1u);
  EXPECT_EQ(server_->received("/v1/reward").front().queryValue("campid"), campid);
  EXPECT_EQ(server_->received("/v1/reward").front().queryValue("ovnkey"), ovnkey);
  EXPECT_EQ(count("/v1/req"), lists) << "the list waits for the user to close the alert";
  const int before = updates_;
  ASSERT_NE(alertButton(0), nullptr);
  QTest::mouseClick(alertButton(0), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ > before; }, kWaitMs));
  EXPECT_EQ(count("/v1/req"), lists + 1);
  EXPECT_EQ(alert(), nullptr);

  // The credited campaign left the list and no cell shows it any more.
  EXPECT_FALSE(shown(id).has_value());
  EXPECT_FALSE(screen_->selectedAllCampList().empty());
  for (auto* cell : screen_->tableView()->visibleCells()) {
    if (auto* ordinary = qobject_cast<CampTableViewCell*>(cell)) {
      ASSERT_TRUE(ordinary->camp().has_value());
      EXPECT_NE(ordinary->camp()->campid, id);
    }
  }
  EXPECT_EQ(count("/v1/join"), 1u);
  EXPECT_EQ(count("/v1/reward"), 1u);
}

TEST_F(WallParticipation, ADetailPageCellOpensItsScreenAndDetailFinishBringsTheListBack) {
  open();
  std::optional<Camp> camp;
  for (const Camp& c : screen_->selectedAllCampList()) {
    if (c.detailpage == 1 && c.bm != kCpsBm) {
      camp = c;
      break;
    }
  }
  ASSERT_TRUE(camp.has_value());
  EXPECT_EQ(screen_->isAppear(), true);

  // The pill of a detail-page campaign opens the detail screen instead of joining.
  clickPill(camp->campid);
  auto* top = qobject_cast<ui::DetailViewController*>(wall_->topViewController());
  ASSERT_NE(top, nullptr);
  QPointer<ui::DetailViewController> detail(top);
  ASSERT_TRUE(detail->camp.has_value());
  EXPECT_EQ(detail->camp->campid, camp->campid);
  EXPECT_EQ(screen_->isAppear(), false);
  EXPECT_EQ(screen_->navigationItem().backButtonTitle, QString::fromStdString(camp->name));
  ASSERT_TRUE(server_->waitForRequests("/v1/view", 1, std::chrono::milliseconds(kWaitMs)));
  EXPECT_EQ(count("/v1/join"), 0u);

  NotificationCenter::shared().post(kActionDetailFinish);
  ASSERT_TRUE(QTest::qWaitFor([&] { return wall_->topViewController() == screen_; }, kWaitMs));
  EXPECT_TRUE(QTest::qWaitFor([&] { return detail.isNull(); }, kWaitMs));
  EXPECT_EQ(screen_->isAppear(), true);
  EXPECT_TRUE(screen_->isVisible());
  // The flow's alerts belong to the list again.
  EXPECT_EQ(ApiJoin::shared().viewController.lock(), wall_->alertHost());
  EXPECT_EQ(count("/v1/join"), 0u);
}

TEST_F(WallParticipation, AReusedCellClaimsOnlyWithTheKeyOfTheCampaignItShows) {
  initialize();
  Orvane::shared().setTrackingUsage(false);
  CampTableViewCell cell(services());
  cell.resize(390, 200);
  cell.show();
  Camp a;
  a.campid = 10003;
  a.bm = 2;
  a.name = "Metro Bike Share";
  a.cta = "Join";
  cell.setItem(a, 0, Orvane::TYPE_LIST_ICON, nullptr);
  cell.clickJoin();
  const auto receiver = ApiJoin::shared().joinProtocol.lock();
  ASSERT_NE(receiver, nullptr);
  receiver->onAccumulationPossible(a.campid, "key-a");
  ASSERT_EQ(cell.ovnkey(), std::optional<std::string>("key-a"));

  // Reused for a collectable campaign whose record carries no key: no claim with A's key.
  Camp b = a;
  b.campid = 10009;
  b.name = "Saffron Kitchen";
  b.convflag = 1;
  cell.setItem(b, 1, Orvane::TYPE_LIST_ICON, nullptr);
  EXPECT_EQ(cell.state(), CampTableViewCell::State::collect);
  EXPECT_FALSE(cell.ovnkey().has_value());
  QTest::mouseClick(cell.findChild<QLabel*>("l_reward_button"), Qt::LeftButton);
  EXPECT_TRUE(sink_->contains("clickAccumulation: no ovnkey"));

  // The same campaign set again (a reload) keeps its key, and the pill claims with it.
  cell.setItem(a, 0, Orvane::TYPE_LIST_ICON, nullptr);
  receiver->onAccumulationPossible(a.campid, "key-a");
  Camp reloaded = a;
  reloaded.convflag = 1;
  cell.setItem(reloaded, 0, Orvane::TYPE_LIST_ICON, nullptr);
  EXPECT_EQ(cell.ovnkey(), std::optional<std::string>("key-a"));
  QTest::mouseClick(cell.findChild<QLabel*>("l_reward_button"), Qt::LeftButton);
  ASSERT_TRUE(server_->waitForRequests("/v1/reward", 1, std::chrono::milliseconds(kWaitMs)));
  EXPECT_EQ(server_->received("/v1/reward").front().queryValue("campid"), "10003");
  EXPECT_EQ(server_->received("/v1/reward").front().queryValue("ovnkey"), "key-a");
}

}  // namespace
}  // namespace orvane::testing
