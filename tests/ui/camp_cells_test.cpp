#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "orvane/localized.hpp"
#include "orvane/orvane.hpp"
#include "ui/screens/camp_cps_table_view_cell.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/widgets/image_view.hpp"

namespace orvane::ui {
namespace {

struct Clicks : CampClickProtocol {
  void onClick(int row) override { rows.push_back(row); }
  std::vector<int> rows;
};

// The shared services: the cells only read the flow's waiting list and load images.
const Services& services() {
  static const Services shared = Services::shared();
  return shared;
}

Camp camp(std::int64_t id) {
  Camp c;
  c.campid = id;
  c.bm = 1;
  c.name = "Campaign " + std::to_string(id);
  c.rewarddesc = "<p>Install and <b>open</b></p>";
  c.rewardprice = 1000.0;
  c.pricemark = "P";
  c.cta = "Join";
  c.iconurl = "http://127.0.0.1:9/icon.png";
  return c;
}

TEST(CampCells, TheOrdinaryCellShowsTheCampaignAndItsState) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  CampTableViewCell cell(services());
  cell.resize(390, 100);
  Camp a = camp(1);
  a.nativeurl = "http://127.0.0.1:9/native.png";
  a.ctvwidth = 600;
  a.ctvheight = 300;

  // Native style: the wide image, sized from the advertised size until the image arrives.
  cell.setItem(a, 0, Orvane::TYPE_LIST_NATIVE, nullptr);
  EXPECT_TRUE(cell.showsNativeImage());
  EXPECT_FALSE(cell.showsIcon());
  EXPECT_EQ(cell.lchDivision(), 10);
  EXPECT_EQ(cell.nativeImageRect().height(), (390 - 32) / 2);
  EXPECT_EQ(cell.titleText(), "Campaign 1");
  EXPECT_EQ(cell.contentText(), "Install and open 1,000 P");
  EXPECT_EQ(cell.buttonText(), "Join");
  EXPECT_EQ(cell.state(), CampTableViewCell::State::join);

  // The price never touches the description, and adds no space where none is needed.
  for (const auto& [desc, shown] : std::vector<std::pair<std::string, QString>>{
           {"", "1,000 P"}, {"ends in a space ", "ends in a space 1,000 P"}, {"a<br>", "a\n1,000 P"}}) {
    Camp d = camp(1);
    d.rewarddesc = desc;
    cell.setItem(d, 0, Orvane::TYPE_LIST_ICON, nullptr);
    EXPECT_EQ(cell.contentText(), shown) << desc;
  }

  // Icon style ignores nativeurl; list type 0 behaves the same.
  for (int listType : {Orvane::TYPE_LIST_ICON, 0}) {
    cell.setItem(a, 0, listType, nullptr);
    EXPECT_FALSE(cell.showsNativeImage());
    EXPECT_TRUE(cell.showsIcon());
    EXPECT_EQ(cell.lchDivision(), 2);
  }

  // convflag 1 is the collect state; reuse for a plain campaign returns to join.
  Camp done = camp(2);
  done.convflag = 1;
  cell.setItem(done, 1, Orvane::TYPE_LIST_ICON, nullptr);
  EXPECT_EQ(cell.state(), CampTableViewCell::State::collect);
  EXPECT_EQ(cell.buttonText().toStdString(), localized("ov_accumulate"));
  cell.setItem(camp(3), 2, Orvane::TYPE_LIST_ICON, nullptr);
  EXPECT_EQ(cell.state(), CampTableViewCell::State::join);
  EXPECT_EQ(cell.buttonText(), "Join");

  // An icon address that does not parse leaves no icon.
  Camp broken = camp(4);
  broken.iconurl = "not a url";
  cell.setItem(broken, 3, Orvane::TYPE_LIST_ICON, nullptr);
  EXPECT_FALSE(cell.showsIcon());
}

TEST(CampCells, DetailPageCampaignsAskTheListOnATapInBothCells) {
  Clicks clicks;
  Camp a = camp(5);
  a.detailpage = 1;
  CampTableViewCell ordinary(services());
  ordinary.resize(390, ordinary.heightForWidth(390));
  ordinary.setItem(a, 7, Orvane::TYPE_LIST_ICON, &clicks);
  QTest::mouseClick(&ordinary, Qt::LeftButton, {}, QPoint(20, 20));

  Camp b = camp(6);
  b.bm = 4;
  b.detailpage = 1;
  b.cpsdcprice = 1500;
  CampCPSTableViewCell cps(services());
  cps.resize(390, cps.heightForWidth(390));
  cps.setItem(b, 9, &clicks);
  EXPECT_EQ(cps.contentText().toStdString(), "1,500" + localized("ov_won"));
  EXPECT_EQ(cps.buttonText(), "1,000 P");
  QTest::mouseClick(&cps, Qt::LeftButton, {}, QPoint(200, 20));
  EXPECT_EQ(clicks.rows, (std::vector<int>{7, 9}));
}

// Icons come from web addresses only, mended into URL text; anything else shows none.
TEST(CampCells, IconsLoadOnlyFromWebAddresses) {
  CampTableViewCell cell(services());
  cell.resize(390, 100);
  CampCPSTableViewCell cps(services());
  cps.resize(390, 100);
  const auto boundIcon = [](QWidget& w) { return w.findChild<qt::ImageView*>("iv_icon")->boundUrl(); };

  Camp spaced = camp(7);
  spaced.iconurl = "http://127.0.0.1:9/icon 1.png";
  cell.setItem(spaced, 0, Orvane::TYPE_LIST_ICON, nullptr);
  EXPECT_TRUE(cell.showsIcon());
  EXPECT_EQ(boundIcon(cell), "http://127.0.0.1:9/icon%201.png");

  Camp local = camp(8);
  local.bm = 4;
  for (const char* address : {"file:///etc/hostname", "/etc/hostname"}) {
    local.iconurl = address;
    cell.setItem(local, 1, Orvane::TYPE_LIST_ICON, nullptr);
    EXPECT_FALSE(cell.showsIcon()) << address;
    EXPECT_EQ(boundIcon(cell), std::nullopt) << address;
    cps.setItem(local, 1, nullptr);
    EXPECT_EQ(boundIcon(cps), std::nullopt) << address;
  }
}

}  // namespace
}  // namespace orvane::ui
