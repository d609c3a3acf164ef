#include "core/support/image_cache_loader.hpp"

#include <optional>
#include <string_view>
#include <utility>

#include "core/support/fetch.hpp"
#include "core/support/files.hpp"
#include "core/support/image_bounds.hpp"
#include "core/support/url.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace {

void failed(const std::string& path) { Log::log("imagePath null", {path}, Log::Level::error()); }

// Executor work: no member of the loader is touched here.
ImagePtr decodeImage(const std::shared_ptr<ImageCodec>& codec, const std::string& path,
                     std::string_view bytes) {
  if (!codec) return nullptr;
  auto image = decodeWithinBounds(*codec, bytes);
  if (!image.ok()) {
    Log::log("ImageCacheLoader: image refused:", {path, image.error().description}, Log::Level::error());
    return nullptr;
  }
  return image.value();
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> ImageCacheLoader::localPath(const std::string& path) {
  std::string file;
  if (startsWithNoCase(path, "file:")) {
    std::string_view rest = std::string_view(path).substr(5);
    if (rest.starts_with("//")) {
      // Only this machine: file:///p or file://localhost/p.
      rest.remove_prefix(2);
      const auto slash = rest.find('/');
      if (slash == std::string_view::npos) return std::nullopt;
      const auto host = rest.substr(0, slash);
      if (!host.empty() && !startsWithNoCase(host, "localhost")) return std::nullopt;
      if (host.size() > std::string_view("localhost").size()) return std::nullopt;
      rest.remove_prefix(slash);
    }
    // Query and fragment are no part of a file's name.
    rest = rest.substr(0, rest.find_first_of("?#"));
    file = percentDecode(rest);
  } else {
    file = path;
  }
  if (file.empty() || file.front() != '/' || file.find('\0') != std::string::npos) return std::nullopt;
  return file;
}

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

  if (const auto url = webUrl(imagePath)) {
    if (!p->http) return failed(imagePath);
    HttpRequest request;
    request.url = *url;
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

  const auto file = localPath(imagePath);
  if (!file) {
    Log::log("ImageCacheLoader: neither a web address nor a local file:", {imagePath}, Log::Level::error());
    return failed(imagePath);
  }
  requests_.add(inBackground(
      *p,
      [codec = p->imageCodec, imagePath, file = *file]() -> ImagePtr {
        // A regular file within the image limit only: no FIFO, device or endless file.
        auto bytes = readRegularFile(file, kMaxEncodedImageBytes);
        if (!bytes.ok()) {
          Log::log("ImageCacheLoader:", {bytes.error().description}, Log::Level::error());
          failed(imagePath);
          return nullptr;
        }
        return decodeImage(codec, imagePath, bytes.value());
      },
      deliver));
}

}  // namespace orvane
