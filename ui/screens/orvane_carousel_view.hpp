#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "core/screens/carousel.hpp"
#include "ui/screens/my_collection_view_cell.hpp"
#include "ui/screens/my_model.hpp"

class QVariantAnimation;

namespace Ui {
class OrvaneCarouselView;
}

namespace orvane::ui {

class CarouselCollectionView;

// Where a collection view gets its cells. GUI thread.
class CarouselDataSource {
 public:
  virtual int numberOfItemsInSection(int section) const = 0;
  // A configured cell for `item`, dequeued from `collectionView`.
  virtual MyCollectionViewCell* cellForItemAt(CarouselCollectionView& collectionView, int item) = 0;

 protected:
  ~CarouselDataSource() = default;
};

// Told about scrolling. GUI thread.
class CarouselScrollDelegate {
 public:
  // A drag was released at `velocity` (points per second, positive toward later cards);
  // `targetX` is where the row would come to rest and may be changed.
  virtual void scrollViewWillEndDragging(CarouselCollectionView& collectionView, double velocity,
                                         double& targetX) = 0;
  // The content offset changed.
  virtual void scrollViewDidScroll(CarouselCollectionView& collectionView) = 0;

 protected:
  ~CarouselScrollDelegate() = default;
};

// A horizontal row of cards that the user drags (mouse, touch, horizontal wheel or
// touchpad) with a stretch past either end, or moves card by card with the arrow keys.
// Only the cells of visible cards exist; a cell leaving the row is kept for reuse.
// Scrolling moves the painted row (only the newly uncovered strip is painted) and a
// cell is repainted only when its card changes.
//
// The content offset is in content coordinates, card n starting at step * n; the left
// and right inset (the view's width less a card, halved) lets the first and the last
// card sit in the middle. It follows the view's width: on a resize the card in the
// middle stays there. Until the row is first scrolled, laying it out is not a scroll.
class CarouselCollectionView : public QWidget {
  Q_OBJECT

 public:
  explicit CarouselCollectionView(QWidget* parent = nullptr);
  ~CarouselCollectionView() override;

  void setDataSource(CarouselDataSource* dataSource);
  void setDelegate(CarouselScrollDelegate* delegate);
  // Off: every move the view makes on its own (settling, keys) is instant.
  void setAnimationsEnabled(bool enabled) { animated_ = enabled; }
  bool animationsEnabled() const { return animated_; }

  const carousel::Layout& collectionViewFlowLayout() const { return layout_; }
  int numberOfItems() const;
  double contentOffset() const { return contentOffset_; }
  double contentInset() const { return inset_; }
  void setContentOffset(double x, bool animated);
  // Centres `item` (clamped to the cards).
  void scrollToItem(int item, bool animated);
  std::optional<int> indexForItemAt(double contentX) const;
  // Where `item`'s card is, in this widget's coordinates.
  QRect rectForItem(int item) const;
  // The card the keys move from: where a running move ends, else the nearest card.
  int currentItem() const;
  bool isDragging() const { return dragging_; }
  // A move of the view's own (settling, keys, wheel steps) is running.
  bool isDecelerating() const;

  void reloadData();
  void reloadItems(const std::vector<int>& items);
  // A recycled cell or a new one; null for an unknown identifier.
  MyCollectionViewCell* dequeueReusableCell(const char* identifier);
  MyCollectionViewCell* cellForItem(int item) const;
  std::vector<MyCollectionViewCell*> visibleCells() const;

 signals:
  // The row came to rest (after a drag, a move or a wheel gesture).
  void scrollingEnded();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void applyOffset(double x, bool notify);
  void layoutCells();
  void recycle(int item);
  // Within the row's ends (a resting place); startMove goes anywhere.
  void moveTo(double target, bool animated, double velocity);
  void startMove(double target, bool animated, double velocity);
  void settle();
  void stopMotion();
  void updateFocusRing();
  double minimumOffset() const;
  double maximumOffset() const;

  carousel::Layout layout_;
  CarouselDataSource* dataSource_ = nullptr;
  CarouselScrollDelegate* delegate_ = nullptr;
  bool animated_ = true;
  double contentOffset_ = 0;
  double inset_ = 0;
  int appliedX_ = 0;  // the offset the children are placed at, in whole pixels
  bool hasScrolled_ = false;
  bool laidOut_ = false;
  std::map<int, MyCollectionViewCell*> visible_;
  std::vector<MyCollectionViewCell*> reusePool_;
  QVariantAnimation* animation_;
  double animationTarget_ = 0;
  QTimer wheelSettle_;
  bool pressed_ = false;
  bool dragging_ = false;
  double pressX_ = 0;
  double pressOffset_ = 0;  // unstretched
  carousel::VelocityTracker tracker_;
  bool focusVisible_ = false;
  int ringItem_ = -1;
};

// Page dots: grey, the current one black. A click on a dot or a key (left, right, Home,
// End) chooses a page and emits valueChanged; setCurrentPage emits nothing.
class CarouselPageControl : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDot = 8;
  static constexpr int kPitch = 16;
  static constexpr int kHeight = 28;

  explicit CarouselPageControl(QWidget* parent = nullptr);

  int numberOfPages() const { return pages_; }
  void setNumberOfPages(int pages);
  int currentPage() const { return current_; }
  void setCurrentPage(int page);
  // Centre of a dot, in this widget's coordinates.
  QPoint dotCentre(int page) const;

  QSize sizeHint() const override;

 signals:
  void valueChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void choose(int page);
  int pageAt(QPoint point) const;
  void describe();

  int pages_ = 0;
  int current_ = 0;
  int hovered_ = -1;
  bool focusVisible_ = false;
};

// The embeddable carousel: five cards of 300 x 400 in random colours, 24 apart, with page
// dots 16 below. The card in the middle is plain and the others are dimmed; all start
// dimmed until the row is first scrolled. A released drag comes to rest with a card in
// the middle. Made without services; the host sizes and places it (it owns it).
class OrvaneCarouselView : public QWidget, public CarouselDataSource, public CarouselScrollDelegate {
  Q_OBJECT

 public:
  struct Options {
    // Off: moves the view makes on its own are instant (tests, reduced motion).
    bool animated = true;
    // The colours' generator seed; empty: a fresh one for every view.
    std::optional<std::uint64_t> seed;
  };

  explicit OrvaneCarouselView(QWidget* parent = nullptr);
  explicit OrvaneCarouselView(const Options& options, QWidget* parent = nullptr);
  ~OrvaneCarouselView() override;

  const std::vector<MyModel>& items() const { return items_; }
  std::optional<int> previousIndex() const { return previousIndex_; }
  CarouselCollectionView* collectionView() const;
  CarouselPageControl* pageControl() const;

  // Scrolls to the card of the indicator's current page, centred; the dots call it.
  void pageValueDidChanged();

  int numberOfItemsInSection(int section) const override;
  MyCollectionViewCell* cellForItemAt(CarouselCollectionView& collectionView, int item) override;
  void scrollViewWillEndDragging(CarouselCollectionView& collectionView, double velocity,
                                 double& targetX) override;
  void scrollViewDidScroll(CarouselCollectionView& collectionView) override;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void loadView();
  void layoutSubviews();
  void updatePage();

  std::unique_ptr<Ui::OrvaneCarouselView> ui_;
  Options options_;
  std::mt19937_64 engine_;
  std::vector<MyModel> items_;
  std::optional<int> previousIndex_;
  bool followsDots_ = false;
};

}  // namespace orvane::ui
