#pragma once

#include <QColor>
#include <QWidget>

namespace orvane::ui {

// One carousel card: `myView` fills it with the card's colour, `dimmedView` covers it with
// black at 45 % while the card is dimmed, and a focus ring marks the keyboard's card.
// Made in code only; a cell leaving the visible row is kept for reuse.
class MyCollectionViewCell : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kReuseIdentifier = "MyCollectionViewCell";
  static constexpr int kCornerRadius = 16;
  static constexpr double kDimmedAlpha = 0.45;

  explicit MyCollectionViewCell(QWidget* parent = nullptr);

  // Back to a fresh card before it shows another item: no colour, dimmed.
  void prepareForReuse();

  QWidget* myView() const;
  QWidget* dimmedView() const;

  QColor color() const;
  void setColor(const QColor& color);
  // Shows or hides `dimmedView`; repaints only when that changes.
  void setDimmed(bool dimmed);
  bool isDimmed() const;
  void setFocusRingVisible(bool visible);
  bool isFocusRingVisible() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Fill;
  Fill* myView_;
  Fill* dimmedView_;
  QWidget* focusRing_;
};

}  // namespace orvane::ui
