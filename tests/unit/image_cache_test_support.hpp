#pragma once

#include <filesystem>
#include <random>
#include <string>
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
