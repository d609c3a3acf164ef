// The facade's entry points as a host meets them: the presented wall's window on the
// host's screen, Esc through the wall's layers, the embedded wall's close request and
// the one rule for "initialised". The *OnXvfb* cases repeat the window and the keys on
// a real X server, where the keys come in through XTEST.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <string>

#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/wall_placement.hpp"
#include "wall_test_support.hpp"

// Last: Xlib's macros (None, KeyPress...) must not meet Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace orvane::testing {
namespace {

// Generous: a waiting condition returns as soon as it holds, and a busy machine with a
// window manager starting up can take seconds to map a window.
constexpr int kWaitMs = 15000;

// --- Where the wall goes

TEST(WallPlacement, StaysInsideTheAvailableAreaWhereverTheHostIs) {
  const QRect screen(0, 0, 1280, 800);
  // The host at the top-left corner: centred on it, the wall would start at y = -120.
  auto p = ui::placeWall(QRect(0, 0, 600, 480), screen, {});
  EXPECT_EQ(p.size, QSize(390, 720));
  EXPECT_EQ(p.framePosition, QPoint(105, 0));
  // The decorations (title bar included) stay inside too; so does a host off the corner.
  p = ui::placeWall(QRect(0, 0, 600, 480), screen, QMargins(1, 30, 1, 1));
  EXPECT_TRUE(screen.contains(QRect(p.framePosition, p.size.grownBy(QMargins(1, 30, 1, 1)))));
  p = ui::placeWall(QRect(1200, 700, 600, 480), screen, {});
  EXPECT_EQ(p.framePosition, QPoint(1280 - 390, 800 - 720));
  // 640 x 480 at a scale factor of 2 with a panel: size and minimum shrink to fit.
  const QRect tiny(0, 12, 320, 228);
  p = ui::placeWall(QRect(0, 12, 300, 200), tiny, QMargins(2, 10, 2, 2));
  EXPECT_EQ(p.minimum, QSize(316, 216));
  EXPECT_EQ(p.size, p.minimum);
  EXPECT_EQ(p.framePosition, tiny.topLeft());
}

// --- The presented wall and its layers

ui::NavigationController* navigationOf(QWidget* window) {
  return window ? window->findChild<ui::NavigationController*>() : nullptr;
}

ui::CanReceiveBenefitsViewController* popupOf(QWidget* window) {
  for (auto* popup : window->findChildren<ui::CanReceiveBenefitsViewController*>())
    if (popup->isVisible()) return popup;
  return nullptr;
}

class PresentedWallTest : public WallTest {
 protected:
  void SetUp() override {
    WallTest::SetUp();
    initialize();
    Orvane::shared().setMainTitle("Free coins");
    Orvane::shared().setBenefitsType(Orvane::TYPE_BENEFITS_DISPLAY_POPUP);
  }
  void TearDown() override {
    delete dialog_.data();
    host_.reset();
    WallTest::TearDown();
  }

  // A host window at the very top-left of its screen's available area, as the demo has it.
  void showHostAtTheCorner() {
    host_ = std::make_unique<QWidget>();
    host_->setWindowTitle("host");
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    host_->resize(QSize(600, 480).boundedTo(available.size()));
    host_->move(available.topLeft());
    host_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get(), kWaitMs));
  }

  void present() {
    Orvane::shared().presentOrvane(host_.get());
    dialog_ = host_->findChild<QDialog*>(QStringLiteral("orvane_wall_window"));
    ASSERT_NE(dialog_, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_, kWaitMs));
  }

  bool onScreen() const {
    const QRect available = host_->screen()->availableGeometry();
    return available.contains(dialog_->frameGeometry());
  }

  void expectAProperDialogOnScreen() {
    EXPECT_EQ(dialog_->windowTitle(), "Free coins");
    EXPECT_EQ(dialog_->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(dialog_->isVisible());
    const QRect available = host_->screen()->availableGeometry();
    // A window manager may still be placing it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(); }, kWaitMs))
        << "frame " << qPrintable(rectText(dialog_->frameGeometry())) << " on "
        << qPrintable(rectText(available));
    QTest::qWait(0);
    EXPECT_TRUE(onScreen()) << "and stays there";
    const auto* bar = dialog_->findChild<QWidget*>(QStringLiteral("navigation_bar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(available.contains(QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size())));
    EXPECT_LE(dialog_->minimumWidth(), available.width());
    EXPECT_LE(dialog_->minimumHeight(), available.height());
    EXPECT_LT(dialog_->minimumSize().width(), dialog_->maximumSize().width()) << "resizable";
    EXPECT_LT(dialog_->minimumSize().height(), dialog_->maximumSize().height()) << "resizable";
  }

  static QString rectText(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
  }

  // Esc, four layers deep, topmost first: an alert over the rewards pop-up, the pop-up,
  // then an alert over a pushed screen, the pushed screen, and the wall itself.
  void escapeClosesEachLayerInTurn(const std::function<void()>& pressEscape) {
    ui::NavigationController* nav = navigationOf(dialog_);
    ASSERT_NE(nav, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return popupOf(dialog_) != nullptr; }, kWaitMs)) << "the list's pop-up";
    QPointer<ui::CanReceiveBenefitsViewController> popup = popupOf(dialog_);
    std::vector<std::string> answered;
    auto alert = [&](const std::string& title) {
      Alert a;
      a.title = title;
      a.actions.push_back(
          {"Go", AlertAction::Style::normal, [&answered, title] { answered.push_back(title); }});
      a.actions.push_back({"Cancel", AlertAction::Style::cancel,
                           [&answered, title] { answered.push_back(title + "/cancel"); }});
      nav->alertHost()->present(std::move(a));
    };

    alert("over the pop-up");
    pressEscape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answered.empty(); }, kWaitMs));
    EXPECT_EQ(answered, (std::vector<std::string>{"over the pop-up/cancel"}));
    EXPECT_TRUE(popup && popup->isVisible()) << "one layer per key";

    pressEscape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup || !popup->isVisible(); }, kWaitMs));

    auto* pushed = new ui::ViewController();
    pushed->navigationItem().title = "Pushed";
    nav->pushViewController(pushed, false);
    alert("over the pushed screen");
    pressEscape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered.size() == 2; }, kWaitMs));
    EXPECT_EQ(answered.back(), "over the pushed screen/cancel");
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    pressEscape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nav->viewControllers().size() == 1; }, kWaitMs));
    EXPECT_TRUE(dialog_->isVisible());

    pressEscape();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog_.isNull(); }, kWaitMs)) << "the wall closes last";
    EXPECT_TRUE(host_->isEnabled());
  }

  std::unique_ptr<QWidget> host_;
  QPointer<QDialog> dialog_;
};

TEST_F(PresentedWallTest, OpensWhollyOnScreenOverAHostAtTheCornerAndEscClosesEachLayer) {
  showHostAtTheCorner();
  present();
  expectAProperDialogOnScreen();
  escapeClosesEachLayerInTurn([this] {
    // Where Qt delivers a key: the focus widget of the wall's window, or the window.
    QWidget* target = dialog_->focusWidget() ? dialog_->focusWidget() : dialog_.data();
    QTest::keyClick(target, Qt::Key_Escape);
  });
}

// A key that reaches the dialog itself (nothing inside has the focus) and the window's
// own close both keep to the rule: one layer per Esc, the whole wall on close.
TEST_F(PresentedWallTest, EscapeOnTheWindowItselfAndTheWindowsCloseBehave) {
  showHostAtTheCorner();
  present();
  auto* nav = navigationOf(dialog_);
  // The list's pop-up is a layer of its own and may open late on a busy machine: let
  // it come, and let the first key close it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return popupOf(dialog_) != nullptr; }, kWaitMs)) << "the list's pop-up";
  QPointer<ui::CanReceiveBenefitsViewController> popup = popupOf(dialog_);
  if (QWidget* focused = dialog_->focusWidget()) focused->clearFocus();
  QTest::keyClick(dialog_.data(), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !popup || !popup->isVisible(); }, kWaitMs));
  nav->pushViewController(new ui::ViewController(), false);
  if (QWidget* focused = dialog_->focusWidget()) focused->clearFocus();
  QTest::keyClick(dialog_.data(), Qt::Key_Escape);
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_TRUE(dialog_->isVisible());
  nav->pushViewController(new ui::ViewController(), false);
  QPointer<QDialog> dialog = dialog_;
  dialog_->close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, kWaitMs)) << "close is not a pop";
}

// --- The one rule for "initialised", at the entry points

TEST_F(PresentedWallTest, AnEmptyKeyMakesNoWallAndSendsNothing) {
  QWidget host;
  host.show();
  for (const char* empty : {keys::kMkey, keys::kMckey, keys::kUserId}) {
    initialize();
    platform_->store->setString(empty, "");
    ::testing::internal::CaptureStderr();
    Orvane::shared().presentOrvane(&host);
    EXPECT_EQ(Orvane::shared().orvaneViewController(&host), nullptr) << empty;
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(host.findChild<QDialog*>(), nullptr) << empty;
    for (const char* operation : {"presentOrvane", "orvaneViewController"})
      EXPECT_NE(told.find(std::string(operation) + ": the SDK is not initialised (empty " + empty),
                std::string::npos)
          << told;
  }
  QTest::qWait(0);
  EXPECT_EQ(count("/v1/req"), 0u);
  initialize();
  std::unique_ptr<OrvaneWall> wall(Orvane::shared().orvaneViewController());
  ASSERT_NE(wall, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return count("/v1/req") == 1; }, kWaitMs));
}

// --- The embedded wall tells its host

TEST_F(PresentedWallTest, AnEmbeddedWallAsksItsHostToCloseIt) {
  QWidget host;
  auto* layout = new QVBoxLayout(&host);
  QPointer<OrvaneWall> wall = Orvane::shared().orvaneViewController(&host);
  ASSERT_NE(wall, nullptr);
  EXPECT_EQ(wall->parentWidget(), &host);
  layout->addWidget(wall);
  host.resize(390, 720);
  host.show();

  // Nobody listening yet: the host's developer hears about it; the wall stays whole.
  ::testing::internal::CaptureStderr();
  QTest::mouseClick(wall->findChild<QToolButton*>(QStringLiteral("b_close")), Qt::LeftButton);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("has not connected closeRequested"),
            std::string::npos);
  EXPECT_TRUE(wall->isVisible()) << "never a blank widget";

  // The close control and Esc on the list ask the host, which removes the wall.
  QSignalSpy asked(wall.data(), &OrvaneWall::closeRequested);
  QTest::mouseClick(wall->findChild<QToolButton*>(QStringLiteral("b_close")), Qt::LeftButton);
  EXPECT_EQ(asked.count(), 1);
  EXPECT_TRUE(wall->isVisible());
  QObject::connect(wall.data(), &OrvaneWall::closeRequested, wall.data(), &QObject::deleteLater);
  auto* nav = navigationOf(wall);
  nav->pushViewController(new ui::ViewController(), false);
  QTest::keyClick(nav, Qt::Key_Escape);
  EXPECT_EQ(asked.count(), 1) << "the first Esc only goes back";
  QTest::keyClick(nav, Qt::Key_Escape);
  EXPECT_EQ(asked.count(), 2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return wall.isNull(); }, kWaitMs));
  EXPECT_TRUE(host.isVisible());

  // Shown as a window of its own, it closes its window.
  std::unique_ptr<OrvaneWall> own(Orvane::shared().orvaneViewController());
  EXPECT_EQ(own->windowTitle(), "Free coins");
  own->show();
  QTest::mouseClick(own->findChild<QToolButton*>(QStringLiteral("b_close")), Qt::LeftButton);
  EXPECT_FALSE(own->isVisible());
}

// --- On a real X server

class XTestKeys {
 public:
  XTestKeys() : display_(XOpenDisplay(nullptr)) {
    int event = 0, error = 0, major = 0, minor = 0;
    ok_ = display_ != nullptr && XTestQueryExtension(display_, &event, &error, &major, &minor);
  }
  ~XTestKeys() {
    if (display_) XCloseDisplay(display_);
  }
  XTestKeys(const XTestKeys&) = delete;
  XTestKeys& operator=(const XTestKeys&) = delete;

  bool ok() const { return ok_; }
  // Whether a window manager has announced itself on the root window.
  bool windowManagerRuns() const {
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1, False, AnyPropertyType, &type,
                           &format, &items, &after, &data) == Success &&
        items > 0;
    if (data) XFree(data);
    return found;
  }
  void press(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display_, sym);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
  }

 private:
  Display* display_;
  bool ok_ = false;
};

class PresentedWallOnXvfb : public PresentedWallTest {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
      GTEST_SKIP() << "runs under xvfb-run with QT_QPA_PLATFORM=xcb";
    }
    ASSERT_TRUE(keys_.ok()) << "no XTEST on this display";
    // ORVANE_XVFB_WM names a window manager to run on the display (ctest's
    // ui.wall_on_xvfb_under_wm); without it the display has none, as a bare X session.
    if (const QString wm = qEnvironmentVariable("ORVANE_XVFB_WM"); !wm.isEmpty()) {
      windowManager_.start(wm, {});
      ASSERT_TRUE(windowManager_.waitForStarted(kWaitMs)) << qPrintable(wm);
      ASSERT_TRUE(QTest::qWaitFor([&] { return keys_.windowManagerRuns(); }, kWaitMs));
    }
    PresentedWallTest::SetUp();
    set_ = true;
  }
  void TearDown() override {
    if (set_) PresentedWallTest::TearDown();
    if (windowManager_.state() != QProcess::NotRunning) {
      windowManager_.terminate();
      windowManager_.waitForFinished(kWaitMs);
    }
  }

  // A grab of the whole screen for a person to look at, when ORVANE_SHOTS_DIR names a
  // folder: once the pop-up's black sheet has slid in and reached the X server.
  void saveShot(const QString& name) const {
    const QString dir = qEnvironmentVariable("ORVANE_SHOTS_DIR");
    if (dir.isEmpty()) return;
    QWidget* popup = popupOf(dialog_);
    // The first row of the 150 px sheet where it comes to rest.
    const QPoint sheet = popup->mapToGlobal(QPoint(8, popup->height() - 149));
    QImage shot;
    const bool settled = QTest::qWaitFor(
        [&] {
          shot = host_->screen()->grabWindow(0).toImage();
          const qreal dpr = shot.devicePixelRatio();
          return shot.pixelColor((sheet.toPointF() * dpr).toPoint()) == QColor(Qt::black);
        },
        kWaitMs);
    EXPECT_TRUE(settled) << "the pop-up never reached the screen";
    QDir().mkpath(dir);
    shot.save(QDir(dir).filePath(name));
  }

  XTestKeys keys_;
  QProcess windowManager_;
  bool set_ = false;  // skipped or failed before the wall's fixture was up: nothing to tear down
};

TEST_F(PresentedWallOnXvfb, LiesOnScreenOverAHostAtTheCornerAndEscClosesEachLayerInTurn) {
  showHostAtTheCorner();
  present();
  // The wall has the keyboard, with a window manager or without one.
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_, kWaitMs));
  expectAProperDialogOnScreen();
  ASSERT_TRUE(QTest::qWaitFor([&] { return popupOf(dialog_) != nullptr; }, kWaitMs));
  saveShot(QStringLiteral("wall-at-corner-scale%1.png").arg(host_->devicePixelRatioF()));
  escapeClosesEachLayerInTurn([this] { keys_.press(XK_Escape); });
  // The host's window takes keys again.
  EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() == nullptr; }, kWaitMs));
}

}  // namespace
}  // namespace orvane::testing
