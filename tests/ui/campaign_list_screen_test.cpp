#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <set>

#include "core/participation/api_join.hpp"
#include "core/screens/camp_ordering.hpp"
#include "core/support/notification_center.hpp"
#include "orvane/localized.hpp"
#include "ui/screens/camp_cps_table_view_cell.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "wall_test_support.hpp"

namespace orvane::testing {
namespace {

using ui::OrvaneViewController;

class CampaignListScreen : public WallTest {
 protected:
  void TearDown() override {
    delete wall_;
    WallTest::TearDown();
  }

  // Restarts the sandbox on the built-in fixture with only the campaigns `keep` accepts.
  void restartWith(const std::function<bool(const QJsonObject&)>& keep) {
    QFile in(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../tools/sandbox/fixture.json"));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QJsonObject fixture = QJsonDocument::fromJson(in.readAll()).object();
    for (const char* list : {"camp", "housemd"}) {
      QJsonArray kept;
      for (const auto& camp : fixture[list].toArray())
        if (keep(camp.toObject())) kept.append(camp);
      fixture[list] = kept;
    }
    const QString path = dir_.filePath("fixture.json");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(fixture).toJson());
    out.close();
    server_->stop();
    server_ = std::make_unique<sandbox::Server>(sandbox::Options{.fixturePath = path.toStdString()});
    server_->start();
    auto& sdk = OrvaneSDK::shared();
    sdk.hostUrl = server_->apiBase();
    sdk.hostPartnerUrl = server_->partnerBase();
    sdk.noticeUrl = server_->noticeUrl();
  }

  // Opens the wall in list-top (1) or pop-up (0) mode and waits for the first list.
  void open(std::int64_t benefits = Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP) {
    initialize();
    Orvane::shared().setBenefitsType(benefits);
    Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
    screen_ = new OrvaneViewController(services());
    QObject::connect(screen_, &OrvaneViewController::listUpdated, [this] { ++updates_; });
    wall_ = new ui::NavigationController(screen_, services());
    wall_->resize(390, 700);
    wall_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wall_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("/v1/req") >= 1 && updates_ >= 1; }, 5000));
  }

  template <class T>
  T* child(const char* name) const {
    return wall_->findChild<T*>(QString::fromLatin1(name));
  }
  QWidget* alert() const { return wall_->findChild<QWidget*>("orvane_alert"); }
  QString alertText() const {
    QStringList texts;
    if (auto* a = alert())
      for (auto* label : a->findChildren<QLabel*>()) texts << label->text();
    return texts.join("|");
  }
  bool pressAlertButton(int index) {
    auto* a = alert();
    auto* b = a ? a->findChild<QPushButton*>(QStringLiteral("alert_button_%1").arg(index)) : nullptr;
    if (!b) return false;
    QTest::mouseClick(b, Qt::LeftButton);
    return true;
  }
  bool allShown(const std::function<bool(const Camp&)>& pred) const {
    for (const Camp& c : screen_->selectedAllCampList())
      if (!pred(c)) return false;
    return !screen_->selectedAllCampList().empty();
  }
  // The prices of the shown campaigns without the house campaigns, which sit at fixed places.
  std::vector<double> campaignPrices() const {
    std::set<long long> houses;
    for (const auto& c : server_->campaigns())
      if (c.house) houses.insert(c.campid);
    std::vector<double> prices;
    for (const Camp& c : screen_->selectedAllCampList())
      if (!houses.count(c.campid)) prices.push_back(c.rewardprice);
    return prices;
  }
  bool reload() {
    const int before = updates_;
    NotificationCenter::shared().post(kActionListChange);
    return QTest::qWaitFor([&] { return updates_ > before; }, 5000);
  }

  QTemporaryDir dir_;
  ui::NavigationController* wall_ = nullptr;
  OrvaneViewController* screen_ = nullptr;
  int updates_ = 0;
};

bool isCps(const Camp& c) { return c.bm == kCpsBm; }

TEST_F(CampaignListScreen, BothKindsShowTabsAndSortSurvivesAReload) {
  open();
  ASSERT_NE(child<QWidget>("v_tabs"), nullptr);
  EXPECT_TRUE(child<QWidget>("v_tabs")->isVisible());
  EXPECT_TRUE(allShown([](const Camp& c) { return !isCps(c); }));
  EXPECT_TRUE(child<QWidget>("v_coins_calue")->isVisible());
  EXPECT_TRUE(child<QLabel>("l_coins_value")->text().contains(' '));
  EXPECT_EQ(child<QLabel>("l_coins_value")->text(), screen_->rewardText());

  // The CPS tab, by a real click: CPS rows in CPS cells.
  QTest::mouseClick(child<QPushButton>("sc_camp_1"), Qt::LeftButton);
  EXPECT_TRUE(allShown(isCps));
  ASSERT_FALSE(screen_->tableView()->visibleCells().empty());
  for (auto* cell : screen_->tableView()->visibleCells())
    EXPECT_NE(qobject_cast<ui::CampCPSTableViewCell*>(cell), nullptr);

  // Each tap moves the sort on, init -> high -> low -> init, and orders at once: no sheet.
  const SortTitles titles = SortTitles::localizedTitles();
  auto* sort = child<QPushButton>("b_sort");
  ASSERT_EQ(sort->text().toStdString(), titles.init);
  EXPECT_TRUE(sort->accessibleName().contains(QString::fromStdString(titles.high)));
  const auto initOrder = screen_->selectedAllCampList();
  std::vector<Camp> highOrder;
  for (const std::string* expected : {&titles.high, &titles.low, &titles.init, &titles.high}) {
    QTest::mouseClick(sort, Qt::LeftButton);
    ASSERT_EQ(sort->text().toStdString(), *expected);
    EXPECT_EQ(alert(), nullptr);
    EXPECT_TRUE(allShown(isCps));
    const auto prices = campaignPrices();
    if (expected == &titles.high) {
      EXPECT_TRUE(std::is_sorted(prices.rbegin(), prices.rend()));
      if (!highOrder.empty()) {
        EXPECT_EQ(screen_->selectedAllCampList(), highOrder);
      }
      highOrder = screen_->selectedAllCampList();
    } else if (expected == &titles.low) {
      EXPECT_TRUE(std::is_sorted(prices.begin(), prices.end()));
      EXPECT_NE(screen_->selectedAllCampList(), highOrder);
    } else {
      EXPECT_EQ(screen_->selectedAllCampList(), initOrder);
    }
  }
  // The house campaign keeps its place whatever the mode.
  EXPECT_EQ(screen_->selectedAllCampList().at(1).campid, 90003);
  EXPECT_TRUE(sort->accessibleName().contains(QString::fromStdString(titles.low)));

  // A reload keeps the mode, its order and the tab the user chose.
  const auto requests = count("/v1/req");
  ASSERT_TRUE(reload());
  EXPECT_EQ(count("/v1/req"), requests + 1);
  EXPECT_EQ(sort->text().toStdString(), titles.high);
  EXPECT_TRUE(allShown(isCps));
  EXPECT_EQ(screen_->selectedAllCampList(), highOrder);

  // The keyboard reaches it too.
  sort->setFocus(Qt::TabFocusReason);
  QTest::keyClick(sort, Qt::Key_Space);
  EXPECT_EQ(sort->text().toStdString(), titles.low);
}

// The answer is sorted off the GUI thread for what the screen showed when it asked; a
// tab or sort mode chosen while it travelled must win over that order.
TEST_F(CampaignListScreen, ChoicesMadeWhileAReloadTravelsWinOverItsPresortedOrder) {
  open();
  const SortTitles titles = SortTitles::localizedTitles();
  server_->force(sandbox::Forcing{.endpoint = "/v1/req", .delayMs = 400, .times = 1});
  const int before = updates_;
  NotificationCenter::shared().post(kActionListChange);
  QTest::mouseClick(child<QPushButton>("sc_camp_1"), Qt::LeftButton);
  QTest::mouseClick(child<QPushButton>("b_sort"), Qt::LeftButton);  // high
  QTest::mouseClick(child<QPushButton>("b_sort"), Qt::LeftButton);  // low
  ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ > before; }, 5000));
  EXPECT_EQ(child<QPushButton>("b_sort")->text().toStdString(), titles.low);
  EXPECT_TRUE(allShown(isCps));
  const auto shown = screen_->selectedAllCampList();

  // The same choices made before asking: the pre-sorted order is taken as it is.
  ASSERT_TRUE(reload());
  EXPECT_EQ(screen_->selectedAllCampList(), shown);
}

TEST_F(CampaignListScreen, OnlyOneKindHidesTheTabs) {
  restartWith([](const QJsonObject& c) { return c["bm"].toInt() != 4; });
  open();
  EXPECT_FALSE(child<QWidget>("v_tabs")->isVisible());
  EXPECT_TRUE(allShown([](const Camp& c) { return !isCps(c); }));
  delete wall_;
  wall_ = nullptr;

  restartWith([](const QJsonObject& c) { return c["bm"].toInt() == 4; });
  updates_ = 0;
  open();
  EXPECT_FALSE(child<QWidget>("v_tabs")->isVisible());
  EXPECT_TRUE(allShown(isCps));
  ASSERT_FALSE(screen_->tableView()->visibleCells().empty());
  for (auto* cell : screen_->tableView()->visibleCells())
    EXPECT_NE(qobject_cast<ui::CampCPSTableViewCell*>(cell), nullptr);
}

TEST_F(CampaignListScreen, AnEmptyListAlertsAndItsButtonClosesTheWall) {
  restartWith([](const QJsonObject&) { return false; });
  open();
  ASSERT_NE(alert(), nullptr);
  EXPECT_TRUE(alertText().contains(QString::fromStdString(localized("ov_not_ads"))));
  EXPECT_EQ(child<QLabel>("l_coins_value")->text(), "0 ");
  EXPECT_EQ(wall_->findChild<ui::CanReceiveBenefitsViewController*>(), nullptr);
  bool closed = false;
  QObject::connect(wall_, &ui::NavigationController::closeRequested, [&] { closed = true; });
  ASSERT_TRUE(pressAlertButton(0));
  EXPECT_TRUE(closed);
}

TEST_F(CampaignListScreen, ADecodingFailureAlertsAndKeepsTheLastList) {
  open();
  const auto shown = screen_->selectedAllCampList();
  ASSERT_FALSE(shown.empty());
  server_->force({.endpoint = "/v1/req", .body = sandbox::BodyMode::Malformed});
  ASSERT_TRUE(reload());
  ASSERT_NE(alert(), nullptr);
  EXPECT_TRUE(alertText().contains(QString::fromStdString(localized("ov_alarm"))));
  EXPECT_EQ(screen_->selectedAllCampList(), shown);
  EXPECT_EQ(screen_->tableView()->numberOfRows(), static_cast<int>(shown.size()));
  EXPECT_TRUE(sink_->contains("OrvaneViewController Decoding Error"));
  ASSERT_TRUE(pressAlertButton(0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return alert() == nullptr; }, 2000));
}

TEST_F(CampaignListScreen, PopUpPresentationHidesTheTopBand) {
  open(Orvane::TYPE_BENEFITS_DISPLAY_POPUP);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return wall_->findChild<ui::CanReceiveBenefitsViewController*>() != nullptr; }, 2000));
  auto* popup = wall_->findChild<ui::CanReceiveBenefitsViewController*>();
  ASSERT_TRUE(popup->rewardPriceAndMark.has_value());
  EXPECT_EQ(*popup->rewardPriceAndMark, screen_->rewardText());
  EXPECT_FALSE(child<QWidget>("v_coins_calue")->isVisible());
  EXPECT_EQ(screen_->isAppear(), true);
  EXPECT_NE(ApiJoin::shared().viewController.lock(), nullptr);
  popup->clickClose();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return wall_->findChild<ui::CanReceiveBenefitsViewController*>() == nullptr; }, 2000));

  // A tap on a campaign with a detail page opens it with that campaign.
  ui::TableViewCell* target = nullptr;
  for (auto* cell : screen_->tableView()->visibleCells()) {
    if (screen_->selectedAllCampList()[static_cast<std::size_t>(cell->row())].detailpage == 1) target = cell;
  }
  ASSERT_NE(target, nullptr);
  const Camp expected = screen_->selectedAllCampList()[static_cast<std::size_t>(target->row())];
  QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(40, 20));
  auto* detail = qobject_cast<ui::DetailViewController*>(wall_->topViewController());
  ASSERT_NE(detail, nullptr);
  ASSERT_TRUE(detail->camp.has_value());
  EXPECT_EQ(detail->camp->campid, expected.campid);
  EXPECT_EQ(screen_->isAppear(), false);

  // Covered by the detail screen, a reload shows no pop-up.
  ASSERT_TRUE(reload());
  QCoreApplication::processEvents();
  EXPECT_EQ(wall_->findChild<ui::CanReceiveBenefitsViewController*>(), nullptr);
}

}  // namespace
}  // namespace orvane::testing
