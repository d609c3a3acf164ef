#include "core/participation/api_join.hpp"

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

#include "core/api/api_list.hpp"
#include "core/participation/link_url.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "core/support/log_text.hpp"
#include "core/support/platform/tracking_authorization.hpp"
#include "core/support/util.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace {

constexpr std::int64_t kSuccess = 200;
constexpr std::int64_t kConfirmedState = 3;
constexpr std::int64_t kRewardCollectedByUser = 1;
constexpr std::int64_t kRewardCreditedByServer = 2;
constexpr std::int64_t kMissingRewardtype = -1;
constexpr int kStateRequestsPerPoll = 5;
constexpr Millis kPollInterval{1000};

std::string trackingStatusText(int status) {
  switch (status) {
    case tracking::notDetermined:
      return "0 (notDetermined)";
    case tracking::restricted:
      return "1 (restricted)";
    case tracking::denied:
      return "2 (denied)";
    default:
      return std::to_string(status) + " (unknown, not authorized)";
  }
}

bool isRefreshJoinError(std::int64_t code) {
  return code == 401 || code == 407 || code == 410 || code == 500 || code == 501 || code == 502;
}

bool isPlainJoinError(std::int64_t code) {
  return code == 402 || code == 403 || code == 406 || code == 411 || code == 503 || code == 900;
}

bool isParticipationCheckBm(std::int64_t bm) { return bm == 2 || bm == 3; }

// A few campaigns are enough: the host's events need the name and price of the latest.
constexpr std::size_t kCampaignsKept = 32;

void remember(std::vector<Camp>& seen, const Camp& camp) {
  std::erase_if(seen, [&](const Camp& c) { return c.campid == camp.campid; });
  if (seen.size() >= kCampaignsKept) seen.erase(seen.begin());
  seen.push_back(camp);
}

Camp campaignOf(const std::vector<Camp>& seen, std::int64_t campid) {
  for (const Camp& c : seen)
    if (c.campid == campid) return c;
  Camp bare;
  bare.campid = campid;
  return bare;
}

void logError(const std::string& message) { Log::log(message, Log::Level::error()); }

AlertAction button(std::string_view key, AlertAction::Style style, std::function<void()> handler = nullptr) {
  AlertAction action;
  action.title = localized(key);
  action.style = style;
  action.handler = std::move(handler);
  return action;
}
void logInfo(const std::string& message) { Log::log(message, Log::Level::info()); }

}  // namespace

// The transport and the request builder log their own failures; a decoding failure is
// logged here.
template <class Record>
bool ApiJoin::usable(const Result<Record>& answer, const char* operation) {
  if (answer.ok()) return true;
  if (answer.error().kind == Error::Kind::decoding) logError(answer.error().description);
  events_->raise(errorEvent(operation, answer.error()));
  return false;
}

struct ApiJoin::Poll {
  bool confirmed = false;  // a confirmation is acted on once per poll
};

ApiJoin& ApiJoin::shared() {
  // Never destroyed: answers may still arrive while the process exits.
  static auto* instance = new ApiJoin(nullptr);
  return *instance;
}

ApiJoin::ApiJoin(std::shared_ptr<const Platform> platform, NotificationCenter& notifications,
                 HostEvents& events)
    : platform_(std::move(platform)), notifications_(&notifications), events_(&events) {}

ApiJoin::~ApiJoin() {
  callbacks_->close();
  requests_.clear();
  if (timer_) timer_->invalidate();
  pollHold_.reset();
}

std::shared_ptr<const Platform> ApiJoin::platform() const {
  return platform_ ? platform_ : Platform::current();
}

std::function<void()> ApiJoin::whileAlive(std::function<void()> work) const {
  return [gate = callbacks_, work = std::move(work)] { gate->pass(work); };
}

std::vector<std::int64_t> ApiJoin::getPartiConfirmList() const { return partiConfirmList_; }

bool ApiJoin::isPolling() const { return timer_ && timer_->isValid(); }

std::optional<std::string> ApiJoin::confirmedKey(std::int64_t campid) const {
  const auto it = confirmedKeys_.find(campid);
  if (it == confirmedKeys_.end()) return std::nullopt;
  return it->second;
}

bool ApiJoin::checkCampid(std::int64_t campid, const char* step) {
  if (!platform()->mainQueue) {
    logError(std::string("ApiJoin ") + step + " : no main queue, nothing is sent");
    return false;
  }
  if (campid >= 0) return true;
  // -1 is the decoder's mark for a campaign without an id: nothing can be sent for it.
  logError(std::string("ApiJoin ") + step + " : campaign without campid " + std::to_string(campid));
  alertAlarm(localized("ov_not_participation_campaign"));
  return false;
}

// --- join

void ApiJoin::startJoin(const Camp& camp, std::weak_ptr<JoinProtocol> receiver) {
  if (isPolling()) {
    alertAlarm(localized("ov_participation_waiting"));
    return;
  }
  if (joining_) {
    // Taps queued behind the tracking question, or a double click: one join at a time,
    // or one campaign's answer would reach the receiver of another.
    logInfo("ApiJoin startJoin : the join of campid " + std::to_string(*joining_) + " is under way; campid " +
            std::to_string(camp.campid) + " is not joined");
    return;
  }
  if (!checkCampid(camp.campid, "startJoin")) return;
  remember(seen_, camp);

  const auto p = platform();
  const bool asksTracking = p->device && p->device->isSystemVersionAtLeast(14) && p->store &&
                            p->store->boolean(keys::kTrackingUsage) && p->tracking;
  joining_ = camp.campid;
  if (!asksTracking) {
    logInfo("ApiJoin <ios14 || STANDARD_TRACKING_USAGE==false");
    joinProtocol = std::move(receiver);
    apiJoin(camp);
    return;
  }
  // The answer may come on any thread; the flow goes on on the main thread.
  p->tracking->requestAuthorization(
      [queue = p->mainQueue, gate = callbacks_, this, camp, receiver, adid = p->advertisingId](int status) {
        const bool authorized = status == tracking::authorized;
        if (authorized) {
          logInfo("ApiJoin authorized : " + (adid ? adid->advertisingIdentifier() : std::string()));
        } else {
          logInfo("ApiJoin status : " + trackingStatusText(status));
        }
        // `this` is only touched on the main thread, through the gate the destructor closes;
        // checkCampid made sure there is a main queue.
        queue->post([gate, this, camp, receiver, authorized] {
          gate->pass([&] {
            if (!authorized) {
              joining_.reset();
              alertTracking();
              return;
            }
            joinProtocol = receiver;
            apiJoin(camp);
          });
        });
      },
      viewController);
}

void ApiJoin::apiJoin(const Camp& camp) {
  const auto p = platform();
  requests_.add(fetch(
      *p, [&](auto done) { return ApiList(p).getJoin(std::to_string(camp.campid), std::move(done)); },
      decodeJoin,
      [this, camp](Result<Join> join) {
        joining_.reset();  // whatever the answer: the next tap may join
        if (usable(join, "join")) joinAnswered(camp, join.value());
      }));
}

void ApiJoin::joinAnswered(const Camp& camp, const Join& join) {
  if (join.result == kSuccess) {
    events_->raise(ParticipationStarted{camp.campid, camp.name});
    if (join.ovnkey) {
      apiReward(camp, *join.ovnkey);
      return;
    }
    if (join.lurl) openLanding(*join.lurl);
    if (!isParticipationCheckBm(camp.bm)) return;
    if (camp.bmcheck == 1) {
      stateAPICheck(camp);
      return;
    }
    partiConfirmList_.push_back(camp.campid);
    if (auto receiver = joinProtocol.lock()) receiver->onParticipationCheckPossible(camp.campid);
    return;
  }
  logError("ApiJoin apiJoin Error : " + optionalText(join.result));
  events_->raise(ErrorEvent{"join", static_cast<int>(join.result.value_or(error_code::other)),
                            "the join was refused with result " + optionalText(join.result)});
  const std::int64_t code = join.result.value_or(0);
  if (join.result && isRefreshJoinError(code)) {
    alertAlarmRefreshAction(localized("ov_" + std::to_string(code)));
  } else if (join.result && isPlainJoinError(code)) {
    alertAlarm(localized("ov_" + std::to_string(code)));
  } else {
    alertAlarm(localized("ov_not_participation_campaign"));
  }
}

void ApiJoin::openLanding(const std::string& lurl) {
  const auto link = openableLink(lurl);
  if (!link) {
    logError("ApiJoin lurl is not a URL, nothing opened : " + lurl);
    return;
  }
  if (const auto check = checkServerLink(*link); !check.allowed) {
    logError("ApiJoin lurl refused, nothing opened (" + check.reason + ") : " + *link);
    return;
  }
  if (const auto opener = platform()->urlOpener) {
    opener->open(*link, nullptr);
  } else {
    logError("ApiJoin no URL opener : " + *link);
  }
}

// --- participation check

void ApiJoin::flowParticipation(const Camp& camp) {
  if (!checkCampid(camp.campid, "flowParticipation")) return;
  const auto p = platform();
  requests_.add(fetch(
      *p, [&](auto done) { return ApiList(p).getExec(std::to_string(camp.campid), std::move(done)); },
      decodeState,
      [this, camp](Result<State> state) {
        if (usable(state, "participationCheck")) execAnswered(camp, state.value());
      }));
}

void ApiJoin::execAnswered(const Camp& camp, const State& state) {
  if (state.result == kSuccess) {
    Alert alert;
    alert.title = localized("ov_alarm");
    alert.message = localized("ov_start_app");
    alert.actions.push_back(button("ov_cancel", AlertAction::Style::cancel));
    alert.actions.push_back(
        button("ov_confirm", AlertAction::Style::normal, whileAlive([this, camp] { startApp(camp); })));
    present(std::move(alert));
    return;
  }
  logError("ApiJoin getExec Error : " + optionalText(state.result));
  events_->raise(ErrorEvent{"participationCheck", static_cast<int>(state.result.value_or(error_code::other)),
                            "the participation check was refused with result " + optionalText(state.result)});
  if (state.result == 501) {
    alertAlarmRefreshAction(localized("ov_already_participation_campaign"));
  } else {
    alertAlarm(localized("ov_not_participation_campaign"));
  }
}

void ApiJoin::startApp(const Camp& camp) {
  const auto opener = platform()->urlOpener;
  if (const auto check = checkServerLink(camp.package); !check.allowed || !opener) {
    logError("ApiJoin package is not a link that may be opened (" +
             (opener ? check.reason : "no URL opener") + ") : " + camp.package);
    appOpened(camp, false);
    return;
  }
  // The opener answers on the main thread.
  opener->open(camp.package, [gate = callbacks_, this, camp](bool opened) {
    gate->pass([&] { appOpened(camp, opened); });
  });
}

void ApiJoin::appOpened(const Camp& camp, bool opened) {
  if (!opened) {
    logError("fail opened");
    alertAlarm(localized("ov_not_installed"));
    return;
  }
  logInfo("successfuly opened");
  requests_.add(ApiList(platform()).getInst(std::to_string(camp.campid)));
  stateAPICheck(camp);
}

// --- state poll

void ApiJoin::stateAPICheck(const Camp& camp) {
  logInfo("stateAPICheckStop");
  if (timer_) timer_->invalidate();
  timer_.reset();
  logInfo("stateAPICheck");
  count_ = kStateRequestsPerPoll;
  const auto queue = platform()->mainQueue;
  if (!queue) {
    logError("ApiJoin stateAPICheck : no main queue, no poll");
    return;
  }
  auto poll = std::make_shared<Poll>();
  poll_ = poll;
  if (!pollHold_) pollHold_ = events_->holdCloses();
  // The timer belongs to this object and never ticks after it, so `this` is safe here.
  timer_ = queue->scheduleTimer(kPollInterval, true,
                                [this, camp, poll](Timer&) { stateAPICheckfunc(camp, poll); });
  timer_->fire();
}

void ApiJoin::stateAPICheckfunc(const Camp& camp, const std::shared_ptr<Poll>& poll) {
  logInfo("stateAPICheckfunc");
  if (count_ < 1) {
    logInfo("stateAPICheckStop");
    stopPoll(poll);
    return;
  }
  --count_;
  const auto p = platform();
  requests_.add(fetch(
      *p, [&](auto done) { return ApiList(p).getState(std::to_string(camp.campid), std::move(done)); },
      decodeState,
      [this, campid = camp.campid, rewardtype = camp.rewardtype, poll](Result<State> state) {
        if (state.ok()) {
          apiState(state.value(), campid, rewardtype, poll);
          return;
        }
        // A failed request ends the poll; an answer that does not decode lets it go on.
        if (state.error().kind == Error::Kind::decoding) {
          logError(state.error().description);
          return;
        }
        events_->raise(errorEvent("state", state.error()));
        logInfo("stateAPICheckStop");
        stopPoll(poll);
      }));
}

void ApiJoin::apiState(const State& state, std::int64_t campid, std::int64_t rewardtype,
                       const std::shared_ptr<Poll>& poll) {
  if (state.result != kSuccess) {
    logError(optionalText(state.result));
    events_->raise(ErrorEvent{"state", static_cast<int>(state.result.value_or(error_code::other)),
                              "the state poll was answered with result " + optionalText(state.result)});
    logInfo("stateAPICheckStop");
    stopPoll(poll);
    return;
  }
  // Requests overlap when answers are slow: only the first confirmation counts.
  if (state.state != kConfirmedState || poll->confirmed) return;
  poll->confirmed = true;

  if (auto it = std::find(partiConfirmList_.begin(), partiConfirmList_.end(), campid);
      it != partiConfirmList_.end()) {
    partiConfirmList_.erase(it);
  }
  if (rewardtype == kRewardCreditedByServer) {
    rewardClaimed(campaignOf(seen_, campid));
    alertAlarmRefreshAction(localized("ov_participation_complete"));
  } else if (rewardtype == kRewardCollectedByUser) {
    if (state.ovnkey) {
      confirmed(campid, *state.ovnkey);
    } else {
      logError("ApiJoin state 3 for campid " + std::to_string(campid) + " : no ovnkey");
    }
  } else if (rewardtype == kMissingRewardtype) {
    logError("ApiJoin state 3 for campid " + std::to_string(campid) + " : campaign without rewardtype");
  }
  logInfo("stateAPICheckStop");
  stopPoll(poll);
}

void ApiJoin::confirmed(std::int64_t campid, const std::string& ovnkey) {
  confirmedKeys_[campid] = ovnkey;
  // The latest join's receiver may show another campaign: it checks the id. The
  // notification reaches whichever screen shows this one.
  if (auto receiver = joinProtocol.lock()) {
    receiver->onAccumulationPossible(campid, ovnkey);
  } else {
    logInfo("ApiJoin state 3 for campid " + std::to_string(campid) +
            " : no receiver to tell; the key is kept for its cell");
  }
  notifications_->post(kParticipationConfirmed);
}

void ApiJoin::stopPoll(const std::shared_ptr<Poll>& poll) {
  // An answer of a poll that a newer one replaced leaves the newer one running.
  if (poll != poll_) return;
  poll_.reset();
  if (timer_) timer_->invalidate();
  timer_.reset();  // may be the timer whose tick runs now; timers allow that
  pollHold_.reset();
}

// --- claim

void ApiJoin::apiReward(std::int64_t campid, const std::string& ovnkey) {
  apiReward(campaignOf(seen_, campid), ovnkey);
}

void ApiJoin::apiReward(const Camp& camp, const std::string& ovnkey) {
  if (!checkCampid(camp.campid, "apiReward")) return;
  remember(seen_, camp);
  const auto p = platform();
  requests_.add(fetch(
      *p,
      [&](auto done) { return ApiList(p).getReward(std::to_string(camp.campid), ovnkey, std::move(done)); },
      decodeJoin,
      // The hold goes with the callback: closing walls wait until the claim is answered.
      [this, camp, hold = events_->holdCloses()](Result<Join> join) {
        if (usable(join, "reward")) rewardAnswered(camp, join.value());
      }));
}

void ApiJoin::rewardAnswered(const Camp& camp, const Join& join) {
  if (join.result == kSuccess) {
    confirmedKeys_.erase(camp.campid);  // collected: no cell offers it again
    rewardClaimed(camp);
    alertAlarmRefreshAction(localized("ov_participation_complete"));
    return;
  }
  logError("ApiJoin getReward Error : " + optionalText(join.result));
  events_->raise(ErrorEvent{"reward", static_cast<int>(join.result.value_or(error_code::other)),
                            "the claim was refused with result " + optionalText(join.result)});
  alertAlarm(localized("ov_try_again"));
}

void ApiJoin::rewardClaimed(const Camp& camp) {
  events_->raise(RewardClaimed{camp.campid, camp.name, camp.rewardprice, camp.pricemark});
}

// --- alerts

void ApiJoin::present(Alert alert) {
  if (auto host = viewController.lock()) host->present(std::move(alert));
}

void ApiJoin::alertAlarm(const std::string& message) {
  Alert alert;
  alert.title = localized("ov_alarm");
  alert.message = message;
  alert.actions.push_back(button("ov_confirm", AlertAction::Style::normal));
  present(std::move(alert));
}

void ApiJoin::alertAlarmRefreshAction(const std::string& message) {
  Alert alert;
  alert.title = localized("ov_alarm");
  alert.message = message;
  alert.actions.push_back(button("ov_confirm", AlertAction::Style::normal, [center = notifications_] {
    center->post(kActionListChange);
    center->post(kActionDetailFinish);
  }));
  present(std::move(alert));
}

void ApiJoin::alertTracking() {
  Alert alert;
  alert.title = localized("ov_alarm");
  alert.message = localized("ov_allow_tracking");
  alert.actions.push_back(button("ov_cancel", AlertAction::Style::cancel));
  // The flow's own platform, which need not be the installed one.
  alert.actions.push_back(button("ov_confirm", AlertAction::Style::normal,
                                 [p = platform()] { Util::gotoAppPrivacySettings(*p); }));
  present(std::move(alert));
}

}  // namespace orvane
