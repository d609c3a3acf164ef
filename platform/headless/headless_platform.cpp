#include "platform/headless/headless_platform.hpp"

#include <cstdio>

#include "platform/curl/curl_http_session.hpp"
#include "platform/headless/raster_image_codec.hpp"

namespace orvane::headless {

void StderrLogSink::write(LogType /*type*/, std::string_view category, std::string_view message) {
  std::fprintf(stderr, "orvane %.*s %.*s\n", static_cast<int>(category.size()), category.data(),
               static_cast<int>(message.size()), message.data());
}

HeadlessPlatform HeadlessPlatform::make(HeadlessOptions options) {
  HeadlessPlatform made;
  auto p = std::make_shared<Platform>();
  std::filesystem::path path;
  if (!options.settingsInMemory) {
    path = options.settingsPath.empty() ? FileKeyValueStore::defaultPath() : options.settingsPath;
  }
  made.store = std::make_shared<FileKeyValueStore>(path);
  p->store = made.store;
  made.queue = std::make_shared<PumpMainQueue>(std::move(options.wake));
  p->mainQueue = made.queue;
  made.pool = std::make_shared<ThreadPool>(std::max<std::size_t>(options.workerThreads, 1));
  p->executor = made.pool;
  p->http = makeCurlHttpSession();
  const bool asks = static_cast<bool>(options.askTracking);
  made.tracking = std::make_shared<HeadlessTracking>(p->store, std::move(options.askTracking));
  if (asks) p->tracking = made.tracking;  // none: the flow does not ask
  p->advertisingId = made.tracking;
  HeadlessUrlOpener::Options opener;
  opener.hostOpen = std::move(options.hostOpen);
  opener.privacySettings = std::move(options.privacySettings);
  p->urlOpener = std::make_shared<HeadlessUrlOpener>(p->mainQueue, std::move(opener));
  p->device = std::make_shared<HeadlessDeviceInfo>(p->store, std::move(options.systemVersion),
                                                   std::move(options.machine));
  p->imageCodec = std::make_shared<RasterImageCodec>();
  p->clock = std::make_shared<SystemClock>();
  p->logSink = options.logSink ? std::move(options.logSink) : std::make_shared<StderrLogSink>();
  made.platform = std::move(p);
  return made;
}

void HeadlessPlatform::shutdown() {
  if (pool) pool->shutdown();
  if (queue) queue->close();
  if (store) store->flush();
}

}  // namespace orvane::headless
