#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.hpp"
#include "core/participation/join_protocol.hpp"
#include "core/sdk/host_events.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/platform/alert_host.hpp"
#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/platform.hpp"
#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"

namespace orvane {

// Posted on the flow's notification centre when a participation is confirmed and its
// key kept (confirmedKey): screens that show that campaign switch to collect, whether
// or not they started the join.
inline constexpr std::string_view kParticipationConfirmed = "orvane_participation_confirmed";

// Carries the user from a tap on a campaign to a credited reward: the join request,
// the landing link, the participation check, the state poll and the claim.
//
// Main thread only: every public member is called there, and the flow's state
// (partiConfirmList, the poll timer and its count) is touched nowhere else. Server
// answers are decoded on the platform's executor and handed to the main thread. The
// flow keeps the handles of its requests, so destroying it cancels them and no answer
// reaches it afterwards; its alert buttons do nothing once it is gone. At most one
// state poll runs, and at most one join is under way: from the tap until the join's
// answer, the tracking question included.
//
// Confirmed keys are kept here, by campaign, until their reward is claimed: a
// confirmation reaches the receiver of the latest join, which may show another
// campaign (or be gone), so the flow, which outlives every screen, is where the cell or
// detail screen of the confirmed campaign finds its own key whenever it is shown.
class ApiJoin {
 public:
  // The process-wide flow, on the platform installed at the time of each step.
  static ApiJoin& shared();

  // A flow on `platform`; null means Platform::current() at each step (the privacy
  // settings button included). The refresh alert posts its notifications on
  // `notifications`, which must outlive the alerts.
  explicit ApiJoin(std::shared_ptr<const Platform> platform,
                   NotificationCenter& notifications = NotificationCenter::shared(),
                   HostEvents& events = HostEvents::shared());
  ~ApiJoin();
  ApiJoin(const ApiJoin&) = delete;
  ApiJoin& operator=(const ApiJoin&) = delete;

  // Campaigns whose join succeeded and that wait for the participation check; an id
  // appears once per such join.
  std::vector<std::int64_t> getPartiConfirmList() const;

  // A tap on join. Refused with "ov_participation_waiting" while a poll runs (the
  // receiver is then not taken), and without a word while another join is under way
  // (its tracking question is on screen, or its answer is awaited). The receiver is
  // taken when the join is sent.
  void startJoin(const Camp& camp, std::weak_ptr<JoinProtocol> receiver);
  // A tap on the participation check.
  void flowParticipation(const Camp& camp);
  // A tap on accumulate, or the flow itself after a join answered with a key. With the
  // campaign at hand the host's RewardClaimed carries its name, price and mark; by id
  // alone, those of the campaign the flow last saw with that id.
  void apiReward(const Camp& camp, const std::string& ovnkey);
  void apiReward(std::int64_t campid, const std::string& ovnkey);

  // Whether a state poll runs.
  bool isPolling() const;
  // Whether a join is under way (see startJoin).
  bool isJoining() const { return joining_.has_value(); }
  // The key of a confirmed participation of `campid` whose reward is not claimed yet.
  std::optional<std::string> confirmedKey(std::int64_t campid) const;

  // The screen that shows the flow's alerts; while it is empty, alerts are dropped.
  std::weak_ptr<AlertHost> viewController;
  // The receiver of the latest join that was not refused.
  std::weak_ptr<JoinProtocol> joinProtocol;

 private:
  struct Poll;

  std::shared_ptr<const Platform> platform() const;
  // `work` as a callback that does nothing once the flow is gone (alert buttons, the
  // URL opener's answer), run where it is called: on the main thread.
  std::function<void()> whileAlive(std::function<void()> work) const;
  bool checkCampid(std::int64_t campid, const char* step);
  // Whether a step can go on with its answer; a failure is logged and told to the host.
  template <class Record>
  bool usable(const Result<Record>& answer, const char* operation);
  void rewardClaimed(const Camp& camp);

  void apiJoin(const Camp& camp);
  void joinAnswered(const Camp& camp, const Join& join);
  void openLanding(const std::string& lurl);
  void execAnswered(const Camp& camp, const State& state);
  void startApp(const Camp& camp);
  void appOpened(const Camp& camp, bool opened);
  void stateAPICheck(const Camp& camp);
  void stateAPICheckfunc(const Camp& camp, const std::shared_ptr<Poll>& poll);
  void apiState(const State& state, std::int64_t campid, std::int64_t rewardtype,
                const std::shared_ptr<Poll>& poll);
  void stopPoll(const std::shared_ptr<Poll>& poll);
  void rewardAnswered(const Camp& camp, const Join& join);
  void confirmed(std::int64_t campid, const std::string& ovnkey);

  void present(Alert alert);
  void alertAlarm(const std::string& message);
  void alertAlarmRefreshAction(const std::string& message);
  void alertTracking();

  std::shared_ptr<const Platform> platform_;
  NotificationCenter* notifications_;
  HostEvents* events_;
  // The requests in flight; dropped with the flow, so that no answer reaches it.
  RequestGroup requests_;
  // Callbacks that are no requests pass through this; the destructor closes it.
  std::shared_ptr<CompletionGate> callbacks_ = std::make_shared<CompletionGate>();

  std::vector<std::int64_t> partiConfirmList_;
  std::map<std::int64_t, std::string> confirmedKeys_;
  std::optional<std::int64_t> joining_;  // the campaign of the join under way
  std::unique_ptr<Timer> timer_;
  int count_ = 0;
  std::shared_ptr<Poll> poll_;      // the running poll, to tell its answers from older ones
  std::shared_ptr<void> pollHold_;  // closing walls wait for the running poll
  std::vector<Camp> seen_;          // the latest campaign of each id joined or claimed
};

}  // namespace orvane
