#include "orvane/orvane.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <mutex>

#include "core/api/query.hpp"
#include "core/screens/prefetch.hpp"
#include "core/sdk/host_events.hpp"
#include "core/sdk/identity.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/qt/qt_key_value_store.hpp"
#include "platform/qt/qt_platform.hpp"
#include "ui/screens/orvane_carousel_view.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/storyboard.hpp"
#include "ui/sdk/wall_placement.hpp"

namespace orvane {

namespace {

// A fault of the host's integration: the log is off unless the host turned it on,
// so it goes to standard error as well.
void reportFault(const std::string& text) {
  const std::string line = "Orvane " + text;
  std::fprintf(stderr, "%s\n", line.c_str());
  Log::log(line, Log::Level::error());
}

int faultCode(Fault fault) {
  switch (fault) {
    case Fault::notInitialized:
      return error_code::notInitialized;
    case Fault::invalidBaseUrl:
      return error_code::invalidBaseUrl;
    case Fault::noApplication:
      return error_code::noApplication;
    case Fault::noHostWidget:
      return error_code::noHostWidget;
    case Fault::offGuiThread:
      return error_code::offGuiThread;
    case Fault::noResources:
      return error_code::noResources;
    case Fault::none:
      break;
  }
  return error_code::other;
}

// A configuration fault reaches the host three ways: the entry point's result, an error
// event, and standard error with the log.
Outcome fault(Fault kind, const char* operation, const std::string& text) {
  reportFault(std::string(operation) + ": " + text);
  HostEvents::shared().raise(ErrorEvent{operation, faultCode(kind), text});
  return Outcome{kind, text};
}

// --- The desktop platform of a facade made before the application.
//
// Until the QApplication exists there is no platform: the process has the in-memory
// stand-in store and no HTTP session, so nothing can be sent. What the host writes
// meanwhile is kept there and moves into its settings as soon as the desktop platform
// is installed: at the facade's first call on the GUI thread once the application
// exists, or when its event loop first runs, whichever comes first. An application
// that ends before either still gets the values written to its settings.
struct Bootstrap {
  std::mutex mutex;  // facade writes and the hand-over, one at a time
  bool waiting = false;
  bool posted = false;
  bool trackingDefault = false;  // initialize has run in this process
  std::shared_ptr<KeyValueStore> early;
};

// Never destroyed: the application's exit routine may run during static destruction.
Bootstrap& bootstrap() {
  static auto* b = new Bootstrap;
  return *b;
}

bool onApplicationThread() {
  const auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void copyEarlyValues(const Bootstrap& b, KeyValueStore& into) {
  if (const auto* memory = dynamic_cast<const MemoryKeyValueStore*>(b.early.get()))
    for (const auto& [key, value] : memory->persisted()) into.setObject(key, value);
  if (b.trackingDefault) into.registerDefaults({{keys::kTrackingUsage, StoreValue{true}}});
}

void installLocked(Bootstrap& b);

void scheduleInstall(Bootstrap& b) {
  auto* app = QCoreApplication::instance();
  if (app == nullptr || b.posted) return;
  b.posted = true;
  QMetaObject::invokeMethod(
      app,
      [] {
        auto& boot = bootstrap();
        std::lock_guard lock(boot.mutex);
        boot.posted = false;
        installLocked(boot);
      },
      Qt::QueuedConnection);
}

void installLocked(Bootstrap& b) {
  if (!b.waiting) return;
  if (!onApplicationThread()) {
    // Qt objects of the platform belong to the GUI thread.
    scheduleInstall(b);
    return;
  }
  if (!qt::QtPlatform::install()) return;
  b.waiting = false;
  const auto platform = Platform::current();
  if (platform->store && platform->store != b.early) copyEarlyValues(b, *platform->store);
  b.early.reset();
  Log::log(
      "Orvane: the desktop platform is installed; settings written before the application "
      "existed are kept",
      Log::Level::info());
}

// Runs in the QCoreApplication constructor (or at once, when it exists already).
void applicationCreated() {
  auto& b = bootstrap();
  std::lock_guard lock(b.mutex);
  if (b.waiting) scheduleInstall(b);
}

// Runs while the application object goes: the settings of a facade still waiting
// reach the host's settings store all the same.
void applicationEnding() {
  auto& b = bootstrap();
  std::lock_guard lock(b.mutex);
  b.posted = false;  // a call still queued goes with the application
  if (!b.waiting) return;
  qt::QtKeyValueStore settings;
  copyEarlyValues(b, settings);
  settings.sync();
}

// Every facade call starts here; the lock keeps a write from slipping between the
// early store's copy and the platform's installation.
std::unique_lock<std::mutex> ready() {
  auto& b = bootstrap();
  std::unique_lock lock(b.mutex);
  if (b.waiting && QCoreApplication::instance() != nullptr) installLocked(b);
  return lock;
}

// Looked up at every call so that a store swapped in later (tests) is the one written.
std::shared_ptr<KeyValueStore> store() { return Platform::current()->store; }

// Widgets need the QApplication and its thread; without them Qt would stop the process.
Outcome canMakeWidgets(const char* operation) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return fault(Fault::noApplication, operation,
                 "there is no QApplication yet; make it first. Nothing shown");
  if (!onApplicationThread())
    return fault(Fault::offGuiThread, operation, "called off the GUI thread. Nothing shown");
  return {};
}

Outcome initialized(const char* operation) {
  const auto identity = readIdentity(store().get());
  if (!identity.ok())
    return fault(Fault::notInitialized, operation, identity.error().description + ". Nothing shown");
  // A host's server address that does not parse would fail every request of the wall.
  if (const auto& host = OrvaneSDK::shared().hostUrl) {
    if (const auto base = BaseUrl::parse(*host); !base.ok())
      return fault(Fault::invalidBaseUrl, operation,
                   "OrvaneSDK::hostUrl: " + base.error().description + ". Nothing shown");
  }
  return {};
}

// The presented wall's window. Esc reaches the wall's container first, which closes
// the topmost layer; only a key that reaches the dialog itself (nothing inside has
// the focus) lands in reject(), and goes the same way.
class WallDialog : public QDialog {
 public:
  WallDialog(QWidget* hostWindow, ui::NavigationController* navigation)
      : QDialog(hostWindow), navigation_(navigation) {}

  void reject() override {
    if (closing_ || !navigation_) {
      QDialog::reject();
      return;
    }
    navigation_->handleEscape();
  }

 protected:
  // The window's own close (the title bar's button, close()): the whole wall goes.
  void closeEvent(QCloseEvent* event) override {
    closing_ = true;
    QDialog::closeEvent(event);
    if (!event->isAccepted()) closing_ = false;
  }

 private:
  QPointer<ui::NavigationController> navigation_;
  bool closing_ = false;
};

}  // namespace

// --- OrvaneWall

OrvaneWall::OrvaneWall(QWidget* content, quint64 id, QWidget* parent) : QWidget(parent), id_(id) {
  setObjectName(QStringLiteral("orvane_wall"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(content);
  if (auto* navigation = qobject_cast<ui::NavigationController*>(content)) {
    if (auto* root = navigation->rootViewController()) setWindowTitle(root->navigationItem().title);
    connect(navigation, &ui::NavigationController::closeRequested, this, &OrvaneWall::onCloseRequested);
  }
  setFocusProxy(content);
}

OrvaneWall::~OrvaneWall() { raiseClosed(); }

void OrvaneWall::raiseClosed() {
  if (std::exchange(closed_, true)) return;
  HostEvents::shared().raise(WallClosed{id_});
}

void OrvaneWall::onCloseRequested() {
  raiseClosed();
  if (isWindow()) {
    close();
  } else if (!isSignalConnected(QMetaMethod::fromSignal(&OrvaneWall::closeRequested))) {
    reportFault(
        "OrvaneWall: close was pressed, but the host has not connected closeRequested; "
        "connect it to remove the wall from its window");
  }
  emit closeRequested();
}

// --- Orvane

Orvane::Orvane() {
  auto& b = bootstrap();
  {
    std::lock_guard lock(b.mutex);
    if (onApplicationThread() && qt::QtPlatform::install()) return;
    // A platform installed on purpose (a test's) stays.
    if (Platform::current()->mainQueue) return;
    // Made before the application, or off its thread: kept in memory until the
    // platform can be installed on the GUI thread.
    b.waiting = true;
    b.early = Platform::current()->store;
    scheduleInstall(b);
  }
  // Outside the lock: with the application already made, the routine runs at once.
  qAddPreRoutine(applicationCreated);
  qAddPostRoutine(applicationEnding);
}

Orvane& Orvane::shared() {
  static Orvane instance;
  return instance;
}

void Orvane::initialize(const std::string& mkey, const std::string& mckey, const std::string& userId) {
  const auto lock = ready();
  auto s = store();
  s->setString(keys::kMkey, mkey);
  s->setString(keys::kMckey, mckey);
  s->setString(keys::kUserId, userId);
  s->registerDefaults({{keys::kTrackingUsage, StoreValue{true}}});
  bootstrap().trackingDefault = true;
}

void Orvane::setMainTitle(const std::string& mainTitle) {
  const auto lock = ready();
  store()->setString(keys::kMainTitle, mainTitle);
}

void Orvane::setListType(std::int64_t listType) {
  const auto lock = ready();
  store()->setInteger(keys::kListType, listType);
}

void Orvane::setDebugEnabled(bool enabled) { Log::displayLog = enabled; }

void Orvane::setAge(std::int64_t age) {
  const auto lock = ready();
  store()->setInteger(keys::kAge, age);
}

void Orvane::setGender(const std::string& gender) {
  const auto lock = ready();
  store()->setString(keys::kGender, gender);
}

void Orvane::setBenefitsType(std::int64_t benefitsType) {
  const auto lock = ready();
  store()->setInteger(keys::kBenefitsDisplayType, benefitsType);
}

void Orvane::setCopyRightVisibility(bool visibility) {
  const auto lock = ready();
  store()->setBool(keys::kCopyrightVisibility, visibility);
}

void Orvane::setTrackingUsage(bool use) {
  const auto lock = ready();
  store()->setBool(keys::kTrackingUsage, use);
}

OrvaneWall* Orvane::makeWall(QWidget* parent) {
  auto services = ui::Services::shared();
  services.wall = HostEvents::nextWallId();
  // Before the screens are made: the list screen may report a prefetched list at once.
  HostEvents::shared().raise(WallOpened{services.wall});
  auto storyboard = ui::Storyboard::named(QStringLiteral("OrvaneStoryboard"), services);
  auto* navigation =
      storyboard ? qobject_cast<ui::NavigationController*>(storyboard->instantiateInitialViewController())
                 : nullptr;
  if (navigation == nullptr) {
    HostEvents::shared().raise(WallClosed{services.wall});
    return nullptr;
  }
  return new OrvaneWall(navigation, services.wall, parent);
}

Outcome Orvane::checkEntry(const char* operation, bool needsIdentity) {
  { const auto lock = ready(); }
  if (auto widgets = canMakeWidgets(operation); !widgets) return widgets;
  if (needsIdentity) return initialized(operation);
  return {};
}

Outcome Orvane::presentOrvane(QWidget* from) {
  { const auto lock = ready(); }
  if (auto widgets = canMakeWidgets("presentOrvane"); !widgets) return widgets;
  if (from == nullptr)
    return fault(Fault::noHostWidget, "presentOrvane", "no host widget given. Nothing shown");
  if (auto identity = initialized("presentOrvane"); !identity) return identity;
  if (QWidget* open = presentedWall_) {
    Log::log("Orvane presentOrvane: the wall is already shown; brought to the front", Log::Level::info());
    open->raise();
    open->activateWindow();
    return {};
  }
  OrvaneWall* wall = makeWall(nullptr);
  if (wall == nullptr)
    return fault(Fault::noResources, "presentOrvane", "the wall's screens could not be made");
  QWidget* hostWindow = from->window();
  // Modal for the host's window only: the host's other windows keep working.
  auto* dialog = new WallDialog(hostWindow, wall->findChild<ui::NavigationController*>());
  dialog->setObjectName(QStringLiteral("orvane_wall_window"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setWindowTitle(wall->windowTitle());
  dialog->setSizeGripEnabled(false);
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(wall);
  QObject::connect(wall, &OrvaneWall::closeRequested, dialog, &QWidget::close);

  QScreen* screen = hostWindow->screen() ? hostWindow->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 390, 720);
  const QRect hostFrame = hostWindow->frameGeometry();
  const QRect hostClient = hostWindow->geometry();
  // The host's own decorations tell what the desktop will add to this window.
  const QMargins frame =
      hostWindow->isVisible()
          ? QMargins(hostClient.left() - hostFrame.left(), hostClient.top() - hostFrame.top(),
                     hostFrame.right() - hostClient.right(), hostFrame.bottom() - hostClient.bottom())
          : QMargins();
  const auto placement = ui::placeWall(hostWindow->isVisible() ? hostFrame : QRect(), available, frame);
  dialog->setMinimumSize(placement.minimum);
  dialog->resize(placement.size);
  dialog->move(placement.framePosition);
  presentedWall_ = dialog;
  dialog->show();
  // Without a window manager nobody else hands the keyboard over.
  dialog->raise();
  dialog->activateWindow();
  return {};
}

OrvaneWall* Orvane::orvaneViewController(QWidget* parent, Outcome* outcome) {
  Outcome result = checkEntry("orvaneViewController", true);
  OrvaneWall* wall = nullptr;
  if (result) {
    wall = makeWall(parent);
    if (wall == nullptr)
      result = fault(Fault::noResources, "orvaneViewController", "the wall's screens could not be made");
  }
  if (outcome != nullptr) *outcome = std::move(result);
  return wall;
}

QWidget* Orvane::orvaneCarouselView() {
  if (!checkEntry("orvaneCarouselView", false)) return nullptr;
  return new ui::OrvaneCarouselView();
}

Outcome Orvane::prefetch() {
  if (auto entry = checkEntry("prefetch", true); !entry) return entry;
  Prefetch::shared().start();
  return {};
}

bool Orvane::isReady() const { return Prefetch::shared().isReady(); }

OrvaneEvents* Orvane::events() {
  // Never destroyed: hosts connect to it for the life of the process.
  static auto* events = new OrvaneEvents();
  return events;
}

}  // namespace orvane
