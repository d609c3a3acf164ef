#include "ui/widgets/campaign_table_view.hpp"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QScroller>
#include <QScrollerProperties>
#include <algorithm>
#include <climits>
#include <utility>

namespace orvane::ui {

TableViewCell::TableViewCell(const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent), reuseIdentifier_(reuseIdentifier) {}

bool TableViewCell::focusNextPrevChild(bool next) {
  if (table_ && row_ >= 0 && table_->moveFocus(this, next)) return true;
  return QWidget::focusNextPrevChild(next);
}

void TableViewCell::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  // The keyboard's focus shows its row whole. Not a click's: the row would move away
  // under the pointer between the press and the release.
  const auto reason = event->reason();
  if (table_ && row_ >= 0 && reason != Qt::MouseFocusReason && reason != Qt::ActiveWindowFocusReason &&
      reason != Qt::PopupFocusReason)
    table_->ensureRowVisible(row_);
}

void TableViewCell::invalidateRowHeight() {
  if (table_) table_->cellHeightChanged(this);
}

QString CampaignTableView::thinScrollBarStyle() {
  return QStringLiteral(
      "QScrollBar:vertical { width: 6px; background: transparent; margin: 2px 1px 2px 0; }"
      "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 70); border-radius: 2px; min-height: 32px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
}

CampaignTableView::CampaignTableView(QWidget* parent) : QAbstractScrollArea(parent) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  verticalScrollBar()->setSingleStep(20);
  verticalScrollBar()->setStyleSheet(thinScrollBarStyle());
  // Kinetic scrolling fed by hand: the gesture recognisers of grabGesture are never
  // freed, and a press here must still reach the cell at once.
  QScrollerProperties properties = QScroller::scroller(viewport())->scrollerProperties();
  properties.setScrollMetric(QScrollerProperties::OvershootDragResistanceFactor, 0.3);
  properties.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy,
                             QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
  QScroller::scroller(viewport())->setScrollerProperties(properties);
  viewport()->installEventFilter(this);
}

CampaignTableView::~CampaignTableView() = default;

bool CampaignTableView::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease) {
    return QAbstractScrollArea::eventFilter(watched, event);
  }
  auto* mouse = static_cast<QMouseEvent*>(event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || !(mouse->buttons() & Qt::LeftButton || mouse->button() == Qt::LeftButton)) return false;
  QScroller* scroller = QScroller::scroller(viewport());
  const QPointF pos = widget->mapTo(viewport(), mouse->position().toPoint());
  const bool wasMoving =
      scroller->state() == QScroller::Dragging || scroller->state() == QScroller::Scrolling;
  const QScroller::Input input = type == QEvent::MouseButtonPress ? QScroller::InputPress
                                 : type == QEvent::MouseMove      ? QScroller::InputMove
                                                                  : QScroller::InputRelease;
  scroller->handleInput(input, pos, mouse->timestamp());
  // A press that stops a fling, and the moves and release of a drag, are the scroller's;
  // a plain click goes on to the cell.
  if (type == QEvent::MouseButtonPress) return wasMoving;
  return wasMoving || scroller->state() == QScroller::Dragging;
}

void CampaignTableView::setDataSource(TableViewDataSource* dataSource) {
  dataSource_ = dataSource;
  reloadData();
}

void CampaignTableView::registerCell(const QString& identifier, CellFactory factory) {
  factories_[identifier] = std::move(factory);
}

TableViewCell* CampaignTableView::dequeueReusableCell(const QString& identifier) {
  auto& pooled = pool_[identifier];
  if (!pooled.empty()) {
    TableViewCell* cell = pooled.back();
    pooled.pop_back();
    return cell;
  }
  const auto factory = factories_.find(identifier);
  if (factory == factories_.end()) return nullptr;
  TableViewCell* cell = factory->second();
  cell->setParent(viewport());
  cell->installEventFilter(this);
  cell->table_ = this;
  cell->hide();
  return cell;
}

void CampaignTableView::reloadData() {
  recycleAll();
  const int rows = dataSource_ ? std::max(0, dataSource_->numberOfRows(*this)) : 0;
  heights_.assign(static_cast<std::size_t>(rows), estimatedRowHeight_);
  measured_.assign(static_cast<std::size_t>(rows), false);
  const int width = viewport()->width();
  for (int r = 0; r < rows; ++r) {
    const int h = dataSource_->heightForRow(*this, r, width);
    if (h >= 0) {
      heights_[static_cast<std::size_t>(r)] = h;
      measured_[static_cast<std::size_t>(r)] = true;
    }
  }
  rebuildOffsets();
  updateScrollBar();
  layoutCells();
}

TableViewCell* CampaignTableView::cellForRow(int row) const {
  const auto found = visible_.find(row);
  return found == visible_.end() ? nullptr : found->second;
}

std::vector<TableViewCell*> CampaignTableView::visibleCells() const {
  std::vector<TableViewCell*> cells;
  for (const auto& [row, cell] : visible_) cells.push_back(cell);
  return cells;
}

int CampaignTableView::cellWidgetCount() const {
  return static_cast<int>(viewport()->findChildren<TableViewCell*>(Qt::FindDirectChildrenOnly).size());
}

QRect CampaignTableView::rectForRow(int row) const {
  if (row < 0 || row >= numberOfRows()) return {};
  return QRect(0, static_cast<int>(offsets_[static_cast<std::size_t>(row)]), viewport()->width(),
               heights_[static_cast<std::size_t>(row)]);
}

void CampaignTableView::scrollToRow(int row) {
  if (row < 0 || row >= numberOfRows()) return;
  verticalScrollBar()->setValue(rectForRow(row).top());
}

void CampaignTableView::ensureRowVisible(int row) {
  if (row < 0 || row >= numberOfRows()) return;
  const QRect r = rectForRow(row);
  QScrollBar* bar = verticalScrollBar();
  const int view = viewport()->height();
  if (r.top() < bar->value() || r.height() > view)
    bar->setValue(r.top());
  else if (r.bottom() >= bar->value() + view)
    bar->setValue(r.bottom() + 1 - view);
}

bool CampaignTableView::focusRow(int row, Qt::FocusReason reason) {
  if (row < 0 || row >= numberOfRows()) return false;
  ensureRowVisible(row);
  layoutCells();
  TableViewCell* cell = cellForRow(row);
  if (cell == nullptr || !(cell->focusPolicy() & Qt::TabFocus)) return false;
  cell->setFocus(reason);
  return true;
}

bool CampaignTableView::moveFocus(const TableViewCell* cell, bool next) {
  const int to = cell->row_ + (next ? 1 : -1);
  if (focusRow(to, next ? Qt::TabFocusReason : Qt::BacktabFocusReason)) return true;
  if (to >= 0 && to < numberOfRows()) return false;
  QWidget* outside = focusOutside(next);
  if (outside == nullptr) return false;
  outside->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

QWidget* CampaignTableView::focusOutside(bool next) const {
  auto takesTab = [this](const QWidget* w) {
    return w != this && !isAncestorOf(w) && w->window() == window() && w->isVisible() && w->isEnabled() &&
           (w->focusPolicy() & Qt::TabFocus);
  };
  // The table sits in the chain before its rows: step from it, over its own widgets.
  auto* self = const_cast<CampaignTableView*>(this);
  for (QWidget* w = next ? self->nextInFocusChain() : self->previousInFocusChain(); w != this;
       w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
    if (takesTab(w)) return w;
  }
  return nullptr;
}

void CampaignTableView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  const auto reason = event->reason();
  if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) return;
  // The first row whose top is in view, or the last one that starts in view.
  const int top = verticalScrollBar()->value();
  const int bottom = top + viewport()->height();
  int row = -1;
  for (const auto& [r, cell] : visible_) {
    const QRect rect = rectForRow(r);
    if (reason == Qt::TabFocusReason && rect.top() >= top) {
      row = r;
      break;
    }
    if (reason == Qt::BacktabFocusReason && rect.top() < bottom) row = r;
  }
  if (row < 0 && !visible_.empty()) row = visible_.begin()->first;
  // Rows that take no focus (or none at all): the table keeps it.
  focusRow(row, reason);
}

void CampaignTableView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (event->size().width() != event->oldSize().width()) {
    // Measured heights depend on the width.
    std::fill(measured_.begin(), measured_.end(), false);
    if (dataSource_) {
      for (int r = 0; r < numberOfRows(); ++r) {
        const int h = dataSource_->heightForRow(*this, r, viewport()->width());
        if (h >= 0) {
          heights_[static_cast<std::size_t>(r)] = h;
          measured_[static_cast<std::size_t>(r)] = true;
        }
      }
    }
    recycleAll();
    rebuildOffsets();
  }
  updateScrollBar();
  layoutCells();
}

void CampaignTableView::scrollContentsBy(int /*dx*/, int /*dy*/) {
  layoutCells();
  refreshHover();
}

void CampaignTableView::refreshHover() {
  // Qt moves "under the mouse" only when the pointer moves; rows scrolled under a still
  // pointer would keep the hover of the row that was there. Mark the row now under it.
  const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
  const bool inView = viewport()->underMouse() && viewport()->rect().contains(at);
  for (const auto& [row, cell] : visible_) {
    const bool under = inView && cell->geometry().contains(at);
    if (cell->testAttribute(Qt::WA_UnderMouse) == under) continue;
    cell->setAttribute(Qt::WA_UnderMouse, under);
    cell->update();
  }
}

void CampaignTableView::cellHeightChanged(TableViewCell* cell) {
  if (cell->row_ < 0 || cell->row_ >= numberOfRows()) return;
  measured_[static_cast<std::size_t>(cell->row_)] = false;
  // Several images may arrive in one pass of the event loop: lay out once.
  if (!pendingLayout_) {
    pendingLayout_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          pendingLayout_ = false;
          layoutCells();
        },
        Qt::QueuedConnection);
  }
}

int CampaignTableView::measure(TableViewCell* cell) const {
  const int width = viewport()->width();
  if (cell->hasHeightForWidth()) return std::max(1, cell->heightForWidth(width));
  return std::max(1, cell->sizeHint().height());
}

void CampaignTableView::recycle(TableViewCell* cell) {
  cell->row_ = -1;  // before hiding: its focus must not move on by a row it no longer shows
  cell->hide();
  cell->prepareForReuse();
  pool_[cell->reuseIdentifier_].push_back(cell);
}

void CampaignTableView::recycleAll() {
  // Hiding a focused cell hands the focus to the next row, which scrolls and lays out:
  // not while the rows are half recycled and the heights are the old ones.
  const bool laying = std::exchange(laying_, true);
  for (auto& [row, cell] : std::exchange(visible_, {})) recycle(cell);
  laying_ = laying;
}

void CampaignTableView::rebuildOffsets() {
  offsets_.assign(heights_.size() + 1, 0);
  for (std::size_t r = 0; r < heights_.size(); ++r) offsets_[r + 1] = offsets_[r] + heights_[r];
}

void CampaignTableView::updateScrollBar() {
  const long long total = offsets_.empty() ? 0 : offsets_.back();
  const long long max = std::max<long long>(0, total - viewport()->height());
  verticalScrollBar()->setRange(0, static_cast<int>(std::min<long long>(max, INT_MAX)));
  verticalScrollBar()->setPageStep(viewport()->height());
}

int CampaignTableView::rowAt(int y) const {
  // offsets_ is sorted: the row whose top is the last one at or above y.
  const auto it = std::upper_bound(offsets_.begin(), offsets_.end() - 1, static_cast<long long>(y));
  return std::max(0, static_cast<int>(it - offsets_.begin()) - 1);
}

void CampaignTableView::layoutCells() {
  if (laying_ || !dataSource_) return;
  laying_ = true;
  const int width = viewport()->width();
  const int viewHeight = viewport()->height();
  const int rows = numberOfRows();

  // A few passes at most: measuring rows can move the ones below them.
  for (int pass = 0; pass < 4; ++pass) {
    const int top = verticalScrollBar()->value();
    const int first = rows == 0 ? 0 : rowAt(top);
    int last = first - 1;
    while (last + 1 < rows && offsets_[static_cast<std::size_t>(last + 1)] < top + viewHeight) ++last;

    for (auto it = visible_.begin(); it != visible_.end();) {
      if (it->first < first || it->first > last) {
        recycle(it->second);
        it = visible_.erase(it);
      } else {
        ++it;
      }
    }

    bool heightsChanged = false;
    for (int r = first; r <= last; ++r) {
      TableViewCell* cell = cellForRow(r);
      if (!cell) {
        cell = dataSource_->cellForRow(*this, r);
        if (!cell) continue;
        if (cell->parentWidget() != viewport()) cell->setParent(viewport());
        cell->row_ = r;
        visible_[r] = cell;
      }
      const auto index = static_cast<std::size_t>(r);
      if (!measured_[index]) {
        const int h = measure(cell);
        measured_[index] = true;
        if (h != heights_[index]) {
          heights_[index] = h;
          heightsChanged = true;
        }
      }
    }
    if (heightsChanged) {
      rebuildOffsets();
      updateScrollBar();
      continue;
    }
    for (const auto& [r, cell] : visible_) {
      const QRect rect = rectForRow(r);
      cell->setGeometry(0, rect.top() - top, width, rect.height());
      cell->show();
    }
    break;
  }
  // If the passes ran out, place what is visible anyway.
  for (const auto& [r, cell] : visible_) {
    if (!cell->isVisible()) {
      const QRect rect = rectForRow(r);
      cell->setGeometry(0, rect.top() - verticalScrollBar()->value(), width, rect.height());
      cell->show();
    }
  }
  laying_ = false;
}

}  // namespace orvane::ui
