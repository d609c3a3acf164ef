#pragma once

#include <QColor>
#include <QPointer>
#include <cstdint>
#include <string>

#include "orvane/events.hpp"
#include "orvane/export.hpp"
#include "orvane/orvane_events.hpp"
#include "orvane/orvane_wall.hpp"

class QWidget;

namespace orvane {

// The one object a host calls: it names the host and its user and chooses the
// wall's options. Every setter writes one persisted setting, unchanged and
// unchecked; the screens and requests read the settings when they run. Only the
// colours and the debug switch live in memory. Setters are safe from any thread.
//
// Initialised means: `initialize` has stored a media key, a media channel key and a
// user id, none of them empty. The entry points below and every server request
// follow this one rule; a request made without it fails at once and sends nothing.
//
// Faults of the integration (not initialised, a base URL that does not parse, no
// QApplication, no host widget, a call off the GUI thread) are the entry point's
// Outcome, an ErrorEvent for the host's listeners (orvane/events.hpp), and a line on
// standard error and in the log, which is off unless `setDebugEnabled(true)`.
class ORVANE_EXPORT Orvane {
 public:
  static constexpr int TYPE_LIST_NATIVE = 1;
  static constexpr int TYPE_LIST_ICON = 2;
  static constexpr const char* TYPE_GENDER_UNKNOWN = "0";
  static constexpr const char* TYPE_GENDER_MAN = "1";
  static constexpr const char* TYPE_GENDER_WOMAN = "2";
  static constexpr int TYPE_BENEFITS_DISPLAY_POPUP = 0;
  static constexpr int TYPE_BENEFITS_DISPLAY_LIST_TOP = 1;

  // Created on first use, from any thread. Its desktop platform (the host's QSettings,
  // the HTTP session, the event loop) needs the QApplication; it is installed at the
  // first use once the application exists, unless one (a test's) is installed already.
  //
  // A host may configure the SDK before it makes its QApplication: the values are
  // kept in memory meanwhile, nothing is sent, and they move into the host's settings
  // (with its organisation and application names) at the first facade call on the GUI
  // thread after the application exists, or when its event loop starts, whichever
  // comes first; an application that ends before either still gets them written.
  // Set the organisation and application names before that moment.
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

  // Shows the wall in a dialog of its own, window-modal over `from`'s window, and
  // returns at once. The dialog (titled with the main title, resizable) opens centred
  // over the host's window and always lies wholly inside the available area of that
  // window's screen, at any scale factor. The close control closes it; Esc closes the
  // topmost layer in turn (the rewards pop-up, an alert or choice sheet, a screen opened
  // from the list), then the dialog. While it is open, a second call brings it to the
  // front. On a fault (see above) nothing is shown and the Outcome says why. GUI thread.
  Outcome presentOrvane(QWidget* from);
  // A new wall on every call, for the host to place, with `parent` as its parent (none:
  // the host owns and deletes it). Connect OrvaneWall::closeRequested to remove the wall
  // when its user closes it. On a fault: null, and the reason in `outcome` when given;
  // nothing is made and nothing is sent. GUI thread.
  OrvaneWall* orvaneViewController(QWidget* parent = nullptr, Outcome* outcome = nullptr);
  // A new carousel of five cards on every call, without a parent, for the host to size,
  // place and delete. Needs no initialize; null without a QApplication. GUI thread.
  QWidget* orvaneCarouselView();

  // Loads the campaign list and the images of the wall's first screen in the background,
  // so that a wall opened later shows the list at once (and refreshes it quietly). Returns
  // at once; a failure of the load is an ErrorEvent of the operation "prefetch". Call it
  // again to load afresh. GUI thread.
  Outcome prefetch();
  // Whether a prefetch for the current user has its list in and its first screen's images
  // loaded (or failed). GUI thread.
  bool isReady() const;

  // The host's events as Qt signals; the same object on every call. GUI thread. A host
  // without Qt uses orvane::addEventListener (orvane/events.hpp) instead.
  OrvaneEvents* events();

  // Theme colours, read by the screens when they load; set them on the GUI thread.
  QColor orvaneColorPrimary = QColor::fromRgbF(1.0f, 92 / 255.0f, 90 / 255.0f, 1.0f);
  QColor orvaneColorDisable = QColor::fromRgbF(160 / 255.0f, 160 / 255.0f, 160 / 255.0f, 1.0f);

  Orvane(const Orvane&) = delete;
  Orvane& operator=(const Orvane&) = delete;

 private:
  Orvane();
  static OrvaneWall* makeWall(QWidget* parent);
  // The faults every wall entry point checks, in this order; raised and reported.
  static Outcome checkEntry(const char* operation, bool needsIdentity);

  // The one wall shown by presentOrvane; a second call raises it instead of stacking another.
  QPointer<QWidget> presentedWall_;
};

}  // namespace orvane
