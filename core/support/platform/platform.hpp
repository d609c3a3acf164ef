#pragma once

#include <memory>

#include "core/support/platform/advertising_id.hpp"
#include "core/support/platform/clock.hpp"
#include "core/support/platform/device_info.hpp"
#include "core/support/platform/executor.hpp"
#include "core/support/platform/http_session.hpp"
#include "core/support/platform/image_codec.hpp"
#include "core/support/platform/key_value_store.hpp"
#include "core/support/platform/log_sink.hpp"
#include "core/support/platform/main_queue.hpp"
#include "core/support/platform/tracking_authorization.hpp"
#include "core/support/platform/url_opener.hpp"

namespace orvane {

// The services the core leans on, handed to the objects that need them. Alerts are
// not here: an `AlertHost` is a screen, passed by whoever shows the alert.
struct Platform {
  std::shared_ptr<KeyValueStore> store;
  std::shared_ptr<MainQueue> mainQueue;
  // Decoding, sorting and image work; the transport's worker only moves bytes.
  std::shared_ptr<Executor> executor;
  std::shared_ptr<HttpSession> http;
  std::shared_ptr<UrlOpener> urlOpener;
  std::shared_ptr<AdvertisingId> advertisingId;
  std::shared_ptr<TrackingAuthorization> tracking;
  std::shared_ptr<DeviceInfo> device;
  std::shared_ptr<ImageCodec> imageCodec;
  std::shared_ptr<Clock> clock;
  std::shared_ptr<LogSink> logSink;

  // The bundle the process-wide objects use. The Qt layer installs its own on first
  // use of the facade; tests install fakes. Never null: before anything is
  // installed it holds an in-memory store, the system clock and no other service.
  static std::shared_ptr<const Platform> current();
  static void install(std::shared_ptr<const Platform> platform);
};

}  // namespace orvane
