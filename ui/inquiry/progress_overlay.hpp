#pragma once

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace orvane::ui {

// The busy layer of a submission: 50 % grey over the whole of `host` (the wall's
// navigation container, so the bar is covered too), a red spinner scaled 2.5 times in
// its centre. While it is up it takes the focus and swallows clicks and keys, so no
// entry can be touched; it follows the host's size. GUI thread.
class ProgressOverlay : public QWidget {
  Q_OBJECT

 public:
  // Shown at once; the spinner turns when `animated`.
  ProgressOverlay(QWidget* host, bool animated);
  ~ProgressOverlay() override;

  static constexpr double kScale = 2.5;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<QWidget> host_;
  QPointer<QWidget> focusBefore_;
  QVariantAnimation spin_;
  qreal angle_ = 0;
};

}  // namespace orvane::ui
