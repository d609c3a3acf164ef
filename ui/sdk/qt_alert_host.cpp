#include "ui/sdk/qt_alert_host.hpp"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>
#include <deque>

#include "orvane/log.hpp"
#include "ui/sdk/icons.hpp"
#include "ui/sdk/layers.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/server_text.hpp"

namespace orvane::ui {

namespace {

constexpr int kCardWidth = 270;
constexpr int kButtonHeight = 44;
constexpr int kSheetEntryHeight = 56;

// Dims the whole window and forwards keys and outside clicks to the alert.
class Overlay : public QWidget {
 public:
  explicit Overlay(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("orvane_alert_overlay"));
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
    layers::markAsLayer(this);
  }
  std::function<void(int key)> onKey;
  std::function<void()> onOutsideClick;
  std::function<void()> relayout;
  QWidget* panel = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parent() && event->type() == QEvent::Resize) {
      setGeometry(parentWidget()->rect());
      if (relayout) relayout();
    }
    return false;
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, 102));
  }
  void keyPressEvent(QKeyEvent* event) override {
    // Esc belongs to whatever lies above this alert; its container passes it on.
    if (event->key() == Qt::Key_Escape && !layers::isTopmost(this)) {
      event->ignore();
      return;
    }
    if (onKey && !event->isAutoRepeat()) onKey(event->key());
    event->accept();
  }
  // Tab stays among the alert's buttons: nothing under a modal alert can be reached.
  bool focusNextPrevChild(bool next) override {
    QList<QWidget*> chain;
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
      if (isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
        chain.push_back(w);
    if (chain.isEmpty()) return true;
    const qsizetype at = chain.indexOf(focusWidget());
    const qsizetype count = chain.size();
    const qsizetype to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    chain[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (panel && !panel->geometry().contains(event->position().toPoint()) && onOutsideClick) onOutsideClick();
    event->accept();
  }
};

// White rounded card or sheet.
class Panel : public QWidget {
 public:
  Panel(QWidget* parent, int radius, bool roundBottom)
      : QWidget(parent), radius_(radius), roundBottom_(roundBottom) {
    setObjectName(QStringLiteral("orvane_alert"));
    setAttribute(Qt::WA_StyledBackground, false);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QRectF r = rect();
    if (!roundBottom_) r.adjust(0, 0, 0, radius_);
    p.drawRoundedRect(r, radius_, radius_);
  }

 private:
  int radius_;
  bool roundBottom_;
};

QWidget* hairline(QWidget* parent, bool vertical = false) {
  auto* line = new QWidget(parent);
  line->setAutoFillBackground(true);
  QPalette pal = line->palette();
  pal.setColor(QPalette::Window, style::kHairline);
  line->setPalette(pal);
  if (vertical)
    line->setFixedWidth(1);
  else
    line->setFixedHeight(1);
  return line;
}

QLabel* label(QWidget* parent, const std::string& text, int px, QFont::Weight weight, const QColor& color) {
  auto* l = new QLabel(parent);
  setServerText(l, text);
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignCenter);
  QFont f = l->font();
  f.setPixelSize(px);
  f.setWeight(weight);
  l->setFont(f);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, color);
  l->setPalette(pal);
  return l;
}

}  // namespace

struct QtAlertHost::Impl : std::enable_shared_from_this<Impl> {
  QPointer<QWidget> window;
  bool animated = true;
  std::deque<Alert> queue;
  QPointer<Overlay> overlay;
  std::shared_ptr<bool> pressed;  // the alert on screen was answered
  Alert current;
  bool busy = false;  // an alert is on screen or its handler runs

  void showNext();
  void press(std::size_t index, const std::shared_ptr<bool>& token);
  QPushButton* button(QWidget* parent, std::size_t index, const AlertAction& action, bool isDefault,
                      bool sheet);
  void buildAlert(Overlay* o);
  void buildSheet(Overlay* o);
  int cancelIndex() const;
  int escapeIndex() const;
  int defaultIndex() const;
};

int QtAlertHost::Impl::cancelIndex() const {
  for (std::size_t i = 0; i < current.actions.size(); ++i)
    if (current.actions[i].style == AlertAction::Style::cancel) return static_cast<int>(i);
  return -1;
}

// Like a desktop message box: the cancel button, else the only button there is (it can
// only acknowledge). With several buttons and none to cancel, the user has to choose.
int QtAlertHost::Impl::escapeIndex() const {
  if (const int cancel = cancelIndex(); cancel >= 0) return cancel;
  return current.actions.size() == 1 ? 0 : -1;
}

int QtAlertHost::Impl::defaultIndex() const {
  for (std::size_t i = 0; i < current.actions.size(); ++i)
    if (current.actions[i].preferred) return static_cast<int>(i);
  for (std::size_t i = 0; i < current.actions.size(); ++i)
    if (current.actions[i].style != AlertAction::Style::cancel) return static_cast<int>(i);
  return -1;
}

QtAlertHost::QtAlertHost(QWidget* window, bool animated) : impl_(std::make_shared<Impl>()) {
  impl_->window = window;
  impl_->animated = animated;
}

QtAlertHost::~QtAlertHost() {
  impl_->queue.clear();
  if (impl_->pressed) *impl_->pressed = true;  // a late click does nothing
  if (impl_->overlay) delete impl_->overlay.data();
}

QWidget* QtAlertHost::currentAlertWidget() const { return impl_->overlay ? impl_->overlay->panel : nullptr; }

void QtAlertHost::present(Alert alert) {
  if (!impl_->window) {
    Log::log("QtAlertHost: the window is gone; alert dropped:", {alert.title}, Log::Level::error());
    return;
  }
  impl_->queue.push_back(std::move(alert));
  if (!impl_->busy) impl_->showNext();
}

void QtAlertHost::Impl::showNext() {
  if (queue.empty()) return;
  if (!window) {
    queue.clear();
    return;
  }
  busy = true;
  current = std::move(queue.front());
  queue.pop_front();
  pressed = std::make_shared<bool>(false);
  auto* o = new Overlay(window);
  overlay = o;
  if (current.kind == Alert::Kind::actionSheet)
    buildSheet(o);
  else
    buildAlert(o);
  std::weak_ptr<Impl> weak = weak_from_this();
  auto token = pressed;
  o->onKey = [weak, token](int key) {
    auto self = weak.lock();
    if (!self) return;
    int index = -1;
    if (key == Qt::Key_Escape) index = self->escapeIndex();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) index = self->defaultIndex();
    if (index >= 0) self->press(static_cast<std::size_t>(index), token);
  };
  if (current.kind == Alert::Kind::actionSheet) {
    o->onOutsideClick = [weak, token] {
      auto self = weak.lock();
      if (self && self->cancelIndex() >= 0) self->press(static_cast<std::size_t>(self->cancelIndex()), token);
    };
  }
  o->show();
  o->raise();
  o->setFocus(Qt::OtherFocusReason);
}

void QtAlertHost::Impl::press(std::size_t index, const std::shared_ptr<bool>& token) {
  // One press per alert: a double click, a key and a click together, or a press on an
  // alert already replaced all end here.
  if (!token || *token || token != pressed || index >= current.actions.size()) return;
  *token = true;
  auto keep = shared_from_this();
  auto handler = std::move(current.actions[index].handler);
  current = Alert{};
  if (overlay) {
    overlay->hide();
    overlay->deleteLater();
  }
  overlay = nullptr;
  if (handler) handler();
  busy = false;
  showNext();
}

QPushButton* QtAlertHost::Impl::button(QWidget* parent, std::size_t index, const AlertAction& action,
                                       bool isDefault, bool sheet) {
  auto* b = new QPushButton(parent);
  setServerText(b, action.title);
  b->setObjectName(QStringLiteral("alert_button_%1").arg(index));
  b->setAccessibleName(QString::fromStdString(action.title));
  b->setFixedHeight(sheet ? kSheetEntryHeight : kButtonHeight);
  b->setCursor(Qt::PointingHandCursor);
  b->setFocusPolicy(Qt::TabFocus);
  QColor color = style::kText;
  if (action.style == AlertAction::Style::destructive) color = QColor(0xE5, 0x39, 0x35);
  if (isDefault) color = style::accent();
  const bool bold = isDefault || action.style == AlertAction::Style::cancel;
  b->setStyleSheet(QStringLiteral("QPushButton{border:none;background:transparent;color:%1;font-size:%2px;"
                                  "font-weight:%3;text-align:%4;padding:0 16px;}"
                                  "QPushButton:pressed{background:#F0F0F0;}"
                                  "QPushButton:focus{background:#F7F7F7;}")
                       .arg(color.name())
                       .arg(sheet ? 16 : 17)
                       .arg(bold ? 600 : 400)
                       .arg(sheet ? QStringLiteral("left") : QStringLiteral("center")));
  if (sheet && action.checked) {
    b->setIcon(icons::checkMarkIcon(style::accent(), 20));
    b->setIconSize(QSize(20, 20));
    b->setLayoutDirection(Qt::RightToLeft);  // the check mark at the trailing edge
    b->setAccessibleDescription(QStringLiteral("selected"));
  }
  std::weak_ptr<Impl> weak = weak_from_this();
  auto token = pressed;
  QObject::connect(b, &QPushButton::clicked, b, [weak, token, index] {
    if (auto self = weak.lock()) self->press(index, token);
  });
  return b;
}

void QtAlertHost::Impl::buildAlert(Overlay* o) {
  auto* card = new Panel(o, 14, true);
  o->panel = card;
  card->setFixedWidth(kCardWidth);
  auto* v = new QVBoxLayout(card);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  auto* texts = new QVBoxLayout;
  texts->setContentsMargins(16, 20, 16, 20);
  texts->setSpacing(6);
  if (!current.title.empty()) texts->addWidget(label(card, current.title, 17, QFont::DemiBold, style::kText));
  if (!current.message.empty())
    texts->addWidget(label(card, current.message, 13, QFont::Normal, style::kText));
  v->addLayout(texts);
  const int def = defaultIndex();
  const bool sideBySide = current.actions.size() == 2;
  QHBoxLayout* row = nullptr;
  if (sideBySide) {
    v->addWidget(hairline(card));
    row = new QHBoxLayout;
    row->setSpacing(0);
    v->addLayout(row);
  }
  for (std::size_t i = 0; i < current.actions.size(); ++i) {
    auto* b = button(card, i, current.actions[i], static_cast<int>(i) == def, false);
    if (sideBySide) {
      if (i > 0) row->addWidget(hairline(card, true));
      row->addWidget(b, 1);
    } else {
      v->addWidget(hairline(card));
      v->addWidget(b);
    }
  }
  auto place = [o, card] {
    // As high as its wrapped texts need at the card's width (a long message included).
    card->resize(kCardWidth,
                 card->hasHeightForWidth() ? card->heightForWidth(kCardWidth) : card->sizeHint().height());
    card->move((o->width() - card->width()) / 2, std::max(0, (o->height() - card->height()) / 2));
  };
  o->relayout = place;
  place();
}

void QtAlertHost::Impl::buildSheet(Overlay* o) {
  auto* sheet = new Panel(o, 14, false);
  o->panel = sheet;
  auto* v = new QVBoxLayout(sheet);
  v->setContentsMargins(0, 8, 0, 16);
  v->setSpacing(0);
  if (!current.title.empty())
    v->addWidget(label(sheet, current.title, 13, QFont::DemiBold, style::kDescriptionGrey));
  if (!current.message.empty())
    v->addWidget(label(sheet, current.message, 13, QFont::Normal, style::kDescriptionGrey));
  bool first = true;
  std::vector<std::size_t> cancels;
  for (std::size_t i = 0; i < current.actions.size(); ++i) {
    if (current.actions[i].style == AlertAction::Style::cancel) {
      cancels.push_back(i);
      continue;
    }
    if (!first) v->addWidget(hairline(sheet));
    first = false;
    v->addWidget(button(sheet, i, current.actions[i], false, true));
  }
  for (std::size_t i : cancels) {
    auto* gap = new QWidget(sheet);
    gap->setFixedHeight(8);
    gap->setAutoFillBackground(true);
    QPalette pal = gap->palette();
    pal.setColor(QPalette::Window, style::kQuietFill);
    gap->setPalette(pal);
    v->addWidget(gap);
    v->addWidget(button(sheet, i, current.actions[i], false, true));
  }
  auto place = [o, sheet] {
    sheet->setFixedWidth(o->width());
    sheet->adjustSize();
    sheet->move(0, o->height() - sheet->height());
  };
  o->relayout = place;
  place();
  if (animated) {
    auto* a = new QPropertyAnimation(sheet, "pos", sheet);
    a->setDuration(250);
    a->setEasingCurve(QEasingCurve::OutCubic);
    a->setStartValue(QPoint(0, o->height()));
    a->setEndValue(sheet->pos());
    a->start(QAbstractAnimation::DeleteWhenStopped);
  }
}

}  // namespace orvane::ui
