// Image addresses and bytes chosen by a hostile server, and local paths a host may hand
// the loader: nothing but the web is fetched, no FIFO or device is opened, and images
// that would decode past the bounds are refused before decoding.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core/support/files.hpp"
#include "core/support/image_bounds.hpp"
#include "core/support/image_cache.hpp"
#include "core/support/image_cache_loader.hpp"
#include "orvane/log.hpp"
#include "tests/unit/fifo_watch.hpp"
#include "tests/unit/image_cache_test_support.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Deliveries;
using testing::FakeHttpSession;
using testing::FakeImageCodec;
using testing::FifoWatch;

// A file of `size` bytes that takes no disk space.
void sparseFile(const fs::path& path, std::uintmax_t size) {
  std::ofstream(path) << FakeImageCodec::bytes(1, 1);
  fs::resize_file(path, size);
}

class HostileImages : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes_.install();
    Log::displayLog = true;
    cache_ = std::make_unique<ImageCache>(fakes_.platform(), dir_.path / "cache");
    ASSERT_TRUE(fifo_.armed());
  }
  void TearDown() override {
    cache_.reset();
    Log::displayLog = false;
  }
  bool logged(const std::string& part) const { return fakes_.logSink->contains(part); }

  testing::FakePlatform fakes_;
  testing::TempDir dir_;
  FifoWatch fifo_{dir_.path / "fifo"};
  std::unique_ptr<ImageCache> cache_;
  ImageCacheLoader loader_{fakes_.platform()};
  std::vector<ImagePtr> loaded_;
  ImageCacheLoader::Completion record_ = [this](ImagePtr image) { loaded_.push_back(std::move(image)); };
};

TEST_F(HostileImages, TheCacheFetchesOnlyWebAddresses) {
  const std::string refused[] = {"file:///etc/hostname",
                                 "/etc/hostname",
                                 "/dev/zero",
                                 "FILE:///dev/zero",
                                 "file://localhost/etc/hostname",
                                 "file://" + fifo_.string(),
                                 fifo_.string(),
                                 "ftp://127.0.0.1/a.png",
                                 "qrc:/orvane/none.png",
                                 "data:image/png;base64,iVBORw0KGgo=",
                                 "javascript:alert(1)",
                                 "http:///no-host.png",
                                 "relative/icon.png"};
  Deliveries got;
  for (const auto& url : refused) cache_->load(url, std::nullopt, got.completion());
  fakes_.runUntilIdle();
  EXPECT_TRUE(got.all.empty());
  EXPECT_TRUE(fakes_.http->requests().empty());
  for (const auto& url : refused) EXPECT_TRUE(logged("not a web address, not loaded: " + url)) << url;
  EXPECT_FALSE(fifo_.opened());

  fakes_.http->enqueue(FakeHttpSession::ok(FakeImageCodec::bytes(4, 2)));
  cache_->load("HTTPS://img.example.com/a.png", std::nullopt, got.completion());
  fakes_.runUntilIdle();
  ASSERT_EQ(got.all.size(), 1u);
  EXPECT_EQ(got.all[0].image->width(), 4);
}

// A small answer that declares a huge canvas, from the network, from the cache's own
// files and in memory mode: refused by its header, the codec never decodes it.
TEST_F(HostileImages, ABombIsRefusedBeforeDecodingWhereverItComesFrom) {
  const std::string bomb = FakeImageCodec::bytes(30000, 30000);
  Deliveries got;
  fakes_.http->enqueue(FakeHttpSession::ok(bomb));
  cache_->load("https://img.example.com/bomb.png", std::nullopt, got.completion());
  fakes_.runUntilIdle();
  EXPECT_TRUE(logged("declares 30000 x 30000 pixels, more than"));

  // Planted in the cache's folder under the key of a URL, and read back from there.
  const std::string url = "https://img.example.com/stored.png";
  fs::create_directories(cache_->directory());
  std::ofstream(cache_->cacheFileUrl(ImageCache::cacheKey(url))) << bomb;
  cache_->load(url, std::nullopt, got.completion());
  fakes_.runUntilIdle();
  EXPECT_TRUE(logged("stored image refused"));

  cache_->setCacheType(CacheType::ram);
  cache_->cacheImage(std::string_view(bomb), "ram-key");
  EXPECT_EQ(cache_->image("ram-key", std::nullopt), nullptr);

  EXPECT_TRUE(got.all.empty());
  EXPECT_EQ(fakes_.imageCodec->decodes.load(), 0);

  // The bound itself: the largest allowed canvas passes, one more row does not.
  EXPECT_TRUE(decodeWithinBounds(*fakes_.imageCodec, FakeImageCodec::bytes(8192, 8192)).ok());
  EXPECT_FALSE(decodeWithinBounds(*fakes_.imageCodec, FakeImageCodec::bytes(8192, 8193)).ok());
  EXPECT_EQ(fakes_.imageCodec->decode(FakeImageCodec::bytes(8192, 8193)), nullptr);
}

TEST_F(HostileImages, AnImageOverTheByteLimitIsNotDecoded) {
  std::string big = FakeImageCodec::bytes(2, 2);
  big.resize(kMaxEncodedImageBytes + 1, ' ');
  const auto decoded = decodeWithinBounds(*fakes_.imageCodec, big);
  ASSERT_FALSE(decoded.ok());
  EXPECT_NE(decoded.error().description.find("more than the"), std::string::npos);
  EXPECT_EQ(fakes_.imageCodec->decodes.load(), 0);
}

TEST_F(HostileImages, ReadingAFileTakesOnlyRegularFilesWithinTheLimit) {
  const auto fifoRead = readRegularFile(fifo_.path());
  ASSERT_FALSE(fifoRead.ok());
  EXPECT_NE(fifoRead.error().description.find("not a regular file"), std::string::npos);
  EXPECT_FALSE(fifo_.opened());
  EXPECT_FALSE(readRegularFile("/dev/zero").ok());
  EXPECT_FALSE(readRegularFile(dir_.path).ok());
  EXPECT_EQ(readRegularFile(dir_.path / "missing").error().code, ENOENT);

  const auto big = dir_.path / "big";
  sparseFile(big, 1001);
  EXPECT_FALSE(readRegularFile(big, 1000).ok());
  const auto read = readRegularFile(big, 1001);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value().size(), 1001u);

  // A link to a regular file is followed; a link to the FIFO is not opened either.
  fs::create_symlink(big, dir_.path / "to-big");
  fs::create_symlink(fifo_.path(), dir_.path / "to-fifo");
  EXPECT_TRUE(readRegularFile(dir_.path / "to-big", 1001).ok());
  EXPECT_FALSE(readRegularFile(dir_.path / "to-fifo").ok());
  EXPECT_FALSE(fifo_.opened());
}

TEST_F(HostileImages, TheLoaderReadsAHostsRegularFilesOnly) {
  const auto image = dir_.path / "host image.png";
  std::ofstream(image) << FakeImageCodec::bytes(3, 7);
  const auto huge = dir_.path / "huge.png";
  sparseFile(huge, kMaxEncodedImageBytes + 1);
  const auto bomb = dir_.path / "bomb.png";
  std::ofstream(bomb) << FakeImageCodec::bytes(30000, 30000);

  for (const std::string& refused :
       {fifo_.string(), "file://" + fifo_.string(), std::string("/dev/zero"), std::string("file:///dev/zero"),
        std::string("FILE:///dev/zero"), huge.string(), bomb.string(), dir_.path.string(),
        "file://elsewhere" + image.string(), std::string("relative/image.png"),
        std::string("ftp://x/a.png")}) {
    fakes_.logSink->clear();
    loader_.obtainImageWithPath(refused, record_);
    fakes_.runUntilIdle();
    EXPECT_TRUE(logged("imagePath null " + refused) || logged("image refused: " + refused)) << refused;
  }
  EXPECT_TRUE(loaded_.empty());
  EXPECT_FALSE(fifo_.opened());
  EXPECT_TRUE(fakes_.http->requests().empty());
  EXPECT_EQ(fakes_.imageCodec->decodes.load(), 0);

  // The forms of a local file that name this machine keep working.
  for (const std::string& accepted : {image.string(), "file://" + image.string(),
                                      "file://localhost" + image.string(), "file:" + image.string()}) {
    ImageCacheLoader fresh(fakes_.platform());
    fresh.obtainImageWithPath(accepted, record_);
    fakes_.runUntilIdle();
  }
  ASSERT_EQ(loaded_.size(), 4u);
  EXPECT_EQ(loaded_.back()->height(), 7);
}

TEST(LocalPath, NamesOnlyAbsolutePathsOfThisMachine) {
  EXPECT_EQ(ImageCacheLoader::localPath("file:///a%20b.png?x#y"), "/a b.png");
  EXPECT_EQ(ImageCacheLoader::localPath("file://LOCALHOST/a"), "/a");
  EXPECT_EQ(ImageCacheLoader::localPath("/abs"), "/abs");
  EXPECT_EQ(ImageCacheLoader::localPath("file://localhostx/a"), std::nullopt);
  EXPECT_EQ(ImageCacheLoader::localPath("file://host/a"), std::nullopt);
  EXPECT_EQ(ImageCacheLoader::localPath("file:relative"), std::nullopt);
  EXPECT_EQ(ImageCacheLoader::localPath("file:///a%00b"), std::nullopt);
  EXPECT_EQ(ImageCacheLoader::localPath("https://x/a"), std::nullopt);
}

}  // namespace
}  // namespace orvane
