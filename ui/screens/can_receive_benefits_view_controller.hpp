#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "ui/sdk/view_controller.hpp"

namespace Ui {
class CanReceiveBenefitsViewController;
}

namespace orvane::ui {

// The pop-up with the total reward the user can still collect: a black bottom sheet
// over the wall's window that closes with its close mark, a click outside it or Esc.
class CanReceiveBenefitsViewController : public ViewController {
  Q_OBJECT

 public:
  // Uses only the services' animation choice.
  explicit CanReceiveBenefitsViewController(Services services = {}, QWidget* parent = nullptr);
  ~CanReceiveBenefitsViewController() override;

  // Set before the pop-up is shown.
  std::optional<QString> rewardPriceAndMark;
  // A newer total while the pop-up is on screen.
  void setRewardPriceAndMark(const QString& text);

  // Shows the pop-up over `window` (covering it) until it is dismissed; it then deletes itself.
  void presentIn(QWidget* window);
  // Closes the pop-up; it is deleted once off screen.
  void clickClose();
  bool isDismissed() const { return dismissed_; }

 signals:
  void dismissed();

 protected:
  void viewDidLoad() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void placeSheet();
  void showRewardPriceAndMark();

  std::unique_ptr<Ui::CanReceiveBenefitsViewController> ui_;
  bool dismissed_ = false;
};

}  // namespace orvane::ui
