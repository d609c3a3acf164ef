#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/platform/image_codec.hpp"
#include "core/support/platform/platform.hpp"
#include "orvane/cache_type.hpp"
#include "orvane/size.hpp"

namespace orvane {

// Remote images by URL, kept in memory (`ram`) or as files of their own folder (`disk`).
//
// `load` returns at once; look-ups, decoding, scaling and file writes run on the
// platform's executor, and the completion runs on the main thread. A URL is downloaded
// at most once while its download is in flight: later loads of it wait and are answered
// from the stored result. A failed download is logged, delivers nothing, and leaves no
// trace, so the next load of that URL downloads again.
//
// Addresses are server data: only http and https ones are loaded; any other (a file URL,
// a path, another scheme) is refused with an error line and delivers nothing. Images are
// decoded within the bounds of image_bounds.hpp: an answer or file over the byte limit,
// or an image declaring more pixels than allowed, is refused before decoding and logged.
//
// Destroying a cache cancels its downloads and drops the work and deliveries it still
// has pending.
class ImageCache {
 public:
  using Completion = std::function<void(const std::string& url, ImagePtr image)>;
  using Clock = std::chrono::system_clock;

  static constexpr int autoCleanupDays = 30;
  static constexpr std::chrono::seconds kCleanupAge{2'592'000};

  // A null platform means `Platform::current()` at each use; an empty directory means
  // `defaultDirectory()` at each use. The directory is the cache's own: the cleanup
  // deletes every file in it.
  explicit ImageCache(std::shared_ptr<const Platform> platform = nullptr,
                      std::filesystem::path directory = {});
  ~ImageCache();
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

  // The shared instance, created on first use and never destroyed.
  static ImageCache& defaultCache();
  // Where the shared instance keeps its files; the platform layer sets it at start-up.
  // Until then: $XDG_CACHE_HOME, ~/.cache or the temporary directory, + "/orvane-images".
  static void setDefaultDirectory(std::filesystem::path directory);
  static std::filesystem::path defaultDirectory();

  CacheType cacheType() const;
  void setCacheType(CacheType type);  // affects later stores only

  // The memory store's bound in bytes (4 per pixel), least recently used first out.
  void setMemoryCostLimit(std::size_t bytes);
  std::size_t memoryCostLimit() const;

  // A fresh download is delivered at full size; a stored image is fitted to `fitSize`
  // when it is read from a file.
  void load(const std::string& url, std::optional<Size> fitSize, Completion completion = {});

  // Synchronous look-ups (memory first, then the file); they read the disk, so keep
  // them off the main thread.
  ImagePtr imageOfUrl(const std::string& url, std::optional<Size> fitSize);
  ImagePtr image(const std::string& key, std::optional<Size> fitSize);

  // Stores: `set` keeps a JPEG of the image at the strongest compression; `cacheImage`
  // keeps the image (PNG on disk) or the bytes as they are (decoded in memory).
  void set(const ImagePtr& image, const std::string& key);
  void cacheImage(const ImagePtr& image, const std::string& key);
  void cacheImage(std::string_view data, const std::string& key);

  // Empties the memory store; when the last cleanup is more than 30 days old, also
  // deletes the cache's files (on the executor) and records the time under
  // "lastCleanup". `done`, if given, runs on the main thread once the files are gone.
  void clearLocalCache(std::function<void()> done = {});
  Clock::time_point lastCleanup() const;

  // The file of a key inside the cache's folder.
  std::filesystem::path cacheFileUrl(const std::string& key) const;
  std::filesystem::path directory() const;

  // The URL's text percent-encoded so that it is one file name ("/" and "%" encoded).
  static std::string cacheKey(std::string_view url);
  // The key itself when it is a safe file name of at most 255 bytes, else "#" and a
  // fixed-length hash of it (so a long or unsafe key still gets a file of its own).
  static std::string fileNameForKey(const std::string& key);

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace orvane
