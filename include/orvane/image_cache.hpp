#pragma once

#include <functional>

#include "orvane/cache_type.hpp"
#include "orvane/export.hpp"

namespace orvane {
// See api_join.hpp: hosts write orvane::ImageCache.
inline namespace public_api {

// The cache of the wall's remote images (campaign icons and banners), as a host may use
// it. Every member is callable from any thread.
class ORVANE_EXPORT ImageCache {
 public:
  // The cache every screen of the SDK uses, created on first use.
  static ImageCache& defaultCache();

  // Where images stored from now on go: `disk` (files of the cache's own folder in the
  // user's cache directory, the default) or `ram` (memory only).
  CacheType cacheType() const;
  void setCacheType(CacheType type);

  // Empties the memory store; when the last cleanup is more than 30 days old, also
  // deletes the cache's files (in the background) and records the time in the host's
  // settings. `done`, if given, then runs on the GUI thread.
  void clearLocalCache(std::function<void()> done = {});

  ~ImageCache() = default;
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

 private:
  ImageCache() = default;
};

}  // namespace public_api
}  // namespace orvane
