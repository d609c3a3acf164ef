#include "ui/screens/detail_view_controller.hpp"

#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

#include "core/api/api_list.hpp"
#include "core/participation/api_join.hpp"
#include "core/screens/reward_text.hpp"
#include "core/support/fetch.hpp"
#include "core/support/image_cache_loader.hpp"
#include "core/support/log_text.hpp"
#include "core/support/url.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "platform/qt/qt_image_codec.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/screens/copy_right_view.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/server_text.hpp"
#include "ui_detail_view_controller.h"

namespace orvane::ui {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A read-only text that is exactly as high as its content, so the page scrolls as one.
void prepareText(QTextBrowser* view) {
  // First: it replaces the document that the settings below apply to.
  prepareServerTextView(view);
  view->setFrameShape(QFrame::NoFrame);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setTextInteractionFlags(Qt::TextSelectableByMouse);
  view->document()->setDocumentMargin(0);
  view->viewport()->setAutoFillBackground(false);
  view->setStyleSheet(QStringLiteral("QTextBrowser{background:transparent;}"));
  // The page decides the width; the text follows it and only asks for its height.
  view->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  view->setMinimumWidth(0);
}

void fitHeight(QTextBrowser* view) {
  const int width = std::max(1, view->width());
  view->document()->setTextWidth(width);
  view->setFixedHeight(static_cast<int>(std::ceil(view->document()->size().height())) + 2);
}

// HTML from the server in one colour and font.
void setHtmlText(QTextBrowser* view, const std::string& html, const QColor& color, const QFont& font) {
  setServerHtml(view, html, color, font);
  fitHeight(view);
}

// An empty address is treated like an absent one: it names no image.
std::optional<std::string> address(const std::optional<std::string>& url) {
  return url && !url->empty() ? url : std::nullopt;
}

void paintPlaceholder(QLabel* label, QSize size) {
  QPixmap pixmap(size.expandedTo(QSize(1, 1)));
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF2, 0xF2, 0xF2));
  p.drawRoundedRect(pixmap.rect(), 8, 8);
  label->setPixmap(pixmap);
}

}  // namespace

// The flow holds its receiver weakly, and the screen owns it: it dies with the screen.
class DetailViewController::Receiver : public JoinProtocol {
 public:
  explicit Receiver(DetailViewController* screen) : screen_(screen) {}
  void onParticipationCheckPossible(std::int64_t campid) override {
    screen_->onParticipationCheckPossible(campid);
  }
  void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) override {
    screen_->onAccumulationPossible(campid, ovnkey);
  }

 private:
  DetailViewController* screen_;
};

DetailViewController::DetailViewController(Services services, QWidget* parent)
    : ViewController(std::move(services), parent),
      ui_(std::make_unique<Ui::DetailViewController>()),
      receiver_(std::make_shared<Receiver>(this)),
      imageLoader_(std::make_unique<ImageCacheLoader>(this->services().platform)) {
  ui_->setupUi(this);
  ui_->rootLayout->addWidget(new CopyRightView(this->services(), this));
  setObjectName(QStringLiteral("DetailViewController"));
  style::forceLightAppearance(this);
  ui_->sv_detail->viewport()->setAutoFillBackground(false);
  ui_->v_detail_content->setAutoFillBackground(false);
  for (auto* view : {ui_->l_content, ui_->l_how_participate, ui_->l_join_desc}) {
    prepareText(view);
    view->installEventFilter(this);
  }
  ui_->v_join_desc->setStyleSheet(
      QStringLiteral("QFrame#v_join_desc{background:#F7F7F7;border-radius:8px;}"));
  ui_->v_join_desc->hide();  // until the notice arrives
  ui_->l_title->setFont(style::pixelFont(18, QFont::Bold, font()));
  ui_->l_how_participate_header->setFont(style::pixelFont(14, QFont::Bold, font()));
  ui_->l_how_participate_header->setText(qs(localized("ov_how_participate")));
  ui_->b_reward->setCursor(Qt::PointingHandCursor);
  focus::markKeyboardFocus(ui_->b_reward);
  connect(ui_->b_reward, &QPushButton::clicked, this, [this] {
    // Copied first: an action may replace itself.
    if (auto action = rewardAction_) action();
  });
}

DetailViewController::~DetailViewController() {
  finishObservation_.reset();
  confirmations_.reset();
}

void DetailViewController::viewDidLoad() {
  if (!camp) {
    Log::log("DetailViewController: no campaign to show", Log::Level::error());
    ui_->b_reward->setEnabled(false);
    return;
  }
  const Camp& c = *camp;
  // The back control above this screen shows the campaign's name.
  nameBackControl(qs(c.name));
  // Posted on the main thread (the flow's alert), it acts at once; from elsewhere it
  // hops there. The observation ends with the screen.
  finishObservation_ =
      services().notifications->observe(kActionDetailFinish, [this, queue = services().platform->mainQueue] {
        if (!queue || queue->isMainThread()) {
          finish();
          return;
        }
        queue->post([guard = QPointer(this)] {
          if (guard) guard->finish();
        });
      });
  takeAlerts();
  // A confirmation that reached another receiver, before or while this screen shows.
  confirmations_ = services().notifications->observe(kParticipationConfirmed, [this] { showConfirmedKey(); });

  ui_->iv_icon->hide();
  ui_->iv_native->installEventFilter(this);
  // The image's own size must not widen the page.
  ui_->iv_native->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  ui_->iv_native->setMinimumWidth(0);
  const std::optional<std::string> large = address(c.viewurl) ? c.viewurl : address(c.nativeurl);
  if (large) {
    loadImage(*large, true);
  } else {
    ui_->iv_native->hide();
    ui_->iv_icon->show();
    loadImage(c.iconurl.value_or(std::string()), false);
  }

  setServerText(ui_->l_title, c.name);
  ui_->l_title->setAccessibleName(qs(c.name));

  setHtmlText(ui_->l_content, c.rewarddesc, style::kDescriptionGrey,
              style::pixelFont(12, QFont::Normal, font()));
  {
    QTextCharFormat price;
    price.setForeground(style::accent());
    price.setFont(style::pixelFont(14, QFont::Bold, font()));
    appendPrice(*ui_->l_content->document(), rewardPriceText(c), price);
    fitHeight(ui_->l_content);
  }

  setServerText(ui_->b_reward, c.cta);
  ui_->b_reward->setAccessibleName(qs(c.cta));
  ui_->b_reward->setStyleSheet(
      QStringLiteral("QPushButton{background:%1;color:white;border:none;border-radius:12px;"
                     "font-size:15px;font-weight:600;}"
                     "QPushButton:hover{background:%2;}"
                     "QPushButton[keyboardFocus=\"true\"]{border:2px solid #111111;}")
          .arg(style::accent().name(), style::accent().darker(110).name()));

  setHtmlText(ui_->l_how_participate, c.joindesc, style::kDescriptionGrey,
              style::pixelFont(14, QFont::Normal, font()));

  showConfirmedKey();
  requestNotice();
  requestView();
}

void DetailViewController::viewWillAppear() { takeAlerts(); }

void DetailViewController::takeAlerts() {
  if (!alertHost_) {
    if (auto* nav = navigationController()) alertHost_ = nav->alertHost();
  }
  if (alertHost_) services().join->viewController = alertHost_;
}

void DetailViewController::requestNotice() {
  const auto& platform = services().platform;
  noticeRequest_ = fetch(
      *platform, [&](auto done) { return ApiList(platform).getVelmontNotice(std::move(done)); },
      decodeVelmontNotice, [this](Result<VelmontNotice> notice) { showNotice(notice); });
}

void DetailViewController::showNotice(const Result<VelmontNotice>& notice) {
  if (!notice.ok()) {
    // The transport has logged its own failures.
    if (notice.error().kind == Error::Kind::decoding)
      Log::log(notice.error().description, Log::Level::error());
    return;
  }
  if (notice.value().result != 200) {
    Log::log("DetailViewController apiVelmontNotice Error :", {optionalText(notice.value().result)},
             Log::Level::error());
    return;
  }
  if (const auto& text = notice.value().text) {
    ui_->v_join_desc->show();
    setHtmlText(ui_->l_join_desc, *text, style::kDescriptionGrey,
                style::pixelFont(12, QFont::Normal, font()));
  } else {
    Log::log("DetailViewController apiVelmontNotice: the notice has no text", Log::Level::error());
  }
  emit noticeAnswered();
}

void DetailViewController::requestView() {
  const auto& platform = services().platform;
  viewRequest_ = fetch(
      *platform,
      [&](auto done) { return ApiList(platform).getView(std::to_string(camp->campid), std::move(done)); },
      decodeVelmontNotice, [this](Result<VelmontNotice> view) { showView(view); });
}

void DetailViewController::showView(const Result<VelmontNotice>& view) {
  if (!view.ok()) {
    if (view.error().kind == Error::Kind::decoding) Log::log(view.error().description, Log::Level::error());
    return;
  }
  if (view.value().result != 200) {
    Log::log("DetailViewController apiView Error :", {optionalText(view.value().result)},
             Log::Level::error());
  }
  // Only a campaign not yet converted joins from here; the flow's reports set the other states.
  if (camp->convflag == 0 && !rewardAction_) setRewardAction([this] { clickJoin(); });
  emit viewAnswered();
}

void DetailViewController::setRewardAction(std::function<void()> action) {
  rewardAction_ = std::move(action);
}

void DetailViewController::clickJoin() {
  if (camp) services().join->startJoin(*camp, receiver_);
}

void DetailViewController::clickParticipation() {
  if (camp) services().join->flowParticipation(*camp);
}

void DetailViewController::clickAccumulation() {
  if (!camp) return;
  if (!ovnkey) {
    Log::log("DetailViewController clickAccumulation: no reward key", Log::Level::error());
    return;
  }
  services().join->apiReward(*camp, *ovnkey);
}

void DetailViewController::onParticipationCheckPossible(std::int64_t campid) {
  if (!camp || camp->campid != campid) return;  // another campaign's join
  const QString title = qs(localized("ov_participation_check"));
  setServerText(ui_->b_reward, title);
  ui_->b_reward->setAccessibleName(title);
  setRewardAction([this] { clickParticipation(); });
  services().notifications->post(kActionListChange);
}

void DetailViewController::onAccumulationPossible(std::int64_t campid, const std::string& key) {
  if (!camp || camp->campid != campid) return;  // another campaign's key is never claimed here
  ovnkey = key;
  const QString title = qs(localized("ov_accumulate"));
  setServerText(ui_->b_reward, title);
  ui_->b_reward->setAccessibleName(title);
  setRewardAction([this] { clickAccumulation(); });
}

void DetailViewController::showConfirmedKey() {
  if (!camp) return;
  if (const auto key = services().join->confirmedKey(camp->campid))
    onAccumulationPossible(camp->campid, *key);
}

void DetailViewController::finish() {
  if (auto* nav = navigationController()) nav->popToRootViewController(true);
}

void DetailViewController::loadImage(const std::string& url, bool native) {
  QLabel* target = native ? ui_->iv_native : ui_->iv_icon;
  paintPlaceholder(target, native ? QSize(std::max(1, width()), 200) : QSize(96, 96));
  // Server data: only a web address is loaded, never a file of this machine.
  const auto address = webUrl(url);
  if (!address) {
    Log::log("DetailViewController: no usable image address:", {url}, Log::Level::error());
    return;
  }
  // The loader belongs to the screen and drops its deliveries with it.
  imageLoader_->obtainImageWithPath(*address, [this, native](ImagePtr image) {
    const QImage* q = image ? qt::QtImageCodec::qimage(*image) : nullptr;
    if (q == nullptr || q->isNull()) return;
    if (native) {
      showNativeImage(*q);
    } else {
      ui_->iv_icon->setPixmap(QPixmap::fromImage(*q));
    }
  });
}

void DetailViewController::showNativeImage(const QImage& image) {
  nativeImage_ = image;
  ui_->iv_native->setPixmap(QPixmap::fromImage(image));
  updateNativeHeight();
}

void DetailViewController::updateNativeHeight() {
  if (nativeImage_.isNull() || nativeImage_.width() <= 0) return;
  const int w = ui_->iv_native->width() > 0 ? ui_->iv_native->width() : width();
  ui_->iv_native->setFixedHeight(
      static_cast<int>(std::lround(double(w) * nativeImage_.height() / nativeImage_.width())));
}

void DetailViewController::resizeEvent(QResizeEvent* event) {
  ViewController::resizeEvent(event);
  updateNativeHeight();
}

bool DetailViewController::eventFilter(QObject* watched, QEvent* event) {
  // A text's height depends on its final width, known only once the page is laid out.
  if (event->type() == QEvent::Resize && watched == ui_->iv_native) updateNativeHeight();
  if (event->type() == QEvent::Resize) {
    auto* view = qobject_cast<QTextBrowser*>(watched);
    if (view != nullptr && static_cast<QResizeEvent*>(event)->oldSize().width() != view->width())
      fitHeight(view);
  }
  return ViewController::eventFilter(watched, event);
}

}  // namespace orvane::ui
