#include "platform/qt/qt_platform.hpp"

#include <QCoreApplication>
#include <QLocale>
#include <QStandardPaths>
#include <mutex>
#include <vector>

#include "core/support/image_cache.hpp"
#include "core/support/localization.hpp"
#include "core/support/thread_pool.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/qt/qt_advertising_id.hpp"
#include "platform/qt/qt_device_info.hpp"
#include "platform/qt/qt_image_codec.hpp"
#include "platform/qt/qt_key_value_store.hpp"
#include "platform/qt/qt_log_sink.hpp"
#include "platform/qt/qt_main_queue.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"
#include "platform/qt/qt_url_opener.hpp"

namespace orvane::qt {

namespace {

// The executors of the bundles made here, for the exit below. Never destroyed: used
// while the application exits.
struct Executors {
  std::mutex mutex;
  std::vector<std::weak_ptr<ThreadPool>> pools;
};
Executors& executors() {
  static auto* all = new Executors;
  return *all;
}

std::shared_ptr<ThreadPool> makeExecutor() {
  // Two workers: the work is short and partly disk-bound, and the host's own threads
  // need the cores more.
  auto pool = std::make_shared<ThreadPool>(2);
  auto& all = executors();
  std::lock_guard lock(all.mutex);
  std::erase_if(all.pools, [](const auto& weak) { return weak.expired(); });
  all.pools.push_back(pool);
  return pool;
}

// Runs while the application object is destroyed, before static objects are: after
// it no transfer completes and no background work runs, so nothing of ours meets a
// half-destroyed library at exit.
void endBackgroundWork() {
  shutdownCurlHttpSessions();
  std::vector<std::shared_ptr<ThreadPool>> live;
  {
    auto& all = executors();
    std::lock_guard lock(all.mutex);
    for (const auto& weak : all.pools)
      if (auto pool = weak.lock()) live.push_back(std::move(pool));
    all.pools.clear();
  }
  for (const auto& pool : live) pool->shutdown();
}

}  // namespace

std::shared_ptr<Platform> QtPlatform::make() {
  if (!QCoreApplication::instance()) return nullptr;
  static std::once_flag exitHook;
  std::call_once(exitHook, [] { qAddPostRoutine(endBackgroundWork); });
  auto p = std::make_shared<Platform>();
  p->store = std::make_shared<QtKeyValueStore>();
  p->mainQueue = std::make_shared<QtMainQueue>();
  p->executor = makeExecutor();
  auto tracking = std::make_shared<QtTrackingAuthorization>(p->store);
  p->tracking = tracking;
  p->urlOpener = std::make_shared<QtUrlOpener>(p->mainQueue, tracking);
  p->advertisingId = std::make_shared<QtAdvertisingId>(tracking);
  p->device = std::make_shared<QtDeviceInfo>(p->store);
  p->clock = std::make_shared<SystemClock>();
  p->logSink = std::make_shared<QtLogSink>();
  p->http = makeCurlHttpSession();
  p->imageCodec = std::make_shared<QtImageCodec>();
  return p;
}

bool QtPlatform::install() {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  // The bare stand-in has no main queue; any other bundle was installed on purpose
  // (by an earlier call or by a test) and stays.
  if (Platform::current()->mainQueue) return true;
  auto platform = make();
  if (!platform) return false;
  Localization::setLanguage(QLocale::system().name().toStdString());
  if (const auto caches = QStandardPaths::writableLocation(QStandardPaths::CacheLocation); !caches.isEmpty())
    ImageCache::setDefaultDirectory(caches.toStdString() + "/orvane-images");
  Platform::install(std::move(platform));
  return true;
}

}  // namespace orvane::qt
