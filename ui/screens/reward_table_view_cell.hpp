#pragma once

#include <QString>
#include <memory>

#include "core/api/records.hpp"
#include "core/screens/reward_text.hpp"
#include "ui/widgets/campaign_table_view.hpp"

class QLabel;

namespace Ui {
class RewardTableViewCell;
}

namespace orvane::ui {

// One row of the rewards history: the name and the date on the left, the amount with
// its mark on the right. Every text is the server's, shown as plain text; a long name
// or date is elided and kept whole in the accessible name.
class RewardTableViewCell : public TableViewCell {
  Q_OBJECT

 public:
  static constexpr const char* kReuseIdentifier = "tvc_reward";
  static constexpr int kHeight = 64;

  explicit RewardTableViewCell(QWidget* parent = nullptr);
  ~RewardTableViewCell() override;

  // Amounts in `style` (the user's locale).
  void setItem(const Reward& reward, const DecimalStyle& style);

  // The whole texts, before eliding.
  const QString& nameText() const { return name_; }
  const QString& dateText() const { return date_; }
  const QString& priceText() const { return price_; }

  void prepareForReuse() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void place();

  std::unique_ptr<Ui::RewardTableViewCell> ui_;
  QLabel* lName_;
  QLabel* lDate_;
  QLabel* lRewardPrice_;
  QString name_;
  QString date_;
  QString price_;
};

}  // namespace orvane::ui
