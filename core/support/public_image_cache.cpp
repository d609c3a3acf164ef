// The public ImageCache over the internal one; see public_api_join.cpp for the order of
// the includes.
#include <utility>

#include "core/support/image_cache.hpp"

namespace orvane::internal {
using Images = ::orvane::ImageCache;
}  // namespace orvane::internal

#include "orvane/image_cache.hpp"

namespace orvane {
inline namespace public_api {

ImageCache& ImageCache::defaultCache() {
  static ImageCache instance;
  return instance;
}

CacheType ImageCache::cacheType() const { return internal::Images::defaultCache().cacheType(); }

void ImageCache::setCacheType(CacheType type) { internal::Images::defaultCache().setCacheType(type); }

void ImageCache::clearLocalCache(std::function<void()> done) {
  internal::Images::defaultCache().clearLocalCache(std::move(done));
}

}  // namespace public_api
}  // namespace orvane
