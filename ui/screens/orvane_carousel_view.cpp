#include "ui/screens/orvane_carousel_view.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "orvane/localized.hpp"
#include "ui_orvane_carousel_view.h"

namespace orvane::ui {

namespace {

QString text(const char* key) { return QString::fromStdString(localized(key)); }

// "Card 2 of 5", "Page 2 of 5".
QString ordinalText(const char* key, int index, int count) { return text(key).arg(index + 1).arg(count); }

constexpr int kWheelSettleMs = 150;
constexpr int kWheelNotch = 120;

// Focus shows once the keyboard brought it (as a browser's focus-visible): not after a
// click, and a window's activation keeps what was shown before.
bool showsFocus(Qt::FocusReason reason, bool before) {
  switch (reason) {
    case Qt::MouseFocusReason:
      return false;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
      return before;
    default:
      return true;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CarouselCollectionView

CarouselCollectionView::CarouselCollectionView(QWidget* parent)
    : QWidget(parent), animation_(new QVariantAnimation(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::OpenHandCursor);
  // Opaque, so that a scroll moves the painted row and paints only the uncovered strip.
  setAutoFillBackground(true);
  setAccessibleName(text("ov_carousel"));
  inset_ = carousel::inset(width(), layout_);
  contentOffset_ = carousel::minimumOffset(inset_);
  appliedX_ = static_cast<int>(std::lround(contentOffset_));

  animation_->setEasingCurve(QEasingCurve::OutCubic);
  connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    if (animation_->state() == QAbstractAnimation::Running) applyOffset(value.toDouble(), true);
  });
  connect(animation_, &QAbstractAnimation::finished, this, &CarouselCollectionView::scrollingEnded);
  wheelSettle_.setSingleShot(true);
  wheelSettle_.setInterval(kWheelSettleMs);
  connect(&wheelSettle_, &QTimer::timeout, this, &CarouselCollectionView::settle);
}

CarouselCollectionView::~CarouselCollectionView() = default;

void CarouselCollectionView::setDataSource(CarouselDataSource* dataSource) {
  dataSource_ = dataSource;
  reloadData();
}

void CarouselCollectionView::setDelegate(CarouselScrollDelegate* delegate) { delegate_ = delegate; }

int CarouselCollectionView::numberOfItems() const {
  return dataSource_ ? std::max(0, dataSource_->numberOfItemsInSection(0)) : 0;
}

double CarouselCollectionView::minimumOffset() const { return carousel::minimumOffset(inset_); }

double CarouselCollectionView::maximumOffset() const {
  return carousel::maximumOffset(inset_, numberOfItems(), layout_);
}

void CarouselCollectionView::setContentOffset(double x, bool animated) {
  if (std::isfinite(x)) startMove(x, animated, 0);
}

void CarouselCollectionView::scrollToItem(int item, bool animated) {
  const int n = numberOfItems();
  if (n == 0) return;
  moveTo(carousel::offsetForCard(std::clamp(item, 0, n - 1), inset_, layout_), animated, 0);
}

std::optional<int> CarouselCollectionView::indexForItemAt(double contentX) const {
  return carousel::cardAt(contentX, numberOfItems(), layout_);
}

QRect CarouselCollectionView::rectForItem(int item) const {
  const int h = static_cast<int>(layout_.itemHeight);
  return QRect(static_cast<int>(std::lround(layout_.step() * item)) - appliedX_, (height() - h) / 2,
               static_cast<int>(layout_.itemWidth), h);
}

int CarouselCollectionView::currentItem() const {
  const double at = animation_->state() == QAbstractAnimation::Running ? animationTarget_ : contentOffset_;
  return carousel::nearestCard(at, inset_, numberOfItems(), layout_);
}

bool CarouselCollectionView::isDecelerating() const {
  return animation_->state() == QAbstractAnimation::Running || wheelSettle_.isActive();
}

void CarouselCollectionView::reloadData() {
  while (!visible_.empty()) recycle(visible_.begin()->first);
  layoutCells();
  updateFocusRing();
}

void CarouselCollectionView::reloadItems(const std::vector<int>& items) {
  // Handed back without hiding: the data source gets the same cell again (the pool is a
  // stack), so only what changes on it is repainted.
  for (int item : items) {
    const auto it = visible_.find(item);
    if (it == visible_.end()) continue;
    it->second->prepareForReuse();
    reusePool_.push_back(it->second);
    visible_.erase(it);
  }
  layoutCells();
  updateFocusRing();
}

MyCollectionViewCell* CarouselCollectionView::dequeueReusableCell(const char* identifier) {
  if (identifier == nullptr || qstrcmp(identifier, MyCollectionViewCell::kReuseIdentifier) != 0)
    return nullptr;
  if (!reusePool_.empty()) {
    MyCollectionViewCell* cell = reusePool_.back();
    reusePool_.pop_back();
    return cell;
  }
  return new MyCollectionViewCell(this);
}

MyCollectionViewCell* CarouselCollectionView::cellForItem(int item) const {
  const auto it = visible_.find(item);
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<MyCollectionViewCell*> CarouselCollectionView::visibleCells() const {
  std::vector<MyCollectionViewCell*> cells;
  for (const auto& [item, cell] : visible_) cells.push_back(cell);
  return cells;
}

void CarouselCollectionView::recycle(int item) {
  const auto it = visible_.find(item);
  if (it == visible_.end()) return;
  it->second->hide();
  it->second->prepareForReuse();
  reusePool_.push_back(it->second);
  visible_.erase(it);
}

void CarouselCollectionView::applyOffset(double x, bool notify) {
  if (!std::isfinite(x)) return;
  contentOffset_ = x;
  const int px = static_cast<int>(std::lround(std::clamp(x, -1e7, 1e7)));
  const int dx = appliedX_ - px;
  appliedX_ = px;
  // Moves the children with the painted pixels (a hidden widget only keeps the numbers;
  // layoutCells places the cells either way).
  if (dx != 0 && isVisible()) scroll(dx, 0);
  layoutCells();
  updateFocusRing();
  if (!notify) return;
  hasScrolled_ = true;
  if (delegate_) delegate_->scrollViewDidScroll(*this);
}

void CarouselCollectionView::layoutCells() {
  const int n = numberOfItems();
  std::vector<int> leaving;
  for (const auto& [item, cell] : visible_)
    if (item >= n || !rectForItem(item).intersects(rect())) leaving.push_back(item);
  for (int item : leaving) recycle(item);
  for (int item = 0; item < n; ++item) {
    const QRect r = rectForItem(item);
    if (!r.intersects(rect())) continue;
    if (MyCollectionViewCell* cell = cellForItem(item)) {
      if (cell->geometry() != r) cell->setGeometry(r);
      continue;
    }
    MyCollectionViewCell* cell = dataSource_ ? dataSource_->cellForItemAt(*this, item) : nullptr;
    if (cell == nullptr) continue;
    if (cell->parentWidget() != this) cell->setParent(this);
    cell->setGeometry(r);
    cell->show();
    visible_[item] = cell;
  }
}

void CarouselCollectionView::moveTo(double target, bool animated, double velocity) {
  if (!std::isfinite(target)) target = carousel::snapTarget(contentOffset_, inset_, numberOfItems(), layout_);
  // At rest the row never lies past either end.
  startMove(std::clamp(target, minimumOffset(), std::max(minimumOffset(), maximumOffset())), animated,
            velocity);
}

void CarouselCollectionView::startMove(double target, bool animated, double velocity) {
  animation_->stop();
  wheelSettle_.stop();
  const int ms = carousel::settleDurationMs(target - contentOffset_, velocity);
  if (!animated || ms == 0) {
    if (target != contentOffset_) applyOffset(target, true);
    emit scrollingEnded();
    return;
  }
  animationTarget_ = target;
  animation_->setDuration(ms);
  animation_->setStartValue(contentOffset_);
  animation_->setEndValue(target);
  animation_->start();
}

void CarouselCollectionView::settle() {
  moveTo(carousel::snapTarget(contentOffset_, inset_, numberOfItems(), layout_), animated_, 0);
}

void CarouselCollectionView::stopMotion() {
  animation_->stop();
  wheelSettle_.stop();
  pressed_ = false;
  if (dragging_) {
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
  }
}

void CarouselCollectionView::updateFocusRing() {
  const int current = currentItem();
  const int ring = hasFocus() && focusVisible_ ? current : -1;
  for (const auto& [item, cell] : visible_) cell->setFocusRingVisible(item == ring);
  if (current != ringItem_) {
    ringItem_ = current;
    if (current >= 0) setAccessibleDescription(ordinalText("ov_carousel_card", current, numberOfItems()));
  }
}

void CarouselCollectionView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const double inset = carousel::inset(width(), layout_);
  if (inset == inset_) {
    layoutCells();
    return;
  }
  // The card in the middle stays there; a drag or a move under way ends.
  const int card = std::max(0, currentItem());
  const bool wasMoving = pressed_ || isDecelerating();
  stopMotion();
  inset_ = inset;
  contentOffset_ = carousel::offsetForCard(card, inset_, layout_);
  appliedX_ = static_cast<int>(std::lround(contentOffset_));
  layoutCells();
  updateFocusRing();
  if (hasScrolled_ && delegate_) delegate_->scrollViewDidScroll(*this);
  if (wasMoving) emit scrollingEnded();
}

void CarouselCollectionView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  // A press catches a moving row where it is.
  animation_->stop();
  wheelSettle_.stop();
  focusVisible_ = false;
  updateFocusRing();
  pressed_ = true;
  dragging_ = false;
  pressX_ = event->position().x();
  // A press on a stretched row picks up the pull that stretch stands for.
  const double w = width();
  if (contentOffset_ < minimumOffset())
    pressOffset_ = minimumOffset() - carousel::rubberBandInverse(minimumOffset() - contentOffset_, w);
  else if (contentOffset_ > maximumOffset())
    pressOffset_ = maximumOffset() + carousel::rubberBandInverse(contentOffset_ - maximumOffset(), w);
  else
    pressOffset_ = contentOffset_;
  tracker_.reset();
  tracker_.add(static_cast<std::int64_t>(event->timestamp()), pressX_);
  event->accept();
}

void CarouselCollectionView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) {
    event->ignore();
    return;
  }
  const double x = event->position().x();
  if (!dragging_) {
    if (std::abs(x - pressX_) < QApplication::startDragDistance()) return;
    dragging_ = true;
    setCursor(Qt::ClosedHandCursor);
  }
  tracker_.add(static_cast<std::int64_t>(event->timestamp()), x);
  const double raw = pressOffset_ - (x - pressX_);
  const double lo = minimumOffset(), hi = std::max(lo, maximumOffset()), w = width();
  double offset = raw;
  if (raw < lo) offset = lo - carousel::rubberBand(lo - raw, w);
  if (raw > hi) offset = hi + carousel::rubberBand(raw - hi, w);
  applyOffset(offset, true);
}

void CarouselCollectionView::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressed_ || event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  pressed_ = false;
  if (!dragging_) {
    // A click, or a press that caught a moving row: come to rest on a card.
    settle();
    return;
  }
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
  // The pointer moving left carries the row toward later cards.
  const double velocity = -tracker_.velocity(static_cast<std::int64_t>(event->timestamp()));
  double target = carousel::projectedOffset(contentOffset_, velocity);
  if (delegate_) delegate_->scrollViewWillEndDragging(*this, velocity, target);
  moveTo(target, animated_, velocity);
}

void CarouselCollectionView::wheelEvent(QWheelEvent* event) {
  if (event->phase() == Qt::ScrollEnd && wheelSettle_.isActive()) {
    wheelSettle_.stop();
    settle();
    event->accept();
    return;
  }
  int pixels = event->pixelDelta().x();
  int angle = event->angleDelta().x();
  // Shift turns a vertical wheel sideways; a plain vertical wheel belongs to the host.
  if (pixels == 0 && angle == 0 && (event->modifiers() & Qt::ShiftModifier)) {
    pixels = event->pixelDelta().y();
    angle = event->angleDelta().y();
  }
  if ((pixels == 0 && angle == 0) || numberOfItems() == 0) {
    event->ignore();
    return;
  }
  event->accept();
  if (pressed_) return;
  if (pixels == 0 && event->phase() == Qt::NoScrollPhase && angle % kWheelNotch == 0) {
    // A notched wheel: a card per notch.
    scrollToItem(currentItem() - angle / kWheelNotch, animated_);
    return;
  }
  // A touchpad or a smooth wheel moves the row with it and settles once it stops.
  const double delta = pixels != 0 ? -pixels : -angle * layout_.step() / kWheelNotch;
  animation_->stop();
  const double lo = minimumOffset(), hi = std::max(lo, maximumOffset());
  const double offset = std::clamp(contentOffset_ + delta, lo, hi);
  if (offset != contentOffset_) applyOffset(offset, true);
  wheelSettle_.start();
}

void CarouselCollectionView::keyPressEvent(QKeyEvent* event) {
  const int n = numberOfItems();
  int target = 0;
  switch (event->key()) {
    case Qt::Key_Left:
      target = currentItem() - 1;
      break;
    case Qt::Key_Right:
      target = currentItem() + 1;
      break;
    case Qt::Key_Home:
      target = 0;
      break;
    case Qt::Key_End:
      target = n - 1;
      break;
    default:
      QWidget::keyPressEvent(event);  // Esc and the rest go to the host
      return;
  }
  event->accept();
  focusVisible_ = true;
  if (!pressed_ && target >= 0 && target < n) scrollToItem(target, animated_);
  updateFocusRing();
}

void CarouselCollectionView::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  focusVisible_ = showsFocus(event->reason(), focusVisible_);
  updateFocusRing();
}

void CarouselCollectionView::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  updateFocusRing();
}

void CarouselCollectionView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Hidden mid-move: at once where the move was going, or on the nearest card.
  if (pressed_ || isDecelerating()) {
    const double target = animation_->state() == QAbstractAnimation::Running
                              ? animationTarget_
                              : carousel::snapTarget(contentOffset_, inset_, numberOfItems(), layout_);
    stopMotion();
    moveTo(target, false, 0);
  }
}

// ---------------------------------------------------------------------------------------
// CarouselPageControl

CarouselPageControl::CarouselPageControl(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::TabFocus);
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  setAccessibleName(text("ov_carousel_pages"));
}

void CarouselPageControl::setNumberOfPages(int pages) {
  pages_ = std::max(0, pages);
  current_ = std::clamp(current_, 0, std::max(0, pages_ - 1));
  updateGeometry();
  update();
  describe();
}

void CarouselPageControl::setCurrentPage(int page) {
  page = std::clamp(page, 0, std::max(0, pages_ - 1));
  if (page == current_) return;
  const QRect old(dotCentre(current_) - QPoint(kPitch / 2, kPitch / 2), QSize(kPitch, kPitch));
  current_ = page;
  update(old);
  update(QRect(dotCentre(current_) - QPoint(kPitch / 2, kPitch / 2), QSize(kPitch, kPitch)));
  describe();
}

QPoint CarouselPageControl::dotCentre(int page) const {
  const int left = (width() - pages_ * kPitch) / 2;
  return QPoint(left + kPitch / 2 + page * kPitch, height() / 2);
}

QSize CarouselPageControl::sizeHint() const { return QSize((std::max(pages_, 1) + 1) * kPitch, kHeight); }

int CarouselPageControl::pageAt(QPoint point) const {
  if (pages_ == 0) return -1;
  const int first = dotCentre(0).x() - kPitch / 2;
  if (point.x() < first) return std::max(0, current_ - 1);
  const int page = (point.x() - first) / kPitch;
  if (page >= pages_) return std::min(pages_ - 1, current_ + 1);
  return page;
}

void CarouselPageControl::choose(int page) {
  if (page < 0 || page >= pages_ || page == current_) return;
  setCurrentPage(page);
  emit valueChanged();
}

void CarouselPageControl::describe() {
  setAccessibleDescription(pages_ > 0 ? ordinalText("ov_carousel_page", current_, pages_) : QString());
}

void CarouselPageControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int page = 0; page < pages_; ++page) {
    QColor colour = page == current_   ? QColor(Qt::black)
                    : page == hovered_ ? QColor(0x60, 0x60, 0x60)
                                       : QColor(0x80, 0x80, 0x80);
    p.setBrush(colour);
    p.drawEllipse(QPointF(dotCentre(page)), kDot / 2.0, kDot / 2.0);
  }
  if (hasFocus() && focusVisible_ && pages_ > 0) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x11, 0x11, 0x11), 1.5));
    p.drawEllipse(QPointF(dotCentre(current_)), 7.0, 7.0);
  }
}

void CarouselPageControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  focusVisible_ = false;
  choose(pageAt(event->position().toPoint()));
}

void CarouselPageControl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  int hovered = -1;
  for (int page = 0; page < pages_; ++page)
    if (std::abs(at.x() - dotCentre(page).x()) <= kPitch / 2) hovered = page;
  if (hovered == hovered_) return;
  hovered_ = hovered;
  update();
}

void CarouselPageControl::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (hovered_ < 0) return;
  hovered_ = -1;
  update();
}

void CarouselPageControl::keyPressEvent(QKeyEvent* event) {
  int page = -1;
  switch (event->key()) {
    case Qt::Key_Left:
      page = current_ - 1;
      break;
    case Qt::Key_Right:
      page = current_ + 1;
      break;
    case Qt::Key_Home:
      page = 0;
      break;
    case Qt::Key_End:
      page = pages_ - 1;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
  if (!focusVisible_) {
    focusVisible_ = true;
    update();
  }
  choose(page);
}

void CarouselPageControl::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  focusVisible_ = showsFocus(event->reason(), focusVisible_);
  update();
}

void CarouselPageControl::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

// ---------------------------------------------------------------------------------------
// OrvaneCarouselView

namespace {

std::uint64_t freshSeed() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

OrvaneCarouselView::OrvaneCarouselView(QWidget* parent) : OrvaneCarouselView(Options{}, parent) {}

OrvaneCarouselView::OrvaneCarouselView(const Options& options, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::OrvaneCarouselView>()),
      options_(options),
      engine_(options.seed ? *options.seed : freshSeed()) {
  items_.reserve(carousel::kItemCount);
  for (int i = 0; i < carousel::kItemCount; ++i) {
    const carousel::Rgb c = carousel::randomColour(engine_);
    items_.push_back({QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                                       static_cast<float>(c.blue), 1.0f),
                      true});
  }
  loadView();
}

OrvaneCarouselView::~OrvaneCarouselView() {
  // The row outlives this part of the object while QWidget deletes the children: it may
  // neither call nor signal back.
  collectionView()->disconnect(this);
  pageControl()->disconnect(this);
  collectionView()->setDelegate(nullptr);
  collectionView()->setDataSource(nullptr);
}

CarouselCollectionView* OrvaneCarouselView::collectionView() const { return ui_->collectionView; }

CarouselPageControl* OrvaneCarouselView::pageControl() const { return ui_->pageControl; }

void OrvaneCarouselView::loadView() {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("OrvaneCarouselView"));
  setAccessibleName(text("ov_carousel"));
  // The light look of every Orvane screen, whatever the host's theme.
  QPalette light = palette();
  light.setColor(QPalette::Window, Qt::white);
  light.setColor(QPalette::WindowText, QColor(0x11, 0x11, 0x11));
  setPalette(light);
  setAutoFillBackground(true);

  CarouselCollectionView* row = collectionView();
  row->setAnimationsEnabled(options_.animated);
  row->setDelegate(this);
  row->setDataSource(this);
  pageControl()->setNumberOfPages(static_cast<int>(items_.size()));
  connect(pageControl(), &CarouselPageControl::valueChanged, this, &OrvaneCarouselView::pageValueDidChanged);
  connect(row, &CarouselCollectionView::scrollingEnded, this, [this] {
    followsDots_ = false;
    updatePage();
  });
  layoutSubviews();
}

void OrvaneCarouselView::pageValueDidChanged() {
  // While the row travels to a chosen dot, the dots keep showing it: a second key press
  // then counts from there.
  followsDots_ = true;
  collectionView()->scrollToItem(pageControl()->currentPage(), options_.animated);
}

void OrvaneCarouselView::updatePage() {
  // The card under the middle; none in a gap, and the dots stay.
  CarouselCollectionView* row = collectionView();
  if (const auto card = row->indexForItemAt(row->contentOffset() + row->width() / 2.0))
    pageControl()->setCurrentPage(*card);
}

int OrvaneCarouselView::numberOfItemsInSection(int) const { return static_cast<int>(items_.size()); }

MyCollectionViewCell* OrvaneCarouselView::cellForItemAt(CarouselCollectionView& collectionView, int item) {
  MyCollectionViewCell* cell = collectionView.dequeueReusableCell(MyCollectionViewCell::kReuseIdentifier);
  if (cell == nullptr || item < 0 || item >= static_cast<int>(items_.size())) return cell;
  const MyModel& model = items_[static_cast<std::size_t>(item)];
  cell->setColor(model.color);
  cell->setDimmed(model.isDimmed);
  cell->setAccessibleName(ordinalText("ov_carousel_card", item, static_cast<int>(items_.size())));
  return cell;
}

void OrvaneCarouselView::scrollViewWillEndDragging(CarouselCollectionView& collectionView, double,
                                                   double& targetX) {
  targetX = carousel::snapTarget(targetX, collectionView.contentInset(), static_cast<int>(items_.size()),
                                 collectionView.collectionViewFlowLayout());
}

void OrvaneCarouselView::scrollViewDidScroll(CarouselCollectionView& collectionView) {
  const double offset = collectionView.contentOffset();
  const int count = static_cast<int>(items_.size());
  if (followsDots_ && !collectionView.isDecelerating()) followsDots_ = false;
  if (!followsDots_) updatePage();
  const carousel::DimmingStep step =
      carousel::dimmingStep(offset, collectionView.contentInset(), count, previousIndex_,
                            collectionView.collectionViewFlowLayout());
  previousIndex_ = step.previousIndex;
  std::vector<int> changed;
  const auto set = [&](std::optional<int> item, bool dimmed) {
    if (!item) return;
    MyModel& model = items_[static_cast<std::size_t>(*item)];
    if (model.isDimmed == dimmed) return;
    model.isDimmed = dimmed;
    changed.push_back(*item);
  };
  set(step.undim, false);
  set(step.dim, true);
  if (!changed.empty()) collectionView.reloadItems(changed);
}

QSize OrvaneCarouselView::sizeHint() const { return QSize(390, minimumSizeHint().height()); }

QSize OrvaneCarouselView::minimumSizeHint() const {
  // Room for the dots below the centred row, and as much above.
  const int h = static_cast<int>(carousel::Layout{}.itemHeight) +
                2 * (static_cast<int>(carousel::kPageIndicatorGap) + CarouselPageControl::kHeight);
  return QSize(static_cast<int>(carousel::Layout{}.itemWidth), h);
}

void OrvaneCarouselView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutSubviews();
}

void OrvaneCarouselView::layoutSubviews() {
  // The row is centred vertically across the whole width; the dots hang 16 below it.
  const carousel::Layout& layout = collectionView()->collectionViewFlowLayout();
  const int h = static_cast<int>(layout.itemHeight);
  const int y = (height() - h) / 2;
  collectionView()->setGeometry(0, y, width(), h);
  const QSize dots = pageControl()->sizeHint();
  pageControl()->setGeometry((width() - dots.width()) / 2,
                             y + h + static_cast<int>(carousel::kPageIndicatorGap), dots.width(),
                             dots.height());
}

}  // namespace orvane::ui
