#include "ui/screens/orvane_view_controller.hpp"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/api/api_list.hpp"
#include "core/participation/api_join.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "ui/screens/camp_cps_table_view_cell.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/storyboard.hpp"
#include "ui/sdk/style.hpp"

namespace orvane::ui {

namespace {

std::string fromUtf8Lossy(const std::string& bytes) {
  // Invalid sequences become U+FFFD, as a repairing UTF-8 decoder does.
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

std::string withoutAll(std::string text, const std::string& needle) {
  if (needle.empty()) return text;
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, from)) {
    out.append(text, from, at - from);
    from = at + needle.size();
  }
  out.append(text, from, std::string::npos);
  return out;
}

}  // namespace

OrvaneViewController::OrvaneViewController(QWidget* parent) : ViewController(parent) {
  setObjectName("OrvaneViewController");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  vCoins_ = new QWidget(this);
  vCoins_->setObjectName("v_coins_calue");
  vCoins_->setFixedHeight(56);
  auto* coins = new QHBoxLayout(vCoins_);
  coins->setContentsMargins(16, 0, 16, 0);
  auto* caption = new QLabel(QString::fromStdString(localized("ov_can_receive_benefits")), vCoins_);
  caption->setStyleSheet("color: #8C8C8C; font-size: 13px;");
  lCoinsValue_ = new QLabel(vCoins_);
  lCoinsValue_->setObjectName("l_coins_value");
  lCoinsValue_->setAccessibleName(caption->text());
  coins->addWidget(caption);
  coins->addStretch();
  coins->addWidget(lCoinsValue_);
  vCoins_->hide();  // shown by the list-top presentation
  layout->addWidget(vCoins_);

  vTabs_ = new QWidget(this);
  vTabs_->setObjectName("v_tabs");
  auto* tabs = new QHBoxLayout(vTabs_);
  tabs->setContentsMargins(16, 8, 16, 0);
  scCamp_ = new QWidget(vTabs_);
  scCamp_->setObjectName("sc_camp");
  scCamp_->setAccessibleName("sc_camp");
  auto* segments = new QHBoxLayout(scCamp_);
  segments->setContentsMargins(0, 0, 0, 0);
  segments->setSpacing(0);
  auto* group = new QButtonGroup(scCamp_);
  const char* titles[2] = {"ov_tab_camp", "ov_tab_cps"};
  for (int i = 0; i < 2; ++i) {
    segments_[i] = new QPushButton(QString::fromStdString(localized(titles[i])), scCamp_);
    segments_[i]->setObjectName(QString("sc_camp_%1").arg(i));
    segments_[i]->setCheckable(true);
    segments_[i]->setFixedHeight(32);
    segments_[i]->setAccessibleName(segments_[i]->text());
    group->addButton(segments_[i], i);
    segments->addWidget(segments_[i]);
  }
  segments_[0]->setChecked(true);
  connect(group, &QButtonGroup::idClicked, this, [this](int id) { scValueChanged(id); });
  tabs->addWidget(scCamp_);
  layout->addWidget(vTabs_);

  auto* sortRow = new QHBoxLayout();
  sortRow->setContentsMargins(16, 4, 16, 4);
  sortRow->addStretch();
  bSort_ = new QPushButton(QString::fromStdString(localized("ov_sort_init")), this);
  bSort_->setObjectName("b_sort");
  bSort_->setAccessibleName("b_sort");
  bSort_->setFlat(true);
  bSort_->setStyleSheet("QPushButton { color: #555555; font-size: 13px; border: none; padding: 4px 0; }");
  connect(bSort_, &QPushButton::clicked, this, [this] { clickSort(); });
  sortRow->addWidget(bSort_);
  layout->addLayout(sortRow);

  tvCamp_ = new CampaignTableView(this);
  tvCamp_->setObjectName("tv_camp");
  tvCamp_->setAccessibleName("tv_camp");
  tvCamp_->registerCell(CampTableViewCell::kReuseIdentifier, [] { return new CampTableViewCell; });
  tvCamp_->registerCell(CampCPSTableViewCell::kReuseIdentifier, [] { return new CampCPSTableViewCell; });
  layout->addWidget(tvCamp_, 1);
  tvCamp_->setDataSource(this);
}

OrvaneViewController::~OrvaneViewController() {
  *alive_ = false;
  tvCamp_->setDataSource(nullptr);
}

void OrvaneViewController::viewDidLoad() {
  Log::log("OrvaneViewController viewDidLoad", Log::Level::info());
  const auto store = Platform::current()->store;
  if (const auto title = store->string(keys::kMainTitle); title && !title->empty()) {
    navigationItem().title = QString::fromStdString(*title);
    emit navigationItemChanged();
  }
  style::forceLightAppearance(this);
  listChange_ = NotificationCenter::shared().observe(kActionListChange, [this] { refreshList(); });
  listType_ = store->integer(keys::kListType);
  apiReq();
  drawMainTab();
}

void OrvaneViewController::viewDidAppear() {
  isAppear_ = true;
  ApiJoin::shared().viewController = alertHost();
}

void OrvaneViewController::viewDidDisappear() { isAppear_ = false; }

void OrvaneViewController::back() {
  if (auto* navigation = navigationController()) {
    emit navigation->closeRequested();
  } else {
    window()->close();
  }
}

void OrvaneViewController::refreshList() { apiReq(); }

void OrvaneViewController::apiReq() {
  // The completion runs on the transport's thread (or at once when the request cannot
  // be formed): decode there, then hop to the GUI thread if the screen still exists.
  const std::weak_ptr<bool> alive = alive_;
  QPointer<OrvaneViewController> self(this);
  const auto platform = Platform::current();
  const std::string newline = localized("ascii_newline");
  ApiList(platform).getReq([self, alive, newline](Result<std::string> result) {
    auto onMain = [self, alive](auto work) {
      auto* app = QCoreApplication::instance();
      if (!app) return;
      QMetaObject::invokeMethod(app, [self, alive, work = std::move(work)]() mutable {
        if (!alive.lock() || !self) return;
        work(*self);
      });
    };
    if (!result.ok()) {
      onMain([description = result.error().description](OrvaneViewController& screen) {
        screen.alertError(description);
      });
      return;
    }
    const std::string text = withoutAll(fromUtf8Lossy(result.value()), newline);
    auto decoded = decodeReq(text);
    if (!decoded.ok()) {
      const std::string description = decoded.error().description;
      Log::log("OrvaneViewController Decoding Error", Log::Level::error());
      Log::log(description, Log::Level::error());
      onMain([description](OrvaneViewController& screen) { screen.alertError(description); });
      return;
    }
    Req req = std::move(decoded).value();
    if (req.result != 200) {
      Log::log("OrvaneViewController getReq Error : ",
               {req.result ? "Optional(" + std::to_string(*req.result) + ")" : std::string("nil")},
               Log::Level::error());
    }
    onMain([lists = classify(std::move(req))](OrvaneViewController& screen) mutable {
      screen.showResponse(std::move(lists));
    });
  });
}

void OrvaneViewController::showResponse(CampLists lists) {
  otherCampList_ = std::move(lists.otherCampList);
  cpsCampList_ = std::move(lists.cpsCampList);
  otherHouseList_ = std::move(lists.otherHouseList);
  cpsHouseList_ = std::move(lists.cpsHouseList);

  const KindChoice choice =
      chooseKind(otherCampList_.size(), cpsCampList_.size(), otherHouseList_.size(), cpsHouseList_.size());
  rewardText_ =
      QString::fromStdString(orvane::rewardText(lists.rewardTotal, lists.rewardMark, localeDecimalStyle()));
  if (choice.result == KindChoice::Result::nothingToShow) {
    Alert alert;
    alert.title = localized("ov_alarm");
    alert.message = localized("ov_not_ads");
    QPointer<OrvaneViewController> self(this);
    alert.actions.push_back({localized("ov_confirm"), AlertAction::Style::normal, [self] {
                               if (self) self->back();
                             }});
    presentAlert(std::move(alert));
    setSort();
    // The pop-up never covers the empty-list alert; the list-top band still updates.
    if (Platform::current()->store->integer(keys::kBenefitsDisplayType) != 0) showReward();
    emit listUpdated();
    return;
  }
  if (choice.tabsShown) vTabs_->setVisible(*choice.tabsShown);
  if (choice.selected) {
    // With both kinds the lists follow the selected tab, so a reload keeps what the user sees.
    const CampKind kind =
        choice.result == KindChoice::Result::bothKinds ? kindForTab(selectedSegment_) : *choice.selected;
    selectKind(kind);
  }
  setSort();
  showReward();
  emit listUpdated();
}

void OrvaneViewController::selectKind(CampKind kind) {
  selectedCampList_ = kind == CampKind::other ? otherCampList_ : cpsCampList_;
  selectedHouseList_ = kind == CampKind::other ? otherHouseList_ : cpsHouseList_;
}

void OrvaneViewController::showReward() {
  const auto store = Platform::current()->store;
  if (store->integer(keys::kBenefitsDisplayType) != 0) {
    lCoinsValue_->setText(rewardText_);
    vCoins_->show();
    return;
  }
  if (isAppear_ == false) return;
  std::unique_ptr<ViewController> made(
      Storyboard::named("OrvaneStoryboard")->instantiateViewController("CanReceiveBenefitsViewController"));
  auto* popup = qobject_cast<CanReceiveBenefitsViewController*>(made.get());
  if (!popup) return;
  made.release();
  popup->rewardPriceAndMark = rewardText_;
  QWidget* over = navigationController() ? static_cast<QWidget*>(navigationController()) : window();
  popup->presentIn(over);
  vCoins_->hide();
}

void OrvaneViewController::setSort() {
  auto sorted = orvane::setSort(selectedCampList_, selectedHouseList_, listType_,
                                bSort_->text().toStdString(), SortTitles::localizedTitles());
  // Moved, not copied: a long list is copied often enough on the GUI thread already.
  selectedAllCampList_ = std::move(sorted.selectedAllCampList);
  selectedHouseList_ = std::move(sorted.selectedHouseList);
  tvCamp_->reloadData();
}

void OrvaneViewController::scValueChanged(int index) {
  selectedSegment_ = index;
  segments_[index == 0 ? 0 : 1]->setChecked(true);
  selectKind(kindForTab(index));
  setSort();
}

void OrvaneViewController::clickSort() {
  const SortTitles titles = SortTitles::localizedTitles();
  const std::string current = bSort_->text().toStdString();
  // The action sheet offers the three modes with the current one checked; picking one
  // sets it, the cancel entry keeps it.
  Alert sheet;
  sheet.kind = Alert::Kind::actionSheet;
  QPointer<OrvaneViewController> self(this);
  for (const std::string* title : {&titles.init, &titles.high, &titles.low}) {
    AlertAction action{*title, AlertAction::Style::normal, [self, chosen = *title] {
                         if (!self) return;
                         self->bSort_->setText(QString::fromStdString(chosen));
                         self->setSort();
                       }};
    action.checked = sortModeFor(current, titles) == sortModeFor(*title, titles);
    sheet.actions.push_back(std::move(action));
  }
  sheet.actions.push_back({localized("ov_cancel"), AlertAction::Style::cancel, {}});
  presentAlert(std::move(sheet));
}

void OrvaneViewController::drawMainTab() {
  const QString accent = Orvane::shared().orvaneColorPrimary.name();
  scCamp_->setStyleSheet(
      QString("QPushButton { background: white; color: %1; border: 1px solid %1; font-size: 14px; }"
              "QPushButton:checked { background: %1; color: white; }"
              "#sc_camp_0 { border-top-left-radius: 8px; border-bottom-left-radius: 8px; }"
              "#sc_camp_1 { border-top-right-radius: 8px; border-bottom-right-radius: 8px; }")
          .arg(accent));
}

int OrvaneViewController::numberOfRows(CampaignTableView& /*table*/) {
  Log::log("OrvaneViewController tableView count : ", {std::to_string(selectedAllCampList_.size())},
           Log::Level::info());
  return static_cast<int>(selectedAllCampList_.size());
}

TableViewCell* OrvaneViewController::cellForRow(CampaignTableView& table, int row) {
  const Camp& camp = selectedAllCampList_.at(static_cast<std::size_t>(row));
  if (camp.bm == kCpsBm) {
    auto* cell =
        static_cast<CampCPSTableViewCell*>(table.dequeueReusableCell(CampCPSTableViewCell::kReuseIdentifier));
    cell->setItem(camp, row, this);
    return cell;
  }
  auto* cell =
      static_cast<CampTableViewCell*>(table.dequeueReusableCell(CampTableViewCell::kReuseIdentifier));
  cell->setItem(camp, row, listType_, this);
  return cell;
}

void OrvaneViewController::onClick(int row) { performSegue("DetailViewController", row); }

void OrvaneViewController::prepare(const QString& identifier, ViewController* destination,
                                   const QVariant& sender) {
  auto* detail = qobject_cast<DetailViewController*>(destination);
  if (identifier != "DetailViewController" || !detail) return;
  const int row = sender.toInt();
  if (row < 0 || row >= static_cast<int>(selectedAllCampList_.size())) return;
  detail->camp = selectedAllCampList_[static_cast<std::size_t>(row)];
}

std::shared_ptr<AlertHost> OrvaneViewController::alertHost() {
  if (auto* navigation = navigationController()) {
    if (auto host = navigation->alertHost()) return host;
  }
  if (!ownAlertHost_) ownAlertHost_ = std::make_shared<QtAlertHost>(window());
  return ownAlertHost_;
}

void OrvaneViewController::presentAlert(Alert alert) { alertHost()->present(std::move(alert)); }

void OrvaneViewController::alertError(const std::string& description) {
  Alert alert;
  alert.title = localized("ov_alarm");
  alert.message = description;
  alert.actions.push_back({"OK", AlertAction::Style::cancel, {}});
  presentAlert(std::move(alert));
  emit listUpdated();
}

}  // namespace orvane::ui
