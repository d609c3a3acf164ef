#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <map>
#include <set>

#include "core/participation/api_join.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/widgets/campaign_table_view.hpp"
#include "ui/widgets/image_view.hpp"
#include "wall_test_support.hpp"

namespace orvane::ui {
namespace {

// A cell whose height the test controls, like a cell whose image arrives late.
class TallCell : public TableViewCell {
 public:
  using TableViewCell::TableViewCell;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int /*width*/) const override { return height; }
  void grow(int h) {
    height = h;
    invalidateRowHeight();
  }
  void prepareForReuse() override { ++reuses; }
  int height = 60;
  int shows = -1;
  int reuses = 0;
};

class Rows : public TableViewDataSource {
 public:
  explicit Rows(int count) : count(count) {}
  int numberOfRows(CampaignTableView& /*table*/) override { return count; }
  TableViewCell* cellForRow(CampaignTableView& table, int row) override {
    auto* cell =
        static_cast<TallCell*>(table.dequeueReusableCell(row % 10 == 0 ? "tvc_camp_cps" : "tvc_camp"));
    if (row >= count) ++outOfRange;
    cell->shows = row;
    const auto grown = heights.find(row);
    cell->height = grown != heights.end() ? grown->second : row % 10 == 0 ? 120 : 60;
    ++configured;
    return cell;
  }
  int count;
  int configured = 0;
  int outOfRange = 0;          // rows asked for that the source does not have
  std::map<int, int> heights;  // rows whose content grew
};

struct TableFixture : ::testing::Test {
  void SetUp() override {
    for (const char* id : {"tvc_camp", "tvc_camp_cps"}) {
      table.registerCell(id, [id] { return new TallCell(id); });
    }
    table.resize(390, 600);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  }
  CampaignTableView table;
};

TEST_F(TableFixture, TenThousandRowsKeepTheCellCountBoundedWhileScrolling) {
  Rows rows(10000);
  table.setDataSource(&rows);
  ASSERT_EQ(table.numberOfRows(), 10000);
  // 600 px of 60 px rows (some 120) fit at most 11 at a time, plus pooled spares.
  const int bound = 11 + 6;
  QScrollBar* bar = table.verticalScrollBar();
  std::set<int> seen;
  int steps = 0;
  while (bar->value() < bar->maximum() && steps < 5000) {
    bar->setValue(bar->value() + 137);
    ++steps;
    ASSERT_LE(table.cellWidgetCount(), bound) << "at " << bar->value();
    for (TableViewCell* cell : table.visibleCells()) {
      // Every visible cell shows its own row and sits where that row is.
      EXPECT_EQ(static_cast<TallCell*>(cell)->shows, cell->row());
      EXPECT_EQ(cell->geometry().top(), table.rectForRow(cell->row()).top() - bar->value());
      EXPECT_EQ(cell->reuseIdentifier(), cell->row() % 10 == 0 ? "tvc_camp_cps" : "tvc_camp");
      seen.insert(cell->row());
    }
  }
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(seen.count(9999));
  // Measured heights: the CPS rows are twice as tall, so the content is 11,000 rows of 60.
  EXPECT_EQ(table.rectForRow(9999).bottom() + 1, 11000 * 60);
  // Rows are configured about once per appearance, not for every step.
  EXPECT_LT(rows.configured, 10000 * 11 / 10);
}

TEST_F(TableFixture, ReloadRecyclesEveryCellAndAShrunkListDropsRows) {
  Rows rows(50);
  table.setDataSource(&rows);
  const int before = table.cellWidgetCount();
  table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
  rows.count = 3;
  table.reloadData();
  EXPECT_EQ(table.numberOfRows(), 3);
  EXPECT_EQ(table.visibleCells().size(), 3U);
  EXPECT_LE(table.cellWidgetCount(), before + 2);
  EXPECT_EQ(table.verticalScrollBar()->maximum(), 0);
  for (TableViewCell* cell : table.viewport()->findChildren<TableViewCell*>()) {
    if (cell->row() < 0) {
      EXPECT_FALSE(cell->isVisible());
      EXPECT_GT(static_cast<TallCell*>(cell)->reuses, 0);
    }
  }
  rows.count = 0;
  table.reloadData();
  EXPECT_TRUE(table.visibleCells().empty());
}

TEST_F(TableFixture, AReloadOrResizeWhileARowHasTheFocusDoesNotLayTheTableOutHalfWay) {
  // Recycling a focused cell hands the focus to the next row; a row taller than the view
  // then scrolls and lays out again. Doing that while the old rows were being recycled
  // freed the row being walked (a crash in the release build).
  Rows rows(20);
  rows.heights[2] = 700;
  table.setDataSource(&rows);
  table.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&table));
  auto focusRow = [&](int row) {
    for (TableViewCell* cell : table.visibleCells()) cell->setFocusPolicy(Qt::StrongFocus);
    TableViewCell* cell = table.cellForRow(row);
    ASSERT_NE(cell, nullptr);
    cell->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(cell->hasFocus());
  };
  auto rowsInPlace = [&] {
    ASSERT_FALSE(table.visibleCells().empty());
    for (TableViewCell* cell : table.visibleCells()) {
      EXPECT_EQ(static_cast<TallCell*>(cell)->shows, cell->row());
      EXPECT_TRUE(cell->isVisible());
      EXPECT_EQ(cell->geometry().top(),
                table.rectForRow(cell->row()).top() - table.verticalScrollBar()->value());
      EXPECT_EQ(cell->geometry().width(), table.viewport()->width());
    }
  };
  focusRow(1);
  table.reloadData();
  rowsInPlace();
  table.verticalScrollBar()->setValue(0);
  focusRow(1);
  table.resize(300, 600);
  rowsInPlace();
}

// Reloading hides the focused cell, and Qt hands its focus on (to a neighbour row, which
// scrolls): the new, shorter list must never be asked for a row of the old one.
TEST_F(TableFixture, AReloadThatHidesTheFocusedCellAsksOnlyForRowsThatExist) {
  Rows rows(50);
  table.setDataSource(&rows);
  table.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&table));
  // The last row on screen: the row after it is off screen, so handing focus on scrolls.
  TableViewCell* focused = nullptr;
  for (TableViewCell* cell : table.visibleCells()) {
    cell->setFocusPolicy(Qt::StrongFocus);
    if (focused == nullptr || cell->row() > focused->row()) focused = cell;
  }
  ASSERT_NE(focused, nullptr);
  ASSERT_GE(focused->row(), 3);
  focused->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(focused->hasFocus());

  rows.count = 3;
  table.reloadData();
  EXPECT_EQ(rows.outOfRange, 0);
  EXPECT_EQ(table.numberOfRows(), 3);
  EXPECT_EQ(table.visibleCells().size(), 3U);
}

TEST_F(TableFixture, ACellThatGrowsMovesTheRowsBelowIt) {
  Rows rows(20);
  table.setDataSource(&rows);
  auto* second = static_cast<TallCell*>(table.cellForRow(1));
  ASSERT_NE(second, nullptr);
  const int thirdTop = table.cellForRow(2)->geometry().top();
  rows.heights[1] = 260;
  second->grow(200);
  second->grow(260);  // two changes in one pass are laid out once, with the last height
  ASSERT_TRUE(QTest::qWaitFor([&] { return table.cellForRow(2)->geometry().top() == thirdTop + 200; }, 2000));
  EXPECT_EQ(table.cellForRow(1)->geometry().height(), 260);
  // A cell that went back to the pool cannot change the height of a row it left.
  rows.count = 20;
  table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
  ASSERT_EQ(table.cellForRow(1), nullptr);
  second->grow(500);
  QCoreApplication::processEvents();
  EXPECT_EQ(table.rectForRow(1).height(), 260);
}

TEST_F(TableFixture, AnUnregisteredIdentifierDequeuesNothing) {
  EXPECT_EQ(table.dequeueReusableCell("unknown"), nullptr);
}

// Cells against the sandbox: real image deliveries and a real participation flow.
class ReusedCell : public orvane::testing::WallTest {
 protected:
  Camp campaign(std::int64_t id, const std::string& native) {
    Camp c;
    c.campid = id;
    c.bm = 1;
    c.name = "Campaign";
    c.rewarddesc = "desc";
    c.cta = "Join";
    c.nativeurl = server_->imageUrl(native);
    c.iconurl = server_->imageUrl("icon-" + std::to_string(id) + "-128x128.png");
    return c;
  }
};

TEST_F(ReusedCell, TheNativeImageSetsItsOwnAspectAndALateImageOfTheOldRowIsDropped) {
  initialize();
  CampTableViewCell cell(services());
  cell.resize(390, 300);
  cell.setItem(campaign(10002, "native-10002-600x200.jpg"), 0, Orvane::TYPE_LIST_NATIVE, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return cell.nativeImageRect().height() == 358 / 3; }, 5000));

  // Reused before the first image arrives: only the new campaign's image counts.
  CampTableViewCell reused(services());
  reused.resize(390, 300);
  const Camp old = campaign(10003, "native-10003-600x300.jpg");
  reused.setItem(old, 0, Orvane::TYPE_LIST_NATIVE, nullptr);
  reused.setItem(campaign(10004, "native-10004-300x600.jpg"), 1, Orvane::TYPE_LIST_NATIVE, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return reused.nativeImageRect().height() == 716; }, 5000));
  // The old image arrives too, and must change nothing.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return ImageCache::defaultCache().imageOfUrl(*old.nativeurl, std::nullopt) != nullptr; }, 5000));
  QCoreApplication::processEvents();
  EXPECT_EQ(reused.nativeImageRect().height(), 716);
  EXPECT_EQ(reused.camp()->campid, 10004);
}

TEST_F(ReusedCell, AFlowCallbackAppliesOnlyWhileTheCellShowsItsCampaign) {
  initialize();
  Orvane::shared().setTrackingUsage(false);
  CampTableViewCell cell(services());
  cell.resize(390, 200);
  const Camp a = campaign(10002, "native-10002-720x720.jpg");
  cell.setItem(a, 0, Orvane::TYPE_LIST_ICON, nullptr);
  cell.clickJoin();
  const auto receiver = ApiJoin::shared().joinProtocol.lock();
  ASSERT_NE(receiver, nullptr);

  cell.setItem(campaign(10003, "native-10003-720x720.jpg"), 1, Orvane::TYPE_LIST_ICON, nullptr);
  receiver->onAccumulationPossible(a.campid, "late-key");
  receiver->onParticipationCheckPossible(a.campid);
  EXPECT_EQ(cell.state(), CampTableViewCell::State::join);
  EXPECT_FALSE(cell.ovnkey().has_value());

  cell.setItem(a, 0, Orvane::TYPE_LIST_ICON, nullptr);
  receiver->onAccumulationPossible(a.campid, "key");
  EXPECT_EQ(cell.state(), CampTableViewCell::State::collect);
  EXPECT_EQ(cell.ovnkey(), std::optional<std::string>("key"));
}

TEST_F(ReusedCell, TakesPartThroughTheFlowItIsMadeWith) {
  initialize();
  Orvane::shared().setTrackingUsage(false);
  ApiJoin flow(platform_);
  auto own = services();
  own.join = &flow;
  const auto sharedReceiver = ApiJoin::shared().joinProtocol.lock();
  CampTableViewCell cell(own);
  cell.resize(390, 200);
  cell.setItem(campaign(10002, "native-10002-720x720.jpg"), 0, Orvane::TYPE_LIST_ICON, nullptr);
  cell.clickJoin();
  EXPECT_NE(flow.joinProtocol.lock(), nullptr);
  EXPECT_EQ(ApiJoin::shared().joinProtocol.lock(), sharedReceiver);
  ASSERT_TRUE(server_->waitForRequests("/v1/join", 1, std::chrono::seconds(10)));
}

}  // namespace
}  // namespace orvane::ui
