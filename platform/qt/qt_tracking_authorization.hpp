#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "core/support/platform/key_value_store.hpp"
#include "core/support/platform/tracking_authorization.hpp"

class QMessageBox;

namespace orvane::qt {

// Asks the user, in a consent dialog, whether the application may track, and
// remembers the answer in the store. The dialog is shown with open(), never exec():
// no nested event loop. Main thread, except `status`.
class QtTrackingAuthorization final : public TrackingAuthorization,
                                      public std::enable_shared_from_this<QtTrackingAuthorization> {
 public:
  static constexpr const char* kStatusKey = "ORVANE_TRACKING_STATUS";
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

  // The privacy settings page: shows the dialog again so that the user can change
  // the remembered answer.
  void showSettings();

  // The open dialog, or null.
  QMessageBox* dialog() const;

 private:
  void showDialog();
  void finish(int answer, bool remember);

  std::shared_ptr<KeyValueStore> store_;
  QPointer<QMessageBox> dialog_;
  std::vector<std::function<void(int)>> waiting_;
};

}  // namespace orvane::qt
