#include "ui/screens/camp_cell.hpp"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "orvane/log.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/image_view.hpp"

namespace orvane::ui {

namespace {

const QColor kPlaceholder{0xF2, 0xF2, 0xF2};
const QColor kSeparator{0xF0, 0xF0, 0xF0};
const QColor kHover{0xF7, 0xF7, 0xF7};

bool isActivationKey(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter || event.key() == Qt::Key_Space;
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

QString rewardPriceText(const Camp& camp) {
  return QString::fromStdString(rewardText(camp.rewardprice, camp.pricemark, localeDecimalStyle()));
}

void appendPrice(QTextDocument& description, const QString& price, const QTextCharFormat& format) {
  QTextCursor cursor(&description);
  cursor.movePosition(QTextCursor::End);
  const QString text = description.toPlainText();
  // A plain space so that a long line may still break between the two.
  if (!text.isEmpty() && !text.back().isSpace()) cursor.insertText(QStringLiteral(" "));
  cursor.insertText(price, format);
}

CampCell::CampCell(const QString& reuseIdentifier, const Services& services, QWidget* parent)
    : TableViewCell(reuseIdentifier, parent), join_(services.join), images_(services.images) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::PointingHandCursor);
  setAttribute(Qt::WA_Hover);  // repainted as the pointer enters and leaves
}

void CampCell::bind(const Camp& camp, int row, CampClickProtocol* clicks) {
  Log::log("setItem", Log::Level::info());
  camp_ = camp;
  row_ = row;
  clicks_ = clicks;
}

bool CampCell::openDetailPage() {
  if (!camp_ || camp_->detailpage != 1) return false;
  if (clicks_ && row_ >= 0) clicks_->onClick(row_);
  return true;
}

void CampCell::passClicksThrough(std::initializer_list<QWidget*> children) {
  for (QWidget* child : children) child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CampCell::styleTitle(QLabel* title) {
  title->setFont(style::pixelFont(15, QFont::DemiBold));
  title->setStyleSheet("color: #111111;");
}

void CampCell::stylePill(QWidget* pill) {
  // A style sheet costs a re-polish: only when the accent changed.
  const QColor accent = style::accent();
  if (pillColour_ == accent.rgba() && !pill->styleSheet().isEmpty()) return;
  pillColour_ = accent.rgba();
  pill->setFont(style::pixelFont(13, QFont::DemiBold));
  pill->setStyleSheet(
      QString("background: %1; color: white; border: none; border-radius: 14px; padding: 0 12px;")
          .arg(accent.name()));
}

int CampCell::pillWidth(const QWidget& pill, const QString& text) {
  return std::max(kPillMinWidth, pill.fontMetrics().horizontalAdvance(text) + 24);
}

int CampCell::titleHeight(const QLabel& title, int width) {
  const int line = title.fontMetrics().lineSpacing();
  return std::min(2 * line, std::max(line, title.heightForWidth(width)));
}

void CampCell::forgetImage(qt::ImageView* view) {
  view->clear();
  view->setImage(nullptr);
}

void CampCell::loadImage(qt::ImageView* view, const std::string& url, std::function<void(ImagePtr)> then) {
  forgetImage(view);
  // The view is this cell's child: a delivery that reaches it finds the cell alive.
  view->setUrl(url, std::nullopt, *images_, std::move(then));
}

void CampCell::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), underMouse() ? kHover : QColor(Qt::white));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kPlaceholder);
  for (const auto* view : imageViews()) {
    if (!view->isHidden() && !view->image())
      painter.drawRoundedRect(view->geometry(), view->cornerRadius(), view->cornerRadius());
  }
  painter.fillRect(QRect(0, height() - 1, width(), 1), kSeparator);
  if (hasFocus() && keyboardFocus_) {
    painter.setPen(QPen(style::accent(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
  }
}

void CampCell::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && tap()) return;
  TableViewCell::mouseReleaseEvent(event);
}

void CampCell::focusInEvent(QFocusEvent* event) {
  keyboardFocus_ = focus::showsFocus(event->reason(), keyboardFocus_);
  TableViewCell::focusInEvent(event);
  update();
}

void CampCell::focusOutEvent(QFocusEvent* event) {
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
    keyboardFocus_ = false;
  TableViewCell::focusOutEvent(event);
  update();
}

void CampCell::keyPressEvent(QKeyEvent* event) {
  if (isActivationKey(*event) && tap()) return;
  TableViewCell::keyPressEvent(event);
}

}  // namespace orvane::ui
