#include "core/support/image_memory_store.hpp"

namespace orvane {

std::size_t ImageMemoryStore::costOf(const Image& image) {
  const auto w = static_cast<std::size_t>(image.width() > 0 ? image.width() : 0);
  const auto h = static_cast<std::size_t>(image.height() > 0 ? image.height() : 0);
  return w * h * 4 + 1;  // never free, so a flood of empty images is bounded too
}

ImagePtr ImageMemoryStore::get(const std::string& key) {
  std::lock_guard lock(mutex_);
  auto it = index_.find(key);
  if (it == index_.end()) return nullptr;
  order_.splice(order_.begin(), order_, it->second);
  return it->second->second;
}

void ImageMemoryStore::put(const std::string& key, ImagePtr image) {
  std::lock_guard lock(mutex_);
  if (auto it = index_.find(key); it != index_.end()) eraseLocked(it->second);
  if (!image) return;
  const auto cost = costOf(*image);
  if (cost > limit_) return;
  order_.emplace_front(key, std::move(image));
  index_.emplace(key, order_.begin());
  total_ += cost;
  trimLocked();
}

void ImageMemoryStore::remove(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (auto it = index_.find(key); it != index_.end()) eraseLocked(it->second);
}

void ImageMemoryStore::clear() {
  std::lock_guard lock(mutex_);
  order_.clear();
  index_.clear();
  total_ = 0;
}

void ImageMemoryStore::setCostLimit(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  limit_ = bytes;
  trimLocked();
}

std::size_t ImageMemoryStore::costLimit() const {
  std::lock_guard lock(mutex_);
  return limit_;
}

std::size_t ImageMemoryStore::totalCost() const {
  std::lock_guard lock(mutex_);
  return total_;
}

std::size_t ImageMemoryStore::count() const {
  std::lock_guard lock(mutex_);
  return index_.size();
}

void ImageMemoryStore::eraseLocked(std::list<Entry>::iterator it) {
  total_ -= costOf(*it->second);
  index_.erase(it->first);
  order_.erase(it);
}

void ImageMemoryStore::trimLocked() {
  while (total_ > limit_ && !order_.empty()) eraseLocked(std::prev(order_.end()));
}

}  // namespace orvane
