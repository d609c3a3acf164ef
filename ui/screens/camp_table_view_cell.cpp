#include "ui/screens/camp_table_view_cell.hpp"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTextCursor>
#include <algorithm>
#include <cmath>

#include "core/participation/api_join.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "ui/screens/html_to_string.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/image_view.hpp"
#include "ui_camp_table_view_cell.h"

namespace orvane::ui {

namespace {

constexpr int kPadX = 16;
constexpr int kPadY = 12;
constexpr int kIcon = 56;
constexpr int kGap = 12;
constexpr int kPillHeight = 28;
constexpr int kPillMinWidth = 72;
const QColor kPlaceholder{0xF2, 0xF2, 0xF2};
const QColor kSeparator{0xF0, 0xF0, 0xF0};

bool parsesAsUrl(const std::optional<std::string>& url) {
  if (!url || url->empty()) return false;
  const QUrl parsed(QString::fromStdString(*url), QUrl::StrictMode);
  return parsed.isValid() && !parsed.scheme().isEmpty();
}

int titleHeight(const QLabel* title, int width) {
  // At most two lines.
  const int lines = 2 * title->fontMetrics().lineSpacing();
  return std::min(lines, std::max(title->fontMetrics().lineSpacing(), title->heightForWidth(width)));
}

}  // namespace

DecimalStyle localeDecimalStyle() {
  const QLocale locale;
  DecimalStyle style;
  style.groupSeparator = locale.groupSeparator().toStdString();
  style.decimalSeparator = locale.decimalPoint().toStdString();
  style.minusSign = locale.negativeSign().toStdString();
  if (locale.numberOptions() & QLocale::OmitGroupSeparator) style.groupSize = 0;
  return style;
}

void paintCampCell(QPainter& painter, const QWidget& cell,
                   std::initializer_list<const qt::ImageView*> images) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(cell.rect(), Qt::white);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kPlaceholder);
  for (const auto* view : images) {
    if (!view->isHidden() && !view->image())
      painter.drawRoundedRect(view->geometry(), view->cornerRadius(), view->cornerRadius());
  }
  painter.fillRect(QRect(0, cell.height() - 1, cell.width(), 1), kSeparator);
  if (cell.hasFocus()) {
    painter.setPen(QPen(Orvane::shared().orvaneColorPrimary, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell.rect().adjusted(1, 1, -1, -1));
  }
}

bool isActivationKey(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter || event.key() == Qt::Key_Space;
}

QString rewardPriceText(const Camp& camp) {
  return QString::fromStdString(rewardText(camp.rewardprice, camp.pricemark, localeDecimalStyle()));
}

// ---- CampContentView

CampContentView::CampContentView(QWidget* parent) : QWidget(parent) {
  document_.setDocumentMargin(0);
  document_.setUndoRedoEnabled(false);
  document_.setDefaultFont(style::pixelFont(12));
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CampContentView::setContent(const QString& html, const QString& priceText) {
  document_.clear();
  QTextCursor cursor(&document_);
  cursor.beginEditBlock();
  cursor.insertFragment(
      HtmlToStringCache::shared().convert(html, style::kDescriptionGrey, style::pixelFont(12)));
  // The price follows the description directly, in the accent.
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat price;
  price.setForeground(Orvane::shared().orvaneColorPrimary);
  price.setFont(style::pixelFont(14, QFont::Bold), QTextCharFormat::FontPropertiesAll);
  cursor.insertText(priceText, price);
  cursor.endEditBlock();
  updateGeometry();
  update();
}

void CampContentView::clear() {
  document_.clear();
  update();
}

int CampContentView::heightForWidth(int width) const {
  document_.setTextWidth(width);
  return static_cast<int>(std::ceil(document_.size().height()));
}

void CampContentView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  document_.setTextWidth(width());
  document_.drawContents(&painter);
}

// ---- CampTableViewCell

class CampTableViewCell::JoinReceiver : public JoinProtocol {
 public:
  JoinReceiver(CampTableViewCell* cell, std::int64_t campid) : cell_(cell), campid_(campid) {}
  void onParticipationCheckPossible() override {
    if (cell_) cell_->joinCallback(campid_, std::nullopt);
  }
  void onAccumulationPossible(std::int64_t /*campid*/, const std::string& ovnkey) override {
    if (cell_) cell_->joinCallback(campid_, ovnkey);
  }

 private:
  QPointer<CampTableViewCell> cell_;
  std::int64_t campid_;
};

CampTableViewCell::CampTableViewCell(const Services& services, QWidget* parent)
    : TableViewCell(kReuseIdentifier, parent),
      join_(services.join),
      images_(services.images),
      ui_(std::make_unique<Ui::CampTableViewCell>()) {
  ui_->setupUi(this);
  ivNative_ = ui_->iv_native;
  ivIcon_ = ui_->iv_icon;
  lTitle_ = ui_->l_title;
  lContent_ = ui_->l_content;
  lRewardButton_ = ui_->l_reward_button;
  for (QWidget* child : std::initializer_list<QWidget*>{ivNative_, ivIcon_, lTitle_, lRewardButton_}) {
    child->setAttribute(Qt::WA_TransparentForMouseEvents);  // the whole cell is the tap target
  }
  ivNative_->setCornerRadius(8);
  ivIcon_->setCornerRadius(kIcon / 5.0);
  lTitle_->setFont(style::pixelFont(15, QFont::DemiBold));
  lTitle_->setStyleSheet("color: #111111;");
  lRewardButton_->setFont(style::pixelFont(13, QFont::DemiBold));
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(false);
}

CampTableViewCell::~CampTableViewCell() = default;

void CampTableViewCell::setItem(const Camp& camp, int row, std::int64_t listType,
                                CampClickProtocol* campClickProtocol) {
  Log::log("setItem", Log::Level::info());
  // A key from the flow belongs to its campaign: a reused cell must not claim with it.
  if (!camp_ || camp_->campid != camp.campid) ovnkey_.reset();
  camp_ = camp;
  row_ = row;
  campClickProtocol_ = campClickProtocol;

  nativeShown_ = listType == Orvane::TYPE_LIST_NATIVE && camp.nativeurl.has_value();
  if (nativeShown_) {
    // Until the image arrives its own size is unknown: the advertised size stands in.
    nativeAspect_ = camp.ctvwidth > 0 && camp.ctvheight > 0
                        ? static_cast<double>(camp.ctvheight) / static_cast<double>(camp.ctvwidth)
                        : 0.5;
    iconShown_ = false;
    ivIcon_->hide();
    ivNative_->show();
    loadImage(ivNative_, *camp.nativeurl, true);
  } else {
    ivNative_->hide();
    ivNative_->clear();
    ivNative_->setImage(nullptr);
    // An icon address that does not parse leaves the icon empty rather than stale.
    iconShown_ = parsesAsUrl(camp.iconurl);
    ivIcon_->setVisible(iconShown_);
    if (iconShown_) {
      loadImage(ivIcon_, *camp.iconurl, false);
    } else {
      ivIcon_->clear();
      ivIcon_->setImage(nullptr);
    }
  }
  lchDivision_ = listType == Orvane::TYPE_LIST_NATIVE ? 10 : 2;

  lTitle_->setText(QString::fromStdString(camp.name));
  const QString price = rewardPriceText(camp);
  lContent_->clear();
  lContent_->setContent(QString::fromStdString(camp.rewarddesc), price);
  setAccessibleName(QString::fromStdString(camp.name));
  setAccessibleDescription(lContent_->plainText());

  const auto waiting = join_->getPartiConfirmList();
  if (camp.convflag == 1) {
    setState(State::collect, false);
  } else if (std::find(waiting.begin(), waiting.end(), camp.campid) != waiting.end()) {
    setState(State::participationCheck, false);
  } else {
    setState(State::join, false);
  }
  layoutFor(width(), true);
  update();
}

void CampTableViewCell::loadImage(qt::ImageView* view, const std::string& url, bool native) {
  view->clear();
  view->setImage(nullptr);
  QPointer<CampTableViewCell> self(this);
  const std::int64_t campid = camp_ ? camp_->campid : -1;
  view->setUrl(url, std::nullopt, *images_, [self, native, campid](ImagePtr image) {
    if (self) self->imageArrived(native, image, campid);
  });
}

void CampTableViewCell::imageArrived(bool native, const ImagePtr& image, std::int64_t campid) {
  // The view drops deliveries for another address; the campaign check covers two rows
  // that share one address.
  if (!camp_ || camp_->campid != campid) return;
  if (native && image && image->width() > 0 && image->height() > 0) {
    nativeAspect_ = static_cast<double>(image->height()) / static_cast<double>(image->width());
    layoutFor(width(), true);
    invalidateRowHeight();
  }
  update();
}

void CampTableViewCell::setState(State state, bool relayout) {
  state_ = state;
  switch (state) {
    case State::join:
      lRewardButton_->setText(camp_ ? QString::fromStdString(camp_->cta) : QString());
      tapAction_ = [this] { clickJoin(); };
      break;
    case State::participationCheck:
      lRewardButton_->setText(QString::fromStdString(localized("ov_participation_check")));
      tapAction_ = [this] { clickParticipation(); };
      break;
    case State::collect:
      lRewardButton_->setText(QString::fromStdString(localized("ov_accumulate")));
      tapAction_ = [this] { clickAccumulation(); };
      break;
  }
  // A style sheet costs a re-polish: only when the accent changed.
  const QColor accent = Orvane::shared().orvaneColorPrimary;
  if (pillColour_ != accent.rgba() || lRewardButton_->styleSheet().isEmpty()) {
    pillColour_ = accent.rgba();
    lRewardButton_->setStyleSheet(
        QString("background: %1; color: white; border-radius: 14px; padding: 0 12px;").arg(accent.name()));
  }
  lRewardButton_->setAccessibleName(lRewardButton_->text());
  if (relayout) layoutFor(width(), true);
}

void CampTableViewCell::setParticipationCheckPossible() { setState(State::participationCheck); }
void CampTableViewCell::setAccumulationPossible() { setState(State::collect); }

void CampTableViewCell::clickJoin() {
  if (!camp_) return;
  if (camp_->detailpage == 1) {
    if (campClickProtocol_ && row_ >= 0) campClickProtocol_->onClick(row_);
    return;
  }
  joinReceiver_ = std::make_shared<JoinReceiver>(this, camp_->campid);
  join_->startJoin(*camp_, joinReceiver_);
}

void CampTableViewCell::clickParticipation() {
  if (camp_) join_->flowParticipation(*camp_);
}

void CampTableViewCell::clickAccumulation() {
  if (!camp_) return;
  const std::optional<std::string> key = camp_->ovnkey ? camp_->ovnkey : ovnkey_;
  if (!key) {
    // Claiming without a key can only fail on the server; say why here instead.
    Log::log("CampTableViewCell clickAccumulation: no ovnkey for campid", {std::to_string(camp_->campid)},
             Log::Level::error());
    return;
  }
  join_->apiReward(camp_->campid, *key);
}

void CampTableViewCell::joinCallback(std::int64_t campid, const std::optional<std::string>& ovnkey) {
  if (!camp_ || camp_->campid != campid) {
    Log::log("CampTableViewCell: flow callback for a campaign no longer shown", {std::to_string(campid)},
             Log::Level::debug());
    return;
  }
  if (ovnkey) {
    ovnkey_ = ovnkey;
    setAccumulationPossible();
  } else {
    setParticipationCheckPossible();
  }
}

void CampTableViewCell::prepareForReuse() {
  ivNative_->clear();
  ivNative_->setImage(nullptr);
  ivIcon_->clear();
  ivIcon_->setImage(nullptr);
  tapAction_ = nullptr;
}

QRect CampTableViewCell::nativeImageRect() const { return nativeShown_ ? ivNative_->geometry() : QRect(); }
QString CampTableViewCell::titleText() const { return lTitle_->text(); }
QString CampTableViewCell::contentText() const { return lContent_->plainText(); }
QString CampTableViewCell::buttonText() const { return lRewardButton_->text(); }

int CampTableViewCell::heightForWidth(int width) const { return layoutFor(width, false); }

int CampTableViewCell::layoutFor(int width, bool apply) const {
  const int contentWidth = std::max(1, width - 2 * kPadX);
  int y = kPadY;
  int textX = kPadX;
  int columnTop = y;
  if (nativeShown_) {
    const int h = static_cast<int>(std::lround(contentWidth * nativeAspect_));
    if (apply) ivNative_->setGeometry(kPadX, y, contentWidth, h);
    y += h + lchDivision_;
    columnTop = y;
  } else if (iconShown_) {
    if (apply) ivIcon_->setGeometry(kPadX, y, kIcon, kIcon);
    textX = kPadX + kIcon + kGap;
  }
  const int textWidth = std::max(1, width - textX - kPadX);
  const int titleH = titleHeight(lTitle_, textWidth);
  if (apply) lTitle_->setGeometry(textX, columnTop, textWidth, titleH);
  int column = columnTop + titleH + (nativeShown_ ? 4 : lchDivision_);
  const int contentH = lContent_->heightForWidth(textWidth);
  if (apply) lContent_->setGeometry(textX, column, textWidth, contentH);
  column += contentH + 8;
  const int pillWidth =
      std::max(kPillMinWidth, lRewardButton_->fontMetrics().horizontalAdvance(lRewardButton_->text()) + 24);
  if (apply) lRewardButton_->setGeometry(width - kPadX - pillWidth, column, pillWidth, kPillHeight);
  column += kPillHeight;
  const int bottom = std::max(column, iconShown_ && !nativeShown_ ? kPadY + kIcon : 0);
  return bottom + kPadY;
}

void CampTableViewCell::resizeEvent(QResizeEvent* event) {
  TableViewCell::resizeEvent(event);
  layoutFor(width(), true);
}

void CampTableViewCell::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  paintCampCell(painter, *this, {ivNative_, ivIcon_});
}

void CampTableViewCell::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && tapAction_) {
    // The action may reload the list and with it this cell: run a copy.
    const auto action = tapAction_;
    action();
    return;
  }
  TableViewCell::mouseReleaseEvent(event);
}

void CampTableViewCell::keyPressEvent(QKeyEvent* event) {
  if (isActivationKey(*event) && tapAction_) {
    const auto action = tapAction_;
    action();
    return;
  }
  TableViewCell::keyPressEvent(event);
}

}  // namespace orvane::ui
