#include "ui/screens/benefits_view_controller.hpp"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimeZone>
#include <chrono>
#include <utility>

#include "core/api/api_list.hpp"
#include "core/support/fetch.hpp"
#include "core/support/log_text.hpp"
#include "core/support/platform/alert_host.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "ui/screens/camp_table_view_cell.hpp"
#include "ui/screens/reward_table_view_cell.hpp"
#include "ui/sdk/failure_report.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/icons.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/style.hpp"
#include "ui_benefits_view_controller.h"

namespace orvane::ui {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The user's time zone as the system has it now.
class SystemTimeZone final : public TimeZoneRule {
 public:
  std::chrono::seconds offsetAt(Instant instant) const override {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(instant.time_since_epoch().count(), QTimeZone::utc());
    return std::chrono::seconds{zone_.offsetFromUtc(at)};
  }

 private:
  QTimeZone zone_ = QTimeZone::systemTimeZone();
};

// A thin outline over a widget that has the keyboard focus; clicks pass through.
class FocusFrame : public QWidget {
 public:
  explicit FocusFrame(QWidget* over) : QWidget(over) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter p(this);
    p.setPen(QPen(style::kDescriptionGrey, 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  }
};

// A selector: a bordered button with its title on the left and a chevron on the right.
void styleSelector(QPushButton* button) {
  button->setCursor(Qt::PointingHandCursor);
  // Reached by Tab; a click leaves no focus border behind once the sheet is gone.
  button->setFocusPolicy(Qt::TabFocus);
  focus::markKeyboardFocus(button);
  button->setStyleSheet(
      QStringLiteral("QPushButton{background:white;color:#111111;border:1px solid rgb(227,227,227);"
                     "border-radius:8px;font-size:14px;text-align:left;padding:0 36px 0 12px;}"
                     "QPushButton:hover{background:#F7F7F7;}"
                     "QPushButton[keyboardFocus=\"true\"]{border-color:%1;}")
          .arg(style::accent().name()));
  auto* chevron = new QLabel(button);
  chevron->setObjectName(QStringLiteral("iv_chevron"));
  chevron->setPixmap(icons::chevronDown(style::kDescriptionGrey, 16, button->devicePixelRatioF()));
  chevron->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* layout = new QHBoxLayout(button);
  layout->setContentsMargins(0, 0, 12, 0);
  layout->addStretch(1);
  layout->addWidget(chevron);
}

}  // namespace

BenefitsViewController::BenefitsViewController(Services services, QWidget* parent)
    : ViewController(std::move(services), parent),
      ui_(std::make_unique<Ui::BenefitsViewController>()),
      zone_(std::make_unique<SystemTimeZone>()),
      benefitsKindlist_(benefitsKindList()),
      // Fixed now: a period always counts back from the moment the screen was made.
      peiriodlist_(periodList(now(), *zone_)),
      decimalStyle_(localeDecimalStyle()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("BenefitsViewController"));
  bBenefitsKind_ = ui_->b_benefits_kind;
  bPeriod_ = ui_->b_period;
  lTerm_ = ui_->l_term;
  tvReward_ = ui_->tv_reward;
  lNoReceiveBenefits_ = ui_->l_no_receive_benefits;
  style::forceLightAppearance(this);

  styleSelector(bBenefitsKind_);
  styleSelector(bPeriod_);
  connect(bBenefitsKind_, &QPushButton::clicked, this, [this] { clickBenefitsKind(); });
  connect(bPeriod_, &QPushButton::clicked, this, [this] { clickPeriod(); });

  // The notice stands in for the table when an answer fails: a text that says so,
  // rather than the empty one, which would tell the user something untrue.
  lNoReceiveBenefits_->setText(qs(localized("ov_try_again")));
  lNoReceiveBenefits_->setAccessibleName(lNoReceiveBenefits_->text());

  tvReward_->setAccessibleName(qs(localized("ov_benefits_received")));
  tvReward_->setEstimatedRowHeight(RewardTableViewCell::kHeight);
  // A frame drawn over the table while the keyboard is in it (it scrolls with the arrow
  // and page keys). Not a style sheet: every row below would be styled through it.
  focusFrame_ = new FocusFrame(tvReward_);
  focusFrame_->setObjectName(QStringLiteral("v_focus_frame"));
  tvReward_->installEventFilter(this);
  lEmpty_ = new QLabel(qs(localized("ov_no_receive_benefits")), tvReward_->viewport());
  lEmpty_->setObjectName(QStringLiteral("l_empty_history"));
  lEmpty_->setTextFormat(Qt::PlainText);
  lEmpty_->setAlignment(Qt::AlignCenter);
  lEmpty_->setWordWrap(true);
  lEmpty_->setStyleSheet(QStringLiteral("color:#8C8C8C;font-size:14px;"));
  lEmpty_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // Placed by hand: a layout on the viewport would lay out the whole window whenever a
  // row's cell is shown or hidden while scrolling.
  tvReward_->viewport()->installEventFilter(this);
  lEmpty_->hide();
  tvReward_->registerCell(RewardTableViewCell::kReuseIdentifier, [] { return new RewardTableViewCell; });
  tvReward_->setDataSource(this);
}

BenefitsViewController::~BenefitsViewController() {
  tvReward_->removeEventFilter(this);
  tvReward_->viewport()->removeEventFilter(this);
  tvReward_->setDataSource(nullptr);
}

bool BenefitsViewController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tvReward_->viewport() && event->type() == QEvent::Resize)
    lEmpty_->setGeometry(tvReward_->viewport()->rect().adjusted(16, 16, -16, -16));
  if (watched == tvReward_) {
    if (event->type() == QEvent::Resize) focusFrame_->setGeometry(tvReward_->rect());
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
      focusFrame_->setVisible(tvReward_->hasFocus());
      focusFrame_->raise();
    }
  }
  return ViewController::eventFilter(watched, event);
}

Instant BenefitsViewController::now() const {
  const auto& platform = services().platform;
  const auto at = platform && platform->clock ? platform->clock->now() : std::chrono::system_clock::now();
  return std::chrono::floor<std::chrono::seconds>(at);
}

void BenefitsViewController::viewDidLoad() {
  // The back control above this screen names it.
  nameBackControl(qs(localized("ov_benefits_received")));
  bBenefitsKind_->setText(qs(benefitsKindlist_.front().label));
  bPeriod_->setText(qs(peiriodlist_.front().label));
  describeSelectors();
  lNoReceiveBenefits_->hide();
  flowRewardList();
}

void BenefitsViewController::describeSelectors() {
  bBenefitsKind_->setAccessibleName(qs(localized("ov_benefits")) + QStringLiteral(": ") +
                                    bBenefitsKind_->text());
  bPeriod_->setAccessibleName(qs(localized("ov_term")) + QStringLiteral(": ") + bPeriod_->text());
}

void BenefitsViewController::flowRewardList() {
  const Period* period = entryWithLabel(peiriodlist_, bPeriod_->text().toStdString());
  if (period == nullptr) {
    // Only a title of the list is ever set; should the texts change under the screen,
    // the first period stands in rather than no query at all.
    Log::log("BenefitsViewController unknown period:", {bPeriod_->text().toStdString()}, Log::Level::error());
    period = &peiriodlist_.front();
  }
  const RewardRange range = rewardRange(period->start, now(), *zone_);
  apiRewardList(range.sStart, range.sEnd);
  Log::log(rangeLogLine(range.sStart, range.sEnd), Log::Level::info());
  lTerm_->setText(qs(termText(localized("ov_term"), range)));
  Log::log(rangeLogLine(range.start, range.end), Log::Level::info());
}

void BenefitsViewController::apiRewardList(const std::string& sStart, const std::string& sEnd) {
  const BenefitsKind* kind = entryWithLabel(benefitsKindlist_, bBenefitsKind_->text().toStdString());
  if (kind == nullptr) {
    Log::log("BenefitsViewController unknown kind:", {bBenefitsKind_->text().toStdString()},
             Log::Level::error());
    kind = &benefitsKindlist_.front();
  }
  // Until the answer comes the rows shown belong to the labels before: greyed out.
  tvReward_->setEnabled(false);
  lEmpty_->hide();
  const auto& platform = services().platform;
  // Replacing the handle drops the query before it: its answer never reaches the screen.
  rewardRequest_ = fetch(
      *platform,
      [&](auto done) { return ApiList(platform).getRewardList(kind->code, sStart, sEnd, std::move(done)); },
      decodeRewardList, [this](Result<RewardList> answer) { showAnswer(std::move(answer)); });
}

void BenefitsViewController::showAnswer(Result<RewardList> answer) {
  tvReward_->setEnabled(true);
  if (!answer.ok()) {
    reportFailure(services().events, "rewards history", answer.error());
    showNotice();
    return;
  }
  RewardList& list = answer.value();
  if (list.result != 200) {
    Log::log("BenefitsViewController getRewardList Error : ", {optionalText(list.result)},
             Log::Level::error());
    showNotice();
    return;
  }
  // A 200 without a list has no rows.
  reward_ = std::move(list.reward).value_or(std::vector<Reward>{});
  // Rows first: showing the table (its layout resizes it at once) and scrolling both lay
  // out cells, and must see the new count, never a row of the list before.
  tvReward_->reloadData();
  lNoReceiveBenefits_->hide();
  tvReward_->show();
  tvReward_->verticalScrollBar()->setValue(0);
  lEmpty_->setVisible(reward_.empty());
  emit rewardListAnswered();
}

void BenefitsViewController::showNotice() {
  // The rows stay: only the view changes.
  tvReward_->hide();
  lNoReceiveBenefits_->show();
  emit rewardListAnswered();
}

int BenefitsViewController::numberOfRows(CampaignTableView& /*table*/) {
  Log::log("BenefitsViewController tableView count : ", {std::to_string(reward_.size())}, Log::Level::info());
  return static_cast<int>(reward_.size());
}

TableViewCell* BenefitsViewController::cellForRow(CampaignTableView& table, int row) {
  auto* cell =
      static_cast<RewardTableViewCell*>(table.dequeueReusableCell(RewardTableViewCell::kReuseIdentifier));
  cell->setItem(reward_.at(static_cast<std::size_t>(row)), decimalStyle_);
  return cell;
}

int BenefitsViewController::heightForRow(CampaignTableView& /*table*/, int /*row*/, int /*width*/) {
  // One height for every row: nothing to measure, however long the list.
  return RewardTableViewCell::kHeight;
}

void BenefitsViewController::clickBenefitsKind() {
  Alert sheet;
  sheet.kind = Alert::Kind::actionSheet;
  sheet.title = localized("ov_benefits");
  const std::string current = bBenefitsKind_->text().toStdString();
  const BenefitsKind* checked = entryWithLabel(benefitsKindlist_, current);
  QPointer<BenefitsViewController> self(this);
  for (const BenefitsKind& kind : benefitsKindlist_) {
    AlertAction action{kind.label, AlertAction::Style::normal, [self, title = kind.label] {
                         if (!self) return;
                         self->bBenefitsKind_->setText(qs(title));
                         self->describeSelectors();
                         self->flowRewardList();
                       }};
    action.checked = &kind == checked;
    sheet.actions.push_back(std::move(action));
  }
  sheet.actions.push_back({localized("ov_cancel"), AlertAction::Style::cancel, {}});
  presentSheet(std::move(sheet));
}

void BenefitsViewController::clickPeriod() {
  Alert sheet;
  sheet.kind = Alert::Kind::actionSheet;
  sheet.title = localized("ov_term");
  const std::string current = bPeriod_->text().toStdString();
  const Period* checked = entryWithLabel(peiriodlist_, current);
  QPointer<BenefitsViewController> self(this);
  for (const Period& period : peiriodlist_) {
    AlertAction action{period.label, AlertAction::Style::normal, [self, title = period.label] {
                         if (!self) return;
                         self->bPeriod_->setText(qs(title));
                         self->describeSelectors();
                         self->flowRewardList();
                       }};
    action.checked = &period == checked;
    sheet.actions.push_back(std::move(action));
  }
  sheet.actions.push_back({localized("ov_cancel"), AlertAction::Style::cancel, {}});
  presentSheet(std::move(sheet));
}

std::shared_ptr<AlertHost> BenefitsViewController::alertHost() {
  if (auto* navigation = navigationController()) {
    if (auto host = navigation->alertHost()) return host;
  }
  if (!ownAlertHost_) ownAlertHost_ = std::make_shared<QtAlertHost>(window(), services().animations);
  return ownAlertHost_;
}

void BenefitsViewController::presentSheet(Alert sheet) { alertHost()->present(std::move(sheet)); }

}  // namespace orvane::ui
