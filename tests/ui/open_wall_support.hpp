#pragma once

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/participation/api_join.hpp"
#include "core/screens/camp_ordering.hpp"
#include "orvane/localized.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "wall_test_support.hpp"

namespace orvane::testing {

// The wall against the sandbox with a participation flow of the test's own, so that
// no joined, listed or confirmed campaign of another test shows here.
class OpenWallTest : public WallTest {
 protected:
  static constexpr int kWaitMs = 8000;

  void SetUp() override {
    WallTest::SetUp();
    flow_ = std::make_unique<ApiJoin>(platform_);
  }
  void TearDown() override {
    delete wall_;  // its cells use the flow
    wall_ = nullptr;
    flow_.reset();
    WallTest::TearDown();
  }

  ui::Services services() const {
    auto services = WallTest::services();
    services.join = flow_.get();
    return services;
  }

  // The list in icon style, rewards at the top, tracking as given.
  void open(bool trackingUsage = false) {
    initialize();
    Orvane::shared().setTrackingUsage(trackingUsage);
    Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
    Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
    screen_ = new ui::OrvaneViewController(services());
    QObject::connect(screen_, &ui::OrvaneViewController::listUpdated, [this] { ++updates_; });
    wall_ = new ui::NavigationController(screen_, services());
    wall_->move(40, 40);
    wall_->resize(390, 700);
    wall_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wall_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return updates_ >= 1; }, kWaitMs));
  }

  // The first listed campaign that the sandbox treats plainly (no forced result, no
  // instant key, no targeting, not converted) and that `pick` accepts.
  template <class Pick>
  std::optional<Camp> plainCampaign(Pick pick) const {
    for (const auto& info : server_->campaigns()) {
      const bool plain = !info.house && info.convflag == 0 && info.joinResult == 0 && !info.instant &&
                         !info.inspectOnly && info.targetAgeMin == 0 && info.targetAgeMax == 0 &&
                         info.gender == 0;
      if (!plain) continue;
      const int row = rowOf(info.campid);
      if (row < 0) continue;
      const Camp& camp = screen_->selectedAllCampList()[static_cast<std::size_t>(row)];
      if (camp.bm != kCpsBm && pick(camp)) return camp;
    }
    return std::nullopt;
  }

  int rowOf(std::int64_t campid) const {
    const auto& list = screen_->selectedAllCampList();
    const auto it = std::find_if(list.begin(), list.end(), [&](const Camp& c) { return c.campid == campid; });
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
  }

  // The cell showing the campaign now, if it is on screen (no scrolling).
  ui::CampTableViewCell* visibleCellOf(std::int64_t campid) const {
    for (auto* cell : screen_->tableView()->visibleCells()) {
      auto* ordinary = qobject_cast<ui::CampTableViewCell*>(cell);
      if (ordinary && ordinary->camp() && ordinary->camp()->campid == campid) return ordinary;
    }
    return nullptr;
  }

  // The cell showing the campaign, scrolled into view.
  ui::CampTableViewCell* cellOf(std::int64_t campid) const {
    const int row = rowOf(campid);
    if (row < 0) return nullptr;
    screen_->tableView()->scrollToRow(row);
    QCoreApplication::processEvents();
    return visibleCellOf(campid);
  }

  QLabel* pillOf(std::int64_t campid) const {
    auto* cell = cellOf(campid);
    return cell ? cell->findChild<QLabel*>("l_reward_button") : nullptr;
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
  static QString text(std::string_view key) { return QString::fromStdString(localized(key)); }
  bool waitForAlert(std::string_view messageKey) const {
    return QTest::qWaitFor([&] { return alertText().contains(text(messageKey)); }, kWaitMs);
  }

  std::unique_ptr<ApiJoin> flow_;
  ui::NavigationController* wall_ = nullptr;
  ui::OrvaneViewController* screen_ = nullptr;
  int updates_ = 0;
};

}  // namespace orvane::testing
