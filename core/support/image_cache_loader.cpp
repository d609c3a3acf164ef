#include "core/support/image_cache_loader.hpp"

#include <optional>
#include <string_view>
#include <utility>

#include "core/support/fetch.hpp"
#include "core/support/files.hpp"
#include "core/support/url.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void failed(const std::string& path) { Log::log("imagePath null", {path}, Log::Level::error()); }

// Executor work: no member of the loader is touched here.
ImagePtr decodeImage(const std::shared_ptr<ImageCodec>& codec, const std::string& path,
                     std::string_view bytes) {
  auto image = codec ? codec->decode(bytes) : nullptr;
  if (!image) Log::log("ImageCacheLoader: not an image", {path}, Log::Level::error());
  return image;
}

}  // namespace

ImageCacheLoader::ImageCacheLoader(std::shared_ptr<const Platform> platform)
    : fixedPlatform_(std::move(platform)) {}

ImageCacheLoader::~ImageCacheLoader() = default;

std::shared_ptr<const Platform> ImageCacheLoader::platform() const {
  return fixedPlatform_ ? fixedPlatform_ : Platform::current();
}

ImageMemoryStore& ImageCacheLoader::cache() { return cache_; }

std::string ImageCacheLoader::urlForPath(const std::string& path) { return asUrlText(path); }

void ImageCacheLoader::obtainImageWithPath(const std::string& imagePath,
                                           const Completion& completionHandler) {
  const auto p = platform();
  // Main thread; `this` is safe here, as the loader's handles go with it.
  auto deliver = [this, imagePath, completionHandler](const ImagePtr& image) {
    if (!image) return;
    cache_.put(imagePath, image);
    if (completionHandler) completionHandler(image);
  };
  if (auto image = cache_.get(imagePath)) {
    requests_.add(inBackground(
        *p, [image] { return image; }, deliver));
    return;
  }

  const std::string url = urlForPath(imagePath);
  if (startsWith(url, "http://") || startsWith(url, "https://")) {
    if (!p->http) return failed(imagePath);
    HttpRequest request;
    request.url = url;
    requests_.add(fetch<Result<HttpResponse>>(
        *p, [&](auto done) { return p->http->send(std::move(request), std::move(done)); },
        [codec = p->imageCodec, imagePath](Result<HttpResponse>& result) -> ImagePtr {
          if (!result.ok() || result.value().status < 200 || result.value().status > 299 ||
              result.value().body.empty()) {
            failed(imagePath);
            return nullptr;
          }
          return decodeImage(codec, imagePath, result.value().body);
        },
        deliver));
    return;
  }

  std::string file;
  if (startsWith(url, "file://")) {
    file = percentDecode(std::string_view(url).substr(7));
  } else if (startsWith(imagePath, "/")) {
    file = imagePath;
  } else {
    return failed(imagePath);  // neither a web nor a file location
  }
  requests_.add(inBackground(
      *p,
      [codec = p->imageCodec, imagePath, file]() -> ImagePtr {
        const auto bytes = readFile(file);
        if (!bytes) {
          failed(imagePath);
          return nullptr;
        }
        return decodeImage(codec, imagePath, *bytes);
      },
      deliver));
}

}  // namespace orvane
