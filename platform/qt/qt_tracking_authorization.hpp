#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/support/platform/alert_host.hpp"
#include "core/support/platform/key_value_store.hpp"
#include "core/support/platform/tracking_authorization.hpp"
#include "platform/qt/stored_uuid.hpp"

class QMessageBox;

namespace orvane::qt {

// Asks the user whether the application may track, and remembers the answer in the
// store. Main thread, except `status` and `advertisingIdentifier`.
//
// The question is an alert of the screen that asks: the flow hands its alert host
// (the wall's) with the request, so the question blocks the wall like the wall's own
// alerts, as the phone's prompt blocks the screen. Esc answers no; Enter keeps the
// current answer. Without a live screen (a request without a host, or the privacy
// settings page with no wall left) a consent dialog asks instead. Neither runs a
// nested event loop. One question at a time answers every request that waits; one
// that goes away unanswered (its screen closed) answers "not allowed" without
// remembering it, so the user is asked again next time.
//
// It also keeps the desktop's advertising identifier, which goes with the answer as
// on the phone platforms: a random per-user UUID handed out only while the user
// allows tracking, the all-zero UUID otherwise. Each change of the answer between
// "allowed" and anything else drops the stored identifier, so an identifier seen
// before a withdrawal never comes back with a later "allow".
class QtTrackingAuthorization final : public TrackingAuthorization,
                                      public std::enable_shared_from_this<QtTrackingAuthorization> {
 public:
  static constexpr const char* kStatusKey = "ORVANE_TRACKING_STATUS";
  static constexpr const char* kAdvertisingIdKey = "ORVANE_ADVERTISING_ID";
  static constexpr const char* kZeroAdvertisingId = "00000000-0000-0000-0000-000000000000";
  // Stable object names, so that tests and accessibility tools find the dialog.
  static constexpr const char* kDialogName = "TrackingConsentDialog";
  static constexpr const char* kAllowButtonName = "b_tracking_allow";
  static constexpr const char* kDenyButtonName = "b_tracking_deny";

  explicit QtTrackingAuthorization(std::shared_ptr<KeyValueStore> store);
  ~QtTrackingAuthorization() override;
  QtTrackingAuthorization(const QtTrackingAuthorization&) = delete;
  QtTrackingAuthorization& operator=(const QtTrackingAuthorization&) = delete;

  // The remembered answer; a stored value that is no status reads as not determined.
  int status() const override;
  // Answers at once when determined; otherwise asks over `host` (or in the dialog)
  // and answers with the user's choice. The completion runs on the main thread.
  void requestAuthorization(std::function<void(int status)> completion,
                            std::weak_ptr<AlertHost> host) override;

  // The stored identifier (made on first use) while the user allows tracking, else
  // the all-zero UUID. Any thread.
  std::string advertisingIdentifier();

  // The privacy settings page: asks again, over the screen of the latest request while
  // it lives, so that the user can change the remembered answer.
  void showSettings();

  // Whether a question is open, over a screen or in the dialog.
  bool isAsking() const;
  // The open dialog, or null (a question over a screen is that screen's alert).
  QMessageBox* dialog() const;

 private:
  struct Question;

  void ask();
  void askOver(AlertHost& host);
  void showDialog();
  void finishQuestion(std::uint64_t id, int answer, bool remember);
  void finish(int answer, bool remember);
  void remember(int answer);
  // What a question closed without a choice means: no tracking this time.
  int unansweredStatus() const;

  std::shared_ptr<KeyValueStore> store_;
  // Held while the answer and the identifier are read or changed together, so that a
  // request built during a withdrawal gets the old identifier or zeros, never a
  // fresh one made just before the old is dropped.
  std::mutex consentMutex_;
  StoredUuid advertisingId_;
  std::weak_ptr<AlertHost> presenter_;  // the screen of the latest request
  std::uint64_t question_ = 0;          // the open question over a screen, 0 when none
  std::uint64_t lastQuestion_ = 0;
  QPointer<QMessageBox> dialog_;
  std::vector<std::function<void(int)>> waiting_;
};

}  // namespace orvane::qt
