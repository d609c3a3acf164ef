#include "core/support/image_cache_loader.hpp"

#include <cctype>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>

#include "core/support/fetch.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace {

bool isUnreservedOrSubDelim(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~!$&'()*+,;=:@/?").find(static_cast<char>(c)) != std::string_view::npos;
}

bool isValidUrlText(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (isUnreservedOrSubDelim(c) || c == '#' || c == '[' || c == ']') continue;
    if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      continue;
    }
    return false;
  }
  return !text.empty();
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

namespace {

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

std::string ImageCacheLoader::urlForPath(const std::string& path) {
  if (isValidUrlText(path)) return path;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (isUnreservedOrSubDelim(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xf]);
    }
  }
  return out;
}

void ImageCacheLoader::obtainImageWithPath(const std::string& imagePath,
                                           const Completion& completionHandler) {
  const auto p = platform();
  // Main thread; `this` is safe here, as the loader's handles go with it.
  auto deliver = [this, imagePath, completionHandler](ImagePtr image) {
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
    file = percentDecoded(std::string_view(url).substr(7));
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
