#include "ui/screens/orvane_view_controller.hpp"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <utility>

#include "core/api/api_list.hpp"
#include "core/participation/api_join.hpp"
#include "core/screens/camp_list_answer.hpp"
#include "core/sdk/host_events.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane.hpp"
#include "ui/screens/camp_cps_table_view_cell.hpp"
#include "ui/screens/can_receive_benefits_view_controller.hpp"
#include "ui/screens/detail_view_controller.hpp"
#include "ui/sdk/failure_report.hpp"
#include "ui/sdk/focus_ring.hpp"
#include "ui/sdk/icons.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/storyboard.hpp"
#include "ui/sdk/style.hpp"
#include "ui/widgets/server_text.hpp"
#include "ui_orvane_view_controller.h"

namespace orvane::ui {

namespace {

std::size_t campaignCount(const CampLists& lists) {
  return lists.otherCampList.size() + lists.cpsCampList.size() + lists.otherHouseList.size() +
         lists.cpsHouseList.size();
}

bool isOffline(const Error& error) {
  return error.kind == Error::Kind::network || error.kind == Error::Kind::timeout;
}

}  // namespace

OrvaneViewController::OrvaneViewController(Services services, QWidget* parent)
    : ViewController(std::move(services), parent), ui_(std::make_unique<Ui::OrvaneViewController>()) {
  ui_->setupUi(this);
  vCoins_ = ui_->v_coins_calue;
  lCoinsValue_ = ui_->l_coins_value;
  vTabs_ = ui_->v_tabs;
  scCamp_ = ui_->sc_camp;
  segments_[0] = ui_->sc_camp_0;
  segments_[1] = ui_->sc_camp_1;
  bSort_ = ui_->b_sort;
  tvCamp_ = ui_->tv_camp;

  // Above everything: the list below it is an old one.
  lOutOfDate_ = new QLabel(QString::fromStdString(localized("ov_list_out_of_date")), this);
  lOutOfDate_->setObjectName(QStringLiteral("l_out_of_date"));
  lOutOfDate_->setWordWrap(true);
  lOutOfDate_->setStyleSheet(
      QStringLiteral("background:#F7F7F7;color:#8C8C8C;font-size:12px;padding:8px 16px;"));
  lOutOfDate_->hide();
  if (auto* box = qobject_cast<QBoxLayout*>(layout())) box->insertWidget(0, lOutOfDate_);

  ui_->l_coins_caption->setText(QString::fromStdString(localized("ov_can_receive_benefits")));
  lCoinsValue_->setAccessibleName(ui_->l_coins_caption->text());
  vCoins_->hide();  // shown by the list-top presentation

  scCamp_->setAccessibleName("sc_camp");
  auto* group = new QButtonGroup(scCamp_);
  const char* titles[2] = {"ov_tab_camp", "ov_tab_cps"};
  for (int i = 0; i < 2; ++i) {
    segments_[i]->setText(QString::fromStdString(localized(titles[i])));
    segments_[i]->setAccessibleName(segments_[i]->text());
    group->addButton(segments_[i], i);
    segments_[i]->setCursor(Qt::PointingHandCursor);
    focus::markKeyboardFocus(segments_[i]);
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int id) { scValueChanged(id); });

  bSort_->setText(QString::fromStdString(localized("ov_sort_init")));
  // The mark says that a tap moves on to the next mode; the accessible name says which.
  bSort_->setIcon(icons::cycleIcon(QColor(0x55, 0x55, 0x55), 14));
  bSort_->setIconSize(QSize(14, 14));
  bSort_->setCursor(Qt::PointingHandCursor);
  bSort_->setFocusPolicy(Qt::TabFocus);
  focus::markKeyboardFocus(bSort_);
  describeSort();
  connect(bSort_, &QPushButton::clicked, this, [this] { clickSort(); });

  // The cells get this screen's services.
  tvCamp_->registerCell(CampTableViewCell::kReuseIdentifier,
                        [services = this->services()] { return new CampTableViewCell(services); });
  tvCamp_->registerCell(CampCPSTableViewCell::kReuseIdentifier,
                        [services = this->services()] { return new CampCPSTableViewCell(services); });
  tvCamp_->setDataSource(this);
}

OrvaneViewController::~OrvaneViewController() { tvCamp_->setDataSource(nullptr); }

void OrvaneViewController::viewDidLoad() {
  Log::log("OrvaneViewController viewDidLoad", Log::Level::info());
  const auto& store = services().platform->store;
  if (const auto title = store->string(keys::kMainTitle); title && !title->empty()) {
    navigationItem().title = QString::fromStdString(*title);
    emit navigationItemChanged();
  }
  style::forceLightAppearance(this);
  listChange_ = services().notifications->observe(kActionListChange, [this] { refreshList(); });
  listType_ = store->integer(keys::kListType);
  owner_ = currentListOwner(store.get()).value_or(std::string());
  if (services().lists && !owner_.empty()) {
    if (const auto kept = services().lists->latest(owner_, keep().now)) showKept(kept->lists, false);
  }
  apiReq();
  drawMainTab();
}

void OrvaneViewController::viewDidAppear() {
  isAppear_ = true;
  services().join->viewController = alertHost();
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

OrvaneViewController::Presorted OrvaneViewController::currentBasis() const {
  Presorted basis;
  basis.segment = selectedSegment_;
  basis.sortTitle = bSort_->text().toStdString();
  basis.listType = listType_;
  return basis;
}

OrvaneViewController::Keep OrvaneViewController::keep() const {
  const auto& clock = services().platform->clock;
  return Keep{services().lists, owner_, clock ? clock->now() : CampListStore::Clock::now()};
}

void OrvaneViewController::apiReq() {
  // What the screen shows now: the answer is sorted for it off the GUI thread, so a
  // long list does not stall it.
  const auto& platform = services().platform;
  listRequest_ = fetch(
      *platform, [&](auto done) { return ApiList(platform).getReq(std::move(done)); },
      [newline = localized("ascii_newline"), basis = currentBasis(), keep = keep()](std::string_view body) {
        return prepareAnswer(body, newline, basis, keep);
      },
      [this](Result<Prepared> prepared) {
        if (!prepared.ok()) {
          listFailed(prepared.error());
          return;
        }
        auto& answer = prepared.value();
        if (answer.kept && services().lists) services().lists->remember(answer.kept);
        const bool quiet = std::exchange(quiet_, false);
        setOutOfDateNotice(false);
        raiseLoaded(answer.lists, false);
        showResponse(std::move(answer.lists), std::move(answer.presorted), quiet);
      });
}

Result<OrvaneViewController::Prepared> OrvaneViewController::prepareAnswer(std::string_view body,
                                                                           const std::string& newline,
                                                                           Presorted basis,
                                                                           const Keep& keep) {
  // The text kept is the one read, so that a kept list reads as its answer did.
  const std::string text = listAnswerText(body, newline);
  std::optional<std::int64_t> result;
  auto lists = readCampListAnswer(text, std::string(), "OrvaneViewController", &result);
  if (!lists.ok()) return lists.error();
  Prepared prepared{std::move(lists).value(), std::move(basis), nullptr};
  // Only a proper answer is kept for later walls and for a wall without network.
  if (result == 200 && keep.store && !keep.owner.empty()) {
    prepared.kept = std::make_shared<const CampListStore::Entry>(
        CampListStore::Entry{keep.owner, keep.now, prepared.lists});
    keep.store->save(keep.owner, keep.now, text);
  }
  const KindChoice choice = chooseKind(prepared.lists);
  if (choice.selected) {
    auto& presorted = prepared.presorted;
    presorted.kind =
        choice.result == KindChoice::Result::bothKinds ? kindForTab(presorted.segment) : *choice.selected;
    presorted.sorted = orvane::setSort(campListOf(prepared.lists, *presorted.kind),
                                       houseListOf(prepared.lists, *presorted.kind), presorted.listType,
                                       presorted.sortTitle, SortTitles::localizedTitles());
  }
  return prepared;
}

void OrvaneViewController::showKept(CampLists lists, bool outOfDate) {
  raiseLoaded(lists, outOfDate);
  showResponse(std::move(lists), Presorted{});
  setOutOfDateNotice(outOfDate);
  quiet_ = !outOfDate;
}

void OrvaneViewController::raiseLoaded(const CampLists& lists, bool outOfDate) {
  if (!services().events) return;
  services().events->raise(
      ListLoaded{services().wall, campaignCount(lists), lists.rewardTotal, lists.rewardMark, outOfDate});
}

void OrvaneViewController::setOutOfDateNotice(bool shown) { lOutOfDate_->setVisible(shown); }

void OrvaneViewController::listFailed(const Error& error) {
  reportFailure(services().events, "list", error);
  if (std::exchange(quiet_, false)) {
    // The kept list stays, without an alert; without network it may be out of date.
    Log::log("OrvaneViewController: the quiet refresh failed; the list shown stays", Log::Level::info());
    setOutOfDateNotice(isOffline(error));
    emit listUpdated();
    return;
  }
  if (listShown_ || !isOffline(error) || !services().lists || owner_.empty()) {
    failWithAlert(error);
    return;
  }
  // Without network and with nothing on screen: the last list kept for this user.
  const Keep where = keep();
  keptRead_ = inBackground(
      *services().platform,
      [where, basis = currentBasis()]() -> Result<Prepared> {
        auto kept = where.store->load(where.owner, where.now);
        if (!kept) return Error::make(Error::Kind::notConfigured, "no list kept");
        return prepareAnswer(kept->first, std::string(), basis, Keep{});
      },
      [this, error](Result<Prepared> kept) {
        if (!kept.ok()) {
          failWithAlert(error);
          return;
        }
        showKept(std::move(kept.value().lists), true);
      });
}

void OrvaneViewController::failWithAlert(const Error& error) {
  // The host gets the developer's detail; the user a sentence to act on.
  if (services().events) services().events->raise(ListFailed{services().wall, error.description});
  alertError(userMessage(error));
}

void OrvaneViewController::showResponse(CampLists lists, Presorted presorted, bool quiet) {
  // A quiet refresh repeats neither the pop-up nor the empty-list alert the kept list showed.
  const QString shownReward = rewardText_;
  const bool wasEmpty = shownEmpty_;
  listShown_ = true;
  retire(std::move(otherCampList_), std::move(cpsCampList_));
  otherCampList_ = std::make_shared<const std::vector<Camp>>(std::move(lists.otherCampList));
  cpsCampList_ = std::make_shared<const std::vector<Camp>>(std::move(lists.cpsCampList));
  otherHouseList_ = std::move(lists.otherHouseList);
  cpsHouseList_ = std::move(lists.cpsHouseList);

  const KindChoice choice =
      chooseKind(otherCampList_->size(), cpsCampList_->size(), otherHouseList_.size(), cpsHouseList_.size());
  rewardText_ =
      QString::fromStdString(orvane::rewardText(lists.rewardTotal, lists.rewardMark, localeDecimalStyle()));
  shownEmpty_ = choice.result == KindChoice::Result::nothingToShow;
  const bool announce = !quiet || rewardText_ != shownReward;
  if (choice.result == KindChoice::Result::nothingToShow && quiet && wasEmpty) {
    setSort();
    if (services().platform->store->integer(keys::kBenefitsDisplayType) != 0) showReward();
    emit listUpdated();
    return;
  }
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
    // The pop-up never covers the empty-list alert, nor follows it; the list-top band
    // still updates.
    QObject::disconnect(popupWait_);
    if (services().platform->store->integer(keys::kBenefitsDisplayType) != 0) showReward();
    emit listUpdated();
    return;
  }
  if (choice.tabsShown) vTabs_->setVisible(*choice.tabsShown);
  if (choice.selected) {
    // With both kinds the lists follow the selected tab, so a reload keeps what the user sees.
    const CampKind kind =
        choice.result == KindChoice::Result::bothKinds ? kindForTab(selectedSegment_) : *choice.selected;
    selectKind(kind);
    // Sorted off the GUI thread for this very kind, mode and list style.
    if (presorted.sorted && presorted.kind == kind && presorted.segment == selectedSegment_ &&
        presorted.sortTitle == bSort_->text().toStdString() && presorted.listType == listType_) {
      showSorted(std::move(*presorted.sorted));
      if (announce) showReward();
      emit listUpdated();
      return;
    }
  }
  setSort();
  if (announce) showReward();
  emit listUpdated();
}

void OrvaneViewController::selectKind(CampKind kind) {
  // Shared, not copied: a long list would be copied on the GUI thread at every switch.
  retire(std::exchange(selectedCampList_, kind == CampKind::other ? otherCampList_ : cpsCampList_));
  selectedHouseList_ = kind == CampKind::other ? otherHouseList_ : cpsHouseList_;
}

void OrvaneViewController::showReward() {
  if (services().platform->store->integer(keys::kBenefitsDisplayType) != 0) {
    setServerText(lCoinsValue_, rewardText_);  // the server's price mark, as written
    // The accent may have changed since the last load.
    lCoinsValue_->setFont(style::pixelFont(20, QFont::Bold));
    lCoinsValue_->setStyleSheet(QStringLiteral("color:%1;").arg(style::accent().name()));
    vCoins_->show();
    return;
  }
  if (isAppear_ == false) return;
  // One pop-up at a time: a newer load updates the one on screen.
  if (popup_ && !popup_->isDismissed()) {
    popup_->setRewardPriceAndMark(rewardText_);
    vCoins_->hide();
    return;
  }
  // Never over an alert: the pop-up waits until the alerts have closed, then shows the
  // newest total.
  if (QWidget* alert = openAlert()) {
    QObject::disconnect(popupWait_);
    popupWait_ = connect(
        alert, &QObject::destroyed, this, [this] { showReward(); }, Qt::QueuedConnection);
    return;
  }
  std::unique_ptr<ViewController> made(Storyboard::named("OrvaneStoryboard", services())
                                           ->instantiateViewController("CanReceiveBenefitsViewController"));
  auto* popup = qobject_cast<CanReceiveBenefitsViewController*>(made.get());
  if (!popup) return;
  made.release();
  popup->rewardPriceAndMark = rewardText_;
  QWidget* over = navigationController() ? static_cast<QWidget*>(navigationController()) : window();
  popup_ = popup;
  popup->presentIn(over);
  vCoins_->hide();
}

void OrvaneViewController::setSort() {
  auto sorted = orvane::setSort(*selectedCampList_, selectedHouseList_, listType_,
                                bSort_->text().toStdString(), SortTitles::localizedTitles());
  showSorted(std::move(sorted));
}

void OrvaneViewController::showSorted(SortedCamps sorted) {
  // Moved, not copied: a long list is copied often enough on the GUI thread already.
  std::swap(selectedAllCampList_, sorted.selectedAllCampList);
  selectedHouseList_ = std::move(sorted.selectedHouseList);
  tvCamp_->reloadData();
  retire(std::make_shared<const std::vector<Camp>>(std::move(sorted.selectedAllCampList)));
}

void OrvaneViewController::retire(SharedCamps first, SharedCamps second) const {
  // Only the last holder frees; a list still shown elsewhere stays.
  runOffMain(services().platform->executor, [first = std::move(first), second = std::move(second)]() mutable {
    first.reset();
    second.reset();
  });
}

void OrvaneViewController::scValueChanged(int index) {
  selectedSegment_ = index;
  segments_[index == 0 ? 0 : 1]->setChecked(true);
  selectKind(kindForTab(index));
  setSort();
}

void OrvaneViewController::clickSort() {
  // init -> high -> low -> init; a title that is none of them starts over at init.
  const SortTitles titles = SortTitles::localizedTitles();
  bSort_->setText(QString::fromStdString(nextSortTitle(bSort_->text().toStdString(), titles)));
  describeSort();
  setSort();
}

void OrvaneViewController::describeSort() {
  const SortTitles titles = SortTitles::localizedTitles();
  const QString next = QString::fromStdString(nextSortTitle(bSort_->text().toStdString(), titles));
  bSort_->setAccessibleName(QString::fromStdString(localized("ov_sort_next")).arg(bSort_->text(), next));
  bSort_->setToolTip(bSort_->accessibleName());
}

void OrvaneViewController::drawMainTab() {
  const QString accent = Orvane::shared().orvaneColorPrimary.name();
  scCamp_->setStyleSheet(
      QString("QPushButton { background: white; color: %1; border: 1px solid %1; font-size: 14px; }"
              "QPushButton:hover:!checked { background: %2; }"
              "QPushButton:checked { background: %1; color: white; }"
              "QPushButton[keyboardFocus=\"true\"] { border: 2px solid #111111; }"
              "#sc_camp_0 { border-top-left-radius: 8px; border-bottom-left-radius: 8px; }"
              "#sc_camp_1 { border-top-right-radius: 8px; border-bottom-right-radius: 8px; }")
          .arg(accent, QColor(0xF7, 0xF7, 0xF7).name()));
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

QWidget* OrvaneViewController::openAlert() {
  const auto host = std::dynamic_pointer_cast<QtAlertHost>(alertHost());
  return host ? host->currentAlertWidget() : nullptr;
}

void OrvaneViewController::alertError(const std::string& message) {
  Alert alert;
  alert.title = localized("ov_alarm");
  alert.message = message;
  alert.actions.push_back({"OK", AlertAction::Style::cancel, {}});
  presentAlert(std::move(alert));
  emit listUpdated();
}

}  // namespace orvane::ui
