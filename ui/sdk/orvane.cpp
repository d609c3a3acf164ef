#include "orvane/orvane.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "core/sdk/settings_keys.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/log.hpp"
#include "platform/qt/qt_platform.hpp"
#include "ui/screens/orvane_carousel_view.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/storyboard.hpp"

namespace orvane {

namespace {

// Looked up at every call so that a store swapped in later (tests) is the one written.
std::shared_ptr<KeyValueStore> store() { return Platform::current()->store; }

bool initialized(const char* operation) {
  const auto mkey = store()->string(keys::kMkey);
  if (mkey && !mkey->empty()) return true;
  Log::log(std::string("Orvane ") + operation + ": initialize(mkey, mckey, userId) has not been called yet",
           Log::Level::error());
  return false;
}

ui::NavigationController* makeWall() {
  auto storyboard = ui::Storyboard::named(QStringLiteral("OrvaneStoryboard"));
  if (!storyboard) return nullptr;
  return qobject_cast<ui::NavigationController*>(storyboard->instantiateInitialViewController());
}

constexpr int kWallWidth = 390;
constexpr int kWallHeight = 720;

}  // namespace

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

void Orvane::presentOrvane(QWidget* from) {
  if (from == nullptr) {
    Log::log("Orvane presentOrvane: no host widget given; nothing shown", Log::Level::error());
    return;
  }
  if (!initialized("presentOrvane")) return;
  if (QWidget* open = presentedWall_) {
    Log::log("Orvane presentOrvane: the wall is already shown; brought to the front", Log::Level::info());
    open->raise();
    open->activateWindow();
    return;
  }
  ui::NavigationController* wall = makeWall();
  if (wall == nullptr) return;
  QWidget* hostWindow = from->window();
  // A window of its own, modal for the host's window only: the host's other windows keep working.
  auto* window = new QWidget(hostWindow, Qt::Dialog);
  window->setObjectName(QStringLiteral("orvane_wall_window"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowModality(Qt::WindowModal);
  window->setWindowTitle(wall->navigationItem().title);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(wall);
  QObject::connect(wall, &ui::NavigationController::closeRequested, window, &QWidget::close);
  window->setMinimumSize(360, 480);
  QSize size(kWallWidth, kWallHeight);
  if (QScreen* screen = hostWindow->screen()) size = size.boundedTo(screen->availableGeometry().size());
  window->resize(size.expandedTo(window->minimumSize()));
  // Centred over the host's window.
  const QRect host = hostWindow->frameGeometry();
  window->move(host.center() - QPoint(window->width() / 2, window->height() / 2));
  presentedWall_ = window;
  window->show();
}

QWidget* Orvane::orvaneViewController() {
  initialized("orvaneViewController");
  ui::NavigationController* wall = makeWall();
  // Placed by the host: the close control hides the wall (or closes its window).
  if (wall != nullptr)
    QObject::connect(wall, &ui::NavigationController::closeRequested, wall, &QWidget::close);
  return wall;
}

QWidget* Orvane::orvaneCarouselView() { return new ui::OrvaneCarouselView(); }

}  // namespace orvane
