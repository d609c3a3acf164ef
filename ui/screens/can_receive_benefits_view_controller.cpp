#include "ui/screens/can_receive_benefits_view_controller.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>

#include "orvane/localized.hpp"
#include "ui/sdk/icons.hpp"
#include "ui/sdk/layers.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/server_text.hpp"
#include "ui_can_receive_benefits_view_controller.h"

namespace orvane::ui {

namespace {
constexpr int kSheetHeight = 150;
}

CanReceiveBenefitsViewController::CanReceiveBenefitsViewController(Services services, QWidget* parent)
    : ViewController(std::move(services), parent),
      ui_(std::make_unique<Ui::CanReceiveBenefitsViewController>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("CanReceiveBenefitsViewController"));
  // The sheet is placed by hand at the bottom of the window; the rest stays clear.
  layout()->removeWidget(ui_->v_popup_sheet);
  ui_->v_popup_sheet->setAutoFillBackground(true);
  QPalette pal = ui_->v_popup_sheet->palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::white);
  ui_->v_popup_sheet->setPalette(pal);

  ui_->l_popup_caption->setText(QString::fromStdString(localized("ov_can_receive_benefits")));
  ui_->l_popup_caption->setStyleSheet(QStringLiteral("color:white;font-size:14px;"));
  ui_->iv_close->setIcon(icons::closeIcon(Qt::white, 24));
  ui_->iv_close->setAccessibleName(QString::fromStdString(localized("ov_close")));
  ui_->iv_close->setStyleSheet(QStringLiteral("QToolButton{border:none;background:transparent;}"));
  ui_->iv_close->setCursor(Qt::PointingHandCursor);
  connect(ui_->iv_close, &QToolButton::clicked, this, &CanReceiveBenefitsViewController::clickClose);
  layers::markAsLayer(this);
  setFocusPolicy(Qt::StrongFocus);
}

CanReceiveBenefitsViewController::~CanReceiveBenefitsViewController() = default;

void CanReceiveBenefitsViewController::viewDidLoad() { showRewardPriceAndMark(); }

void CanReceiveBenefitsViewController::setRewardPriceAndMark(const QString& text) {
  rewardPriceAndMark = text;
  if (isViewLoaded()) showRewardPriceAndMark();
}

void CanReceiveBenefitsViewController::showRewardPriceAndMark() {
  setServerText(ui_->l_popup_coins_value, rewardPriceAndMark.value_or(QString()));
  ui_->l_popup_coins_value->setAccessibleName(ui_->l_popup_coins_value->text());
  ui_->l_popup_coins_value->setStyleSheet(
      QStringLiteral("color:%1;font-size:24px;font-weight:bold;").arg(style::accent().name()));
}

void CanReceiveBenefitsViewController::presentIn(QWidget* window) {
  if (window == nullptr) {
    deleteLater();
    return;
  }
  setParent(window);
  setGeometry(window->rect());
  window->installEventFilter(this);
  loadViewIfNeeded();
  placeSheet();
  show();
  raise();
  // Keys go to the pop-up while it is the topmost layer, so that Esc closes it.
  if (layers::isTopmost(this)) setFocus(Qt::PopupFocusReason);
  viewWillAppear();
  if (services().animations) {
    auto* a = new QPropertyAnimation(ui_->v_popup_sheet, "pos", this);
    a->setDuration(250);
    a->setEasingCurve(QEasingCurve::OutCubic);
    a->setStartValue(QPoint(0, height()));
    a->setEndValue(ui_->v_popup_sheet->pos());
    a->start(QAbstractAnimation::DeleteWhenStopped);
  }
  viewDidAppear();
}

void CanReceiveBenefitsViewController::clickClose() {
  if (dismissed_) return;
  dismissed_ = true;
  viewWillDisappear();
  hide();
  viewDidDisappear();
  if (parentWidget()) parentWidget()->removeEventFilter(this);
  emit dismissed();
  deleteLater();
}

void CanReceiveBenefitsViewController::placeSheet() {
  ui_->v_popup_sheet->setGeometry(0, height() - kSheetHeight, width(), kSheetHeight);
}

bool CanReceiveBenefitsViewController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
    placeSheet();
  }
  return ViewController::eventFilter(watched, event);
}

void CanReceiveBenefitsViewController::mousePressEvent(QMouseEvent* event) {
  if (!ui_->v_popup_sheet->geometry().contains(event->position().toPoint())) clickClose();
  event->accept();
}

void CanReceiveBenefitsViewController::keyPressEvent(QKeyEvent* event) {
  // Below another layer, Esc is that layer's: the container passes it on.
  if (event->key() != Qt::Key_Escape || !layers::isTopmost(this)) {
    ViewController::keyPressEvent(event);
    return;
  }
  event->accept();
  if (!event->isAutoRepeat()) clickClose();
}

void CanReceiveBenefitsViewController::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0, 0, 0, 60));
}

}  // namespace orvane::ui
