#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/support/image_cache.hpp"
#include "core/support/image_memory_store.hpp"
#include "core/support/thread_pool.hpp"
#include "tests/transport/wait_support.hpp"
#include "tests/unit/image_cache_test_support.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakeImageCodec;
using testing::pumpUntil;

constexpr int kLoads = 100;

// Loads from several threads at once while the download is answered from yet another:
// the URL is fetched once and every load is answered.
TEST(ImageCacheConcurrency, HundredLoadsOfOneUrlFromManyThreadsDownloadOnce) {
  for (const auto type : {CacheType::disk, CacheType::ram}) {
    testing::FakePlatform fakes;
    testing::TempDir dir;
    fakes.http->manual = true;
    auto platform = fakes.platform();
    platform->executor = std::make_shared<ThreadPool>(2);  // image work on real threads
    ImageCache cache(platform, dir.path / "orvane-images");
    cache.setCacheType(type);

    std::atomic<int> delivered{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
      callers.emplace_back([&, t] {
        for (int i = 0; i < kLoads / 4; ++i) {
          const auto fit = (i + t) % 2 ? std::optional<Size>(Size{50, 50}) : std::nullopt;
          cache.load("https://img.example.com/one.png", fit, [&](const std::string&, ImagePtr image) {
            if (image) delivered.fetch_add(1);
          });
        }
      });
    }
    std::thread server([&] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (fakes.http->waiting() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
      fakes.http->complete(FakeHttpSession::ok(FakeImageCodec::bytes(200, 100)));
    });
    for (auto& c : callers) c.join();
    server.join();

    ASSERT_TRUE(pumpUntil(*fakes.mainQueue, [&] { return delivered.load() == kLoads; }));
    EXPECT_EQ(fakes.http->requests().size(), 1u);
  }
}

// Many URLs, some failing, with cleanups and mode switches running alongside: every
// good URL is answered and each is downloaded at most twice (once more only after a
// failure).
TEST(ImageCacheConcurrency, MixedLoadsStoresAndCleanupsStayConsistent) {
  testing::FakePlatform fakes;
  testing::TempDir dir;
  fakes.http->handler = [](const HttpRequest& r) -> Result<HttpResponse> {
    if (r.url.find("bad") != std::string::npos) return Error::make(Error::Kind::network, "refused");
    return FakeHttpSession::ok(FakeImageCodec::bytes(64, 32));
  };
  auto platform = fakes.platform();
  platform->executor = std::make_shared<ThreadPool>(2);  // image work on real threads
  ImageCache cache(platform, dir.path / "orvane-images");
  cache.setMemoryCostLimit(ImageMemoryStore::costOf(*FakeImageCodec::make(64, 32)) * 3);

  std::atomic<int> good{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 3; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < 40; ++i) {
        const bool bad = i % 5 == 0;
        const std::string url =
            std::string("https://img.example.com/") + (bad ? "bad" : "ok") + std::to_string(i % 8);
        cache.load(url, Size{16, 16}, [&, bad](const std::string&, ImagePtr image) {
          if (!bad && image) good.fetch_add(1);
        });
        if (t == 0 && i % 10 == 0) cache.setCacheType(i % 20 ? CacheType::ram : CacheType::disk);
        if (t == 1 && i % 13 == 0) {
          fakes.clock->advance(ImageCache::kCleanupAge + std::chrono::seconds(1));
          cache.clearLocalCache();
        }
        if (t == 2 && i % 7 == 0) cache.cacheImage(FakeImageCodec::make(8, 8), "stored" + std::to_string(i));
      }
    });
  }
  for (auto& c : callers) c.join();
  // 3 threads x 32 good loads each.
  ASSERT_TRUE(pumpUntil(*fakes.mainQueue, [&] { return good.load() == 96; }));
  EXPECT_LE(fakes.http->requests().size(), 120u);
}

}  // namespace
}  // namespace orvane
