#pragma once

#include <QImage>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/api/records.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/request_handle.hpp"
#include "ui/sdk/view_controller.hpp"

namespace Ui {
class DetailViewController;
}

namespace orvane {
class AlertHost;
class ImageCacheLoader;
class JoinProtocol;
}  // namespace orvane

namespace orvane::ui {

// One campaign in full, with the join, participation-check and collect actions on
// its reward button. The list screen sets `camp` before the screen loads.
class DetailViewController : public ViewController {
  Q_OBJECT

 public:
  explicit DetailViewController(Services services, QWidget* parent = nullptr);
  ~DetailViewController() override;

  std::optional<Camp> camp;
  std::optional<std::string> ovnkey;

  // Button actions.
  void clickJoin();
  void clickParticipation();
  void clickAccumulation();
  // The flow's reports (the screen's JoinProtocol); those of other campaigns are ignored.
  void onParticipationCheckPossible(std::int64_t campid);
  void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey);
  // "action_detail_finish": back to the list.
  void finish();

  // Whether b_reward has a tap action now (tests and accessibility).
  bool hasRewardAction() const { return static_cast<bool>(rewardAction_); }

 signals:
  // The view request was answered and handled (tests wait for it).
  void viewAnswered();
  void noticeAnswered();

 protected:
  void viewDidLoad() override;
  void viewWillAppear() override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Receiver;

  void setRewardAction(std::function<void()> action);
  void loadImage(const std::string& url, bool native);
  void showNativeImage(const QImage& image);
  void updateNativeHeight();
  void requestNotice();
  void requestView();
  void showNotice(const Result<VelmontNotice>& notice);
  void showView(const Result<VelmontNotice>& view);
  void takeAlerts();
  // Collect, when the flow keeps a confirmed key for the campaign.
  void showConfirmedKey();

  std::unique_ptr<Ui::DetailViewController> ui_;
  std::function<void()> rewardAction_;
  std::shared_ptr<Receiver> receiver_;
  std::shared_ptr<AlertHost> alertHost_;
  std::unique_ptr<ImageCacheLoader> imageLoader_;
  NotificationCenter::Observation finishObservation_;
  NotificationCenter::Observation confirmations_;
  QImage nativeImage_;
  RequestHandle noticeRequest_;
  RequestHandle viewRequest_;
};

}  // namespace orvane::ui
