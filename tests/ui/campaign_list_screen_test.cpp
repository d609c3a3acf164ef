#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <set>

#include "core/participation/api_join.hpp"
#include "core/screens/camp_ordering.hpp"
#include "core/support/notification_center.hpp"
#include "orvane/localized.hpp"
#include "ui/screens/camp_cell.hpp"
#include "ui/screens/camp_cps_table_view_cell.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "wall_test_support.hpp"
#include "xtest_input.hpp"

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
  // The total in 20 px bold accent.
  const QLabel* total = child<QLabel>("l_coins_value");
  EXPECT_EQ(total->font().pixelSize(), 20);
  EXPECT_EQ(total->font().weight(), QFont::Bold);
  EXPECT_EQ(total->palette().color(total->foregroundRole()), Orvane::shared().orvaneColorPrimary);

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
  EXPECT_TRUE(alertText().contains(QString::fromStdString(localized("ov_load_unavailable"))));
  EXPECT_TRUE(sink_->contains("Orvane list failed: decoding"));
  ASSERT_TRUE(pressAlertButton(0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return alert() == nullptr; }, 2000));

  // A setting the host never made: the user reads a plain sentence, the log the setting.
  platform_->store->setString(keys::kMkey, "");
  ASSERT_TRUE(reload());
  ASSERT_NE(alert(), nullptr);
  EXPECT_FALSE(alertText().contains(keys::kMkey)) << alertText().toStdString();
  EXPECT_TRUE(alertText().contains(QString::fromStdString(localized("ov_load_unavailable"))));
  EXPECT_TRUE(sink_->contains("Orvane list failed: notConfigured"));
  EXPECT_TRUE(sink_->contains(keys::kMkey));
  ASSERT_TRUE(pressAlertButton(0));
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

// The benefits pop-ups over the wall that are on screen, not on their way out.
std::vector<ui::CanReceiveBenefitsViewController*> openPopUps(QWidget* wall) {
  std::vector<ui::CanReceiveBenefitsViewController*> open;
  for (auto* popup : wall->findChildren<ui::CanReceiveBenefitsViewController*>())
    if (!popup->isDismissed() && popup->isVisible()) open.push_back(popup);
  return open;
}

QString popUpTotal(ui::CanReceiveBenefitsViewController* popup) {
  auto* value = popup->findChild<QLabel*>("l_popup_coins_value");
  return value ? value->text() : QString();
}

TEST_F(CampaignListScreen, LoadsWhileThePopUpIsOpenUpdateItInsteadOfStackingMore) {
  open(Orvane::TYPE_BENEFITS_DISPLAY_POPUP);
  ASSERT_TRUE(QTest::qWaitFor([&] { return openPopUps(wall_).size() == 1; }, 2000));
  const QString first = screen_->rewardText();
  EXPECT_EQ(popUpTotal(openPopUps(wall_)[0]), first);
  QPointer<ui::CanReceiveBenefitsViewController> popup(openPopUps(wall_)[0]);

  // The same server with fewer campaigns: a smaller total, loaded twice, the second
  // load starting while the first is still on its way.
  restartWith([](const QJsonObject& c) { return c["bm"].toInt() == 1; });
  server_->force({.endpoint = "/v1/req", .delayMs = 200});
  const int before = updates_;
  NotificationCenter::shared().post(kActionListChange);
  NotificationCenter::shared().post(kActionListChange);
  ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ > before; }, 5000));
  QTest::qWait(0);
  ASSERT_NE(screen_->rewardText(), first);
  ASSERT_EQ(openPopUps(wall_).size(), 1u);
  EXPECT_EQ(openPopUps(wall_)[0], popup.data()) << "the open pop-up is updated, not replaced";
  EXPECT_EQ(popUpTotal(popup), screen_->rewardText());
  EXPECT_EQ(popup->rewardPriceAndMark, screen_->rewardText());
}

TEST_F(CampaignListScreen, APopUpNeverCoversAnAlertAndShowsOnceTheAlertsHaveClosed) {
  open(Orvane::TYPE_BENEFITS_DISPLAY_POPUP);
  ASSERT_TRUE(QTest::qWaitFor([&] { return openPopUps(wall_).size() == 1; }, 2000));
  QPointer<ui::CanReceiveBenefitsViewController> first(openPopUps(wall_)[0]);
  // The alert on screen (a pressed one lingers until deleted).
  const auto current = [&] { return wall_->alertHost()->currentAlertWidget(); };
  const auto press = [&] {
    auto* button = current() ? current()->findChild<QPushButton*>("alert_button_0") : nullptr;
    if (button) QTest::mouseClick(button, Qt::LeftButton);
    return button != nullptr;
  };

  // An alert raised while the pop-up is open lies above it.
  Alert question;
  question.title = "Q";
  question.actions.push_back({"OK", AlertAction::Style::normal, {}});
  wall_->alertHost()->present(question);
  QWidget* atMiddle = wall_->childAt(wall_->rect().center());
  ASSERT_NE(atMiddle, nullptr);
  EXPECT_TRUE(current()->parentWidget()->isAncestorOf(atMiddle) || atMiddle == current()->parentWidget());
  ASSERT_TRUE(press());
  first->clickClose();
  ASSERT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000));

  // A load while two alerts are queued: no pop-up until both have closed.
  wall_->alertHost()->present(question);
  wall_->alertHost()->present(question);
  ASSERT_TRUE(reload());
  QTest::qWait(0);
  EXPECT_TRUE(openPopUps(wall_).empty());
  ASSERT_TRUE(press());
  QTest::qWait(0);
  EXPECT_NE(current(), nullptr);
  EXPECT_TRUE(openPopUps(wall_).empty());
  ASSERT_TRUE(press());
  ASSERT_TRUE(QTest::qWaitFor([&] { return openPopUps(wall_).size() == 1; }, 2000));
  EXPECT_EQ(popUpTotal(openPopUps(wall_)[0]), screen_->rewardText());
  EXPECT_EQ(current(), nullptr);

  // A pop-up still waiting when an empty list arrives is dropped: none follows the empty
  // list's alert, whose button closes the wall.
  openPopUps(wall_)[0]->clickClose();
  wall_->alertHost()->present(question);
  ASSERT_TRUE(reload());
  server_->force({.endpoint = "/v1/req", .result = 200});  // no campaigns at all
  ASSERT_TRUE(reload());
  ASSERT_TRUE(press());  // the question
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return current() && alertText().contains(QString::fromStdString(localized("ov_not_ads"))); },
      2000));
  ASSERT_TRUE(press());
  QTest::qWait(0);
  QTest::qWait(0);
  EXPECT_TRUE(openPopUps(wall_).empty());
}

// The rows' focus: Tab and Backtab walk the rows in order and scroll each one into
// view; Backtab from the first row leaves for the control above, and the ring is drawn
// for the keyboard's focus only.
TEST_F(CampaignListScreen, TabWalksTheRowsInOrderAndShowsEachWhole) {
  open();
  wall_->resize(390, 420);
  wall_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(wall_));
  auto* table = screen_->tableView();
  ASSERT_GT(table->numberOfRows(), 4);
  auto* sort = child<QPushButton>("b_sort");
  sort->setFocus(Qt::TabFocusReason);

  auto focusedRow = [] {
    auto* cell = qobject_cast<ui::TableViewCell*>(QApplication::focusWidget());
    return cell ? cell->row() : -1;
  };
  auto wholeInView = [&](int row) {
    const QRect r = table->rectForRow(row).translated(0, -table->verticalScrollBar()->value());
    return r.top() >= 0 && r.bottom() < table->viewport()->height();
  };
  QTest::keyClick(sort, Qt::Key_Tab);
  ASSERT_EQ(focusedRow(), 0) << "Tab from the sort control lands on the first row";
  for (int row = 1; row < table->numberOfRows(); ++row) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(focusedRow(), row);
    EXPECT_TRUE(wholeInView(row)) << row;
  }
  EXPECT_GT(table->verticalScrollBar()->value(), 0);
  for (int row = table->numberOfRows() - 2; row >= 0; --row) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_EQ(focusedRow(), row);
    EXPECT_TRUE(wholeInView(row)) << row;
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), sort);

  // The ring: drawn for the keyboard, not for a click.
  auto* cell = table->cellForRow(0);
  ASSERT_NE(cell, nullptr);
  const QColor accent = Orvane::shared().orvaneColorPrimary;
  auto ringShown = [&] { return cell->grab().toImage().pixelColor(1, cell->height() / 2) == accent; };
  // Focus that is already there sends no event: each focus starts from none.
  cell->clearFocus();
  cell->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(ringShown());
  cell->clearFocus();
  cell->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(ringShown());
}

// The same on the real X11 platform, with keys and the pointer through the X server.
class CampaignListOnXvfb : public CampaignListScreen {};

TEST_F(CampaignListOnXvfb, RealTabsWalkTheRowsAndTheRowUnderThePointerLightsUp) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
    GTEST_SKIP() << "runs under xvfb-run with QT_QPA_PLATFORM=xcb";
  }
  XTestInput input;
  ASSERT_TRUE(input.ok()) << "no XTEST on this display";
  open();
  wall_->move(40, 40);
  wall_->resize(390, 420);
  // Xvfb has no window manager to hand the focus over.
  wall_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(wall_));
  auto* table = screen_->tableView();
  ASSERT_GT(table->numberOfRows(), 4);

  // Real Tabs: the bar, the kind tabs and the sort control come before the rows, which
  // follow in order, each scrolled into view.
  auto* sort = child<QPushButton>("b_sort");
  std::vector<QWidget*> before;
  for (int i = 0; i < 16 && !qobject_cast<ui::TableViewCell*>(QApplication::focusWidget()); ++i) {
    QWidget* was = QApplication::focusWidget();
    if (was) before.push_back(was);
    input.key(XTestInput::kTab);
    (void)QTest::qWaitFor([&] { return QApplication::focusWidget() != was; }, 1000);
  }
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before.back(), sort) << "the sort control comes right before the rows";
  auto* first = qobject_cast<ui::TableViewCell*>(QApplication::focusWidget());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->row(), 0);
  for (int row = 1; row <= 4; ++row) {
    QWidget* was = QApplication::focusWidget();
    input.key(XTestInput::kTab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != was; }, 2000));
    auto* cell = qobject_cast<ui::TableViewCell*>(QApplication::focusWidget());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->row(), row);
    const QRect shown(cell->mapTo(table->viewport(), QPoint(0, 0)), cell->size());
    EXPECT_TRUE(table->viewport()->rect().contains(shown)) << "row " << row << " is not whole in view";
  }
  EXPECT_GT(table->verticalScrollBar()->value(), 0);

  // The pointer over a row: the quiet fill, on the X server's screen.
  auto* cell = static_cast<ui::TableViewCell*>(QApplication::focusWidget());
  const QPoint spot(8, 8);
  auto shownAt = [&](QPoint local) {
    const QPoint at = cell->mapToGlobal(local);
    return cell->screen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
  };
  EXPECT_EQ(shownAt(spot), QColor(Qt::white));
  input.moveTo(cell->mapToGlobal(QPoint(cell->width() / 2, 8)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return cell->underMouse(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return shownAt(spot) == QColor(0xF7, 0xF7, 0xF7); }, 5000))
      << qPrintable(shownAt(spot).name());
  EXPECT_EQ(cell->cursor().shape(), Qt::PointingHandCursor);

  // The rows scroll under a pointer that stays put (a wheel turn): the fill follows the
  // row now under it and leaves the one that moved away, still on screen above it.
  table->verticalScrollBar()->setValue(0);
  ui::TableViewCell* lit = table->cellForRow(1);
  ASSERT_NE(lit, nullptr);
  const QPoint pointer = lit->mapToGlobal(QPoint(lit->width() / 2, lit->height() - 4));
  input.moveTo(pointer);
  // XTEST comes on a connection of its own: wait until the server has moved the pointer.
  ASSERT_TRUE(QTest::qWaitFor([&] { return QCursor::pos() == pointer && lit->underMouse(); }, 5000));
  table->verticalScrollBar()->setValue(table->verticalScrollBar()->value() + 8);
  ASSERT_TRUE(lit->isVisible()) << "the row that moved away must stay on screen for this check";
  ui::TableViewCell* under = nullptr;
  for (ui::TableViewCell* shown : table->visibleCells())
    if (shown->geometry().contains(table->viewport()->mapFromGlobal(pointer))) under = shown;
  ASSERT_NE(under, nullptr);
  ASSERT_NE(under, lit) << "the scroll did not move another row under the pointer";
  for (ui::TableViewCell* shown : table->visibleCells())
    EXPECT_EQ(shown->underMouse(), shown == under) << "row " << shown->row();
  auto litAt = [&](QPoint global) {
    return cell->screen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage().pixelColor(0, 0);
  };
  const QPoint underSpot = under->mapToGlobal(spot);
  EXPECT_TRUE(QTest::qWaitFor([&] { return litAt(underSpot) == QColor(0xF7, 0xF7, 0xF7); }, 5000))
      << qPrintable(litAt(underSpot).name());
  for (ui::TableViewCell* shown : table->visibleCells()) {
    if (shown == under) continue;
    const QPoint away = shown->mapToGlobal(spot);
    EXPECT_TRUE(QTest::qWaitFor([&] { return litAt(away) == QColor(Qt::white); }, 5000))
        << "row " << shown->row() << " still lit";
  }
}

}  // namespace
}  // namespace orvane::testing
