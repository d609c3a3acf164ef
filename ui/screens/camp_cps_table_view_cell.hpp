#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/api/records.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/widgets/campaign_table_view.hpp"

class QLabel;
class QPushButton;

namespace Ui {
class CampCPSTableViewCell;
}

namespace orvane::ui {

// A CPS (purchase) campaign row: icon, title, the discounted price and the price button.
class CampCPSTableViewCell : public TableViewCell {
  Q_OBJECT

 public:
  static constexpr const char* kReuseIdentifier = "tvc_camp_cps";

  // Takes part through the services' flow and loads images through their cache.
  explicit CampCPSTableViewCell(const Services& services, QWidget* parent = nullptr);
  ~CampCPSTableViewCell() override;

  void setItem(const Camp& camp, int row, CampClickProtocol* campClickProtocol);
  void clickJoin();

  const std::optional<Camp>& camp() const { return camp_; }
  QString titleText() const;
  QString contentText() const;
  QString buttonText() const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  void prepareForReuse() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int layoutFor(int width, bool apply) const;

  ApiJoin* join_;
  ImageCache* images_;
  std::unique_ptr<Ui::CampCPSTableViewCell> ui_;
  qt::ImageView* ivIcon_;
  QLabel* lTitle_;
  QLabel* lContent_;
  QPushButton* bRewardButton_;
  QRgb buttonColour_ = 0;  // the accent the button's style sheet was built with
  std::optional<Camp> camp_;
  int row_ = -1;
  CampClickProtocol* campClickProtocol_ = nullptr;
};

}  // namespace orvane::ui
