#include "ui/sdk/navigation_controller.hpp"

#include <QAbstractButton>
#include <QEasingCurve>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "orvane/localized.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/icons.hpp"
#include "ui/sdk/layers.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/server_text.hpp"

namespace orvane::ui {

namespace {

constexpr int kBarHeight = 44;
constexpr int kHitArea = 44;
constexpr int kSlideMs = 250;

// Round hover and focus marks inside the 44 px hit area of an icon control.
const QString kIconButtonStyle = QStringLiteral(
    "QToolButton{border:none;background:transparent;border-radius:22px;}"
    "QToolButton:hover{background:#F2F2F2;}"
    "QToolButton[keyboardFocus=\"true\"]{border:2px solid #8C8C8C;}");

// Marks its focus only when the keyboard brought it (ui/sdk/focus_ring.hpp): the
// window's first focus, or a click, leaves it plain.
class BarButton : public QToolButton {
 public:
  explicit BarButton(QWidget* parent) : QToolButton(parent) { focus::markKeyboardFocus(this); }
};

QToolButton* iconButton(QWidget* parent, const char* name, const std::string& key) {
  auto* button = new BarButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(QString::fromStdString(localized(key)));
  button->setToolTip(button->accessibleName());
  button->setIconSize(QSize(24, 24));
  button->setFixedSize(kHitArea, kHitArea);
  button->setCursor(Qt::PointingHandCursor);
  button->setFocusPolicy(Qt::TabFocus);
  button->setAutoRaise(true);
  return button;
}

// The bar: back control on the left, the title centred over the whole width, on the
// right the rewards history and the inquiry form (on the first screen) and close.
class NavigationBar : public QWidget {
 public:
  explicit NavigationBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("navigation_bar"));
    setFixedHeight(kBarHeight);
    setAutoFillBackground(true);

    back = new BarButton(this);
    back->setFocusPolicy(Qt::TabFocus);
    back->setObjectName(QStringLiteral("b_back"));
    back->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back->setIconSize(QSize(20, 20));
    back->setCursor(Qt::PointingHandCursor);
    back->setAutoRaise(true);

    title = new QLabel(this);
    title->setObjectName(QStringLiteral("l_navigation_title"));
    title->setAlignment(Qt::AlignCenter);
    QFont f = title->font();
    f.setPixelSize(17);
    f.setWeight(QFont::DemiBold);
    title->setFont(f);

    // Made in reading order, which is the Tab order: back, history, inquiry, close.
    history = iconButton(this, "b_history", "ov_benefits_received");
    inquiry = iconButton(this, "b_inquiry", "ov_inquiry");
    close = iconButton(this, "b_close", "ov_close");
    applyAccent();
  }

  void applyAccent() {
    const QColor accent = style::accent();
    back->setIcon(icons::backChevronIcon(accent, 20));
    back->setStyleSheet(
        QStringLiteral("QToolButton{border:2px solid transparent;border-radius:8px;background:transparent;"
                       "color:%1;font-size:15px;padding:0 4px 0 0;}"
                       "QToolButton:hover{background:#F7F7F7;}"
                       "QToolButton[keyboardFocus=\"true\"]{border-color:#8C8C8C;}")
            .arg(accent.name()));
    close->setIcon(icons::closeIcon(style::kText, 24));
    history->setIcon(icons::historyIcon(style::kText, 24));
    inquiry->setIcon(icons::inquiryIcon(style::kText, 24));
    for (QToolButton* button : {history, inquiry, close}) button->setStyleSheet(kIconButtonStyle);
  }

  void setActionsVisible(bool visible) {
    history->setVisible(visible);
    inquiry->setVisible(visible);
  }

  void setTexts(const QString& titleText, const QString& backText, bool showBack) {
    fullTitle = titleText;
    fullBack = backText;
    back->setVisible(showBack);
    back->setAccessibleName(backText);
    relayout();
  }

  void relayout() {
    const int w = width();
    const int closeX = w - kHitArea - 4;
    close->move(closeX, 0);
    inquiry->move(closeX - kHitArea, 0);
    history->move(closeX - 2 * kHitArea, 0);
    const int rightEdge = history->isVisibleTo(this) ? history->x() : closeX;
    // Without a title the back control may use the bar up to the close control.
    const int maxBack = fullTitle.isEmpty() ? std::max(0, closeX - 12) : w / 3;
    back->setFixedHeight(kHitArea);
    // Elided at the end like a phone's bar, never in the middle of a name.
    back->ensurePolished();
    const int chrome = back->iconSize().width() + 16;
    // The back title can be a campaign's name: shown as written, never read as markup.
    const QString shownBack =
        back->fontMetrics().elidedText(fullBack, Qt::ElideRight, std::max(0, maxBack - chrome));
    setServerText(back, shownBack);
    back->setToolTip(shownBack != fullBack ? serverToolTip(fullBack) : QString());
    back->adjustSize();
    back->setFixedWidth(std::min(back->sizeHint().width(), maxBack));
    back->move(8, 0);
    // The title stays centred on the bar, clear of whichever side is wider; without a
    // back control a title too long for that may use the free left side as well.
    const bool showsBack = back->isVisibleTo(this);
    const int left = showsBack ? back->x() + back->width() : 0;
    const int side = std::max(left, w - rightEdge) + 4;
    int titleX = side;
    int titleWidth = std::max(0, w - 2 * side);
    if (!showsBack && title->fontMetrics().horizontalAdvance(fullTitle) > titleWidth) {
      titleX = 12;
      titleWidth = std::max(0, rightEdge - 4 - titleX);
    }
    title->setGeometry(titleX, 0, titleWidth, kBarHeight);
    setServerText(title, title->fontMetrics().elidedText(fullTitle, Qt::ElideRight, titleWidth));
    title->setAccessibleName(fullTitle);
    title->setToolTip(title->text() != fullTitle ? serverToolTip(fullTitle) : QString());
  }

  QToolButton* back;
  QLabel* title;
  QToolButton* history;
  QToolButton* inquiry;
  QToolButton* close;
  QString fullTitle;
  QString fullBack;

 protected:
  void resizeEvent(QResizeEvent*) override { relayout(); }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(QRect(0, height() - 1, width(), 1), style::kHairline);
  }
};

}  // namespace

struct NavigationController::Impl {
  NavigationBar* bar = nullptr;
  QWidget* content = nullptr;
  std::vector<QPointer<ViewController>> stack;
  QPointer<QAbstractAnimation> running;
  std::function<void()> finishRunning;
  std::shared_ptr<QtAlertHost> alertHost;
  bool appeared = false;
};

NavigationController::NavigationController(ViewController* root, Services services, QWidget* parent)
    : ViewController(std::move(services), parent), impl_(std::make_unique<Impl>()) {
  setObjectName(QStringLiteral("orvane_navigation"));
  style::forceLightAppearance(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  impl_->bar = new NavigationBar(this);
  impl_->content = new QWidget(this);
  impl_->content->setObjectName(QStringLiteral("navigation_content"));
  layout->addWidget(impl_->bar);
  layout->addWidget(impl_->content, 1);
  connect(impl_->bar->back, &QToolButton::clicked, this, [this] { popViewController(true); });
  connect(impl_->bar->close, &QToolButton::clicked, this, &NavigationController::closeRequested);
  // The first screen leads on to these two; a screen that cannot be made is reported by
  // the storyboard and nothing is pushed.
  connect(impl_->bar->history, &QToolButton::clicked, this, [this] {
    if (ViewController* top = topViewController())
      top->performSegue(QStringLiteral("BenefitsViewController"), {});
  });
  connect(impl_->bar->inquiry, &QToolButton::clicked, this, [this] {
    if (ViewController* top = topViewController())
      top->performSegue(QStringLiteral("RequestViewController"), {});
  });
  impl_->alertHost = std::make_shared<QtAlertHost>(this, this->services().animations);
  if (root != nullptr) {
    adopt(root);
    impl_->stack.emplace_back(root);
    root->show();
  }
  layoutScreens();
  updateBar();
}

NavigationController::~NavigationController() {
  // A slide still running must not call back into a half-destroyed container.
  if (impl_->running) {
    impl_->running->disconnect(this);
    delete impl_->running.data();
  }
  impl_->finishRunning = nullptr;
  impl_->alertHost.reset();
}

std::shared_ptr<QtAlertHost> NavigationController::alertHost() const { return impl_->alertHost; }

ViewController* NavigationController::topViewController() const {
  return impl_->stack.empty() ? nullptr : impl_->stack.back().data();
}

ViewController* NavigationController::rootViewController() const {
  return impl_->stack.empty() ? nullptr : impl_->stack.front().data();
}

std::vector<ViewController*> NavigationController::viewControllers() const {
  std::vector<ViewController*> out;
  for (const auto& vc : impl_->stack)
    if (vc) out.push_back(vc.data());
  return out;
}

void NavigationController::adopt(ViewController* controller) {
  controller->navigationController_ = this;
  controller->setParent(impl_->content);
  controller->setGeometry(impl_->content->rect());
  controller->loadViewIfNeeded();
  connect(controller, &ViewController::navigationItemChanged, this, &NavigationController::updateBar,
          Qt::UniqueConnection);
}

void NavigationController::pushViewController(ViewController* controller, bool animated) {
  if (controller == nullptr) return;
  for (const auto& vc : impl_->stack)
    if (vc == controller) return;  // already on the stack
  finishRunningTransition();
  ViewController* from = topViewController();
  adopt(controller);
  impl_->stack.emplace_back(controller);
  updateBar();
  transition(from, controller, true, animated, {});
}

void NavigationController::popViewController(bool animated) {
  finishRunningTransition();
  if (impl_->stack.size() < 2) return;
  QPointer<ViewController> from = impl_->stack.back();
  impl_->stack.pop_back();
  if (from) from->restoreBackControl();
  updateBar();
  transition(from, topViewController(), false, animated, {from});
}

void NavigationController::popToRootViewController(bool animated) {
  finishRunningTransition();
  if (impl_->stack.size() < 2) return;
  QPointer<ViewController> from = impl_->stack.back();
  std::vector<QPointer<ViewController>> discarded(impl_->stack.begin() + 1, impl_->stack.end());
  impl_->stack.resize(1);
  for (auto it = discarded.rbegin(); it != discarded.rend(); ++it)
    if (*it) (*it)->restoreBackControl();
  updateBar();
  transition(from, topViewController(), false, animated, std::move(discarded));
}

void NavigationController::transition(ViewController* from, ViewController* to, bool forward, bool animated,
                                      std::vector<QPointer<ViewController>> discarded) {
  // Screens only get the lifecycle calls while the container itself is on screen.
  const bool live = impl_->appeared;
  QPointer<ViewController> fromPtr(from);
  QPointer<ViewController> toPtr(to);
  if (live) {
    if (fromPtr) fromPtr->viewWillDisappear();
    if (toPtr) toPtr->viewWillAppear();
  }
  const QRect area = impl_->content->rect();
  if (toPtr) {
    toPtr->setGeometry(area);
    toPtr->show();
    if (forward)
      toPtr->raise();
    else if (fromPtr)
      fromPtr->raise();
  }
  auto finish = [this, fromPtr, toPtr, live, discarded = std::move(discarded)] {
    const QRect area = impl_->content->rect();
    if (fromPtr) {
      fromPtr->hide();
      fromPtr->move(area.topLeft());
      if (live) fromPtr->viewDidDisappear();
    }
    if (toPtr) toPtr->move(area.topLeft());
    if (live && toPtr) toPtr->viewDidAppear();
    for (const auto& vc : discarded) {
      if (!vc) continue;
      vc->hide();
      vc->navigationController_ = nullptr;
      vc->disconnect(this);
      vc->deleteLater();
    }
  };
  if (!animated || !services().animations || !fromPtr || !toPtr || !isVisible()) {
    finish();
    return;
  }
  const int w = area.width();
  auto* group = new QParallelAnimationGroup(this);
  auto slide = [&](QWidget* target, int startX, int endX) {
    auto* a = new QPropertyAnimation(target, "pos", group);
    a->setDuration(kSlideMs);
    a->setEasingCurve(QEasingCurve::OutCubic);
    a->setStartValue(QPoint(startX, 0));
    a->setEndValue(QPoint(endX, 0));
    group->addAnimation(a);
  };
  if (forward) {
    slide(toPtr, w, 0);
    slide(fromPtr, 0, -w / 3);
  } else {
    slide(fromPtr, 0, w);
    slide(toPtr, -w / 3, 0);
  }
  impl_->running = group;
  impl_->finishRunning = std::move(finish);
  connect(group, &QAbstractAnimation::finished, this, [this, group] {
    if (impl_->running != group) return;
    auto done = std::move(impl_->finishRunning);
    impl_->finishRunning = nullptr;
    impl_->running = nullptr;
    group->deleteLater();
    if (done) done();
  });
  group->start();
}

void NavigationController::finishRunningTransition() {
  if (!impl_->running) return;
  QAbstractAnimation* group = impl_->running;
  group->disconnect(this);
  group->stop();
  group->deleteLater();
  impl_->running = nullptr;
  auto done = std::move(impl_->finishRunning);
  impl_->finishRunning = nullptr;
  if (done) done();
}

void NavigationController::updateBar() {
  ViewController* top = topViewController();
  const QString title = top ? top->navigationItem().title : QString();
  const bool showBack = impl_->stack.size() > 1;
  QString backTitle;
  if (showBack) {
    const ViewController* previous = impl_->stack[impl_->stack.size() - 2];
    if (previous) backTitle = previous->navigationItem().backButtonTitle;
    if (backTitle.isEmpty()) backTitle = QString::fromStdString(localized("ov_back"));
  }
  // Only on the first screen: pushed screens keep the bar to their back control, and a
  // history over a history (or a form left half filled) helps nobody.
  impl_->bar->setActionsVisible(impl_->stack.size() == 1);
  impl_->bar->setTexts(title, backTitle, showBack);
}

void NavigationController::layoutScreens() {
  const QRect area = impl_->content->rect();
  for (const auto& vc : impl_->stack)
    if (vc) vc->setGeometry(area);
}

void NavigationController::resizeEvent(QResizeEvent* event) {
  ViewController::resizeEvent(event);
  finishRunningTransition();
  // The content area is laid out by now only after the layout ran; do it here too.
  layout()->activate();
  layoutScreens();
}

void NavigationController::showEvent(QShowEvent* event) {
  ViewController::showEvent(event);
  if (event->spontaneous() || impl_->appeared) return;
  impl_->appeared = true;
  layout()->activate();
  layoutScreens();
  if (ViewController* top = topViewController()) {
    top->viewWillAppear();
    top->viewDidAppear();
  }
}

void NavigationController::handleEscape() {
  if (QWidget* layer = layers::topmost(this)) {
    // Straight to the layer: sent through the application, an ignored key would come
    // back here.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    static_cast<QObject*>(layer)->event(&escape);
    if (escape.isAccepted()) return;
  }
  if (impl_->stack.size() > 1) {
    popViewController(true);
    return;
  }
  emit closeRequested();
}

void NavigationController::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) {
    ViewController::keyPressEvent(event);
    return;
  }
  event->accept();
  if (!event->isAutoRepeat()) handleEscape();
}

void NavigationController::hideEvent(QHideEvent* event) {
  ViewController::hideEvent(event);
  if (event->spontaneous() || !impl_->appeared) return;
  impl_->appeared = false;
  finishRunningTransition();
  if (ViewController* top = topViewController()) {
    top->viewWillDisappear();
    top->viewDidDisappear();
  }
}

}  // namespace orvane::ui
