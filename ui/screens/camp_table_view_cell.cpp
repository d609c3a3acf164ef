#include "ui/screens/camp_table_view_cell.hpp"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPainter>
#include <QTextCursor>
#include <algorithm>
#include <cmath>

#include "core/participation/api_join.hpp"
#include "core/support/url.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "ui/screens/html_to_string.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/image_view.hpp"
#include "ui_camp_table_view_cell.h"

namespace orvane::ui {

namespace {

constexpr int kIcon = 56;

}  // namespace

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
  cursor.endEditBlock();
  // The price follows the description in the accent.
  QTextCharFormat price;
  price.setForeground(Orvane::shared().orvaneColorPrimary);
  price.setFont(style::pixelFont(14, QFont::Bold), QTextCharFormat::FontPropertiesAll);
  appendPrice(document_, priceText, price);
  updateGeometry();
  update();
}

void CampContentView::clear() {
  document_.clear();
  update();
}

// Setting a width lays the whole document out again, even the same width: only on a change.
void CampContentView::fitWidth(int width) const {
  if (document_.textWidth() != width) document_.setTextWidth(width);
}

int CampContentView::heightForWidth(int width) const {
  fitWidth(width);
  return static_cast<int>(std::ceil(document_.size().height()));
}

void CampContentView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  fitWidth(width());
  document_.drawContents(&painter);
}

// ---- CampTableViewCell

// The flow holds its receiver weakly, and the cell owns it: it dies with the cell.
class CampTableViewCell::JoinReceiver : public JoinProtocol {
 public:
  explicit JoinReceiver(CampTableViewCell* cell) : cell_(cell) {}
  void onParticipationCheckPossible(std::int64_t campid) override {
    cell_->joinCallback(campid, std::nullopt);
  }
  void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) override {
    cell_->joinCallback(campid, ovnkey);
  }

 private:
  CampTableViewCell* cell_;
};

CampTableViewCell::CampTableViewCell(const Services& services, QWidget* parent)
    : CampCell(kReuseIdentifier, services, parent), ui_(std::make_unique<Ui::CampTableViewCell>()) {
  ui_->setupUi(this);
  ivNative_ = ui_->iv_native;
  ivIcon_ = ui_->iv_icon;
  lTitle_ = ui_->l_title;
  lContent_ = ui_->l_content;
  lRewardButton_ = ui_->l_reward_button;
  passClicksThrough({ivNative_, ivIcon_, lTitle_, lRewardButton_});
  ivNative_->setCornerRadius(8);
  ivIcon_->setCornerRadius(kIcon / 5.0);
  styleTitle(lTitle_);
  stylePill(lRewardButton_);
  setAutoFillBackground(false);
  // A confirmation reaches the receiver of the latest join only; the cell showing the
  // confirmed campaign learns of it here.
  if (services.notifications)
    confirmations_ = services.notifications->observe(kParticipationConfirmed, [this] { showConfirmedKey(); });
}

CampTableViewCell::~CampTableViewCell() = default;

void CampTableViewCell::setItem(const Camp& camp, int row, std::int64_t listType,
                                CampClickProtocol* campClickProtocol) {
  // A key from the flow belongs to its campaign: a reused cell must not claim with it.
  if (!camp_ || camp_->campid != camp.campid) ovnkey_.reset();
  // A confirmation that arrived while another cell was the receiver, or none showed it.
  const auto confirmedKey = join().confirmedKey(camp.campid);
  if (confirmedKey) ovnkey_ = confirmedKey;
  bind(camp, row, campClickProtocol);

  // An empty address draws like none: the icon layout, not an image area that never fills.
  nativeShown_ = listType == Orvane::TYPE_LIST_NATIVE && camp.nativeurl && !camp.nativeurl->empty();
  if (nativeShown_) {
    // Until the image arrives its own size is unknown: the advertised size stands in.
    nativeAspect_ = camp.ctvwidth > 0 && camp.ctvheight > 0
                        ? static_cast<double>(camp.ctvheight) / static_cast<double>(camp.ctvwidth)
                        : 0.5;
    iconShown_ = false;
    ivIcon_->hide();
    ivNative_->show();
    loadCampImage(ivNative_, *camp.nativeurl, true);
  } else {
    ivNative_->hide();
    forgetImage(ivNative_);
    // An icon address that is no web address leaves the icon empty rather than stale.
    const auto icon = camp.iconurl ? webUrl(*camp.iconurl) : std::nullopt;
    iconShown_ = icon.has_value();
    ivIcon_->setVisible(iconShown_);
    if (iconShown_) {
      loadCampImage(ivIcon_, *icon, false);
    } else {
      forgetImage(ivIcon_);
    }
  }
  lchDivision_ = listType == Orvane::TYPE_LIST_NATIVE ? 10 : 2;

  setServerText(lTitle_, camp.name);
  const QString price = rewardPriceText(camp);
  lContent_->clear();
  lContent_->setContent(QString::fromStdString(camp.rewarddesc), price);
  setAccessibleName(QString::fromStdString(camp.name));
  setAccessibleDescription(lContent_->plainText());

  const auto waiting = join().getPartiConfirmList();
  if (camp.convflag == 1 || confirmedKey) {
    setState(State::collect, false);
  } else if (std::find(waiting.begin(), waiting.end(), camp.campid) != waiting.end()) {
    setState(State::participationCheck, false);
  } else {
    setState(State::join, false);
  }
  layoutFor(width(), true);
  update();
}

void CampTableViewCell::loadCampImage(qt::ImageView* view, const std::string& url, bool native) {
  const std::int64_t campid = camp_ ? camp_->campid : -1;
  loadImage(view, url, [this, native, campid](ImagePtr image) { imageArrived(native, image, campid); });
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
      setServerText(lRewardButton_, camp_ ? camp_->cta : std::string());
      tapAction_ = [this] { clickJoin(); };
      break;
    case State::participationCheck:
      setServerText(lRewardButton_, localized("ov_participation_check"));
      tapAction_ = [this] { clickParticipation(); };
      break;
    case State::collect:
      setServerText(lRewardButton_, localized("ov_accumulate"));
      tapAction_ = [this] { clickAccumulation(); };
      break;
  }
  stylePill(lRewardButton_);
  lRewardButton_->setAccessibleName(lRewardButton_->text());
  if (relayout) layoutFor(width(), true);
}

void CampTableViewCell::setParticipationCheckPossible() { setState(State::participationCheck); }
void CampTableViewCell::setAccumulationPossible() { setState(State::collect); }

void CampTableViewCell::clickJoin() {
  if (!camp_ || openDetailPage()) return;
  if (!joinReceiver_) joinReceiver_ = std::make_shared<JoinReceiver>(this);
  join().startJoin(*camp_, joinReceiver_);
}

void CampTableViewCell::clickParticipation() {
  if (camp_) join().flowParticipation(*camp_);
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
  join().apiReward(*camp_, *key);
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

void CampTableViewCell::showConfirmedKey() {
  if (!camp_) return;
  auto key = join().confirmedKey(camp_->campid);
  if (!key) return;
  ovnkey_ = std::move(key);
  if (state_ != State::collect) setAccumulationPossible();
}

void CampTableViewCell::prepareForReuse() {
  forgetImage(ivNative_);
  forgetImage(ivIcon_);
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
  const int titleH = titleHeight(*lTitle_, textWidth);
  if (apply) lTitle_->setGeometry(textX, columnTop, textWidth, titleH);
  int column = columnTop + titleH + (nativeShown_ ? 4 : lchDivision_);
  const int contentH = lContent_->heightForWidth(textWidth);
  if (apply) lContent_->setGeometry(textX, column, textWidth, contentH);
  column += contentH + 8;
  const int pill = pillWidth(*lRewardButton_, lRewardButton_->text());
  if (apply) lRewardButton_->setGeometry(width - kPadX - pill, column, pill, kPillHeight);
  column += kPillHeight;
  const int bottom = std::max(column, iconShown_ && !nativeShown_ ? kPadY + kIcon : 0);
  return bottom + kPadY;
}

void CampTableViewCell::resizeEvent(QResizeEvent* event) {
  CampCell::resizeEvent(event);
  layoutFor(width(), true);
}

std::vector<const qt::ImageView*> CampTableViewCell::imageViews() const { return {ivNative_, ivIcon_}; }

bool CampTableViewCell::tap() {
  if (!tapAction_) return false;
  // The action may reload the list and with it this cell: run a copy.
  const auto action = tapAction_;
  action();
  return true;
}

}  // namespace orvane::ui
