#include "ui/screens/reward_table_view_cell.hpp"

#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "core/screens/reward_history.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/server_text.hpp"
#include "ui_reward_table_view_cell.h"

namespace orvane::ui {

namespace {

constexpr int kPadX = 16;
constexpr int kPadY = 12;
constexpr int kGap = 12;
constexpr int kNameHeight = 20;
constexpr int kDateHeight = 18;
const QColor kSeparator{0xF0, 0xF0, 0xF0};

// A style sheet, not the palette: a style sheet anywhere above the row would reset it.
// A disabled row (its list is being replaced) is greyed out.
void colour(QLabel* label, const QColor& color) {
  label->setStyleSheet(QStringLiteral("QLabel{color:%1;}QLabel:disabled{color:#C8C8C8;}").arg(color.name()));
}

}  // namespace

RewardTableViewCell::RewardTableViewCell(QWidget* parent)
    : TableViewCell(kReuseIdentifier, parent), ui_(std::make_unique<Ui::RewardTableViewCell>()) {
  ui_->setupUi(this);
  lName_ = ui_->l_name;
  lDate_ = ui_->l_date;
  lRewardPrice_ = ui_->l_reward_price;
  lName_->setFont(style::pixelFont(14));
  colour(lName_, style::kText);
  lDate_->setFont(style::pixelFont(12));
  colour(lDate_, style::kDescriptionGrey);
  lRewardPrice_->setFont(style::pixelFont(14, QFont::Bold));
  colour(lRewardPrice_, style::accent());
  for (QLabel* label : {lName_, lDate_, lRewardPrice_}) label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

RewardTableViewCell::~RewardTableViewCell() = default;

void RewardTableViewCell::setItem(const Reward& reward, const DecimalStyle& style) {
  const RewardRowText row = rewardRowText(reward, style);
  name_ = QString::fromStdString(row.name);
  date_ = QString::fromStdString(row.date);
  price_ = QString::fromStdString(row.price);
  setServerText(lRewardPrice_, price_);
  lName_->setAccessibleName(name_);
  lDate_->setAccessibleName(date_);
  lRewardPrice_->setAccessibleName(price_);
  QStringList parts;
  for (const QString* part : {&name_, &date_, &price_})
    if (!part->isEmpty()) parts << *part;
  setAccessibleName(parts.join(QStringLiteral(", ")));
  place();
}

void RewardTableViewCell::prepareForReuse() {
  name_.clear();
  date_.clear();
  price_.clear();
  lName_->clear();
  lDate_->clear();
  lRewardPrice_->clear();
}

void RewardTableViewCell::resizeEvent(QResizeEvent* event) {
  TableViewCell::resizeEvent(event);
  place();
}

void RewardTableViewCell::place() {
  const int w = width();
  const int content = std::max(0, w - 2 * kPadX);
  // The amount keeps its width unless it would take more than half of the row.
  const int priceWidth = std::min(lRewardPrice_->fontMetrics().horizontalAdvance(price_) + 2, content / 2);
  const int textWidth = std::max(0, content - priceWidth - (priceWidth > 0 ? kGap : 0));
  lRewardPrice_->setGeometry(w - kPadX - priceWidth, (height() - kNameHeight) / 2, priceWidth, kNameHeight);
  setServerText(lRewardPrice_, lRewardPrice_->fontMetrics().elidedText(price_, Qt::ElideRight, priceWidth));
  const int top = std::max(0, (height() - kNameHeight - 2 - kDateHeight) / 2);
  lName_->setGeometry(kPadX, top, textWidth, kNameHeight);
  setServerText(lName_, lName_->fontMetrics().elidedText(name_, Qt::ElideRight, textWidth));
  lDate_->setGeometry(kPadX, top + kNameHeight + 2, textWidth, kDateHeight);
  setServerText(lDate_, lDate_->fontMetrics().elidedText(date_, Qt::ElideRight, textWidth));
}

void RewardTableViewCell::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.fillRect(QRect(0, height() - 1, width(), 1), kSeparator);
}

}  // namespace orvane::ui
