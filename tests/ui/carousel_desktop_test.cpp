// The carousel on a real X server (ctest runs these under xvfb-run with the xcb platform):
// the pointer and the keys go through XTEST, so the X server, Qt's xcb input and the
// widget's grab and focus are all on the path. Elsewhere they skip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "ui/screens/orvane_carousel_view.hpp"

// Last: Xlib's macros (None, KeyPress...) must not meet Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace orvane::ui {
namespace {

constexpr int kWaitMs = 5000;

class XTestInput {
 public:
  XTestInput() : display_(XOpenDisplay(nullptr)) {
    int event = 0, error = 0, major = 0, minor = 0;
    ok_ = display_ != nullptr && XTestQueryExtension(display_, &event, &error, &major, &minor);
  }
  ~XTestInput() {
    if (display_) XCloseDisplay(display_);
  }
  XTestInput(const XTestInput&) = delete;
  XTestInput& operator=(const XTestInput&) = delete;

  bool ok() const { return ok_; }
  void moveTo(QPoint global) {
    XTestFakeMotionEvent(display_, -1, global.x(), global.y(), 0);
    XFlush(display_);
  }
  void button(bool down) {
    XTestFakeButtonEvent(display_, 1, down ? True : False, 0);
    XFlush(display_);
  }
  void key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display_, sym);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
  }

 private:
  Display* display_;
  bool ok_ = false;
};

int centredCard(const OrvaneCarouselView& view) {
  CarouselCollectionView* row = view.collectionView();
  for (int item = 0; item < 5; ++item)
    if (std::abs(row->rectForItem(item).x() + 150 - row->width() / 2.0) <= 0.5) return item;
  return -1;
}

bool atRest(const OrvaneCarouselView& view) {
  return !view.collectionView()->isDragging() && !view.collectionView()->isDecelerating();
}

bool plainOnly(const OrvaneCarouselView& view, int card) {
  for (int i = 0; i < 5; ++i)
    if (view.items()[static_cast<std::size_t>(i)].isDimmed != (i != card)) return false;
  return true;
}

// What the X server shows at a point of `widget`.
QColor onScreen(QWidget* widget, QPoint local) {
  const QPoint at = widget->mapToGlobal(local);
  return widget->screen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
         std::abs(a.blue() - b.blue()) <= 3;
}

QColor dimmed(const QColor& c) {
  return QColor::fromRgbF(c.redF() * 0.55f, c.greenF() * 0.55f, c.blueF() * 0.55f);
}

class CarouselOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      if (std::getenv("ORVANE_REQUIRE_X11"))
        FAIL() << "platform " << qPrintable(QGuiApplication::platformName());
      GTEST_SKIP() << "needs the xcb platform (run under xvfb-run)";
    }
    ASSERT_TRUE(input_.ok()) << "no XTEST on this display";
    view_ = std::make_unique<OrvaneCarouselView>(OrvaneCarouselView::Options{true, 11});
    view_->move(40, 40);
    view_->resize(390, 560);
    view_->show();
    // Xvfb has no window manager to hand the focus over.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
  }

  XTestInput input_;
  std::unique_ptr<OrvaneCarouselView> view_;
};

TEST_F(CarouselOnX11, ARealDragFollowsThePointerAndComesToRestOnACard) {
  CarouselCollectionView* row = view_->collectionView();
  const QPoint start = row->mapToGlobal(QPoint(300, 200));
  input_.moveTo(start);
  input_.button(true);
  for (int dx = 20; dx <= 200; dx += 20) input_.moveTo(start - QPoint(dx, 0));
  // Held: the row sits under the pointer, stretched by nothing, card 1 nearest the middle.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return row->isDragging() && row->contentOffset() == -45 + 200; }, kWaitMs));
  EXPECT_TRUE(plainOnly(*view_, 1));
  EXPECT_TRUE(row->hasFocus());

  input_.button(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(*view_); }, kWaitMs));
  // However fast the X server replayed the moves, the row went forward and rests on a card.
  const int card = centredCard(*view_);
  ASSERT_GE(card, 1);
  EXPECT_TRUE(plainOnly(*view_, card));
  EXPECT_EQ(view_->pageControl()->currentPage(), card);
  // On screen: the middle card plain, the one to its left dimmed.
  const QColor middle = view_->items()[static_cast<std::size_t>(card)].color;
  const QColor left = view_->items()[static_cast<std::size_t>(card - 1)].color;
  EXPECT_TRUE(QTest::qWaitFor([&] { return near(onScreen(row, QPoint(195, 200)), middle); }, kWaitMs))
      << qPrintable(onScreen(row, QPoint(195, 200)).name()) << " vs " << qPrintable(middle.name());
  EXPECT_TRUE(near(onScreen(row, QPoint(10, 200)), dimmed(left)))
      << qPrintable(onScreen(row, QPoint(10, 200)).name()) << " vs " << qPrintable(dimmed(left).name());
}

TEST_F(CarouselOnX11, ArrowKeysAndTheDotsMoveBetweenCards) {
  CarouselCollectionView* row = view_->collectionView();
  CarouselPageControl* dots = view_->pageControl();
  ASSERT_TRUE(row->hasFocus());
  input_.key(XK_Right);
  ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(*view_) && centredCard(*view_) == 1; }, kWaitMs));
  EXPECT_TRUE(plainOnly(*view_, 1));
  EXPECT_TRUE(row->cellForItem(1)->isFocusRingVisible());
  input_.key(XK_End);
  ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(*view_) && centredCard(*view_) == 4; }, kWaitMs));
  EXPECT_EQ(dots->currentPage(), 4);

  input_.key(XK_Tab);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dots->hasFocus(); }, kWaitMs));
  input_.key(XK_Left);
  input_.key(XK_Left);
  ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(*view_) && centredCard(*view_) == 2; }, kWaitMs));
  EXPECT_EQ(dots->currentPage(), 2);
  EXPECT_TRUE(plainOnly(*view_, 2));

  // A click on the first dot.
  input_.moveTo(dots->mapToGlobal(dots->dotCentre(0)));
  input_.button(true);
  input_.button(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(*view_) && centredCard(*view_) == 0; }, kWaitMs));
  EXPECT_TRUE(plainOnly(*view_, 0));
}

}  // namespace
}  // namespace orvane::ui
