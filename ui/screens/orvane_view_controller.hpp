#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/api/records.hpp"
#include "core/screens/camp_list_store.hpp"
#include "core/screens/camp_ordering.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/platform/alert_host.hpp"
#include "core/support/request_handle.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/sdk/view_controller.hpp"
#include "ui/widgets/campaign_table_view.hpp"

class QLabel;
class QPushButton;

namespace Ui {
class OrvaneViewController;
}

namespace orvane::ui {

class CanReceiveBenefitsViewController;
class QtAlertHost;

// The campaign list: the wall's first screen. Requests the list, shows it under the
// kind tabs and the sort button, announces the collectable total, opens details. The
// answer is decoded, classified and sorted on the platform's executor.
//
// A list loaded earlier for the same user (a prefetch, an earlier wall) is shown at once
// and refreshed quietly: the answer replaces it without a second pop-up or alert, and a
// failed refresh keeps it. Without network and without such a list, the list kept in the
// cache folder (at most a day old) is shown under a notice that it may be out of date.
class OrvaneViewController : public ViewController, public TableViewDataSource, public CampClickProtocol {
  Q_OBJECT

 public:
  explicit OrvaneViewController(Services services, QWidget* parent = nullptr);
  ~OrvaneViewController() override;

  void back();
  void refreshList();
  void scValueChanged(int index);
  void clickSort();
  void onClick(int row) override;

  std::int64_t listType() const { return listType_; }
  std::optional<bool> isAppear() const { return isAppear_; }
  const std::vector<Camp>& selectedAllCampList() const { return selectedAllCampList_; }
  CampaignTableView* tableView() const { return tvCamp_; }
  // The reward text of the latest response ("1,500 P").
  const QString& rewardText() const { return rewardText_; }
  // The list shown is a kept one that the request under way refreshes quietly.
  bool showsKeptList() const { return quiet_; }

  // TableViewDataSource
  int numberOfRows(CampaignTableView& table) override;
  TableViewCell* cellForRow(CampaignTableView& table, int row) override;

 signals:
  // A response was shown (or reported as a failure); tests wait on it.
  void listUpdated();

 protected:
  void viewDidLoad() override;
  void viewDidAppear() override;
  void viewDidDisappear() override;
  void prepare(const QString& identifier, ViewController* destination, const QVariant& sender) override;

 private:
  void apiReq();
  // A list sorted off the GUI thread, and for what the screen showed when asked.
  struct Presorted {
    int segment = 0;
    std::string sortTitle;
    std::int64_t listType = 0;
    std::optional<CampKind> kind;
    std::optional<SortedCamps> sorted;
  };
  // An answer as the executor prepared it.
  struct Prepared {
    CampLists lists;
    Presorted presorted;
    std::shared_ptr<const CampListStore::Entry> kept;  // what the store keeps of a proper answer
  };
  // Where a proper answer is kept, and for whom.
  struct Keep {
    CampListStore* store = nullptr;
    std::string owner;
    CampListStore::Clock::time_point now;
  };
  static Result<Prepared> prepareAnswer(std::string_view body, const std::string& newline, Presorted basis,
                                        const Keep& keep);
  Presorted currentBasis() const;
  Keep keep() const;
  using SharedCamps = std::shared_ptr<const std::vector<Camp>>;

  void showResponse(CampLists lists, Presorted presorted, bool quiet = false);
  void showKept(CampLists lists, bool outOfDate);
  void listFailed(const Error& error);
  void failWithAlert(const Error& error);
  void raiseLoaded(const CampLists& lists, bool outOfDate);
  void setOutOfDateNotice(bool shown);
  void setSort();
  void showSorted(SortedCamps sorted);
  // Frees lists on the executor: ten thousand campaigns take milliseconds.
  void retire(SharedCamps first, SharedCamps second = nullptr) const;
  void showReward();
  void drawMainTab();
  // The sort button's accessible name: the mode shown and the one a tap moves to.
  void describeSort();
  void selectKind(CampKind kind);
  std::shared_ptr<AlertHost> alertHost();
  void presentAlert(Alert alert);
  // The alert on screen over the wall, if any.
  QWidget* openAlert();
  // A plain message: never an error's own text.
  void alertError(const std::string& message);

  std::unique_ptr<Ui::OrvaneViewController> ui_;
  QWidget* vCoins_;
  QLabel* lCoinsValue_;
  QWidget* vTabs_;
  QWidget* scCamp_;
  QPushButton* segments_[2];
  QPushButton* bSort_;
  CampaignTableView* tvCamp_;
  QLabel* lOutOfDate_;

  SharedCamps otherCampList_ = std::make_shared<const std::vector<Camp>>();
  SharedCamps cpsCampList_ = otherCampList_;
  SharedCamps selectedCampList_ = otherCampList_;
  std::vector<Camp> otherHouseList_, cpsHouseList_, selectedHouseList_;
  std::vector<Camp> selectedAllCampList_;
  std::int64_t listType_ = 1;
  std::optional<bool> isAppear_;
  int selectedSegment_ = 0;
  QString rewardText_;
  NotificationCenter::Observation listChange_;
  std::shared_ptr<AlertHost> ownAlertHost_;  // when the screen is not in a navigation container
  RequestHandle listRequest_;                // the latest list request; a newer one replaces it
  RequestHandle keptRead_;                   // the kept list read from its file
  std::string owner_;                        // whose list this screen shows
  bool quiet_ = false;                       // a kept list is shown; its refresh is under way
  bool listShown_ = false;                   // a list (or the empty-list alert) has been shown
  bool shownEmpty_ = false;                  // the latest list shown was empty

  // The benefits pop-up on screen, and the wait of one for an open alert to close.
  QPointer<CanReceiveBenefitsViewController> popup_;
  QMetaObject::Connection popupWait_;
};

}  // namespace orvane::ui
