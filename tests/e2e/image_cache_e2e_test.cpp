#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/support/image_cache.hpp"
#include "core/support/thread_pool.hpp"
#include "orvane/log.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "tests/transport/wait_support.hpp"
#include "tests/unit/image_cache_test_support.hpp"
#include "tools/sandbox/sandbox.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::Deliveries;
using testing::pumpUntil;

const bool kLoopbackBypassesProxy = [] {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  return true;
}();

// Reads the size from a PNG or JPEG header; enough to follow real files through the
// cache without a GUI toolkit in this binary.
class HeaderCodec : public ImageCodec {
 public:
  struct Dims : Image {
    Dims(int w, int h) : w_(w), h_(h) {}
    int width() const override { return w_; }
    int height() const override { return h_; }
    int w_, h_;
  };

  ImagePtr decode(std::string_view b) const override {
    auto u = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
    if (b.size() >= 24 && b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) {
      return std::make_shared<Dims>(static_cast<int>(u(16) << 24 | u(17) << 16 | u(18) << 8 | u(19)),
                                    static_cast<int>(u(20) << 24 | u(21) << 16 | u(22) << 8 | u(23)));
    }
    if (b.size() < 4 || u(0) != 0xFF || u(1) != 0xD8) return nullptr;
    for (std::size_t i = 2; i + 9 < b.size();) {
      if (u(i) != 0xFF) return nullptr;
      const unsigned marker = u(i + 1);
      const std::size_t length = u(i + 2) << 8 | u(i + 3);
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
        return std::make_shared<Dims>(static_cast<int>(u(i + 7) << 8 | u(i + 8)),
                                      static_cast<int>(u(i + 5) << 8 | u(i + 6)));
      }
      i += 2 + length;
    }
    return nullptr;
  }
  std::optional<std::string> encodeJpeg(const Image&, double) const override { return std::nullopt; }
  std::optional<std::string> encodePng(const Image&) const override { return std::nullopt; }
  ImagePtr draw(const Image&, int w, int h) const override { return std::make_shared<Dims>(w, h); }
};

class ImageCacheEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes_.install();
    Log::displayLog = true;
    server_ = std::make_unique<sandbox::Server>(sandbox::Options{});
    server_->start();
    auto p = fakes_.platform();
    p->http = makeCurlHttpSession();
    p->executor = std::make_shared<ThreadPool>(2);  // as on the desktop
    p->imageCodec = std::make_shared<HeaderCodec>();
    platform_ = p;
    cache_ = std::make_unique<ImageCache>(platform_, dir_.path / "orvane-images");
  }
  void TearDown() override {
    cache_.reset();
    platform_.reset();
    server_.reset();
    Log::displayLog = false;
  }

  std::size_t served(const std::string& name) const { return server_->received("/img/" + name).size(); }

  testing::FakePlatform fakes_;
  testing::TempDir dir_;
  std::unique_ptr<sandbox::Server> server_;
  std::shared_ptr<const Platform> platform_;
  std::unique_ptr<ImageCache> cache_;
};

TEST_F(ImageCacheEndToEnd, LoadsPngAndJpegOnceEachAndFitsThemFromDisk) {
  const std::string png = "icon-10001-96x96.png";
  const std::string jpg = "native-10001-720x376.jpg";
  // Slow answers so that the loads below overlap the downloads.
  sandbox::Forcing slow;
  slow.endpoint = "/img/" + jpg;
  slow.delayMs = 300;
  server_->force(slow);

  Deliveries got;
  for (int i = 0; i < 5; ++i) {
    cache_->load(server_->imageUrl(png), std::nullopt, got.completion());
    cache_->load(server_->imageUrl(jpg), std::nullopt, got.completion());
  }
  ASSERT_TRUE(pumpUntil(
      *fakes_.mainQueue, [&] { return got.all.size() == 10; }, 15s));
  EXPECT_EQ(served(jpg), 1u);
  EXPECT_EQ(served(png), 1u);
  for (const auto& d : got.all) {
    const bool isPng = d.url == server_->imageUrl(png);
    EXPECT_EQ(d.image->width(), isPng ? 96 : 720) << d.url;
    EXPECT_EQ(d.image->height(), isPng ? 96 : 376) << d.url;
  }

  // The bytes are kept as served and later loads are fitted from them without a request.
  const auto file = cache_->cacheFileUrl(ImageCache::cacheKey(server_->imageUrl(jpg)));
  ASSERT_TRUE(pumpUntil(*fakes_.mainQueue, [&] { return std::filesystem::exists(file); }));
  std::ifstream in(file, std::ios::binary);
  const std::string head(3, '\0');
  EXPECT_TRUE(in.read(const_cast<char*>(head.data()), 3));
  EXPECT_EQ(head, "\xFF\xD8\xFF");

  got.all.clear();
  cache_->load(server_->imageUrl(jpg), Size{100, 100}, got.completion());
  ASSERT_TRUE(pumpUntil(
      *fakes_.mainQueue, [&] { return got.all.size() == 1; }, 15s));
  EXPECT_EQ(served(jpg), 1u);
  // 100/376 = 0.266 -> 0.27, and 0.27 x (720, 376) rounded up.
  EXPECT_EQ(got.all[0].image->width(), 195);
  EXPECT_EQ(got.all[0].image->height(), 102);
}

TEST_F(ImageCacheEndToEnd, AMissingImageDeliversNothingAndIsAskedForAgain) {
  const std::string url = server_->imageUrl("no-such-picture.gif");
  Deliveries got;
  cache_->load(url, std::nullopt, got.completion());
  ASSERT_TRUE(pumpUntil(
      *fakes_.mainQueue, [&] { return fakes_.logSink->contains("HTTP 404"); }, 15s));
  cache_->load(url, std::nullopt, got.completion());
  ASSERT_TRUE(pumpUntil(
      *fakes_.mainQueue, [&] { return served("no-such-picture.gif") >= 2; }, 15s));
  fakes_.mainQueue->runUntilIdle();
  EXPECT_TRUE(got.all.empty());
}

}  // namespace
}  // namespace orvane
