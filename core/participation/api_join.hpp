#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/api/records.hpp"
#include "core/participation/join_protocol.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/platform/alert_host.hpp"
#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/platform.hpp"
#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"

namespace orvane {

// Carries the user from a tap on a campaign to a credited reward: the join request,
// the landing link, the participation check, the state poll and the claim.
//
// Main thread only: every public member is called there, and the flow's state
// (partiConfirmList, the poll timer and its count) is touched nowhere else. Server
// answers are decoded on the platform's executor and handed to the main thread. The
// flow keeps the handles of its requests, so destroying it cancels them and no answer
// reaches it afterwards; its alert buttons do nothing once it is gone. At most one
// state poll runs.
class ApiJoin {
 public:
  // The process-wide flow, on the platform installed at the time of each step.
  static ApiJoin& shared();

  // A flow on `platform`; null means Platform::current() at each step (the privacy
  // settings button included). The refresh alert posts its notifications on
  // `notifications`, which must outlive the alerts.
  explicit ApiJoin(std::shared_ptr<const Platform> platform,
                   NotificationCenter& notifications = NotificationCenter::shared());
  ~ApiJoin();
  ApiJoin(const ApiJoin&) = delete;
  ApiJoin& operator=(const ApiJoin&) = delete;

  // Campaigns whose join succeeded and that wait for the participation check; an id
  // appears once per such join.
  std::vector<std::int64_t> getPartiConfirmList() const;

  // A tap on join. Refused with "ov_participation_waiting" while a poll runs; the
  // receiver is then not taken.
  void startJoin(const Camp& camp, std::weak_ptr<JoinProtocol> receiver);
  // A tap on the participation check.
  void flowParticipation(const Camp& camp);
  // A tap on accumulate, or the flow itself after a join answered with a key.
  void apiReward(std::int64_t campid, const std::string& ovnkey);

  // Whether a state poll runs.
  bool isPolling() const;

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
  void rewardAnswered(const Join& join);

  void present(Alert alert);
  void alertAlarm(const std::string& message);
  void alertAlarmRefreshAction(const std::string& message);
  void alertTracking();

  std::shared_ptr<const Platform> platform_;
  NotificationCenter* notifications_;
  // The requests in flight; dropped with the flow, so that no answer reaches it.
  RequestGroup requests_;
  // Callbacks that are no requests pass through this; the destructor closes it.
  std::shared_ptr<CompletionGate> callbacks_ = std::make_shared<CompletionGate>();

  std::vector<std::int64_t> partiConfirmList_;
  std::unique_ptr<Timer> timer_;
  int count_ = 0;
  std::shared_ptr<Poll> poll_;  // the running poll, to tell its answers from older ones
};

}  // namespace orvane
