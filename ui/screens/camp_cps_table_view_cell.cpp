#include "ui/screens/camp_cps_table_view_cell.hpp"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "core/participation/api_join.hpp"
#include "core/support/url.hpp"
#include "orvane/localized.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/image_view.hpp"
#include "ui/widgets/server_text.hpp"
#include "ui_camp_cps_table_view_cell.h"

namespace orvane::ui {

namespace {

constexpr int kIcon = 64;

}  // namespace

CampCPSTableViewCell::CampCPSTableViewCell(const Services& services, QWidget* parent)
    : CampCell(kReuseIdentifier, services, parent), ui_(std::make_unique<Ui::CampCPSTableViewCell>()) {
  ui_->setupUi(this);
  ivIcon_ = ui_->iv_icon;
  lTitle_ = ui_->l_title;
  lContent_ = ui_->l_content;
  bRewardButton_ = ui_->b_reward_button;
  passClicksThrough({ivIcon_, lTitle_, lContent_, bRewardButton_});
  bRewardButton_->setFocusPolicy(Qt::NoFocus);  // the row is the one control
  ivIcon_->setCornerRadius(kIcon / 5.0);
  styleTitle(lTitle_);
  lContent_->setFont(style::pixelFont(13));
  lContent_->setStyleSheet("color: #8C8C8C;");
  stylePill(bRewardButton_);
}

CampCPSTableViewCell::~CampCPSTableViewCell() = default;

void CampCPSTableViewCell::setItem(const Camp& camp, int row, CampClickProtocol* campClickProtocol) {
  bind(camp, row, campClickProtocol);
  forgetImage(ivIcon_);
  if (const auto icon = camp.iconurl ? webUrl(*camp.iconurl) : std::nullopt) {
    loadImage(ivIcon_, *icon, [this](ImagePtr) { update(); });
  }
  setServerText(lTitle_, camp.name);
  setServerText(lContent_, formatDecimal(static_cast<long long>(camp.cpsdcprice), localeDecimalStyle()) +
                               localized("ov_won"));
  setServerText(bRewardButton_, rewardPriceText(camp));
  stylePill(bRewardButton_);
  setAccessibleName(QString::fromStdString(camp.name));
  setAccessibleDescription(lContent_->text() + " " + buttonText());
  layoutFor(width(), true);
  update();
}

void CampCPSTableViewCell::clickJoin() {
  if (!camp_ || openDetailPage()) return;
  // No receiver: a CPS campaign's row never changes state.
  join().startJoin(*camp_, {});
}

QString CampCPSTableViewCell::titleText() const { return lTitle_->text(); }
QString CampCPSTableViewCell::contentText() const { return lContent_->text(); }
QString CampCPSTableViewCell::buttonText() const {
  QString text = bRewardButton_->text();
  return text.replace(QStringLiteral("&&"), QStringLiteral("&"));  // as shown
}

void CampCPSTableViewCell::prepareForReuse() { forgetImage(ivIcon_); }

int CampCPSTableViewCell::heightForWidth(int width) const { return layoutFor(width, false); }

int CampCPSTableViewCell::layoutFor(int width, bool apply) const {
  const int textX = kPadX + kIcon + kGap;
  const int textWidth = std::max(1, width - textX - kPadX);
  if (apply) ivIcon_->setGeometry(kPadX, kPadY, kIcon, kIcon);
  const int titleH = titleHeight(*lTitle_, textWidth);
  int y = kPadY;
  if (apply) lTitle_->setGeometry(textX, y, textWidth, titleH);
  y += titleH + 2;
  const int contentH = lContent_->fontMetrics().lineSpacing();
  if (apply) lContent_->setGeometry(textX, y, textWidth, contentH);
  y += contentH + 8;
  const int pill = pillWidth(*bRewardButton_, bRewardButton_->text());
  if (apply) bRewardButton_->setGeometry(width - kPadX - pill, y, pill, kPillHeight);
  y += kPillHeight;
  return std::max(y, kPadY + kIcon) + kPadY;
}

void CampCPSTableViewCell::resizeEvent(QResizeEvent* event) {
  CampCell::resizeEvent(event);
  layoutFor(width(), true);
}

std::vector<const qt::ImageView*> CampCPSTableViewCell::imageViews() const { return {ivIcon_}; }

bool CampCPSTableViewCell::tap() {
  clickJoin();
  return true;
}

}  // namespace orvane::ui
