#pragma once

// The C API's objects behind its opaque handles, and the helpers its functions share.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/api/records.hpp"
#include "core/participation/api_join.hpp"
#include "core/screens/camp_list_answer.hpp"
#include "core/screens/reward_history.hpp"
#include "core/support/image_cache.hpp"
#include "core/support/notification_center.hpp"
#include "core/support/request_handle.hpp"
#include "core/support/result.hpp"
#include "orvane/orvane.h"
#include "platform/headless/headless_platform.hpp"

struct orvane_campaign {
  orvane::Camp camp;
  bool house = false;
  mutable std::string scratch;  // reward text or JSON, read by the host
};

struct orvane_campaign_list {
  orvane::CampLists lists;
  std::int64_t listType = 0;
  int tab = 0;
  orvane_sort_mode sort = ORVANE_SORT_INIT;
  orvane::KindChoice choice;
  std::optional<orvane::CampKind> kind;
  std::vector<orvane_campaign> shown;
  std::string rewardText;
};

struct orvane_reward_history {
  std::vector<orvane::Reward> rewards;
  std::vector<orvane::RewardRowText> texts;
  std::string term;
};

namespace orvane::capi {

// The status and text of a failure; the text is kept for orvane_last_error.
orvane_status fail(orvane_status status, std::string text);
orvane_status succeed();
orvane_status statusOf(const Error& error);

// A string the host handed in, checked: NUL-terminated (length ORVANE_NTS) or of the
// given length, valid UTF-8, no NUL inside.
orvane_status readText(const char* data, std::size_t length, std::string& out, const char* what);

class Sdk;

}  // namespace orvane::capi

struct orvane_sdk {
  // Set once the host destroyed it; freed when the outermost call on it returns.
  bool closed = false;
  int depth = 0;  // SDK calls in progress on the main thread that may call back
  std::thread::id owner = std::this_thread::get_id();
  std::unique_ptr<orvane::capi::Sdk> impl;
};

namespace orvane::capi {

// What one handle owns. Main thread only, apart from what says otherwise.
class Sdk {
 public:
  Sdk(orvane_sdk* handle, const orvane_config& config);
  ~Sdk();
  Sdk(const Sdk&) = delete;
  Sdk& operator=(const Sdk&) = delete;

  // Drops every request, alert and question: no callback of the host runs afterwards.
  void close();

  const orvane_config& config() const { return config_; }
  const std::shared_ptr<const Platform>& platform() const { return platform_; }
  headless::HeadlessPlatform& headless() { return headless_; }
  ApiJoin& join() { return *join_; }
  ImageCache& images() { return *images_; }
  // The receiver of the flow's messages for a join of `campid`.
  std::weak_ptr<JoinProtocol> receiverFor(std::int64_t campid);
  bool closed() const { return handle_->closed; }

  // Requests are kept under an id the host may cancel them by, until their callback ran.
  std::uint64_t reserveRequest() { return nextRequest_++; }
  void keepAs(orvane_request_id id, RequestHandle handle);
  void finished(orvane_request_id id);
  // The next step of request `id` (its callback runs now and hands over to `next`).
  void replace(orvane_request_id id, RequestHandle next);
  bool cancel(orvane_request_id id);

  // Host callbacks, only while the handle is open.
  void emitEvent(orvane_event_type type, std::int64_t campid = -1, const std::string& ovnkey = {},
                 std::size_t count = 0, orvane_status status = ORVANE_OK, const std::string& message = {});
  void presentAlert(Alert alert);
  orvane_status pressAlert(std::uint64_t id, std::size_t button);
  void askTracking(std::function<void(bool)> answer);
  orvane_status answerTracking(std::uint64_t question, bool allowed);

 private:
  class AlertHostAdapter;
  class Receiver;
  class LogAdapter;
  class ObservedSession;

  orvane_sdk* handle_;
  orvane_config config_;
  std::string settingsPath_;
  std::string systemVersion_;
  std::string machine_;
  headless::HeadlessPlatform headless_;
  std::shared_ptr<const Platform> platform_;
  NotificationCenter notifications_;
  NotificationCenter::Observation listChange_;
  std::shared_ptr<AlertHostAdapter> alertHost_;
  std::shared_ptr<Receiver> receiver_;
  std::unique_ptr<ApiJoin> join_;
  std::unique_ptr<ImageCache> images_;
  std::map<orvane_request_id, RequestHandle> requests_;
  std::uint64_t nextRequest_ = 1;
  std::map<std::uint64_t, Alert> alerts_;
  std::uint64_t nextAlert_ = 1;
  std::map<std::uint64_t, std::function<void(bool)>> questions_;
  std::uint64_t nextQuestion_ = 1;
  bool installed_ = false;
};

// Entry checks shared by every function that takes a handle: live, on its main thread.
orvane_status enter(orvane_sdk* sdk);

// Counts a call that may run host callbacks; the handle is freed when the outermost
// one returns after the host destroyed it from inside a callback.
class Busy {
 public:
  explicit Busy(orvane_sdk* sdk) : sdk_(sdk) { ++sdk_->depth; }
  ~Busy();
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  orvane_sdk* sdk_;
};

}  // namespace orvane::capi
