#pragma once

#include <QColor>
#include <QPointer>
#include <cstdint>
#include <string>

#include "orvane/export.hpp"

class QWidget;

namespace orvane {

// The one object a host calls: it names the host and its user and chooses the
// wall's options. Every setter writes one persisted setting, unchanged and
// unchecked; the screens and requests read the settings when they run. Only the
// colours and the debug switch live in memory. Setters are safe from any thread.
class ORVANE_EXPORT Orvane {
 public:
  static constexpr int TYPE_LIST_NATIVE = 1;
  static constexpr int TYPE_LIST_ICON = 2;
  static constexpr const char* TYPE_GENDER_UNKNOWN = "0";
  static constexpr const char* TYPE_GENDER_MAN = "1";
  static constexpr const char* TYPE_GENDER_WOMAN = "2";
  static constexpr int TYPE_BENEFITS_DISPLAY_POPUP = 0;
  static constexpr int TYPE_BENEFITS_DISPLAY_LIST_TOP = 1;

  // Created on first use, which also installs the desktop platform unless one
  // (a test's) is installed already. Create the QApplication first.
  static Orvane& shared();

  // Writes the media key, the media channel key and the user id, in that order, then
  // makes tracking-authorisation use default to on for this process.
  void initialize(const std::string& mkey, const std::string& mckey, const std::string& userId);
  void setMainTitle(const std::string& mainTitle);
  void setListType(std::int64_t listType);
  // Logging only; off again at every launch.
  void setDebugEnabled(bool enabled);
  void setAge(std::int64_t age);
  void setGender(const std::string& gender);
  void setBenefitsType(std::int64_t benefitsType);
  void setCopyRightVisibility(bool visibility);
  // Whether a join first asks the user's consent to tracking. Either way the
  // advertising id sent to the servers is the all-zero UUID until the user has
  // allowed tracking, and a new one after the user withdraws it.
  void setTrackingUsage(bool use);

  // Shows the wall in its own window, window-modal over `from`'s window, and returns at
  // once. While a wall shown this way is open, a second call brings it to the front.
  // Before `initialize` nothing is shown and an error line is logged. GUI thread.
  void presentOrvane(QWidget* from);
  // A new wall on every call, without a parent, for the host to place and to delete.
  // Before `initialize` the wall is still made (its list then reports the failure) and
  // an error line is logged. GUI thread.
  QWidget* orvaneViewController();
  // A new carousel of five cards on every call, without a parent, for the host to size,
  // place and delete. Needs no initialize. GUI thread.
  QWidget* orvaneCarouselView();

  // Theme colours, read by the screens when they load; set them on the GUI thread.
  QColor orvaneColorPrimary = QColor::fromRgbF(1.0f, 92 / 255.0f, 90 / 255.0f, 1.0f);
  QColor orvaneColorDisable = QColor::fromRgbF(160 / 255.0f, 160 / 255.0f, 160 / 255.0f, 1.0f);

  Orvane(const Orvane&) = delete;
  Orvane& operator=(const Orvane&) = delete;

 private:
  Orvane();

  // The one wall shown by presentOrvane; a second call raises it instead of stacking another.
  QPointer<QWidget> presentedWall_;
};

}  // namespace orvane
