#include "ui/inquiry/request_view_controller.hpp"

#include <QApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "core/api/api_list.hpp"
#include "core/support/fetch.hpp"
#include "core/support/log_text.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "ui/inquiry/check_box.hpp"
#include "ui/inquiry/file_dialog_picture_source.hpp"
#include "ui/inquiry/item_screenshot_view.hpp"
#include "ui/inquiry/progress_overlay.hpp"
#include "ui/inquiry/screenshot_processing.hpp"
#include "ui/sdk/failure_report.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/campaign_table_view.hpp"
#include "ui/widgets/server_text.hpp"
#include "ui_request_view_controller.h"

namespace orvane::ui {

namespace {

QString text(std::string_view key) { return QString::fromStdString(localized(key)); }

constexpr int kAgreementMinHeight = 64;
constexpr int kAgreementMaxHeight = 160;

QString formStyleSheet() {
  return QStringLiteral(
             "QLabel{color:#111111;}"
             "QLabel[role=\"title\"]{color:#8C8C8C;font-size:13px;}"
             "QLabel#l_screenshot_hint{color:#8C8C8C;font-size:12px;}"
             "QLineEdit{border:1px solid #E3E3E3;border-radius:8px;padding:0 12px;font-size:15px;"
             "background:white;color:#111111;}"
             "QPlainTextEdit{border:1px solid #E3E3E3;border-radius:8px;padding:6px 8px;font-size:15px;"
             "background:white;color:#111111;}"
             "QFrame#v_request_type,QFrame#v_ad_select{border:1px solid #E3E3E3;border-radius:8px;"
             "background:white;}"
             "QFrame#v_request_type QLabel,QFrame#v_ad_select QLabel{border:none;font-size:15px;}"
             "QLineEdit:focus,QPlainTextEdit:focus,QTextBrowser#l_agree_contents:focus,"
             "QFrame#v_request_type[keyboardFocus=\"true\"],QFrame#v_ad_select[keyboardFocus=\"true\"],"
             "QToolButton#iv_attach[keyboardFocus=\"true\"]{border:2px solid %1;}"
             "QToolButton#iv_attach{border:1px dashed #C8C8C8;border-radius:8px;background:white;}"
             "QToolButton#iv_attach:hover{background:#F7F7F7;}"
             "QTextBrowser#l_agree_contents{border:1px solid #E3E3E3;border-radius:8px;padding:6px;"
             "background:white;}"
             "QPushButton#b_negative{background:white;color:#111111;border:1px solid #E3E3E3;"
             "border-radius:12px;font-size:15px;font-weight:600;padding:0 16px;}"
             "QPushButton#b_negative:hover{background:#F7F7F7;}"
             "QPushButton#b_negative[keyboardFocus=\"true\"]{border:2px solid #111111;}")
      .arg(style::accent().name());
}

}  // namespace

RequestViewController::RequestViewController(Services services, QWidget* parent)
    : ViewController(std::move(services), parent), ui_(std::make_unique<Ui::RequestViewController>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("RequestViewController"));
  style::forceLightAppearance(this);
  navigationItem().title = text("ov_inquiry");
  navigationItem().backButtonTitle = text("ov_inquiry");
  ui_->sv_main->viewport()->setAutoFillBackground(false);
  ui_->sv_main->verticalScrollBar()->setStyleSheet(CampaignTableView::thinScrollBarStyle());
  ui_->v_content->setAutoFillBackground(false);

  const std::pair<QLabel*, const char*> titles[] = {{ui_->l_name_title, "ov_name"},
                                                    {ui_->l_phone_title, "ov_phone"},
                                                    {ui_->l_email_title, "ov_email"},
                                                    {ui_->l_request_type_title, "ov_request_type"},
                                                    {ui_->l_ad_select_title, "ov_campaign"},
                                                    {ui_->l_inquiry_title, "ov_inquiry_content"},
                                                    {ui_->l_screenshot_title, "ov_screenshot_title"},
                                                    {ui_->l_agree_title, "ov_agree_title"}};
  for (const auto& [label, key] : titles) {
    label->setText(text(key));
    label->setProperty("role", QStringLiteral("title"));
  }
  ui_->l_screenshot_hint->setText(text("ov_screenshot_hint"));
  ui_->l_screenshot_hint->setWordWrap(true);
  setStyleSheet(formStyleSheet());

  // Fields: their titles are their names for a screen reader.
  ui_->l_name_title->setBuddy(ui_->tf_name);
  ui_->l_phone_title->setBuddy(ui_->tf_phone);
  ui_->l_email_title->setBuddy(ui_->tf_email);
  ui_->tf_name->setAccessibleName(text("ov_name"));
  ui_->tf_phone->setAccessibleName(text("ov_phone"));
  ui_->tf_phone->setPlaceholderText(text("ov_phone_placeholder"));
  ui_->tf_phone->setInputMethodHints(Qt::ImhDialableCharactersOnly);
  ui_->tf_email->setAccessibleName(text("ov_email"));
  ui_->tf_email->setPlaceholderText(text("ov_email_placeholder"));
  ui_->tf_email->setInputMethodHints(Qt::ImhEmailCharactersOnly);
  // A real placeholder: never held as text, so it is never sent.
  ui_->tv_input_inquiry->setPlaceholderText(QString::fromStdString(form_.placeholder()));
  ui_->tv_input_inquiry->setAccessibleName(text("ov_inquiry_content"));

  for (QFrame* box : {ui_->v_request_type, ui_->v_ad_select}) box->installEventFilter(this);
  for (QWidget* control : std::initializer_list<QWidget*>{ui_->v_request_type, ui_->v_ad_select,
                                                          ui_->iv_attach, ui_->b_positive, ui_->b_negative})
    focus::markKeyboardFocus(control);
  ui_->v_ad_select_row->hide();  // only the reward kind asks for a campaign

  ui_->iv_attach->setIcon(QIcon(QStringLiteral(":/orvane/images/ov_attach_24.png")));
  ui_->iv_attach->setAccessibleName(text("ov_attach"));
  ui_->iv_attach->setToolTip(text("ov_attach"));
  ui_->iv_attach->setFocusPolicy(Qt::StrongFocus);
  connect(ui_->iv_attach, &QToolButton::clicked, this, [this] { clickAttach(); });

  prepareServerTextView(ui_->l_agree_contents);  // the agreement is server HTML
  ui_->l_agree_contents->setAccessibleName(text("ov_agree_title"));
  ui_->cb_agree->setText(text("ov_agree"));
  ui_->cb_agree->setAccessibleName(text("ov_agree"));
  // The box toggles first, then the form reads its new state.
  connect(ui_->cb_agree, &QAbstractButton::toggled, this, [this](bool checked) { clickAgree(checked); });

  ui_->b_negative->setText(text("ov_cancel"));
  ui_->b_negative->setAccessibleName(text("ov_cancel"));
  ui_->b_positive->setText(text("ov_send"));
  ui_->b_positive->setAccessibleName(text("ov_send"));
  connect(ui_->b_negative, &QPushButton::clicked, this, [this] { clickNegative(); });
  connect(ui_->b_positive, &QPushButton::clicked, this, [this] { clickPositive(); });
  paintSubmit(false);

  // No on-screen keyboard to make room for on the desktop; the focused entry scrolls
  // into view instead.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && ui_->v_content->isAncestorOf(now)) ui_->sv_main->ensureWidgetVisible(now, 16, 24);
  });
  showKind();
  showCampaign();
}

RequestViewController::~RequestViewController() {
  // The answers and the picture work end with the screen.
  backstop_.reset();
  submission_.reset();
  pictureLoads_.clear();
  if (vProgress_) delete vProgress_.data();
}

void RequestViewController::setPictureSource(std::shared_ptr<inquiry::PictureSource> source) {
  pictureSource_ = std::move(source);
}

void RequestViewController::viewDidLoad() {
  requestCampaigns();
  requestAgreement();
}

// --- Loading -------------------------------------------------------------------------

void RequestViewController::requestCampaigns() {
  const auto& platform = services().platform;
  campaignsRequest_ = fetch(
      *platform, [&](auto done) { return ApiList(platform).getCampList(std::move(done)); }, decodeReq,
      [this](Result<Req> answer) { showCampaigns(answer); });
}

void RequestViewController::requestAgreement() {
  const auto& platform = services().platform;
  agreementRequest_ = fetch(
      *platform, [&](auto done) { return ApiList(platform).getAgreeContents(std::move(done)); },
      decodeAgreeContents, [this](Result<AgreeContents> answer) { showAgreement(answer); });
}

void RequestViewController::showCampaigns(const Result<Req>& answer) {
  if (answer.ok()) {
    form_.setCampaigns(answer.value().camp);
    showCampaign();
  } else {
    reportFailure(services().events, "inquiry campaigns", answer.error());
  }
  emit campaignsAnswered();
}

void RequestViewController::showAgreement(const Result<AgreeContents>& answer) {
  if (!answer.ok()) {
    reportFailure(services().events, "inquiry agreement", answer.error());
    emit agreementAnswered();
    return;
  }
  const auto& html = answer.value().cs_agree_contents;
  if (!html) {
    Log::log("RequestViewController apiAgreeContents: the answer has no agreement text", Log::Level::error());
    emit agreementAnswered();
    return;
  }
  setServerHtml(ui_->l_agree_contents, *html, style::kDescriptionGrey,
                style::pixelFont(12, QFont::Normal, font()));
  fitAgreement();
  emit agreementAnswered();
}

void RequestViewController::fitAgreement() {
  // As high as the text, within bounds: a long agreement scrolls inside its box.
  QTextBrowser* box = ui_->l_agree_contents;
  const int chrome = box->height() - box->viewport()->height();
  box->document()->setTextWidth(box->viewport()->width());
  const int wanted = static_cast<int>(std::ceil(box->document()->size().height())) + chrome;
  box->setFixedHeight(std::clamp(wanted, kAgreementMinHeight, kAgreementMaxHeight));
}

void RequestViewController::resizeEvent(QResizeEvent* event) {
  ViewController::resizeEvent(event);
  fitAgreement();
}

// --- Kind and campaign -----------------------------------------------------------------

bool RequestViewController::eventFilter(QObject* watched, QEvent* event) {
  const bool box = watched == ui_->v_request_type || watched == ui_->v_ad_select;
  if (!box) return ViewController::eventFilter(watched, event);
  bool activate = false;
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    activate = mouse->button() == Qt::LeftButton &&
               static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    activate = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
  }
  if (!activate) return ViewController::eventFilter(watched, event);
  if (watched == ui_->v_request_type) {
    clickRequestType();
  } else {
    clickAdSelect();
  }
  return true;
}

void RequestViewController::clickRequestType() {
  Alert sheet;
  sheet.kind = Alert::Kind::actionSheet;
  sheet.title = localized("ov_request_type_select");
  const auto entries = form_.kindSheet();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    sheet.actions.push_back({entries[i].title, AlertAction::Style::normal,
                             [guard = QPointer(this), i] {
                               if (guard) guard->chooseKind(i);
                             },
                             entries[i].checked});
  }
  sheet.actions.push_back({localized("ov_cancel"), AlertAction::Style::cancel, {}, false});
  alerts()->present(std::move(sheet));
}

void RequestViewController::chooseKind(std::size_t row) {
  form_.chooseKind(row);
  showKind();
}

void RequestViewController::showKind() {
  const bool chosen = form_.kind().has_value();
  setServerText(ui_->l_request_type, form_.kindText());
  ui_->l_request_type->setStyleSheet(chosen ? QStringLiteral("color:#111111;")
                                            : QStringLiteral("color:#8C8C8C;"));
  ui_->v_request_type->setAccessibleName(text("ov_request_type") + QStringLiteral(": ") +
                                         ui_->l_request_type->text());
  ui_->v_ad_select_row->setVisible(form_.campaignRowVisible());
}

void RequestViewController::clickAdSelect() {
  if (!form_.hasCampaigns()) {
    notice("ov_not_campaign");
    return;
  }
  Alert sheet;
  sheet.kind = Alert::Kind::actionSheet;
  sheet.title = localized("ov_ad_select");
  const auto entries = form_.campaignSheet();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    sheet.actions.push_back({entries[i].title, AlertAction::Style::normal,
                             [guard = QPointer(this), i] {
                               if (guard) guard->chooseCampaign(i);
                             },
                             entries[i].checked});
  }
  sheet.actions.push_back({localized("ov_cancel"), AlertAction::Style::cancel, {}, false});
  alerts()->present(std::move(sheet));
}

void RequestViewController::chooseCampaign(std::size_t row) {
  form_.chooseCampaign(row);
  showCampaign();
}

void RequestViewController::showCampaign() {
  const bool chosen = form_.chosenCampaignId().has_value();
  setServerText(ui_->l_ad_select, form_.campaignText());
  ui_->l_ad_select->setStyleSheet(chosen ? QStringLiteral("color:#111111;")
                                         : QStringLiteral("color:#8C8C8C;"));
  ui_->v_ad_select->setAccessibleName(text("ov_campaign") + QStringLiteral(": ") + ui_->l_ad_select->text());
}

// --- Screenshots -----------------------------------------------------------------------

std::vector<ItemScreenshotView*> RequestViewController::thumbnails() const {
  std::vector<ItemScreenshotView*> views;
  QLayout* row = ui_->sv_screenshot->layout();
  for (int i = 0; i < row->count(); ++i) {
    if (auto* view = qobject_cast<ItemScreenshotView*>(row->itemAt(i)->widget())) views.push_back(view);
  }
  return views;
}

void RequestViewController::clickAttach() {
  const int shown = static_cast<int>(thumbnails().size());
  if (inquiry::picturesAllowed(shown, loading_) == 0) {
    notice("ov_max_image_3");
    return;
  }
  if (!pictureSource_) pictureSource_ = std::make_shared<FileDialogPictureSource>(this);
  if (!pictureSource_->hasCamera()) {
    // One way in only: straight to the files, without a sheet of one entry.
    presentAlbum();
    return;
  }
  Alert sheet;
  sheet.kind = Alert::Kind::actionSheet;
  sheet.actions.push_back({localized("ov_cancel"), AlertAction::Style::cancel, {}, false});
  sheet.actions.push_back({localized("ov_shoot_photo"), AlertAction::Style::normal,
                           [guard = QPointer(this)] {
                             if (guard) guard->takePhoto();
                           },
                           false});
  sheet.actions.push_back({localized("ov_select_photo"), AlertAction::Style::normal,
                           [guard = QPointer(this)] {
                             if (guard) guard->presentAlbum();
                           },
                           false});
  alerts()->present(std::move(sheet));
}

void RequestViewController::presentAlbum() {
  const int limit = inquiry::picturesAllowed(static_cast<int>(thumbnails().size()), loading_);
  if (limit == 0) {
    notice("ov_max_image_3");
    return;
  }
  if (!pictureSource_) pictureSource_ = std::make_shared<FileDialogPictureSource>(this);
  pictureSource_->pickPictures(limit, [guard = QPointer(this)](std::vector<inquiry::PickedPicture> pictures) {
    if (guard) guard->acceptPictures(std::move(pictures));
  });
}

void RequestViewController::takePhoto() {
  if (!pictureSource_) return;
  pictureSource_->takePhoto([guard = QPointer(this)](std::vector<inquiry::PickedPicture> pictures) {
    if (guard) guard->acceptPictures(std::move(pictures));
  });
}

void RequestViewController::acceptPictures(std::vector<inquiry::PickedPicture> pictures) {
  const int allowed = inquiry::picturesAllowed(static_cast<int>(thumbnails().size()), loading_);
  if (static_cast<int>(pictures.size()) > allowed) {
    // A picker that cannot limit the choice: the first ones are taken, and the user told.
    pictures.resize(static_cast<std::size_t>(allowed));
    notice("ov_max_image_3");
  }
  const auto& platform = services().platform;
  const qreal dpr = std::max<qreal>(1.0, devicePixelRatioF());
  for (auto& picture : pictures) {
    ++loading_;
    pictureLoads_.add(inBackground(
        *platform,
        [picture = std::move(picture), codec = platform->imageCodec, dpr] {
          if (!codec) {
            ProcessedScreenshot none;
            none.name = picture.name;
            none.load.failure = inquiry::PictureLoad::Failure::unreadable;
            none.load.description = picture.name + ": no image codec";
            return none;
          }
          return processScreenshot(picture, *codec, ItemScreenshotView::kSide, dpr);
        },
        [this](ProcessedScreenshot processed) {
          --loading_;
          setScreenshot(std::move(processed));
        }));
  }
}

void RequestViewController::setScreenshot(ProcessedScreenshot processed) {
  using Failure = inquiry::PictureLoad::Failure;
  const auto& load = processed.load;
  if (load.failure == Failure::tooManyPixels) {
    Log::log("error : " + load.description, Log::Level::error());
    notice("ov_image_too_large");
  } else if (load.failure != Failure::none || !processed.jpegBytes) {
    Log::log("error : " + (load.description.empty() ? processed.name + ": cannot be encoded as JPEG"
                                                    : load.description),
             Log::Level::error());
    notice("ov_image_unreadable");
  } else {
    const std::size_t bytes = *processed.jpegBytes;
    Log::log(inquiry::screenshotSizeLogLine(bytes), Log::Level::info());
    if (!inquiry::screenshotFits(bytes)) {
      notice("ov_max_image_size_3mb");
    } else if (static_cast<int>(thumbnails().size()) >= inquiry::kMaxScreenshots) {
      notice("ov_max_image_3");
    } else {
      screenShotList_.push_back(load.image);
      auto* item = new ItemScreenshotView(ui_->sv_screenshot);
      item->setScreenshot(load.image, processed.thumbnail);
      item->iv_screenshot()->setAccessibleName(text("ov_screenshot") + QLatin1Char(' ') +
                                               QString::fromStdString(processed.name));
      ui_->sv_screenshot->layout()->addWidget(item);
      connect(item, &ItemScreenshotView::deleteRequested, this,
              [this](ItemScreenshotView* view) { clickScreenshotDelete(view); });
    }
  }
  emit screenshotHandled();
}

void RequestViewController::clickScreenshotDelete(ItemScreenshotView* view) {
  // By identity: two thumbnails may show equal pictures, and exactly this one goes.
  const auto found = std::find(screenShotList_.begin(), screenShotList_.end(), view->image());
  if (found != screenShotList_.end()) screenShotList_.erase(found);
  const bool hadFocus = view->isAncestorOf(QApplication::focusWidget());
  ui_->sv_screenshot->layout()->removeWidget(view);
  view->hide();
  view->deleteLater();
  if (hadFocus) ui_->iv_attach->setFocus(Qt::OtherFocusReason);
}

// --- Agreement and submission ----------------------------------------------------------

void RequestViewController::clickAgree(bool checked) { paintSubmit(checked); }

void RequestViewController::paintSubmit(bool enabled) {
  ui_->b_positive->setEnabled(enabled);
  ui_->b_positive->setStyleSheet(
      QStringLiteral("QPushButton{background:%1;color:white;border:none;border-radius:12px;font-size:15px;"
                     "font-weight:600;padding:0 16px;}"
                     "QPushButton:hover{background:%2;}"
                     "QPushButton[keyboardFocus=\"true\"]{border:2px solid #111111;}")
          .arg((enabled ? style::accent() : style::disabled()).name(),
               (enabled ? style::accent().darker(110) : style::disabled()).name()));
}

inquiry::Entries RequestViewController::entries() const {
  return {ui_->tf_name->text().toStdString(), ui_->tf_phone->text().toStdString(),
          ui_->tf_email->text().toStdString(), ui_->tv_input_inquiry->toPlainText().toStdString()};
}

void RequestViewController::clickPositive() {
  if (!ui_->cb_agree->isChecked() || vProgress_) return;
  if (const auto key = form_.validate(entries())) {
    notice(*key);
    return;
  }
  if (loading_ > 0) {
    // A picture still being read would be left out of what the user means to send.
    notice("ov_image_loading");
    return;
  }
  postCS();
}

void RequestViewController::postCS() {
  progressStart(overlayHost());
  const auto submission = form_.submission(entries());
  const auto& platform = services().platform;
  submission_ = fetch(
      *platform,
      // postCS encodes the screenshots on the executor, not on this thread.
      [&](auto done) {
        return ApiList(platform).postCS(submission.name, submission.email, submission.tel, submission.cstype,
                                        submission.campid, submission.content, screenShotList_,
                                        std::move(done));
      },
      decodeResultData, [this](Result<ResultData> answer) { submissionAnswered(answer); });
  backstop_.reset();
  if (platform->mainQueue) {
    backstop_ = platform->mainQueue->scheduleTimer(submissionTimeLimit_, false,
                                                   [this](Timer&) { submissionTimedOut(); });
  }
}

void RequestViewController::submissionAnswered(const Result<ResultData>& answer) {
  backstop_.reset();
  progressStop();
  if (!answer.ok()) {
    reportFailure(services().events, "inquiry submission", answer.error());
  } else if (answer.value().result != 200) {
    Log::log("RequestViewController apiPostCS Error :", {optionalText(answer.value().result)},
             Log::Level::error());
  } else {
    notice("ov_inquiry_done", [guard = QPointer(this)] {
      if (!guard) return;
      if (auto* nav = guard->navigationController())
        nav->popToRootViewController(guard->services().animations);
    });
    emit submissionFinished(true);
    return;
  }
  // Everything typed and attached stays for another try.
  notice("ov_inquiry_failed");
  emit submissionFinished(false);
}

void RequestViewController::submissionTimedOut() {
  // The timer has fired and is spent; it is let go with the next submission or the screen.
  submission_.reset();
  progressStop();
  Log::log("RequestViewController apiPostCS Error : no answer in time", Log::Level::error());
  notice("ov_inquiry_failed");
  emit submissionFinished(false);
}

void RequestViewController::clickNegative() {
  if (auto* nav = navigationController()) nav->popToRootViewController(services().animations);
}

// --- Overlay and alerts ----------------------------------------------------------------

QWidget* RequestViewController::overlayHost() {
  if (auto* nav = navigationController()) return nav;
  return window();
}

QWidget* RequestViewController::vProgress() const { return vProgress_.data(); }

void RequestViewController::progressStart(QWidget* host) {
  progressStop();
  vProgress_ = new ProgressOverlay(host, services().animations);
}

void RequestViewController::progressStop() {
  if (!vProgress_) return;
  ProgressOverlay* overlay = vProgress_.data();
  vProgress_ = nullptr;
  overlay->hide();
  delete overlay;
}

std::shared_ptr<AlertHost> RequestViewController::alerts() {
  if (auto* nav = navigationController()) return nav->alertHost();
  if (!ownAlerts_) ownAlerts_ = std::make_shared<QtAlertHost>(window(), services().animations);
  return ownAlerts_;
}

void RequestViewController::notice(const std::string& key, std::function<void()> then) {
  Alert alert;
  alert.title = localized("ov_alarm");
  alert.message = localized(key);
  alert.actions.push_back({localized("ov_confirm"), AlertAction::Style::normal, std::move(then), false});
  alerts()->present(std::move(alert));
}

}  // namespace orvane::ui
