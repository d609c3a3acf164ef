#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/support/image_memory_store.hpp"
#include "core/support/platform/platform.hpp"
#include "core/support/request_handle.hpp"

namespace orvane {

// A small loader of one screen's images: http(s) URLs through the HTTP session, file
// URLs and absolute paths of this machine from the disk, remembered in the loader's own
// memory store. Reading and decoding run on the platform's executor. The completion runs
// on the main thread, only with an image; a failed read is logged ("imagePath null
// <path>") and bytes that are not an image are logged too. Main thread only; destroying
// the loader cancels what it still has pending.
//
// Local files are for the host's own images: only regular files of at most
// kMaxEncodedImageBytes are read (never a FIFO or a device), and images are decoded
// within the bounds of image_bounds.hpp. An address from the server must be checked by
// the caller (webUrl in url.hpp): this loader would read a local path it names.
class ImageCacheLoader {
 public:
  using Completion = std::function<void(ImagePtr image)>;

  // A null platform means `Platform::current()` at each use.
  explicit ImageCacheLoader(std::shared_ptr<const Platform> platform = nullptr);
  ~ImageCacheLoader();
  ImageCacheLoader(const ImageCacheLoader&) = delete;
  ImageCacheLoader& operator=(const ImageCacheLoader&) = delete;

  void obtainImageWithPath(const std::string& imagePath, const Completion& completionHandler);

  ImageMemoryStore& cache();

  // `path` as a URL: unchanged when it is a valid one, else with every character outside
  // the fragment-allowed set percent-encoded.
  static std::string urlForPath(const std::string& path);
  // The absolute path a file URL (file:///p, file://localhost/p, file:/p) or an
  // absolute path names; absent for anything else (a relative path, another host).
  static std::optional<std::string> localPath(const std::string& path);

 private:
  std::shared_ptr<const Platform> platform() const;

  const std::shared_ptr<const Platform> fixedPlatform_;
  ImageMemoryStore cache_;
  RequestGroup requests_;
};

}  // namespace orvane
