#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <chrono>

#include "core/participation/api_join.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "orvane/localized.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/copy_right_view.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "wall_test_support.hpp"

namespace orvane::ui {
namespace {

using namespace std::chrono_literals;

constexpr int kWaitMs = 10000;

class DetailScreenTest : public testing::WallTest {
 protected:
  void SetUp() override {
    WallTest::SetUp();
    initialize();
    // The desktop's tracking prompt is not what these tests are about.
    Orvane::shared().setTrackingUsage(false);
    root = new ViewController();
    root->navigationItem().title = "List";
    nav = std::make_unique<NavigationController>(root, services());
    nav->resize(390, 720);
    nav->show();
  }
  void TearDown() override {
    nav.reset();
    ApiJoin::shared().viewController.reset();
    WallTest::TearDown();
  }

  Camp camp(std::int64_t convflag) const {
    Camp c;
    c.campid = 10001;
    c.name = "Cloudberry Puzzle";
    c.cta = "Install and play";
    c.rewarddesc = "<b>Install</b> and reach level 3";
    c.joindesc = "<p>Install the app.</p><p>Open it once.</p>";
    c.rewardprice = 1500;
    c.pricemark = "P";
    c.bm = 1;
    c.convflag = convflag;
    c.iconurl = server_->imageUrl("icon-64x64.png");
    return c;
  }

  // Pushes a detail screen for `c` and waits for the view request to be handled.
  DetailViewController* open(const Camp& c, bool waitForView = true) {
    auto* detail = new DetailViewController(services());
    detail->camp = c;
    QSignalSpy answered(detail, &DetailViewController::viewAnswered);
    nav->pushViewController(detail, true);
    if (waitForView) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return answered.count() > 0; }, kWaitMs));
    }
    return detail;
  }
  static QPushButton* reward(DetailViewController* d) { return d->findChild<QPushButton*>("b_reward"); }

  ViewController* root = nullptr;
  std::unique_ptr<NavigationController> nav;
};

// The back name a detail screen gave the list goes with it: a screen pushed later
// (the inquiry form, which names none) must not show the campaign's name.
TEST_F(DetailScreenTest, TheBackNameItGaveTheListGoesWithIt) {
  root->navigationItem().backButtonTitle = "";
  QPointer<DetailViewController> detail = open(camp(0), false);
  EXPECT_EQ(nav->findChild<QToolButton*>("b_back")->text(), "Cloudberry Puzzle");
  nav->popViewController(false);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(detail.isNull());
  EXPECT_EQ(root->navigationItem().backButtonTitle, "");
  nav->pushViewController(new ViewController(services()), false);
  EXPECT_EQ(nav->findChild<QToolButton*>("b_back")->text(), QString::fromStdString(localized("ov_back")));
}

// A popped screen is deleted only later, from the event loop: the screens pushed before
// that happens still show their own back names, then and after it.
TEST_F(DetailScreenTest, ABackNameHoldsWhileThePoppedScreenAwaitsDeletion) {
  root->navigationItem().backButtonTitle = "";
  auto* back = nav->findChild<QToolButton*>("b_back");
  QPointer<DetailViewController> first = open(camp(0), false);
  nav->popViewController(false);
  ASSERT_FALSE(first.isNull()) << "the popped screen should still await deletion here";
  Camp other = camp(0);
  other.campid = 10002;
  other.name = "TidyHome Cleaner";
  QPointer<DetailViewController> second = open(other, false);
  const QString secondName = QString::fromStdString(other.name);
  EXPECT_EQ(back->text(), secondName);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(first.isNull());
  EXPECT_EQ(back->text(), secondName);
  nav->popViewController(false);
  nav->pushViewController(new ViewController(services()), false);
  EXPECT_EQ(back->text(), QString::fromStdString(localized("ov_back")));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(back->text(), QString::fromStdString(localized("ov_back")));
  EXPECT_EQ(root->navigationItem().backButtonTitle, "");
}

// A click leaves the reward button and the back control plain; the keyboard's focus is
// drawn, and stays drawn when it comes back from a pop-up.
TEST_F(DetailScreenTest, OnlyTheKeyboardsFocusIsDrawn) {
  auto* detail = open(camp(0));
  nav->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(nav.get()));
  QPushButton* button = reward(detail);
  // Focus that is already there sends no event: each focus starts from none.
  // Tab's reason as the keyboard gives it: a key was the user's latest press.
  auto focusBy = [](QWidget* w, Qt::FocusReason reason) {
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) QTest::keyClick(w, Qt::Key_Shift);
    w->clearFocus();
    w->setFocus(reason);
  };
  auto edge = [&] { return button->grab().toImage().pixelColor(1, button->height() / 2); };
  focusBy(button, Qt::MouseFocusReason);
  EXPECT_NE(edge(), QColor(0x11, 0x11, 0x11));
  focusBy(button, Qt::TabFocusReason);
  EXPECT_EQ(edge(), QColor(0x11, 0x11, 0x11));
  // Qt hands the focus on with Tab's reason when the focused widget hides (a pop-up
  // closed by a click, a screen pushed over the list): after a click it stays plain.
  QTest::mouseClick(detail->findChild<QLabel*>("l_title"), Qt::LeftButton);
  button->clearFocus();
  button->setFocus(Qt::TabFocusReason);
  EXPECT_NE(edge(), QColor(0x11, 0x11, 0x11));

  auto* back = nav->findChild<QToolButton*>("b_back");
  for (QWidget* control : {static_cast<QWidget*>(button), static_cast<QWidget*>(back)}) {
    focusBy(control, Qt::MouseFocusReason);
    EXPECT_FALSE(control->property("keyboardFocus").toBool()) << control->objectName().toStdString();
    focusBy(control, Qt::BacktabFocusReason);
    EXPECT_TRUE(control->property("keyboardFocus").toBool()) << control->objectName().toStdString();
    QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(control, &out);
    EXPECT_FALSE(control->property("keyboardFocus").toBool());
    QFocusEvent in(QEvent::FocusIn, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(control, &in);
    EXPECT_TRUE(control->property("keyboardFocus").toBool()) << "lost on the way back from a pop-up";
  }
}

TEST_F(DetailScreenTest, FillsTheScreenAndTakesTheFlowsAlerts) {
  auto* detail = open(camp(0));
  EXPECT_EQ(root->navigationItem().backButtonTitle, "Cloudberry Puzzle");
  EXPECT_EQ(nav->findChild<QToolButton*>("b_back")->text(), "Cloudberry Puzzle");
  EXPECT_EQ(detail->findChild<QLabel*>("l_title")->text(), "Cloudberry Puzzle");
  const QString content = detail->findChild<QTextBrowser*>("l_content")->toPlainText();
  EXPECT_TRUE(content.startsWith("Install and reach level 3")) << content.toStdString();
  EXPECT_TRUE(content.endsWith(" 1,500 P")) << "the price touches the description: " << content.toStdString();
  EXPECT_EQ(detail->findChild<QTextBrowser*>("l_how_participate")->toPlainText(),
            "Install the app.\nOpen it once.");
  EXPECT_EQ(reward(detail)->text(), "Install and play");
  EXPECT_EQ(ApiJoin::shared().viewController.lock(), nav->alertHost());

  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !detail->findChild<QTextBrowser*>("l_join_desc")->toPlainText().isEmpty(); }, kWaitMs));
  EXPECT_TRUE(detail->findChild<QWidget*>("v_join_desc")->isVisible());
  ASSERT_EQ(count("/v1/view"), 1u);
  EXPECT_EQ(server_->received("/v1/view").front().queryValue("campid"), "10001");
}

TEST_F(DetailScreenTest, JoinWorksOnlyForAnUnconvertedCampaignAndOnlyOnceTheViewIsAnswered) {
  sandbox::Forcing slow;
  slow.endpoint = "/v1/view";
  slow.delayMs = 1500;
  server_->force(slow);
  auto* detail = open(camp(0), false);
  QSignalSpy answered(detail, &DetailViewController::viewAnswered);
  QTest::mouseClick(reward(detail), Qt::LeftButton);
  EXPECT_FALSE(detail->hasRewardAction()) << "before the view answer the button does nothing";
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered.count() > 0; }, kWaitMs));
  EXPECT_EQ(count("/v1/join"), 0u);
  QTest::mouseClick(reward(detail), Qt::LeftButton);
  EXPECT_TRUE(server_->waitForRequests("/v1/join", 1, 10s));
}

TEST_F(DetailScreenTest, AFailedViewAnswerStillAllowsTheJoin) {
  sandbox::Forcing failing;
  failing.endpoint = "/v1/view";
  failing.result = 500;
  server_->force(failing);
  auto* detail = open(camp(0));
  EXPECT_TRUE(sink_->contains("DetailViewController apiView Error : Optional(500)"));
  QTest::mouseClick(reward(detail), Qt::LeftButton);
  EXPECT_TRUE(server_->waitForRequests("/v1/join", 1, 10s));
}

TEST_F(DetailScreenTest, ConvertedCampaignWaitsForTheFlowThenChecksAndCollects) {
  auto* detail = open(camp(1));
  EXPECT_FALSE(detail->hasRewardAction());
  EXPECT_EQ(reward(detail)->text(), "Install and play");

  int listChanges = 0;
  auto observation = NotificationCenter::shared().observe(kActionListChange, [&] { ++listChanges; });
  detail->onParticipationCheckPossible(10001);
  EXPECT_EQ(reward(detail)->text(), QString::fromStdString(localized("ov_participation_check")));
  EXPECT_EQ(listChanges, 1);
  QTest::mouseClick(reward(detail), Qt::LeftButton);
  EXPECT_TRUE(server_->waitForRequests("/v1/exec", 1, 10s));

  detail->onAccumulationPossible(10001, "key-from-flow");
  EXPECT_EQ(reward(detail)->text(), QString::fromStdString(localized("ov_accumulate")));
  QTest::mouseClick(reward(detail), Qt::LeftButton);
  ASSERT_TRUE(server_->waitForRequests("/v1/reward", 1, 10s));
  EXPECT_EQ(server_->received("/v1/reward").front().queryValue("ovnkey"), "key-from-flow");
  EXPECT_EQ(count("/v1/join"), 0u);
}

TEST_F(DetailScreenTest, DetailFinishReturnsToTheListAndDeletesTheScreen) {
  QPointer<DetailViewController> detail = open(camp(0));
  NotificationCenter::shared().post(kActionDetailFinish);
  EXPECT_EQ(nav->topViewController(), root);
  EXPECT_TRUE(QTest::qWaitFor([&] { return detail.isNull(); }, kWaitMs));
  NotificationCenter::shared().post(kActionDetailFinish);  // no screen left to pop: harmless
  EXPECT_EQ(nav->topViewController(), root);
}

TEST_F(DetailScreenTest, ImageChoiceAndHeightFromTheAspectRatio) {
  Camp both = camp(0);
  both.viewurl = server_->imageUrl("view-1000x500.png");
  both.nativeurl = server_->imageUrl("native-600x600.png");
  auto* detail = open(both);
  auto* native = detail->findChild<QLabel*>("iv_native");
  ASSERT_TRUE(QTest::qWaitFor([&] { return native->height() == native->width() / 2; }, kWaitMs))
      << native->width() << "x" << native->height();
  EXPECT_FALSE(detail->findChild<QLabel*>("iv_icon")->isVisible());
  EXPECT_EQ(count("/img/native-600x600.png"), 0u);

  nav->popToRootViewController(false);
  auto* iconOnly = open(camp(0));
  EXPECT_FALSE(iconOnly->findChild<QLabel*>("iv_native")->isVisible());
  EXPECT_TRUE(iconOnly->findChild<QLabel*>("iv_icon")->isVisible());
  EXPECT_TRUE(server_->waitForRequests("/img/icon-64x64.png", 1, 10s));
}

TEST_F(DetailScreenTest, CopyrightFooterFollowsTheSetting) {
  Orvane::shared().setCopyRightVisibility(true);
  auto* shown = open(camp(0));
  auto* footer = shown->findChild<CopyRightView*>("v_copyright");
  ASSERT_NE(footer, nullptr);
  EXPECT_TRUE(footer->isVisible());
  EXPECT_EQ(footer->height(), 30);
  ASSERT_NE(footer->content(), nullptr);
  EXPECT_EQ(footer->content()->size(), footer->size());

  nav->popToRootViewController(false);
  Orvane::shared().setCopyRightVisibility(false);
  auto* hidden = open(camp(0));
  footer = hidden->findChild<CopyRightView*>("v_copyright");
  ASSERT_NE(footer, nullptr);
  EXPECT_FALSE(footer->isVisible());
  EXPECT_EQ(footer->height(), 0);
  EXPECT_EQ(footer->content(), nullptr);
  // The reward button then ends at the bottom padding, with no gap for the footer.
  EXPECT_EQ(hidden->height() - (reward(hidden)->geometry().bottom() + 1), 12);
}

// Server data never names a file of this machine that the screen then reads.
TEST_F(DetailScreenTest, ImageAddressesThatAreNoWebAddressesAreNotRead) {
  QTemporaryDir dir;
  const QString path = dir.filePath("private.png");
  ASSERT_TRUE(QImage(100, 400, QImage::Format_ARGB32).save(path));
  for (const QString& address : {QUrl::fromLocalFile(path).toString(), path}) {
    Camp local = camp(0);
    local.viewurl = address.toStdString();
    auto* detail = open(local);
    EXPECT_TRUE(sink_->contains("no usable image address: " + address.toStdString()));
    EXPECT_EQ(detail->findChild<QLabel*>("iv_native")->height(), 200) << "the placeholder only";
    nav->popToRootViewController(false);
  }
}

// A screen works with what it is made with: its own store, flow and notification centre.
TEST_F(DetailScreenTest, UsesTheServicesItIsMadeWithNotTheSharedOnes) {
  auto own = services();
  auto platform = std::make_shared<Platform>(*own.platform);
  auto store = std::make_shared<MemoryKeyValueStore>();
  for (const char* key : {keys::kMkey, keys::kMckey, keys::kUserId})
    store->setString(key, platform_->store->string(key).value_or(""));
  store->setBool(keys::kCopyrightVisibility, true);  // the installed store says no
  platform->store = store;
  NotificationCenter center;
  ApiJoin flow(platform, center);
  own.platform = platform;
  own.join = &flow;
  own.notifications = &center;

  QPointer<DetailViewController> detail = new DetailViewController(own);
  detail->camp = camp(0);
  QSignalSpy answered(detail.data(), &DetailViewController::viewAnswered);
  nav->pushViewController(detail, false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered.count() > 0; }, kWaitMs));
  EXPECT_TRUE(detail->findChild<CopyRightView*>("v_copyright")->isVisible());
  EXPECT_EQ(flow.viewController.lock(), nav->alertHost());
  QTest::mouseClick(reward(detail), Qt::LeftButton);
  EXPECT_NE(flow.joinProtocol.lock(), nullptr);

  NotificationCenter::shared().post(kActionDetailFinish);
  EXPECT_EQ(nav->topViewController(), detail.data());
  center.post(kActionDetailFinish);
  EXPECT_EQ(nav->topViewController(), root);
  EXPECT_TRUE(QTest::qWaitFor([&] { return detail.isNull(); }, kWaitMs));
}

class BenefitsPopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(390, 720);
    window.show();
  }
  QPointer<CanReceiveBenefitsViewController> present(std::optional<QString> text) {
    Services still;
    still.animations = false;
    auto* popup = new CanReceiveBenefitsViewController(still);
    popup->rewardPriceAndMark = std::move(text);
    popup->presentIn(&window);
    return popup;
  }
  QWidget window;
};

TEST_F(BenefitsPopupTest, ShowsTheTotalAndClosesFromTheMarkOrOutside) {
  auto popup = present(QStringLiteral("12,500 P"));
  auto* sheet = popup->findChild<QWidget*>("v_popup_sheet");
  EXPECT_EQ(popup->findChild<QLabel*>("l_popup_coins_value")->text(), "12,500 P");
  EXPECT_EQ(sheet->height(), 150);
  EXPECT_EQ(sheet->geometry().bottom(), window.rect().bottom());

  QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(20, 100));  // inside: stays
  EXPECT_TRUE(popup->isVisible());
  QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_TRUE(QTest::qWaitFor([&] { return popup.isNull(); }, kWaitMs));

  auto second = present(std::nullopt);
  EXPECT_TRUE(second->findChild<QLabel*>("l_popup_coins_value")->text().isEmpty());
  QSignalSpy dismissed(second.data(), &CanReceiveBenefitsViewController::dismissed);
  QTest::mouseClick(second->findChild<QToolButton*>("iv_close"), Qt::LeftButton);
  EXPECT_EQ(dismissed.count(), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return second.isNull(); }, kWaitMs));
}

}  // namespace
}  // namespace orvane::ui
