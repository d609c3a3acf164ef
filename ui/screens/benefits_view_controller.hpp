#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/api/records.hpp"
#include "core/screens/reward_history.hpp"
#include "core/screens/reward_text.hpp"
#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"
#include "ui/sdk/view_controller.hpp"
#include "ui/widgets/campaign_table_view.hpp"

class QLabel;
class QPushButton;

namespace Ui {
class BenefitsViewController;
}

namespace orvane {
class AlertHost;
struct Alert;
}  // namespace orvane

namespace orvane::ui {

// The rewards history: what the user was credited within a period, by benefit kind.
//
// The kind and the period are chosen from action sheets and are whatever the two
// buttons show. The periods' start dates are fixed when the screen is made; the end is
// the moment of each query. Every choice queries again, and only the answer to the
// latest query is shown: an earlier one that arrives late never puts old rows under new
// labels. A 200 replaces the rows (none is an empty table); a failure, a non-200 result
// or an answer that does not decode shows the notice instead of the table and keeps the
// rows. GUI thread.
class BenefitsViewController : public ViewController, public TableViewDataSource {
  Q_OBJECT

 public:
  explicit BenefitsViewController(Services services, QWidget* parent = nullptr);
  ~BenefitsViewController() override;

  // The pickers, and a query for what the buttons show.
  void clickBenefitsKind();
  void clickPeriod();
  void flowRewardList();

  // The rows of the last successful answer.
  const std::vector<Reward>& reward() const { return reward_; }
  const std::vector<BenefitsKind>& benefitsKindlist() const { return benefitsKindlist_; }
  const std::vector<Period>& peiriodlist() const { return peiriodlist_; }
  CampaignTableView* tableView() const { return tvReward_; }

  // TableViewDataSource
  int numberOfRows(CampaignTableView& table) override;
  TableViewCell* cellForRow(CampaignTableView& table, int row) override;
  int heightForRow(CampaignTableView& table, int row, int width) override;

 signals:
  // An answer was shown (rows, an empty table or the notice); tests wait on it.
  void rewardListAnswered();

 protected:
  void viewDidLoad() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void apiRewardList(const std::string& sStart, const std::string& sEnd);
  void showAnswer(Result<RewardList> answer);
  void showNotice();
  void presentSheet(Alert sheet);
  std::shared_ptr<AlertHost> alertHost();
  void describeSelectors();
  Instant now() const;

  std::unique_ptr<Ui::BenefitsViewController> ui_;
  QPushButton* bBenefitsKind_;
  QPushButton* bPeriod_;
  QLabel* lTerm_;
  CampaignTableView* tvReward_;
  QLabel* lNoReceiveBenefits_;
  QLabel* lEmpty_;       // inside the table: a 200 without rows
  QWidget* focusFrame_;  // over the table while it has the keyboard focus

  std::vector<Reward> reward_;
  std::unique_ptr<TimeZoneRule> zone_;
  std::vector<BenefitsKind> benefitsKindlist_;
  std::vector<Period> peiriodlist_;
  DecimalStyle decimalStyle_;
  std::shared_ptr<AlertHost> ownAlertHost_;  // when the screen is not in a navigation container
  RequestHandle rewardRequest_;              // the latest query; a newer one drops it and its answer
};

}  // namespace orvane::ui
