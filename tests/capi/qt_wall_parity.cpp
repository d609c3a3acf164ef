// The C API's list against the Qt wall's on the same sandbox answer: every tab and
// sort mode shows the same campaigns in the same order.
#include <orvane/orvane.h>

#include <QApplication>
#include <QPushButton>

#include "tests/capi/capi_test_support.hpp"
#include "tests/ui/wall_test_support.hpp"
#include "ui/screens/orvane_view_controller.hpp"

namespace orvane::testing {
namespace {

class QtWallParity : public WallTest {};

std::vector<std::int64_t> shownBy(const ui::OrvaneViewController& screen) {
  std::vector<std::int64_t> ids;
  for (const Camp& c : screen.selectedAllCampList()) ids.push_back(c.campid);
  return ids;
}

// What the Qt wall's host listeners get.
struct Loaded : EventListener {
  void onListLoaded(const ListLoaded& e) override { seen.push_back(e); }
  std::vector<ListLoaded> seen;
};

TEST_F(QtWallParity, EveryTabAndSortModeMatchesTheQtWall) {
  initialize();
  auto listener = std::make_shared<Loaded>();
  addEventListener(listener);
  Orvane::shared().setListType(Orvane::TYPE_LIST_ICON);
  auto* screen = new ui::OrvaneViewController(services());
  int updates = 0;
  QObject::connect(screen, &ui::OrvaneViewController::listUpdated, [&] { ++updates; });
  auto wall = std::make_unique<ui::NavigationController>(screen, services());
  wall->resize(390, 700);
  wall->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(wall.get()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return updates >= 1; }, 5000));

  // The C API, on the same server, user and list style.
  orvane_config config{};
  config.struct_size = sizeof config;
  config.settings_path = "";
  struct Out {
    bool done = false;
    orvane_campaign_list* list = nullptr;
    std::vector<orvane_event> loaded;
    std::vector<std::string> marks;
  } out;
  config.user_data = &out;
  config.event = [](const orvane_event* e, void* self) {
    auto* o = static_cast<Out*>(self);
    if (e->type != ORVANE_EVENT_LIST_LOADED) return;
    o->loaded.push_back(*e);
    o->marks.emplace_back(e->mark);
  };
  orvane_sdk* sdk = nullptr;
  ASSERT_EQ(orvane_create(&config, &sdk), ORVANE_OK);
  orvane_set_servers(sdk, server_->apiBase().c_str(), server_->partnerBase().c_str(), nullptr);
  orvane_initialize(sdk, sandbox::kMediaKey, sandbox::kMediaChannelKey, "wall-user");
  orvane_set_list_type(sdk, ORVANE_LIST_ICON);
  orvane_load_list(
      sdk, 0, ORVANE_SORT_INIT,
      [](const orvane_error*, orvane_campaign_list* list, void* self) {
        static_cast<Out*>(self)->list = list;
        static_cast<Out*>(self)->done = true;
      },
      &out, nullptr);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        orvane_pump(sdk, nullptr);
        return out.done;
      },
      5000));
  ASSERT_NE(out.list, nullptr);
  // The same host event, with the same contents, from both.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        orvane_pump(sdk, nullptr);
        return !out.loaded.empty() && !listener->seen.empty();
      },
      5000));
  EXPECT_EQ(out.loaded[0].count, listener->seen[0].count);
  EXPECT_DOUBLE_EQ(out.loaded[0].amount, listener->seen[0].totalReward);
  EXPECT_EQ(out.marks[0], listener->seen[0].mark);
  EXPECT_EQ(out.loaded[0].out_of_date, listener->seen[0].outOfDate ? 1 : 0);

  auto* sortButton = wall->findChild<QPushButton*>("b_sort");
  for (int tab : {0, 1}) {
    QTest::mouseClick(wall->findChild<QPushButton*>(tab == 0 ? "sc_camp_0" : "sc_camp_1"), Qt::LeftButton);
    for (orvane_sort_mode sort : {ORVANE_SORT_INIT, ORVANE_SORT_HIGH, ORVANE_SORT_LOW}) {
      // The Qt wall's sort button moves on from whatever it shows: tap to the mode.
      for (int taps = 0; taps < 3 && sortButton->text().toStdString() != orvane_sort_title(sort); ++taps) {
        QTest::mouseClick(sortButton, Qt::LeftButton);
      }
      ASSERT_EQ(sortButton->text().toStdString(), orvane_sort_title(sort));
      ASSERT_EQ(orvane_list_select(out.list, tab, sort), ORVANE_OK);
      const auto qt = shownBy(*screen);
      EXPECT_FALSE(qt.empty());
      EXPECT_EQ(capi_test::campids(out.list), qt) << "tab " << tab << " sort " << sort;
    }
  }
  orvane_list_free(out.list);
  orvane_destroy(sdk);
}

}  // namespace
}  // namespace orvane::testing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
