#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/sdk/settings_keys.hpp"
#include "core/support/image_cache.hpp"
#include "orvane/log.hpp"
#include "tests/unit/image_cache_test_support.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Deliveries;
using testing::FakeHttpSession;
using testing::FakeImageCodec;

constexpr char kUrl[] = "https://img.example.com/icons/a.png?v=1";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ImageCacheLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes_.install();
    Log::displayLog = true;
    cache_ = std::make_unique<ImageCache>(fakes_.platform(), dir_.path / "orvane-images");
  }
  void TearDown() override {
    cache_.reset();
    Log::displayLog = false;
  }

  std::size_t requests() const { return fakes_.http->requests().size(); }
  // Runs the executor's jobs and the main queue's work until neither has any left.
  bool pump(const std::function<bool()>& done) {
    fakes_.runUntilIdle();
    return done();
  }

  testing::FakePlatform fakes_;
  testing::TempDir dir_;
  std::unique_ptr<ImageCache> cache_;
};

TEST_F(ImageCacheLoad, ConcurrentLoadsOfANewUrlShareOneDownload) {
  fakes_.http->manual = true;
  Deliveries got;
  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return fakes_.http->waiting() == 1; }));
  // Whether this one waits for the download or comes after it, it is answered alike.
  cache_->load(kUrl, Size{10, 10}, got.completion());
  fakes_.http->complete(FakeHttpSession::ok(FakeImageCodec::bytes(100, 50)));

  ASSERT_TRUE(pump([&] { return got.all.size() == 2; }));
  EXPECT_EQ(requests(), 1u);
  EXPECT_EQ(fakes_.http->requests()[0].url, kUrl);
  for (const auto& d : got.all) {
    EXPECT_EQ(d.url, kUrl);
    ASSERT_TRUE(d.image);
  }
  // The download itself comes at full size; the waiting load is fitted from the file.
  EXPECT_EQ(got.all[0].image->width(), 100);
  EXPECT_EQ(got.all[1].image->width(), 20);
  EXPECT_EQ(got.all[1].image->height(), 10);
}

TEST_F(ImageCacheLoad, FailedDownloadIsForgottenSoTheNextLoadRetries) {
  fakes_.http->manual = true;
  Deliveries got;
  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return fakes_.http->waiting() == 1; }));
  fakes_.http->complete(Error::make(Error::Kind::network, "connection refused"));
  ASSERT_TRUE(pump([&] { return fakes_.logSink->contains("ImageCache download failed"); }));
  EXPECT_TRUE(fakes_.logSink->contains("connection refused"));

  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return fakes_.http->waiting() == 1; }));
  fakes_.http->complete(FakeHttpSession::ok(FakeImageCodec::bytes(4, 4)));
  ASSERT_TRUE(pump([&] { return got.all.size() == 1; }));
  EXPECT_EQ(requests(), 2u);
  EXPECT_EQ(got.all[0].image->width(), 4);
}

TEST_F(ImageCacheLoad, ErrorStatusAndNonImageBodiesDeliverNothing) {
  Deliveries got;
  fakes_.http->enqueue(FakeHttpSession::ok(FakeImageCodec::bytes(4, 4), 404));
  fakes_.http->enqueue(FakeHttpSession::ok("<html>not an image</html>"));
  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return fakes_.logSink->contains("HTTP 404"); }));
  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return fakes_.logSink->contains("not an image"); }));
  fakes_.runUntilIdle();
  EXPECT_TRUE(got.all.empty());
  EXPECT_EQ(requests(), 2u);
  EXPECT_FALSE(fs::exists(cache_->cacheFileUrl(ImageCache::cacheKey(kUrl))));
}

TEST_F(ImageCacheLoad, DiskModeKeepsTheDownloadedBytesAndServesLaterLoadsFromTheFile) {
  const std::string bytes = FakeImageCodec::bytes(1000, 500);
  fakes_.http->enqueue(FakeHttpSession::ok(bytes));
  Deliveries got;
  cache_->load(kUrl, std::nullopt, got.completion());
  const auto file = cache_->cacheFileUrl(ImageCache::cacheKey(kUrl));
  ASSERT_TRUE(pump([&] { return got.all.size() == 1 && fs::exists(file); }));
  EXPECT_EQ(file.parent_path(), dir_.path / "orvane-images");
  EXPECT_EQ(readAll(file), bytes);

  // No scripted answer is left: a second download would fail.
  cache_->load(kUrl, Size{200, 200}, got.completion());
  ASSERT_TRUE(pump([&] { return got.all.size() == 2; }));
  EXPECT_EQ(requests(), 1u);
  EXPECT_EQ(got.all[1].image->width(), 400);
  EXPECT_EQ(got.all[1].image->height(), 200);

  // Nothing was kept in memory: without the file it is a miss.
  fs::remove(file);
  EXPECT_FALSE(cache_->imageOfUrl(kUrl, std::nullopt));
}

TEST_F(ImageCacheLoad, RamModeKeepsImagesInMemoryOnlyAndReturnsThemAsStored) {
  cache_->setCacheType(CacheType::ram);
  fakes_.http->enqueue(FakeHttpSession::ok(FakeImageCodec::bytes(1000, 500)));
  Deliveries got;
  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return got.all.size() == 1 && cache_->imageOfUrl(kUrl, std::nullopt); }));
  EXPECT_FALSE(fs::exists(cache_->cacheFileUrl(ImageCache::cacheKey(kUrl))));

  cache_->load(kUrl, Size{200, 200}, got.completion());
  ASSERT_TRUE(pump([&] { return got.all.size() == 2; }));
  EXPECT_EQ(requests(), 1u);
  EXPECT_EQ(got.all[1].image->width(), 1000);  // not fitted

  // Switching back only changes later stores; memory is still looked at first.
  cache_->setCacheType(CacheType::disk);
  EXPECT_TRUE(cache_->imageOfUrl(kUrl, std::nullopt));
}

TEST_F(ImageCacheLoad, StoresThroughTheCodecAndDropsWhatCannotBeEncoded) {
  cache_->set(FakeImageCodec::make(30, 20), "jpeg-key");
  EXPECT_EQ(readAll(cache_->cacheFileUrl("jpeg-key")), FakeImageCodec::bytes(30, 20));
  cache_->cacheImage(FakeImageCodec::make(8, 9), "png-key");
  ASSERT_TRUE(cache_->image("png-key", std::nullopt));
  EXPECT_EQ(cache_->image("png-key", std::nullopt)->height(), 9);

  fakes_.imageCodec->failEncoding = true;
  cache_->set(FakeImageCodec::make(30, 20), "lost");
  EXPECT_FALSE(fs::exists(cache_->cacheFileUrl("lost")));

  cache_->setCacheType(CacheType::ram);
  cache_->cacheImage(std::string_view("garbage"), "garbage-key");
  EXPECT_FALSE(cache_->image("garbage-key", std::nullopt));
}

TEST_F(ImageCacheLoad, AFailedWriteIsLoggedAndTheImageIsNotCached) {
  // A file where the cache's folder should be.
  const auto blocked = dir_.path / "blocked";
  std::ofstream(blocked) << "x";
  ImageCache cache(fakes_.platform(), blocked);
  cache.cacheImage(std::string_view(FakeImageCodec::bytes(2, 2)), "k");
  EXPECT_TRUE(fakes_.logSink->contains("Error write file"));
  EXPECT_FALSE(cache.image("k", std::nullopt));
}

TEST_F(ImageCacheLoad, KeysBecomeSingleSafeFileNames) {
  EXPECT_EQ(ImageCache::cacheKey("https://a.b/c d?x=1#f"), "https:%2F%2Fa.b%2Fc%20d%3Fx=1%23f");
  const std::string longKey = ImageCache::cacheKey("https://a.b/" + std::string(600, 'x'));
  const std::string hashed = ImageCache::fileNameForKey(longKey);
  EXPECT_EQ(hashed.size(), 33u);
  EXPECT_EQ(hashed, ImageCache::fileNameForKey(longKey));  // stable
  EXPECT_NE(hashed, ImageCache::fileNameForKey(longKey + "y"));

  // Keys given directly by the host can never leave the folder.
  for (const std::string key : {"../escape", "..", ".", "", "a/b", "#x"}) {
    const auto name = ImageCache::fileNameForKey(key);
    EXPECT_EQ(name.front(), '#') << key;
    EXPECT_EQ(name.find('/'), std::string::npos) << key;
  }

  cache_->cacheImage(std::string_view(FakeImageCodec::bytes(3, 3)), longKey);
  ASSERT_TRUE(cache_->image(longKey, std::nullopt));
  cache_->cacheImage(std::string_view(FakeImageCodec::bytes(3, 3)), "../escape");
  EXPECT_FALSE(fs::exists(dir_.path / "escape"));
  EXPECT_TRUE(cache_->image("../escape", std::nullopt));
}

TEST_F(ImageCacheLoad, CleanupDeletesOnlyItsOwnFilesAndOnlyOnceAMonth) {
  using namespace std::chrono_literals;
  const auto start = fakes_.clock->now();
  EXPECT_EQ(cache_->lastCleanup(), start);
  const auto foreign = dir_.path / "someone-elses-file";
  std::ofstream(foreign) << "keep";
  cache_->cacheImage(std::string_view(FakeImageCodec::bytes(2, 2)), "on-disk");
  cache_->setCacheType(CacheType::ram);
  cache_->cacheImage(FakeImageCodec::make(2, 2), "in-memory");

  // Within the month: memory is emptied, files stay, nothing is recorded.
  fakes_.clock->advance(std::chrono::seconds(ImageCache::kCleanupAge));
  bool done = false;
  cache_->clearLocalCache([&] { done = true; });
  ASSERT_TRUE(pump([&] { return done; }));
  EXPECT_FALSE(cache_->image("in-memory", std::nullopt));
  EXPECT_TRUE(cache_->image("on-disk", std::nullopt));
  EXPECT_FALSE(fakes_.store->number(keys::kLastCleanup));

  fakes_.clock->advance(1s);
  done = false;
  cache_->clearLocalCache([&] { done = true; });
  ASSERT_TRUE(pump([&] { return done; }));
  EXPECT_FALSE(cache_->image("on-disk", std::nullopt));
  EXPECT_TRUE(fs::exists(foreign));
  const auto cleaned = fakes_.clock->now();
  EXPECT_EQ(cache_->lastCleanup(), cleaned);
  ASSERT_TRUE(fakes_.store->number(keys::kLastCleanup));
  EXPECT_DOUBLE_EQ(*fakes_.store->number(keys::kLastCleanup),
                   std::chrono::duration<double>(cleaned.time_since_epoch()).count());

  // The day after: only memory is emptied.
  cache_->setCacheType(CacheType::disk);
  cache_->cacheImage(std::string_view(FakeImageCodec::bytes(2, 2)), "on-disk");
  fakes_.clock->advance(24h);
  done = false;
  cache_->clearLocalCache([&] { done = true; });
  ASSERT_TRUE(pump([&] { return done; }));
  EXPECT_TRUE(cache_->image("on-disk", std::nullopt));

  // A new cache (a restart) counts from the recorded cleanup.
  ImageCache restarted(fakes_.platform(), dir_.path / "orvane-images");
  EXPECT_EQ(std::chrono::time_point_cast<std::chrono::milliseconds>(restarted.lastCleanup()),
            std::chrono::time_point_cast<std::chrono::milliseconds>(cleaned));
}

TEST(ImageCacheDirectory, TheSharedFolderIsSetByThePlatformLayerWithAFallback) {
  ImageCache::setDefaultDirectory("/somewhere/caches/orvane-images");
  EXPECT_EQ(ImageCache(nullptr, {}).directory(), fs::path("/somewhere/caches/orvane-images"));
  ImageCache::setDefaultDirectory({});
  const auto fallback = ImageCache(nullptr, {}).directory();
  EXPECT_EQ(fallback.filename(), "orvane-images");
  EXPECT_NE(fallback, fs::path("/somewhere/caches/orvane-images"));
}

TEST_F(ImageCacheLoad, ADestroyedCacheDeliversNothing) {
  fakes_.http->manual = true;
  Deliveries got;
  cache_->load(kUrl, std::nullopt, got.completion());
  ASSERT_TRUE(pump([&] { return fakes_.http->waiting() == 1; }));
  cache_.reset();
  fakes_.http->complete(FakeHttpSession::ok(FakeImageCodec::bytes(4, 4)));
  fakes_.runUntilIdle();
  EXPECT_TRUE(got.all.empty());
}

TEST_F(ImageCacheLoad, ADestroyedCacheCancelsItsDownloads) {
  fakes_.http->manual = true;
  cache_->load(kUrl, std::nullopt, {});
  cache_->load("https://img.example.com/other.png", std::nullopt, {});
  ASSERT_TRUE(pump([&] { return fakes_.http->waiting() == 2; }));
  cache_.reset();
  EXPECT_EQ(fakes_.http->waiting(), 0u);
  EXPECT_EQ(fakes_.http->cancelled(), 2u);
}

}  // namespace
}  // namespace orvane
