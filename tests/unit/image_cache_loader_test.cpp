#include "core/support/image_cache_loader.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "orvane/log.hpp"
#include "tests/unit/image_cache_test_support.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakeImageCodec;

class ImageCacheLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes_.install();
    Log::displayLog = true;
  }
  void TearDown() override { Log::displayLog = false; }

  // Runs the executor's jobs and the main queue's work until neither has any left.
  bool pump(const std::function<bool()>& done) {
    fakes_.runUntilIdle();
    return done();
  }

  testing::FakePlatform fakes_;
  testing::TempDir dir_;
  ImageCacheLoader loader_{fakes_.platform()};
  std::vector<ImagePtr> got_;
  ImageCacheLoader::Completion record_ = [this](ImagePtr image) { got_.push_back(std::move(image)); };
};

TEST_F(ImageCacheLoaderTest, ReadsFilesOnceAndThenAnswersFromItsMemory) {
  const auto file = dir_.path / "pic with space.png";
  std::ofstream(file) << FakeImageCodec::bytes(12, 34);
  loader_.obtainImageWithPath(file.string(), record_);
  ASSERT_TRUE(pump([&] { return got_.size() == 1; }));
  EXPECT_EQ(got_[0]->height(), 34);

  std::filesystem::remove(file);
  loader_.obtainImageWithPath(file.string(), record_);
  ASSERT_TRUE(pump([&] { return got_.size() == 2; }));
  EXPECT_EQ(got_[1], got_[0]);

  // A file URL with an encoded space reaches the same file.
  std::ofstream(file) << FakeImageCodec::bytes(1, 2);
  loader_.obtainImageWithPath("file://" + (dir_.path / "pic%20with%20space.png").string(), record_);
  ASSERT_TRUE(pump([&] { return got_.size() == 3; }));
  EXPECT_EQ(got_[2]->width(), 1);
}

TEST_F(ImageCacheLoaderTest, DownloadsWebPathsEncodingWhatIsNotAUrl) {
  fakes_.http->enqueue(FakeHttpSession::ok(FakeImageCodec::bytes(5, 6)));
  loader_.obtainImageWithPath("https://img.example.com/a b|c.png", record_);
  ASSERT_TRUE(pump([&] { return got_.size() == 1; }));
  EXPECT_EQ(fakes_.http->requests().at(0).url, "https://img.example.com/a%20b%7Cc.png");
  EXPECT_EQ(ImageCacheLoader::urlForPath("https://x.y/p%20q?a=1#f"), "https://x.y/p%20q?a=1#f");
}

TEST_F(ImageCacheLoaderTest, FailuresAreLoggedAndDeliverNothing) {
  loader_.obtainImageWithPath((dir_.path / "missing.png").string(), record_);
  ASSERT_TRUE(pump([&] { return fakes_.logSink->contains("imagePath null"); }));

  fakes_.logSink->clear();
  fakes_.http->enqueue(Error::make(Error::Kind::timeout, "timed out"));
  loader_.obtainImageWithPath("https://img.example.com/x.png", record_);
  ASSERT_TRUE(pump([&] { return fakes_.logSink->contains("imagePath null https://img.example.com/x.png"); }));

  const auto text = dir_.path / "note.txt";
  std::ofstream(text) << "hello";
  loader_.obtainImageWithPath(text.string(), record_);
  ASSERT_TRUE(pump([&] { return fakes_.logSink->contains("not an image"); }));

  loader_.obtainImageWithPath("relative/thing", record_);
  fakes_.runUntilIdle();
  EXPECT_TRUE(got_.empty());
}

TEST_F(ImageCacheLoaderTest, ADestroyedLoaderCancelsWhatItHasPending) {
  fakes_.http->manual = true;
  auto loader = std::make_unique<ImageCacheLoader>(fakes_.platform());
  const auto file = dir_.path / "pic.png";
  std::ofstream(file) << FakeImageCodec::bytes(3, 3);
  loader->obtainImageWithPath("https://img.example.com/a.png", record_);
  loader->obtainImageWithPath(file.string(), record_);
  ASSERT_EQ(fakes_.http->waiting(), 1u);
  loader.reset();
  EXPECT_EQ(fakes_.http->cancelled(), 1u);
  fakes_.runUntilIdle();  // the queued read finds nobody waiting
  EXPECT_TRUE(got_.empty());
}

}  // namespace
}  // namespace orvane
