#pragma once

#include <QPointer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/api/records.hpp"
#include "core/inquiry/inquiry_form.hpp"
#include "core/inquiry/picture_source.hpp"
#include "core/support/request_handle.hpp"
#include "ui/sdk/view_controller.hpp"

namespace Ui {
class RequestViewController;
}

namespace orvane {
class AlertHost;
class Timer;
}  // namespace orvane

namespace orvane::ui {

class ItemScreenshotView;
class ProgressOverlay;
struct ProcessedScreenshot;

// The inquiry form: name, phone, e-mail, the kind of request (and for a missing reward
// the campaign), a text, up to three screenshots, and the agreement box that enables
// sending. It loads the user's campaigns and the agreement text itself, checks the
// entries (core/inquiry), sends them with a busy overlay over the wall, and returns to
// the wall's root when sent or cancelled. It lives on the wall's navigation stack.
//
// Pictures come from a PictureSource: the desktop's file dialog unless one is set. They
// are read, measured and shrunk on the executor; the GUI thread only places thumbnails.
// GUI thread only.
class RequestViewController : public ViewController {
  Q_OBJECT

 public:
  // A submission without any answer gives up after this long (encoding, then at most
  // the transport's 60 s), keeping every entry.
  static constexpr std::chrono::milliseconds kDefaultSubmissionTimeLimit{90'000};

  explicit RequestViewController(Services services, QWidget* parent = nullptr);
  ~RequestViewController() override;

  // Where pictures come from; set before the first attach tap (tests, or a host
  // platform with a camera).
  void setPictureSource(std::shared_ptr<inquiry::PictureSource> source);
  void setSubmissionTimeLimit(std::chrono::milliseconds limit) { submissionTimeLimit_ = limit; }

  // User actions, as the controls trigger them.
  void clickRequestType();
  void clickAdSelect();
  void clickAttach();
  void presentAlbum();
  void clickAgree(bool checked);
  void clickPositive();
  void clickNegative();

  const inquiry::InquiryForm& form() const { return form_; }
  // The accepted screenshots, in the order of acceptance.
  const std::vector<ImagePtr>& screenShotList() const { return screenShotList_; }
  std::vector<ItemScreenshotView*> thumbnails() const;
  // The busy overlay while a submission runs.
  QWidget* vProgress() const;
  // Pictures still being read and measured.
  int picturesLoading() const { return loading_; }

 signals:
  // Tests and the demo wait for these.
  void campaignsAnswered();
  void agreementAnswered();
  void screenshotHandled();
  void submissionFinished(bool sent);

 protected:
  void viewDidLoad() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void requestCampaigns();
  void requestAgreement();
  void showCampaigns(const Result<Req>& answer);
  void showAgreement(const Result<AgreeContents>& answer);
  void fitAgreement();
  void chooseKind(std::size_t row);
  void chooseCampaign(std::size_t row);
  void showKind();
  void showCampaign();
  void takePhoto();
  void acceptPictures(std::vector<inquiry::PickedPicture> pictures);
  void setScreenshot(ProcessedScreenshot processed);
  void clickScreenshotDelete(ItemScreenshotView* view);
  inquiry::Entries entries() const;
  void postCS();
  void submissionAnswered(const Result<ResultData>& answer);
  void submissionTimedOut();
  void progressStart(QWidget* host);
  void progressStop();
  void notice(const std::string& key, std::function<void()> then = {});
  void paintSubmit(bool enabled);
  std::shared_ptr<AlertHost> alerts();
  QWidget* overlayHost();

  std::unique_ptr<Ui::RequestViewController> ui_;
  inquiry::InquiryForm form_;
  std::vector<ImagePtr> screenShotList_;
  std::shared_ptr<inquiry::PictureSource> pictureSource_;
  std::shared_ptr<AlertHost> ownAlerts_;
  QPointer<ProgressOverlay> vProgress_;
  std::chrono::milliseconds submissionTimeLimit_ = kDefaultSubmissionTimeLimit;
  std::unique_ptr<Timer> backstop_;
  int loading_ = 0;
  RequestHandle campaignsRequest_;
  RequestHandle agreementRequest_;
  RequestHandle submission_;
  RequestGroup pictureLoads_;
};

}  // namespace orvane::ui
