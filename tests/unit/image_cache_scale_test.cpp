#include <gtest/gtest.h>

#include <cmath>

#include "core/support/image_cache.hpp"
#include "core/support/image_memory_store.hpp"
#include "core/support/scale_to_fit.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeImageCodec;

Size fitted(int w, int h, Size box) {
  FakeImageCodec codec;
  const auto image = FakeImageCodec::make(w, h);
  const auto out = scaleToFit(codec, image, box);
  return {static_cast<double>(out->width()), static_cast<double>(out->height())};
}

TEST(ImageCacheScale, CoversTheBoxWithTheRatioRaisedToTheNextHundredth) {
  EXPECT_EQ(fitted(1000, 500, {200, 200}), (Size{400, 200}));
  EXPECT_EQ(fitted(1000, 1000, {123, 100}), (Size{130, 130}));  // 0.123 -> 0.13
  EXPECT_EQ(fitted(2000, 2000, {100, 50}), (Size{100, 100}));   // the larger ratio wins
  // 7/100 is 0.07000000000000001 in binary; it must not become 0.08.
  EXPECT_EQ(fitted(100, 100, {7, 7}), (Size{7, 7}));
  EXPECT_EQ(fitted(300, 100, {29, 10}), (Size{30, 10}));
}

TEST(ImageCacheScale, NeverEnlargesAndIgnoresEmptyBoxes) {
  FakeImageCodec codec;
  const auto image = FakeImageCodec::make(100, 100);
  EXPECT_EQ(scaleToFit(codec, image, {300, 300}), image);
  EXPECT_EQ(scaleToFit(codec, image, {100, 10}), image);  // r = 1.0
  EXPECT_EQ(scaleToFit(codec, image, {0, 0}), image);
  EXPECT_EQ(scaleToFit(codec, image, {-5, 50}), image);
  EXPECT_EQ(scaleToFit(codec, image, {std::nan(""), 50}), image);
  EXPECT_EQ(scaleToFit(codec, nullptr, {50, 50}), nullptr);
}

TEST(ImageCacheMemoryStore, EvictsLeastRecentlyUsedBeyondItsCost) {
  const auto cost = ImageMemoryStore::costOf(*FakeImageCodec::make(10, 10));
  ImageMemoryStore store(cost * 2);
  store.put("a", FakeImageCodec::make(10, 10));
  store.put("b", FakeImageCodec::make(10, 10));
  ASSERT_TRUE(store.get("a"));  // "b" is now the oldest
  store.put("c", FakeImageCodec::make(10, 10));
  EXPECT_TRUE(store.get("a"));
  EXPECT_FALSE(store.get("b"));
  EXPECT_TRUE(store.get("c"));
  EXPECT_EQ(store.totalCost(), cost * 2);

  // Replacing a key does not count it twice; an image dearer than the limit is not kept.
  store.put("c", FakeImageCodec::make(10, 10));
  EXPECT_EQ(store.count(), 2u);
  store.put("huge", FakeImageCodec::make(1000, 1000));
  EXPECT_FALSE(store.get("huge"));
  EXPECT_EQ(store.count(), 2u);

  store.setCostLimit(cost);
  EXPECT_EQ(store.count(), 1u);
  store.clear();
  EXPECT_EQ(store.totalCost(), 0u);
}

TEST(ImageCacheMemoryStore, TheCacheDefaultsTo64MiBAndCanBeBounded) {
  testing::FakePlatform fakes;
  ImageCache cache(fakes.platform(), "/nonexistent/orvane-images");
  EXPECT_EQ(cache.memoryCostLimit(), 64u * 1024u * 1024u);
  cache.setCacheType(CacheType::ram);
  cache.setMemoryCostLimit(ImageMemoryStore::costOf(*FakeImageCodec::make(10, 10)));
  cache.cacheImage(FakeImageCodec::make(10, 10), "first");
  cache.cacheImage(FakeImageCodec::make(10, 10), "second");
  EXPECT_FALSE(cache.image("first", std::nullopt));
  EXPECT_TRUE(cache.image("second", std::nullopt));
}

}  // namespace
}  // namespace orvane
