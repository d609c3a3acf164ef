// A host in one file: configures the SDK, makes the wall and the carousel, listens to
// the events both ways (a listener and the Qt signals), and quits once the wall has
// reported its list (it fails to load: nothing listens at the address). Prints what it
// linked; fails if the wall was not made or an event did not arrive.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <orvane/api_join.hpp>
#include <orvane/events.hpp>
#include <orvane/image_cache.hpp>
#include <orvane/log.hpp>
#include <orvane/orvane.hpp>
#include <orvane/orvane_events.hpp>
#include <orvane/orvane_sdk.hpp>
#include <orvane/version.hpp>

namespace {

class CountingSink : public orvane::LogSink {
 public:
  bool accepts(orvane::LogType) const override { return true; }
  void write(orvane::LogType, std::string_view, std::string_view) override { ++lines; }
  int lines = 0;
};

class Events : public orvane::EventListener {
 public:
  void onWallOpened(const orvane::WallOpened& /*event*/) override { ++opened; }
  void onListLoaded(const orvane::ListLoaded& /*event*/) override { listDone(); }
  void onListFailed(const orvane::ListFailed& /*event*/) override { listDone(); }
  int opened = 0;
  bool listed = false;

 private:
  void listDone() {
    listed = true;
    QCoreApplication::quit();
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("OrvaneConsumer");
  QApplication::setApplicationName("consumer");

  auto sink = std::make_shared<CountingSink>();
  orvane::Log::setSink(sink);
  // Nothing listens here: the wall's first request is refused at once and never leaves
  // the machine.
  orvane::OrvaneSDK::shared().hostUrl = "http://127.0.0.1:9/v1";
  orvane::OrvaneSDK::shared().hostPartnerUrl = "http://127.0.0.1:9/api";

  auto events = std::make_shared<Events>();
  orvane::addEventListener(events);
  int signalled = 0;
  auto& sdk = orvane::Orvane::shared();
  QObject::connect(sdk.events(), &orvane::OrvaneEvents::wallOpened, &app, [&signalled] { ++signalled; });
  sdk.initialize("consumer-mkey", "consumer-mckey", "consumer-user");
  sdk.setDebugEnabled(true);
  sdk.setListType(orvane::Orvane::TYPE_LIST_NATIVE);

  std::unique_ptr<orvane::OrvaneWall> wall(sdk.orvaneViewController());
  std::unique_ptr<QWidget> carousel(sdk.orvaneCarouselView());
  if (!wall || !carousel) {
    std::fprintf(stderr, "consumer: the SDK made no wall\n");
    return 1;
  }
  wall->show();
  orvane::ImageCache::defaultCache().setCacheType(orvane::CacheType::ram);
  const auto waiting = orvane::ApiJoin::shared().getPartiConfirmList().size();

  // A bound only: the refused request ends the wait long before.
  QTimer::singleShot(60'000, &app, &QCoreApplication::quit);
  const int status = QApplication::exec();
  wall.reset();
  carousel.reset();
  orvane::removeEventListener(events.get());
  orvane::Log::setSink(nullptr);
  if (events->opened != 1 || signalled != 1 || !events->listed) {
    std::fprintf(stderr, "consumer: events missing (opened %d, signalled %d, list %s)\n", events->opened,
                 signalled, events->listed ? "reported" : "not reported");
    return 1;
  }
  std::printf("consumer: Orvane %s (headers %s), wall made, events heard, %zu waiting, %d log lines\n",
              orvane::orvaneVersion(), ORVANE_VERSION_STRING, waiting, sink->lines);
  return status;
}
