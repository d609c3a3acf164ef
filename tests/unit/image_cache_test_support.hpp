#pragma once

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/support/image_cache.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane::testing {

// A fresh folder per test, removed afterwards.
struct TempDir {
  TempDir() {
    std::random_device rd;
    path = std::filesystem::temp_directory_path() /
           ("orvane-image-cache-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path path;
};

// Runs the fake main queue until `done` holds; false after `timeout` (the image
// workers are real threads, so this waits for them, bounded).
template <class Pred>
bool pumpUntil(FakeMainQueue& queue, Pred done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    queue.runUntilIdle();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Keeps every delivery; used on the (fake) main thread only.
struct Deliveries {
  struct One {
    std::string url;
    ImagePtr image;
  };
  ImageCache::Completion completion() {
    return [this](const std::string& url, ImagePtr image) { all.push_back({url, std::move(image)}); };
  }
  std::vector<One> all;
};

}  // namespace orvane::testing
