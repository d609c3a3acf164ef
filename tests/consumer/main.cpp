// A host in one file: configures the SDK, makes the wall and the carousel, and quits
// once its event loop has run. Prints what it linked; fails if the wall was not made.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <orvane/api_join.hpp>
#include <orvane/image_cache.hpp>
#include <orvane/log.hpp>
#include <orvane/orvane.hpp>
#include <orvane/orvane_sdk.hpp>
#include <orvane/version.hpp>

namespace {

class CountingSink : public orvane::LogSink {
 public:
  bool accepts(orvane::LogType) const override { return true; }
  void write(orvane::LogType, std::string_view, std::string_view) override { ++lines; }
  int lines = 0;
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

  auto& sdk = orvane::Orvane::shared();
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

  QTimer::singleShot(0, &app, &QCoreApplication::quit);
  const int status = QApplication::exec();
  wall.reset();
  carousel.reset();
  orvane::Log::setSink(nullptr);
  std::printf("consumer: Orvane %s (headers %s), wall made, %zu waiting, %d log lines\n",
              orvane::orvaneVersion(), ORVANE_VERSION_STRING, waiting, sink->lines);
  return status;
}
