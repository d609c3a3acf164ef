#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/localized.hpp"
#include "orvane/orvane.hpp"
#include "platform/qt/qt_platform.hpp"
#include "ui/screens/orvane_carousel_view.hpp"

namespace orvane::ui {
namespace {

constexpr double kStep = 324;

std::vector<bool> dimming(const OrvaneCarouselView& view) {
  std::vector<bool> out;
  for (const MyModel& m : view.items()) out.push_back(m.isDimmed);
  return out;
}

std::vector<bool> plainAt(int card) {
  std::vector<bool> out(5, true);
  if (card >= 0) out[static_cast<std::size_t>(card)] = false;
  return out;
}

// Every live cell shows its item as the model says, where the row says.
void expectCellsMatchModel(const OrvaneCarouselView& view) {
  CarouselCollectionView* row = view.collectionView();
  for (int item = 0; item < 5; ++item) {
    MyCollectionViewCell* cell = row->cellForItem(item);
    if (cell == nullptr) continue;
    EXPECT_EQ(cell->color(), view.items()[static_cast<std::size_t>(item)].color) << item;
    EXPECT_EQ(cell->isDimmed(), view.items()[static_cast<std::size_t>(item)].isDimmed) << item;
    EXPECT_EQ(cell->geometry(), row->rectForItem(item)) << item;
    EXPECT_TRUE(cell->isVisible()) << item;
  }
}

// The card whose centre is the row's centre, or -1.
int centredCard(const OrvaneCarouselView& view) {
  CarouselCollectionView* row = view.collectionView();
  for (int item = 0; item < 5; ++item)
    if (std::abs(row->rectForItem(item).x() + 150 - row->width() / 2.0) <= 0.5) return item;
  return -1;
}

class Mouse {
 public:
  explicit Mouse(QWidget* target) : target_(target) {}
  void press(double x) { send(QEvent::MouseButtonPress, x, Qt::LeftButton, Qt::LeftButton); }
  void move(double x, unsigned long afterMs) {
    time_ += afterMs;
    send(QEvent::MouseMove, x, Qt::NoButton, Qt::LeftButton);
  }
  void release(double x, unsigned long afterMs) {
    time_ += afterMs;
    send(QEvent::MouseButtonRelease, x, Qt::LeftButton, Qt::NoButton);
  }
  // From `from` to `to` in even steps of `msPerStep`.
  void drag(double from, double to, int steps, unsigned long msPerStep, unsigned long releaseAfterMs) {
    press(from);
    for (int i = 1; i <= steps; ++i) move(from + (to - from) * i / steps, msPerStep);
    release(to, releaseAfterMs);
  }

 private:
  void send(QEvent::Type type, double x, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF local(x, 200);
    QMouseEvent event(type, local, target_->mapToGlobal(local), button, buttons, Qt::NoModifier);
    event.setTimestamp(time_);
    QApplication::sendEvent(target_, &event);
  }
  QWidget* target_;
  unsigned long time_ = 1000;
};

// Paint events per widget, to see what a change repaints.
class PaintLog : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted.insert(watched);
    return false;
  }
  std::set<const QObject*> painted;
};

bool paintedAnyOf(const PaintLog& log, const MyCollectionViewCell* cell) {
  return log.painted.count(cell) || log.painted.count(cell->myView()) ||
         log.painted.count(cell->dimmedView());
}

class CarouselViewTest : public ::testing::Test {
 protected:
  std::unique_ptr<OrvaneCarouselView> show(int width, bool animated = false, int height = 560) {
    auto view = std::make_unique<OrvaneCarouselView>(OrvaneCarouselView::Options{animated, 42});
    view->resize(width, height);
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    return view;
  }
};

TEST_F(CarouselViewTest, StartsWithFiveDimmedCardsOnPageZeroAndCardZeroCentred) {
  auto view = show(390);
  CarouselCollectionView* row = view->collectionView();
  ASSERT_EQ(view->items().size(), 5u);
  EXPECT_EQ(dimming(*view), plainAt(-1));
  EXPECT_EQ(view->previousIndex(), std::nullopt);
  EXPECT_EQ(view->pageControl()->numberOfPages(), 5);
  EXPECT_EQ(view->pageControl()->currentPage(), 0);

  // The row across the whole width, 400 high and centred; the dots 16 below, centred.
  EXPECT_EQ(row->geometry(), QRect(0, 80, 390, 400));
  EXPECT_EQ(view->pageControl()->geometry().top(), 80 + 400 + 16);
  EXPECT_EQ(view->pageControl()->geometry().center().x(), view->rect().center().x());
  EXPECT_DOUBLE_EQ(row->contentInset(), 45);
  EXPECT_DOUBLE_EQ(row->contentOffset(), -45);
  EXPECT_EQ(row->rectForItem(0), QRect(45, 0, 300, 400));
  EXPECT_EQ(centredCard(*view), 0);
  // Cards 0 and 1 show; the others have no cell yet.
  EXPECT_EQ(row->visibleCells().size(), 2u);
  EXPECT_EQ(row->cellForItem(2), nullptr);
  expectCellsMatchModel(*view);
  EXPECT_EQ(row->cellForItem(0)->objectName(), "MyCollectionViewCell");
  EXPECT_EQ(row->cellForItem(0)->size(), QSize(300, 400));
  EXPECT_EQ(row->cellForItem(0)->myView()->geometry(), QRect(0, 0, 300, 400));
  EXPECT_EQ(row->cellForItem(0)->dimmedView()->geometry(), QRect(0, 0, 300, 400));
  for (const MyModel& m : view->items()) EXPECT_EQ(m.color.alphaF(), 1.0f);
}

TEST_F(CarouselViewTest, AReleasedDragComesToRestOnTheCardNearItsTarget) {
  auto view = show(390);
  CarouselCollectionView* row = view->collectionView();
  double target = 200;
  view->scrollViewWillEndDragging(*row, 0, target);
  EXPECT_DOUBLE_EQ(target, 279);  // 245 / 324 rounds to 1

  // A slow drag of 200 (released after resting): proposed 155, card 1.
  Mouse mouse(row);
  mouse.drag(300, 100, 20, 16, 200);
  EXPECT_DOUBLE_EQ(row->contentOffset(), 279);
  EXPECT_EQ(centredCard(*view), 1);
  EXPECT_EQ(dimming(*view), plainAt(1));
  EXPECT_EQ(view->pageControl()->currentPage(), 1);
  expectCellsMatchModel(*view);

  // 60 px back, slowly: not far enough, card 1 again; flung: the projection reaches card 0.
  mouse.drag(100, 160, 6, 50, 0);
  EXPECT_DOUBLE_EQ(row->contentOffset(), 279);
  mouse.drag(100, 160, 6, 8, 0);
  EXPECT_DOUBLE_EQ(row->contentOffset(), -45);
  EXPECT_EQ(dimming(*view), plainAt(0));

  // A click moves nothing (a tap on a card does nothing).
  mouse.press(200);
  mouse.release(200, 50);
  EXPECT_DOUBLE_EQ(row->contentOffset(), -45);
}

TEST_F(CarouselViewTest, MovingToTheNextCardSwapsTheDimmingAndRepaintsOnlyThoseTwo) {
  // Wide enough for every card to show: centred on card 2, cards 0 to 4 are on screen.
  auto view = show(1700);
  CarouselCollectionView* row = view->collectionView();
  row->setContentOffset(-45, false);  // the first scroll shows card 0 plain
  row->scrollToItem(2, false);
  EXPECT_EQ(dimming(*view), plainAt(2));
  EXPECT_EQ(view->previousIndex(), 2);
  ASSERT_EQ(row->visibleCells().size(), 5u);
  QApplication::processEvents();

  PaintLog log;
  for (auto* cell : row->visibleCells())
    for (QObject* o : {static_cast<QObject*>(cell), static_cast<QObject*>(cell->myView()),
                       static_cast<QObject*>(cell->dimmedView())})
      o->installEventFilter(&log);
  // Just past half way to card 3: 3 turns plain, 2 dimmed again.
  row->setContentOffset(row->contentOffset() + kStep / 2, false);
  QApplication::processEvents();
  EXPECT_EQ(dimming(*view), plainAt(3));
  expectCellsMatchModel(*view);
  EXPECT_TRUE(paintedAnyOf(log, row->cellForItem(2)));
  EXPECT_TRUE(paintedAnyOf(log, row->cellForItem(3)));
  for (int item : {0, 1, 4}) EXPECT_FALSE(paintedAnyOf(log, row->cellForItem(item))) << item;

  // A scroll that changes no card repaints none of them.
  log.painted.clear();
  row->setContentOffset(row->contentOffset() + 2, false);
  QApplication::processEvents();
  for (int item = 0; item < 5; ++item) EXPECT_FALSE(paintedAnyOf(log, row->cellForItem(item))) << item;
}

TEST_F(CarouselViewTest, OverscrollStretchesButChangesNoCardAndSettlesBack) {
  auto view = show(390);
  CarouselCollectionView* row = view->collectionView();
  row->scrollToItem(4, false);
  EXPECT_EQ(dimming(*view), plainAt(4));
  const double last = 4 * kStep - 45;
  ASSERT_DOUBLE_EQ(row->contentOffset(), last);

  // Pull far past the end and hold: the row stretches less than the pull.
  Mouse mouse(row);
  mouse.press(380);
  for (int x = 370; x >= -800; x -= 30) mouse.move(x, 16);
  EXPECT_GT(row->contentOffset(), last + 170);  // past where rounding would leave the cards
  EXPECT_LT(row->contentOffset(), last + 390);
  EXPECT_EQ(dimming(*view), plainAt(4));
  EXPECT_EQ(view->previousIndex(), 4);
  EXPECT_EQ(view->pageControl()->currentPage(), 4);
  mouse.release(-800, 0);
  EXPECT_DOUBLE_EQ(row->contentOffset(), last);
  EXPECT_EQ(dimming(*view), plainAt(4));

  // The wheel stops at the ends instead.
  row->scrollToItem(0, false);
  QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(400, 0), QPoint(), Qt::NoButton,
                    Qt::NoModifier, Qt::ScrollUpdate, false);
  QApplication::sendEvent(row, &wheel);
  EXPECT_DOUBLE_EQ(row->contentOffset(), -45);
}

TEST_F(CarouselViewTest, ResizingKeepsTheMiddleCardInTheMiddle) {
  auto view = show(390);
  CarouselCollectionView* row = view->collectionView();
  // Before any scroll: recentred, still all dimmed.
  view->resize(800, 560);
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(row->contentInset(), 250);
  EXPECT_EQ(centredCard(*view), 0);
  EXPECT_EQ(dimming(*view), plainAt(-1));

  row->scrollToItem(2, false);
  for (int width : {390, 1200, 320, 361}) {
    view->resize(width, 600);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(row->contentInset(), (width - 300) / 2.0) << width;
    EXPECT_EQ(centredCard(*view), 2) << width;
    EXPECT_EQ(dimming(*view), plainAt(2)) << width;
    EXPECT_EQ(view->pageControl()->currentPage(), 2) << width;
    EXPECT_EQ(row->geometry(), QRect(0, 100, width, 400)) << width;
    expectCellsMatchModel(*view);
  }
  // Narrower than a card: still centred, cut at both sides.
  view->resize(200, 600);
  QApplication::processEvents();
  EXPECT_EQ(row->rectForItem(2).left(), -50);
}

TEST_F(CarouselViewTest, KeysAndPageDotsMoveBetweenCardsWithVisibleFocus) {
  // A host that sees the keys the carousel leaves.
  class Host : public QWidget {
   public:
    std::vector<int> keys;

   protected:
    void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
  } host;
  auto* view = new OrvaneCarouselView(OrvaneCarouselView::Options{false, 7}, &host);
  host.resize(390, 560);
  view->resize(390, 560);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
  CarouselCollectionView* row = view->collectionView();
  CarouselPageControl* dots = view->pageControl();

  EXPECT_EQ(view->accessibleName().toStdString(), localized("ov_carousel"));
  EXPECT_FALSE(dots->accessibleName().isEmpty());
  EXPECT_EQ(row->cellForItem(0)->accessibleName(), "Card 1 of 5");

  // The row is first in the focus chain; the ring shows once the keyboard is used.
  ASSERT_TRUE(row->hasFocus());
  EXPECT_FALSE(row->cellForItem(0)->isFocusRingVisible());
  QTest::keyClick(row, Qt::Key_Tab);
  QTest::keyClick(dots, Qt::Key_Backtab);
  ASSERT_TRUE(row->hasFocus());
  EXPECT_TRUE(row->cellForItem(0)->isFocusRingVisible());
  EXPECT_EQ(centredCard(*view), 0);
  QTest::keyClick(row, Qt::Key_Right);
  EXPECT_EQ(centredCard(*view), 1);
  EXPECT_EQ(dimming(*view), plainAt(1));
  EXPECT_EQ(dots->currentPage(), 1);
  EXPECT_TRUE(row->cellForItem(1)->isFocusRingVisible());
  EXPECT_FALSE(row->cellForItem(0)->isFocusRingVisible());
  EXPECT_EQ(row->accessibleDescription(), "Card 2 of 5");
  QTest::keyClick(row, Qt::Key_End);
  EXPECT_EQ(centredCard(*view), 4);
  QTest::keyClick(row, Qt::Key_Right);  // at the end: stays
  EXPECT_EQ(centredCard(*view), 4);
  QTest::keyClick(row, Qt::Key_Home);
  EXPECT_EQ(centredCard(*view), 0);
  EXPECT_EQ(dimming(*view), plainAt(0));
  // Esc is the host's.
  QTest::keyClick(row, Qt::Key_Escape);
  EXPECT_EQ(host.keys, std::vector<int>{Qt::Key_Escape});
  // A click focuses without the ring.
  QTest::mouseClick(row, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
  EXPECT_TRUE(row->hasFocus());
  EXPECT_FALSE(row->cellForItem(0)->isFocusRingVisible());

  // A click on a dot moves the row there.
  QTest::mouseClick(dots, Qt::LeftButton, Qt::NoModifier, dots->dotCentre(3));
  EXPECT_EQ(dots->currentPage(), 3);
  EXPECT_EQ(centredCard(*view), 3);
  EXPECT_EQ(dimming(*view), plainAt(3));
  EXPECT_EQ(dots->accessibleDescription(), "Page 4 of 5");
  // Beside the dots: one page toward that side.
  QTest::mouseClick(dots, Qt::LeftButton, Qt::NoModifier, QPoint(1, dots->height() / 2));
  EXPECT_EQ(centredCard(*view), 2);
  // Tab reaches the dots; their arrow keys move the row too.
  QTest::keyClick(row, Qt::Key_Tab);
  ASSERT_TRUE(dots->hasFocus());
  QTest::keyClick(dots, Qt::Key_Left);
  EXPECT_EQ(dots->currentPage(), 1);
  EXPECT_EQ(centredCard(*view), 1);
  EXPECT_EQ(dimming(*view), plainAt(1));
  QTest::keyClick(dots, Qt::Key_Escape);
  EXPECT_EQ(host.keys.size(), 2u);

  // pageValueDidChanged follows the page set in code (which itself moves nothing).
  dots->setCurrentPage(4);
  EXPECT_EQ(centredCard(*view), 1);
  view->pageValueDidChanged();
  EXPECT_EQ(centredCard(*view), 4);
}

TEST_F(CarouselViewTest, AnimatedMovesAndWheelSettleOnACard) {
  auto view = show(390, true);
  CarouselCollectionView* row = view->collectionView();
  row->setFocus(Qt::TabFocusReason);
  QTest::keyClick(row, Qt::Key_Right);
  QTest::keyClick(row, Qt::Key_Right);  // chains from where the first move ends
  EXPECT_TRUE(row->isDecelerating());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !row->isDecelerating(); }, 3000));
  EXPECT_EQ(centredCard(*view), 2);
  EXPECT_EQ(dimming(*view), plainAt(2));

  // A touchpad swipe moves with the fingers and settles when they lift.
  for (int i = 0; i < 10; ++i) {
    QWheelEvent swipe(QPointF(100, 100), QPointF(100, 100), QPoint(-20, 0), QPoint(), Qt::NoButton,
                      Qt::NoModifier, Qt::ScrollUpdate, false);
    QApplication::sendEvent(row, &swipe);
  }
  EXPECT_DOUBLE_EQ(row->contentOffset(), 2 * kStep - 45 + 200);
  QWheelEvent lift(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(), Qt::NoButton, Qt::NoModifier,
                   Qt::ScrollEnd, false);
  QApplication::sendEvent(row, &lift);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !row->isDecelerating(); }, 3000));
  EXPECT_EQ(centredCard(*view), 3);
  // A notched wheel turned sideways with Shift: a card per notch; a plain vertical wheel is the host's.
  QWheelEvent notch(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(row, &notch);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !row->isDecelerating(); }, 3000));
  EXPECT_EQ(centredCard(*view), 2);
  QWheelEvent vertical(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, -120), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(row, &vertical);
  EXPECT_FALSE(vertical.isAccepted());
  EXPECT_FALSE(row->isDecelerating());

  // Hidden in the middle of a move: at rest on its card at once.
  QTest::keyClick(row, Qt::Key_Right);
  ASSERT_TRUE(row->isDecelerating());
  view->hide();
  EXPECT_FALSE(row->isDecelerating());
  EXPECT_DOUBLE_EQ(row->contentOffset(), 3 * kStep - 45);

  // Deleted in the middle of a move or a swipe: nothing calls back into it.
  view->show();
  QTest::keyClick(row, Qt::Key_Right);
  QWheelEvent more(QPointF(100, 100), QPointF(100, 100), QPoint(-20, 0), QPoint(), Qt::NoButton,
                   Qt::NoModifier, Qt::ScrollUpdate, false);
  QApplication::sendEvent(row, &more);
  ASSERT_TRUE(row->isDecelerating());
  view.reset();
  QApplication::processEvents();
}

TEST(CarouselFacade, EachCallGivesANewIndependentViewOfItsOwn) {
  auto platform = qt::QtPlatform::make();
  platform->store = std::make_shared<MemoryKeyValueStore>();
  Platform::install(platform);
  std::unique_ptr<QWidget> a(Orvane::shared().orvaneCarouselView());
  std::unique_ptr<QWidget> b(Orvane::shared().orvaneCarouselView());
  Platform::install(nullptr);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(a->parent(), nullptr);
  auto* first = qobject_cast<OrvaneCarouselView*>(a.get());
  auto* second = qobject_cast<OrvaneCarouselView*>(b.get());
  ASSERT_TRUE(first && second);
  // Their own colours (each view draws from its own generator).
  std::vector<QColor> ca, cb;
  for (const MyModel& m : first->items()) ca.push_back(m.color);
  for (const MyModel& m : second->items()) cb.push_back(m.color);
  EXPECT_NE(ca, cb);
  // Their own cells and state.
  for (QWidget* w : {a.get(), b.get()}) {
    w->resize(390, 560);
    w->show();
  }
  first->collectionView()->scrollToItem(3, false);
  EXPECT_EQ(first->pageControl()->currentPage(), 3);
  EXPECT_EQ(second->pageControl()->currentPage(), 0);
  EXPECT_EQ(dimming(*second), plainAt(-1));
  for (auto* cell : first->collectionView()->visibleCells())
    EXPECT_EQ(cell->parentWidget(), first->collectionView());
  for (auto* cell : second->collectionView()->visibleCells())
    EXPECT_EQ(cell->parentWidget(), second->collectionView());
}

TEST(CarouselCell, ReuseClearsTheColourAndDimsAgain) {
  QWidget backdrop;
  QPalette green;
  green.setColor(QPalette::Window, Qt::green);
  backdrop.setPalette(green);
  backdrop.setAutoFillBackground(true);
  backdrop.resize(300, 400);
  auto& cell = *new MyCollectionViewCell(&backdrop);
  cell.setColor(Qt::red);
  cell.setDimmed(false);
  cell.setFocusRingVisible(true);
  cell.prepareForReuse();
  EXPECT_FALSE(cell.color().isValid());
  EXPECT_TRUE(cell.isDimmed());
  EXPECT_FALSE(cell.isFocusRingVisible());
  // The cover is black at 45 %.
  cell.resize(300, 400);
  cell.setColor(Qt::white);
  const QImage shot = backdrop.grab().toImage();
  const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() / 2);
  EXPECT_NEAR(middle.red(), 255 * 0.55, 2);
  EXPECT_NEAR(middle.green(), 255 * 0.55, 2);
  // Rounded corners: what is behind shows at the corner.
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::green));
  EXPECT_NE(shot.pixelColor(16, 16), QColor(Qt::green));
}

}  // namespace
}  // namespace orvane::ui
