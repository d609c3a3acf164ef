#include "core/support/image_cache.hpp"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "core/support/files.hpp"
#include "core/support/image_bounds.hpp"
#include "core/support/image_memory_store.hpp"
#include "core/support/scale_to_fit.hpp"
#include "core/support/url.hpp"
#include "orvane/log.hpp"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFileName = 255;

std::mutex& defaultDirectoryMutex() {
  static std::mutex m;
  return m;
}

fs::path& configuredDefaultDirectory() {
  static fs::path p;
  return p;
}

std::string hexOf(std::uint64_t v) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, v >>= 4) out[static_cast<std::size_t>(i)] = kHex[v & 0xf];
  return out;
}

// Two FNV-1a passes (forwards and backwards, different bases): stable across builds,
// which the file names must be, and 128 bits against accidental collisions.
std::string stableHash(std::string_view text) {
  constexpr std::uint64_t kPrime = 0x100000001b3ULL;
  std::uint64_t a = 0xcbf29ce484222325ULL;
  std::uint64_t b = 0x84222325cbf29ce4ULL;
  for (unsigned char c : text) a = (a ^ c) * kPrime;
  for (auto it = text.rbegin(); it != text.rend(); ++it) b = (b ^ static_cast<unsigned char>(*it)) * kPrime;
  return hexOf(a) + hexOf(b);
}

}  // namespace

// A download in flight, with the loads of the same key that wait for it.
struct WorkItem {
  struct Follower {
    std::string url;
    std::optional<Size> fitSize;
    ImageCache::Completion completion;
  };
  std::vector<Follower> followers;  // guarded by Impl::mutex
  RequestHandle transfer;           // set once by the load that started the download
};

struct ImageCache::Impl : std::enable_shared_from_this<Impl> {
  Impl(std::shared_ptr<const Platform> p, fs::path dir)
      : fixedPlatform(std::move(p)), fixedDirectory(std::move(dir)) {}
  ~Impl() {
    // Nobody uses the cache any more: its downloads in flight are cancelled.
    for (auto& [key, item] : workItems) item->transfer.reset();
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  std::shared_ptr<const Platform> platform() const {
    return fixedPlatform ? fixedPlatform : Platform::current();
  }
  fs::path directory() const {
    return fixedDirectory.empty() ? ImageCache::defaultDirectory() : fixedDirectory;
  }
  Clock::time_point now() const {
    const auto p = platform();
    return p->clock ? p->clock->now() : Clock::now();
  }

  // Image work goes to the platform's executor.
  void post(std::function<void(Impl&)> work) {
    runOffMain(platform()->executor, [weak = weak_from_this(), work = std::move(work)] {
      if (auto self = weak.lock()) work(*self);
    });
  }

  void deliver(const Completion& completion, const std::string& url, ImagePtr image) {
    if (!completion) return;
    const auto p = platform();
    if (!p->mainQueue) {
      Log::log("ImageCache: no main queue to deliver", {url}, Log::Level::error());
      return;
    }
    p->mainQueue->post([weak = weak_from_this(), completion, url, image = std::move(image)] {
      // A cache destroyed meanwhile delivers nothing.
      if (weak.lock()) completion(url, image);
    });
  }

  ImagePtr lookup(const std::string& key, std::optional<Size> fitSize) {
    if (auto image = images.get(key)) return image;
    const auto p = platform();
    if (!p->imageCodec) return nullptr;
    const auto bytes = readRegularFile(fileFor(key), kMaxEncodedImageBytes);
    if (!bytes.ok()) {
      // No file is the usual miss; anything else in the cache's folder is worth a line.
      if (bytes.error().code != ENOENT)
        Log::log("ImageCache: cannot read", {bytes.error().description}, Log::Level::error());
      return nullptr;
    }
    auto image = decodeWithinBounds(*p->imageCodec, bytes.value());
    if (!image.ok()) {
      Log::log("ImageCache: stored image refused:", {key, image.error().description}, Log::Level::error());
      return nullptr;
    }
    return fitSize ? scaleToFit(*p->imageCodec, image.value(), *fitSize) : image.value();
  }

  fs::path fileFor(const std::string& key) const { return directory() / ImageCache::fileNameForKey(key); }

  void writeFile(const std::string& key, std::string_view bytes) {
    if (auto error = writeFileAtomically(fileFor(key), bytes))
      Log::log("Error write file", {*error}, Log::Level::error());
  }

  // Stores downloaded bytes; `decoded` spares decoding them again in ram mode.
  void storeData(std::string_view bytes, const std::string& key, ImagePtr decoded) {
    if (type.load() == CacheType::ram) {
      if (!decoded) {
        const auto p = platform();
        if (!p->imageCodec) return;
        auto image = decodeWithinBounds(*p->imageCodec, bytes);
        if (!image.ok()) {
          Log::log("ImageCache: image not stored:", {key, image.error().description}, Log::Level::error());
          return;
        }
        decoded = image.value();
      }
      images.put(key, std::move(decoded));
    } else {
      writeFile(key, bytes);
    }
  }

  void runLoad(const std::string& url, const std::string& key, std::optional<Size> fitSize,
               const Completion& completion) {
    if (auto image = lookup(key, fitSize)) return deliver(completion, url, std::move(image));
    std::shared_ptr<WorkItem> item;
    {
      std::lock_guard lock(mutex);
      if (auto it = workItems.find(key); it != workItems.end()) {
        it->second->followers.push_back({url, fitSize, completion});
        return;
      }
      item = std::make_shared<WorkItem>();
      workItems.emplace(key, item);
    }
    // A download that ended since the first look-up has stored its result by now.
    if (auto image = lookup(key, fitSize)) {
      deliver(completion, url, image);
      return finish(key, item, true);
    }
    download(url, key, item, completion);  // delivered at full size
  }

  void download(const std::string& url, const std::string& key, const std::shared_ptr<WorkItem>& item,
                const Completion& completion) {
    const auto p = platform();
    if (!p->http || !p->imageCodec) {
      Log::log("ImageCache: no HTTP session or image codec for", {url}, Log::Level::error());
      return finish(key, item, false);
    }
    HttpRequest request;
    request.url = webUrl(url).value_or(url);  // load() let only web addresses in
    item->transfer = p->http->send(std::move(request), [weak = weak_from_this(), url, key, item,
                                                        completion](Result<HttpResponse> result) {
      auto self = weak.lock();
      if (!self) return;
      // Decoding and storing are the executor's work: the transport only moves bytes.
      auto shared = std::make_shared<Result<HttpResponse>>(std::move(result));
      self->post([url, key, item, completion, shared](Impl& impl) {
        impl.downloaded(url, key, item, completion, *shared);
      });
    });
  }

  void downloaded(const std::string& url, const std::string& key, const std::shared_ptr<WorkItem>& item,
                  const Completion& completion, const Result<HttpResponse>& result) {
    ImagePtr image;
    std::string failure;
    if (!result.ok()) {
      failure = result.error().description;
    } else if (result.value().status < 200 || result.value().status > 299) {
      failure = "HTTP " + std::to_string(result.value().status);
    } else if (const auto p = platform(); p->imageCodec) {
      auto decoded = decodeWithinBounds(*p->imageCodec, result.value().body);
      if (decoded.ok()) {
        image = decoded.value();
      } else {
        failure = decoded.error().description;
      }
    }
    if (!image) {
      finish(key, item, false);
      // Logged after the entry is gone: whoever reads this may load again at once.
      Log::log("ImageCache download failed", {url, failure}, Log::Level::error());
      return;
    }
    deliver(completion, url, image);
    storeData(result.value().body, key, image);
    finish(key, item, true, image);
  }

  // Ends a work item: later loads start afresh, and the waiting ones are answered from
  // the store (or, if storing failed, from the fresh image) when `ok`.
  void finish(const std::string& key, const std::shared_ptr<WorkItem>& item, bool ok,
              const ImagePtr& fresh = nullptr) {
    std::vector<WorkItem::Follower> followers;
    {
      std::lock_guard lock(mutex);
      if (auto it = workItems.find(key); it != workItems.end() && it->second == item) workItems.erase(it);
      followers.swap(item->followers);
    }
    if (!ok) {
      if (!followers.empty())
        Log::log("ImageCache: loads waiting for a failed download get nothing:", {key}, Log::Level::error());
      return;
    }
    // Waiting loads often share a size: read and scale once per size.
    std::vector<std::pair<std::optional<Size>, ImagePtr>> bySize;
    for (auto& f : followers) {
      ImagePtr image;
      bool found = false;
      for (auto& [size, img] : bySize) {
        if (size == f.fitSize) {
          image = img;
          found = true;
          break;
        }
      }
      if (!found) {
        image = lookup(key, f.fitSize);
        if (!image && fresh) {
          const auto p = platform();
          image = f.fitSize && p->imageCodec ? scaleToFit(*p->imageCodec, fresh, *f.fitSize) : fresh;
        }
        bySize.emplace_back(f.fitSize, image);
      }
      if (image) deliver(f.completion, f.url, image);
    }
  }

  void deleteFiles() {
    std::error_code ec;
    const auto dir = directory();
    fs::directory_iterator it(dir, ec);
    if (ec) {
      if (ec != std::errc::no_such_file_or_directory) Log::log(ec.message(), Log::Level::error());
      return;
    }
    for (const auto& entry : it) {
      std::error_code fileError;
      if (!entry.is_regular_file(fileError)) continue;
      fs::remove(entry.path(), fileError);
      if (fileError) Log::log(fileError.message(), {entry.path().string()}, Log::Level::error());
    }
  }

  const std::shared_ptr<const Platform> fixedPlatform;
  const fs::path fixedDirectory;
  std::atomic<CacheType> type{CacheType::disk};
  ImageMemoryStore images;

  std::mutex mutex;  // guards the members below
  std::unordered_map<std::string, std::shared_ptr<WorkItem>> workItems;
  Clock::time_point lastCleanup;
};

ImageCache::ImageCache(std::shared_ptr<const Platform> platform, fs::path directory)
    : impl_(std::make_shared<Impl>(std::move(platform), std::move(directory))) {
  const auto p = impl_->platform();
  const auto stored = p->store ? p->store->number(keys::kLastCleanup) : std::nullopt;
  if (stored) {
    impl_->lastCleanup = Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*stored)));
  } else {
    impl_->lastCleanup = impl_->now();  // not written: counts from this start
  }
}

ImageCache::~ImageCache() = default;

ImageCache& ImageCache::defaultCache() {
  static auto* cache = new ImageCache();
  return *cache;
}

void ImageCache::setDefaultDirectory(fs::path directory) {
  std::lock_guard lock(defaultDirectoryMutex());
  configuredDefaultDirectory() = std::move(directory);
}

fs::path ImageCache::defaultDirectory() {
  {
    std::lock_guard lock(defaultDirectoryMutex());
    if (!configuredDefaultDirectory().empty()) return configuredDefaultDirectory();
  }
  // The environment is only read here, never written by the SDK.
  fs::path base;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) {  // NOLINT(concurrency-mt-unsafe)
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {  // NOLINT(concurrency-mt-unsafe)
    base = fs::path(home) / ".cache";
  } else {
    std::error_code ec;
    base = fs::temp_directory_path(ec);
  }
  return base / "orvane-images";
}

CacheType ImageCache::cacheType() const { return impl_->type.load(); }
void ImageCache::setCacheType(CacheType type) { impl_->type.store(type); }

void ImageCache::setMemoryCostLimit(std::size_t bytes) { impl_->images.setCostLimit(bytes); }
std::size_t ImageCache::memoryCostLimit() const { return impl_->images.costLimit(); }

void ImageCache::load(const std::string& url, std::optional<Size> fitSize, Completion completion) {
  if (url.empty()) {
    Log::log("ImageCache: empty URL", Log::Level::error());
    return;
  }
  // Addresses come from the server: nothing but the web is fetched, never a file, a
  // device or another scheme of this machine.
  if (!webUrl(url)) {
    Log::log("ImageCache: not a web address, not loaded:", {url}, Log::Level::error());
    return;
  }
  impl_->post([url, key = cacheKey(url), fitSize, completion = std::move(completion)](Impl& impl) {
    impl.runLoad(url, key, fitSize, completion);
  });
}

ImagePtr ImageCache::imageOfUrl(const std::string& url, std::optional<Size> fitSize) {
  return image(cacheKey(url), fitSize);
}

ImagePtr ImageCache::image(const std::string& key, std::optional<Size> fitSize) {
  return impl_->lookup(key, fitSize);
}

void ImageCache::set(const ImagePtr& image, const std::string& key) {
  const auto p = impl_->platform();
  if (!image || !p->imageCodec) return;
  if (auto jpeg = p->imageCodec->encodeJpeg(*image, 0.0)) {
    cacheImage(std::string_view(*jpeg), key);
  } else {
    Log::log("ImageCache: cannot encode the image for", {key}, Log::Level::error());
  }
}

void ImageCache::cacheImage(const ImagePtr& image, const std::string& key) {
  if (!image) return;
  if (impl_->type.load() == CacheType::ram) {
    impl_->images.put(key, image);
    return;
  }
  const auto p = impl_->platform();
  auto png = p->imageCodec ? p->imageCodec->encodePng(*image) : std::nullopt;
  if (!png) {
    Log::log("ImageCache: cannot encode the image for", {key}, Log::Level::error());
    return;
  }
  impl_->writeFile(key, *png);
}

void ImageCache::cacheImage(std::string_view data, const std::string& key) {
  impl_->storeData(data, key, nullptr);
}

void ImageCache::clearLocalCache(std::function<void()> done) {
  const auto now = impl_->now();
  bool expired = false;
  {
    std::lock_guard lock(impl_->mutex);
    expired = now - impl_->lastCleanup > kCleanupAge;
    if (expired) impl_->lastCleanup = now;
  }
  const auto p = impl_->platform();
  if (expired && p->store) {
    p->store->setNumber(keys::kLastCleanup, std::chrono::duration<double>(now.time_since_epoch()).count());
  }
  // Downloads in flight stay registered: dropping them would only let the same URL be
  // fetched twice at once.
  impl_->images.clear();
  auto notify = [p, done = std::move(done)] {
    if (done && p->mainQueue) p->mainQueue->post(done);
  };
  if (expired) {
    impl_->post([notify](Impl& impl) {
      impl.deleteFiles();
      notify();
    });
  } else {
    notify();
  }
}

ImageCache::Clock::time_point ImageCache::lastCleanup() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->lastCleanup;
}

fs::path ImageCache::cacheFileUrl(const std::string& key) const { return impl_->fileFor(key); }
fs::path ImageCache::directory() const { return impl_->directory(); }

std::string ImageCache::cacheKey(std::string_view url) { return percentEncode(url, kHostAllowed); }

std::string ImageCache::fileNameForKey(const std::string& key) {
  // "#" never survives the key encoding, so hashed names cannot meet a plain key; a
  // plain key beginning with "#" or a "." (temporary files, "." and "..") is hashed too.
  const bool safe = !key.empty() && key.size() <= kMaxFileName && key.front() != '#' && key.front() != '.' &&
                    key.find('/') == std::string::npos && key.find('\0') == std::string::npos;
  if (safe) return key;
  std::string name = stableHash(key);
  name.insert(name.begin(), '#');  // not "#" + ...: GCC 12 -O3 warns falsely about that
  return name;
}

}  // namespace orvane
