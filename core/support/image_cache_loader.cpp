#include "core/support/image_cache_loader.hpp"

#include <cctype>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>

#include "core/support/thread_pool.hpp"
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

struct ImageCacheLoader::State : std::enable_shared_from_this<State> {
  explicit State(std::shared_ptr<const Platform> p) : fixedPlatform(std::move(p)) {}
  std::shared_ptr<const Platform> platform() const {
    return fixedPlatform ? fixedPlatform : Platform::current();
  }

  void failed(const std::string& path) { Log::log("imagePath null", {path}, Log::Level::error()); }

  void deliver(const Completion& completion, ImagePtr image) {
    const auto p = platform();
    if (!p->mainQueue || !completion) return;
    p->mainQueue->post([weak = weak_from_this(), completion, image = std::move(image)] {
      if (weak.lock()) completion(image);
    });
  }

  void decoded(const std::string& path, std::string_view bytes, const Completion& completion) {
    const auto p = platform();
    auto image = p->imageCodec ? p->imageCodec->decode(bytes) : nullptr;
    if (!image) {
      Log::log("ImageCacheLoader: not an image", {path}, Log::Level::error());
      return;
    }
    cache.put(path, image);
    deliver(completion, std::move(image));
  }

  const std::shared_ptr<const Platform> fixedPlatform;
  ImageMemoryStore cache;
};

ImageCacheLoader::ImageCacheLoader(std::shared_ptr<const Platform> platform)
    : state_(std::make_shared<State>(std::move(platform))) {}

ImageCacheLoader::~ImageCacheLoader() = default;

ImageMemoryStore& ImageCacheLoader::cache() { return state_->cache; }

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
  if (auto image = state_->cache.get(imagePath)) return state_->deliver(completionHandler, std::move(image));

  const std::string url = urlForPath(imagePath);
  std::weak_ptr<State> weak = state_;
  if (startsWith(url, "http://") || startsWith(url, "https://")) {
    const auto p = state_->platform();
    if (!p->http) return state_->failed(imagePath);
    HttpRequest request;
    request.url = url;
    p->http->send(std::move(request), [weak, imagePath, completionHandler](Result<HttpResponse> result) {
      auto self = weak.lock();
      if (!self) return;
      if (!result.ok() || result.value().status < 200 || result.value().status > 299 ||
          result.value().body.empty())
        return self->failed(imagePath);
      auto body = std::make_shared<std::string>(std::move(result.value().body));
      ThreadPool::imageWorkers().post([weak, imagePath, completionHandler, body] {
        if (auto s = weak.lock()) s->decoded(imagePath, *body, completionHandler);
      });
    });
    return;
  }

  std::string file;
  if (startsWith(url, "file://")) {
    file = percentDecoded(std::string_view(url).substr(7));
  } else if (startsWith(imagePath, "/")) {
    file = imagePath;
  } else {
    return state_->failed(imagePath);  // neither a web nor a file location
  }
  ThreadPool::imageWorkers().post([weak, imagePath, file, completionHandler] {
    auto self = weak.lock();
    if (!self) return;
    const auto bytes = readFile(file);
    if (!bytes) return self->failed(imagePath);
    self->decoded(imagePath, *bytes, completionHandler);
  });
}

}  // namespace orvane
