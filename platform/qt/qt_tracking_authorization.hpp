#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/support/platform/key_value_store.hpp"
#include "core/support/platform/tracking_authorization.hpp"
#include "platform/qt/stored_uuid.hpp"

class QMessageBox;

namespace orvane::qt {

// Asks the user, in a consent dialog, whether the application may track, and
// remembers the answer in the store. The dialog is shown with open(), never exec():
// no nested event loop. Main thread, except `status` and `advertisingIdentifier`.
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
  // Answers at once when determined; otherwise shows the dialog (once, however many
  // requests arrive while it is open) and answers every waiting request with the
  // user's choice. The completion runs on the main thread.
  void requestAuthorization(std::function<void(int status)> completion) override;

  // The stored identifier (made on first use) while the user allows tracking, else
  // the all-zero UUID. Any thread.
  std::string advertisingIdentifier();

  // The privacy settings page: shows the dialog again so that the user can change
  // the remembered answer.
  void showSettings();

  // The open dialog, or null.
  QMessageBox* dialog() const;

 private:
  void showDialog();
  void finish(int answer, bool remember);
  void remember(int answer);

  std::shared_ptr<KeyValueStore> store_;
  // Held while the answer and the identifier are read or changed together, so that a
  // request built during a withdrawal gets the old identifier or zeros, never a
  // fresh one made just before the old is dropped.
  std::mutex consentMutex_;
  StoredUuid advertisingId_;
  QPointer<QMessageBox> dialog_;
  std::vector<std::function<void(int)>> waiting_;
};

}  // namespace orvane::qt
