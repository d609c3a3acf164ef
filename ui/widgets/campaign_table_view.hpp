#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <vector>

namespace orvane::ui {

class CampaignTableView;

// A row widget that the table recycles: one per visible row, handed back to the data
// source through dequeueReusableCell when its row scrolls away.
class TableViewCell : public QWidget {
  Q_OBJECT

 public:
  explicit TableViewCell(const QString& reuseIdentifier, QWidget* parent = nullptr);

  const QString& reuseIdentifier() const { return reuseIdentifier_; }
  // The row the cell shows, -1 while it waits in the reuse pool.
  int row() const { return row_; }

  // Called before the cell goes back to the pool; drop what belongs to the old row.
  virtual void prepareForReuse() {}

 protected:
  // The content's height changed (an image arrived); the table measures the row again.
  void invalidateRowHeight();
  // Tab and Backtab move along the rows, not along the order the cells were made in.
  bool focusNextPrevChild(bool next) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  friend class CampaignTableView;
  QString reuseIdentifier_;
  int row_ = -1;
  QPointer<CampaignTableView> table_;
};

class TableViewDataSource {
 public:
  // Returned by heightForRow to have the row measured from the cell (heightForWidth).
  static constexpr int kAutomaticHeight = -1;

  virtual ~TableViewDataSource() = default;
  virtual int numberOfRows(CampaignTableView& table) = 0;
  // A configured cell for the row, usually from table.dequeueReusableCell.
  virtual TableViewCell* cellForRow(CampaignTableView& table, int row) = 0;
  virtual int heightForRow(CampaignTableView& /*table*/, int /*row*/, int /*width*/) {
    return kAutomaticHeight;
  }
};

// A list that creates widgets only for the rows on screen and reuses them while
// scrolling; rows can have different heights; kinetic scrolling on the viewport.
class CampaignTableView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using CellFactory = std::function<TableViewCell*()>;

  explicit CampaignTableView(QWidget* parent = nullptr);
  ~CampaignTableView() override;

  // A phone's thin indicator rather than a desktop bar with arrows; the wall's other
  // scrolling screens use it too.
  static QString thinScrollBarStyle();

  void setDataSource(TableViewDataSource* dataSource);
  void registerCell(const QString& identifier, CellFactory factory);
  // A pooled cell of that identifier, else a new one from its factory; null for an
  // identifier never registered.
  TableViewCell* dequeueReusableCell(const QString& identifier);

  // Forgets every row height and asks the data source again.
  void reloadData();

  // Height used for a row that has not been measured yet.
  void setEstimatedRowHeight(int height) { estimatedRowHeight_ = height; }

  int numberOfRows() const { return static_cast<int>(heights_.size()); }
  // The cell showing the row, or null when the row is off screen.
  TableViewCell* cellForRow(int row) const;
  std::vector<TableViewCell*> visibleCells() const;
  // Every cell widget the table owns: visible and pooled.
  int cellWidgetCount() const;
  QRect rectForRow(int row) const;  // in content coordinates
  void scrollToRow(int row);
  // Scrolls as little as needed for the whole row (its top, when taller than the view).
  void ensureRowVisible(int row);
  // Scrolls the row into view and gives its cell the focus; false without such a row.
  bool focusRow(int row, Qt::FocusReason reason);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  // Tab into the table lands on the first row in view, Backtab on the last.
  void focusInEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class TableViewCell;
  void cellHeightChanged(TableViewCell* cell);
  // Tab from the row of `cell`: to the next row, or out of the table past the last.
  bool moveFocus(const TableViewCell* cell, bool next);
  // The control before (or after) the table in the window's Tab order.
  QWidget* focusOutside(bool next) const;
  void layoutCells();
  void recycle(TableViewCell* cell);
  void recycleAll();
  void refreshHover();
  void rebuildOffsets();
  void updateScrollBar();
  int rowAt(int y) const;
  int measure(TableViewCell* cell) const;

  TableViewDataSource* dataSource_ = nullptr;
  std::map<QString, CellFactory> factories_;
  std::map<QString, std::vector<TableViewCell*>> pool_;
  std::map<int, TableViewCell*> visible_;  // row -> cell
  std::vector<int> heights_;
  std::vector<bool> measured_;
  std::vector<long long> offsets_;  // offsets_[r] = top of row r; size rows + 1
  int estimatedRowHeight_ = 88;
  bool laying_ = false;
  bool pendingLayout_ = false;
};

}  // namespace orvane::ui
