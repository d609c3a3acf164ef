#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "core/api/records.hpp"
#include "ui/screens/camp_cell.hpp"

class QLabel;
class QPushButton;

namespace Ui {
class CampCPSTableViewCell;
}

namespace orvane::ui {

// A CPS (purchase) campaign row: icon, title, the discounted price and the price button.
class CampCPSTableViewCell : public CampCell {
  Q_OBJECT

 public:
  static constexpr const char* kReuseIdentifier = "tvc_camp_cps";

  // Takes part through the services' flow and loads images through their cache.
  explicit CampCPSTableViewCell(const Services& services, QWidget* parent = nullptr);
  ~CampCPSTableViewCell() override;

  void setItem(const Camp& camp, int row, CampClickProtocol* campClickProtocol);
  void clickJoin();

  QString titleText() const;
  QString contentText() const;
  QString buttonText() const;

  int heightForWidth(int width) const override;
  void prepareForReuse() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // The whole row, its price button included, joins.
  bool tap() override;
  std::vector<const qt::ImageView*> imageViews() const override;

 private:
  int layoutFor(int width, bool apply) const;

  std::unique_ptr<Ui::CampCPSTableViewCell> ui_;
  qt::ImageView* ivIcon_;
  QLabel* lTitle_;
  QLabel* lContent_;
  QPushButton* bRewardButton_;
};

}  // namespace orvane::ui
