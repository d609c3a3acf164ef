#include "ui/screens/camp_cps_table_view_cell.hpp"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "core/participation/api_join.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/image_view.hpp"
#include "ui_camp_cps_table_view_cell.h"

namespace orvane::ui {

namespace {

constexpr int kPadX = 16;
constexpr int kPadY = 12;
constexpr int kIcon = 64;
constexpr int kGap = 12;
constexpr int kPillHeight = 28;
constexpr int kPillMinWidth = 72;

}  // namespace

CampCPSTableViewCell::CampCPSTableViewCell(const Services& services, QWidget* parent)
    : TableViewCell(kReuseIdentifier, parent),
      join_(services.join),
      images_(services.images),
      ui_(std::make_unique<Ui::CampCPSTableViewCell>()) {
  ui_->setupUi(this);
  ivIcon_ = ui_->iv_icon;
  lTitle_ = ui_->l_title;
  lContent_ = ui_->l_content;
  bRewardButton_ = ui_->b_reward_button;
  // The whole cell is the tap target, the button included.
  for (QWidget* child : std::initializer_list<QWidget*>{ivIcon_, lTitle_, lContent_, bRewardButton_}) {
    child->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  ivIcon_->setCornerRadius(kIcon / 5.0);
  lTitle_->setFont(style::pixelFont(15, QFont::DemiBold));
  lTitle_->setStyleSheet("color: #111111;");
  lContent_->setFont(style::pixelFont(13));
  lContent_->setStyleSheet("color: #8C8C8C;");
  bRewardButton_->setFont(style::pixelFont(13, QFont::DemiBold));
  setFocusPolicy(Qt::StrongFocus);
}

CampCPSTableViewCell::~CampCPSTableViewCell() = default;

void CampCPSTableViewCell::setItem(const Camp& camp, int row, CampClickProtocol* campClickProtocol) {
  Log::log("setItem", Log::Level::info());
  camp_ = camp;
  row_ = row;
  campClickProtocol_ = campClickProtocol;

  ivIcon_->clear();
  ivIcon_->setImage(nullptr);
  if (camp.iconurl && !camp.iconurl->empty()) {
    ivIcon_->setUrl(*camp.iconurl, std::nullopt, *images_, [self = QPointer(this)](ImagePtr) {
      if (self) self->update();
    });
  }
  lTitle_->setText(QString::fromStdString(camp.name));
  lContent_->setText(QString::fromStdString(
      formatDecimal(static_cast<long long>(camp.cpsdcprice), localeDecimalStyle()) + localized("ov_won")));
  bRewardButton_->setText(rewardPriceText(camp));
  // A style sheet costs a re-polish: only when the accent changed.
  const QColor accent = Orvane::shared().orvaneColorPrimary;
  if (buttonColour_ != accent.rgba() || bRewardButton_->styleSheet().isEmpty()) {
    buttonColour_ = accent.rgba();
    bRewardButton_->setStyleSheet(QString("QPushButton { background: %1; color: white; border: none; "
                                          "border-radius: 14px; padding: 0 12px; }")
                                      .arg(accent.name()));
  }
  setAccessibleName(QString::fromStdString(camp.name));
  setAccessibleDescription(lContent_->text() + " " + bRewardButton_->text());
  layoutFor(width(), true);
  update();
}

void CampCPSTableViewCell::clickJoin() {
  if (!camp_) return;
  if (camp_->detailpage == 1) {
    if (campClickProtocol_ && row_ >= 0) campClickProtocol_->onClick(row_);
    return;
  }
  // No receiver: a CPS campaign's row never changes state.
  join_->startJoin(*camp_, {});
}

QString CampCPSTableViewCell::titleText() const { return lTitle_->text(); }
QString CampCPSTableViewCell::contentText() const { return lContent_->text(); }
QString CampCPSTableViewCell::buttonText() const { return bRewardButton_->text(); }

void CampCPSTableViewCell::prepareForReuse() {
  ivIcon_->clear();
  ivIcon_->setImage(nullptr);
}

int CampCPSTableViewCell::heightForWidth(int width) const { return layoutFor(width, false); }

int CampCPSTableViewCell::layoutFor(int width, bool apply) const {
  const int textX = kPadX + kIcon + kGap;
  const int textWidth = std::max(1, width - textX - kPadX);
  if (apply) ivIcon_->setGeometry(kPadX, kPadY, kIcon, kIcon);
  const int lines = 2 * lTitle_->fontMetrics().lineSpacing();
  const int titleH =
      std::min(lines, std::max(lTitle_->fontMetrics().lineSpacing(), lTitle_->heightForWidth(textWidth)));
  int y = kPadY;
  if (apply) lTitle_->setGeometry(textX, y, textWidth, titleH);
  y += titleH + 2;
  const int contentH = lContent_->fontMetrics().lineSpacing();
  if (apply) lContent_->setGeometry(textX, y, textWidth, contentH);
  y += contentH + 8;
  const int pillWidth =
      std::max(kPillMinWidth, bRewardButton_->fontMetrics().horizontalAdvance(bRewardButton_->text()) + 24);
  if (apply) bRewardButton_->setGeometry(width - kPadX - pillWidth, y, pillWidth, kPillHeight);
  y += kPillHeight;
  return std::max(y, kPadY + kIcon) + kPadY;
}

void CampCPSTableViewCell::resizeEvent(QResizeEvent* event) {
  TableViewCell::resizeEvent(event);
  layoutFor(width(), true);
}

void CampCPSTableViewCell::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  paintCampCell(painter, *this, {ivIcon_});
}

void CampCPSTableViewCell::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    clickJoin();
    return;
  }
  TableViewCell::mouseReleaseEvent(event);
}

void CampCPSTableViewCell::keyPressEvent(QKeyEvent* event) {
  if (isActivationKey(*event)) {
    clickJoin();
    return;
  }
  TableViewCell::keyPressEvent(event);
}

}  // namespace orvane::ui
