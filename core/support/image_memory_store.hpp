#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/support/platform/image_codec.hpp"

namespace orvane {

// Key -> image in memory, bounded by a cost in bytes (4 per pixel); the least recently
// used entries go first. Safe to call from any thread.
class ImageMemoryStore {
 public:
  static constexpr std::size_t kDefaultCostLimit = std::size_t{64} * 1024 * 1024;

  explicit ImageMemoryStore(std::size_t costLimit = kDefaultCostLimit) : limit_(costLimit) {}

  ImagePtr get(const std::string& key);
  // An image dearer than the whole limit is not kept (and drops an older entry of its key).
  void put(const std::string& key, ImagePtr image);
  void remove(const std::string& key);
  void clear();

  void setCostLimit(std::size_t bytes);
  std::size_t costLimit() const;
  std::size_t totalCost() const;
  std::size_t count() const;

  static std::size_t costOf(const Image& image);

 private:
  using Entry = std::pair<std::string, ImagePtr>;
  void eraseLocked(std::list<Entry>::iterator it);
  void trimLocked();

  mutable std::mutex mutex_;
  std::size_t limit_;
  std::size_t total_ = 0;
  std::list<Entry> order_;  // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace orvane
