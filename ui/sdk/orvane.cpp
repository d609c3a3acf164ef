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

#include "core/sdk/identity.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/log.hpp"
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

bool onApplicationThread() {
  const auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

// Looked up at every call so that a store swapped in later (tests) is the one written.
std::shared_ptr<KeyValueStore> store() { return Platform::current()->store; }

// Widgets need the QApplication and its thread; without them Qt would stop the process.
bool canMakeWidgets(const char* operation) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    reportFault(std::string(operation) + ": there is no QApplication yet; make it first. Nothing shown");
    return false;
  }
  if (!onApplicationThread()) {
    reportFault(std::string(operation) + ": called off the GUI thread. Nothing shown");
    return false;
  }
  return true;
}

bool initialized(const char* operation) {
  const auto identity = readIdentity(store().get());
  if (identity.ok()) return true;
  reportFault(std::string(operation) + ": " + identity.error().description + ". Nothing shown");
  return false;
}

// The one wall shown by presentOrvane; a second call raises it instead of stacking another.
QPointer<QWidget>& presentedWall() {
  static QPointer<QWidget> wall;
  return wall;
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

OrvaneWall::OrvaneWall(QWidget* content, QWidget* parent) : QWidget(parent) {
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

OrvaneWall::~OrvaneWall() = default;

void OrvaneWall::onCloseRequested() {
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

Orvane::Orvane() { qt::QtPlatform::install(); }

Orvane& Orvane::shared() {
  static Orvane instance;
  return instance;
}

void Orvane::initialize(const std::string& mkey, const std::string& mckey, const std::string& userId) {
  auto s = store();
  s->setString(keys::kMkey, mkey);
  s->setString(keys::kMckey, mckey);
  s->setString(keys::kUserId, userId);
  s->registerDefaults({{keys::kTrackingUsage, StoreValue{true}}});
}

void Orvane::setMainTitle(const std::string& mainTitle) { store()->setString(keys::kMainTitle, mainTitle); }

void Orvane::setListType(std::int64_t listType) { store()->setInteger(keys::kListType, listType); }

void Orvane::setDebugEnabled(bool enabled) { Log::displayLog = enabled; }

void Orvane::setAge(std::int64_t age) { store()->setInteger(keys::kAge, age); }

void Orvane::setGender(const std::string& gender) { store()->setString(keys::kGender, gender); }

void Orvane::setBenefitsType(std::int64_t benefitsType) {
  store()->setInteger(keys::kBenefitsDisplayType, benefitsType);
}

void Orvane::setCopyRightVisibility(bool visibility) {
  store()->setBool(keys::kCopyrightVisibility, visibility);
}

void Orvane::setTrackingUsage(bool use) { store()->setBool(keys::kTrackingUsage, use); }

OrvaneWall* Orvane::makeWall(QWidget* parent) {
  auto storyboard = ui::Storyboard::named(QStringLiteral("OrvaneStoryboard"));
  if (!storyboard) return nullptr;
  auto* navigation = qobject_cast<ui::NavigationController*>(storyboard->instantiateInitialViewController());
  if (navigation == nullptr) return nullptr;
  return new OrvaneWall(navigation, parent);
}

void Orvane::presentOrvane(QWidget* from) {
  if (!canMakeWidgets("presentOrvane")) return;
  if (from == nullptr) {
    reportFault("presentOrvane: no host widget given. Nothing shown");
    return;
  }
  if (!initialized("presentOrvane")) return;
  if (QWidget* open = presentedWall()) {
    Log::log("Orvane presentOrvane: the wall is already shown; brought to the front", Log::Level::info());
    open->raise();
    open->activateWindow();
    return;
  }
  OrvaneWall* wall = makeWall(nullptr);
  if (wall == nullptr) return;
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
  presentedWall() = dialog;
  dialog->show();
  // Without a window manager nobody else hands the keyboard over.
  dialog->raise();
  dialog->activateWindow();
}

OrvaneWall* Orvane::orvaneViewController(QWidget* parent) {
  if (!canMakeWidgets("orvaneViewController")) return nullptr;
  if (!initialized("orvaneViewController")) return nullptr;
  return makeWall(parent);
}

QWidget* Orvane::orvaneCarouselView() {
  if (!canMakeWidgets("orvaneCarouselView")) return nullptr;
  return new ui::OrvaneCarouselView();
}

}  // namespace orvane
