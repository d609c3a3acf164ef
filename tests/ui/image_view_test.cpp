#include "ui/widgets/image_view.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPalette>
#include <QTest>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>

#include "core/support/image_cache.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/thread_pool.hpp"
#include "platform/qt/qt_image_codec.hpp"
#include "platform/qt/qt_main_queue.hpp"

namespace orvane {
namespace {

constexpr int kWaitMs = 5000;

// Holds each request until the test answers its URL.
class HeldHttpSession : public HttpSession {
 public:
  RequestHandle send(HttpRequest request, Completion completion) override {
    auto gate = std::make_shared<CompletionGate>();
    std::lock_guard lock(mutex_);
    held_[request.url] = [gate, completion = std::move(completion)](Result<HttpResponse> r) {
      gate->pass([&] { completion(std::move(r)); });
    };
    return RequestHandle(gate);
  }
  bool holds(const std::string& url) {
    std::lock_guard lock(mutex_);
    return held_.count(url) != 0;
  }
  void answer(const std::string& url, std::string body) {
    std::function<void(Result<HttpResponse>)> completion;
    {
      std::lock_guard lock(mutex_);
      completion = std::move(held_.at(url));
      held_.erase(url);
    }
    HttpResponse r;
    r.status = 200;
    r.body = std::move(body);
    r.hasBody = true;
    completion(std::move(r));
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::function<void(Result<HttpResponse>)>> held_;
};

std::string png(int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(color);
  return *qt::QtImageCodec().encodePng(qt::QtImage(image));
}

// Runs what the event loop has queued so far (queued calls keep their order).
void drainPosted() {
  bool marker = false;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { marker = true; }, Qt::QueuedConnection);
  ASSERT_TRUE(QTest::qWaitFor([&] { return marker; }, kWaitMs));
}

class ImageViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() / ("orvane-image-view-" + std::to_string(rd()));
    auto p = std::make_shared<Platform>();
    p->store = std::make_shared<MemoryKeyValueStore>();
    p->mainQueue = std::make_shared<qt::QtMainQueue>();
    p->executor = std::make_shared<ThreadPool>(2);
    p->http = http_;
    p->imageCodec = std::make_shared<qt::QtImageCodec>();
    p->clock = std::make_shared<SystemClock>();
    cache_ = std::make_unique<ImageCache>(p, dir_);
  }
  void TearDown() override {
    cache_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  bool waitHeld(const std::string& url) {
    return QTest::qWaitFor([&] { return http_->holds(url); }, kWaitMs);
  }

  std::shared_ptr<HeldHttpSession> http_ = std::make_shared<HeldHttpSession>();
  std::filesystem::path dir_;
  std::unique_ptr<ImageCache> cache_;
};

TEST_F(ImageViewTest, AReusedViewKeepsItsNewUrlAndDropsTheLateAnswer) {
  qt::ImageView view;
  int callsA = 0;
  int callsB = 0;
  view.setUrl("http://img.test/a.png", std::nullopt, *cache_, [&](ImagePtr) { ++callsA; });
  ASSERT_TRUE(waitHeld("http://img.test/a.png"));
  view.setUrl("http://img.test/b.png", std::nullopt, *cache_, [&](ImagePtr) { ++callsB; });
  ASSERT_TRUE(waitHeld("http://img.test/b.png"));

  http_->answer("http://img.test/b.png", png(20, 10, Qt::blue));
  ASSERT_TRUE(QTest::qWaitFor([&] { return callsB == 1; }, kWaitMs));
  http_->answer("http://img.test/a.png", png(30, 30, Qt::red));
  // A's delivery is posted before its file is written; a marker posted after that runs after it.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return cache_->imageOfUrl("http://img.test/a.png", std::nullopt) != nullptr; }, kWaitMs));
  drainPosted();

  EXPECT_EQ(callsA, 0);
  ASSERT_TRUE(view.image());
  EXPECT_EQ(view.image()->width(), 20);
  EXPECT_EQ(view.sizeHint(), QSize(20, 10));
  const QImage grabbed = view.grab().toImage();
  EXPECT_EQ(grabbed.pixelColor(grabbed.width() / 2, grabbed.height() / 2), QColor(Qt::blue));
}

// A rounded view leaves its corners to the background and keeps the image inside; a
// new image or a new size must not reuse the previous rendering.
TEST(ImageViewCorners, RoundsCornersAndRendersAgainForANewImageOrSize) {
  auto solid = [](QColor color, int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    return std::make_shared<qt::QtImage>(image);
  };
  QWidget background;
  background.setAutoFillBackground(true);
  background.setPalette(QPalette(Qt::white));
  background.resize(100, 100);
  qt::ImageView view(&background);
  view.setGeometry(0, 0, 56, 56);
  view.setCornerRadius(11);
  view.setImage(solid(Qt::blue, 200, 200));
  QImage shot = background.grab(QRect(0, 0, 56, 56)).toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(28, 28), QColor(Qt::blue));
  EXPECT_EQ(shot.pixelColor(28, 0), QColor(Qt::blue)) << "only the corners are cut";

  view.setImage(solid(Qt::red, 200, 200));
  shot = background.grab(QRect(0, 0, 56, 56)).toImage();
  EXPECT_EQ(shot.pixelColor(28, 28), QColor(Qt::red));

  view.setCornerRadius(0);
  view.setGeometry(0, 0, 80, 80);
  shot = background.grab(QRect(0, 0, 80, 80)).toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(79, 79), QColor(Qt::red)) << "drawn at the new size";
}

TEST_F(ImageViewTest, ClearDropsEveryLaterDelivery) {
  qt::ImageView view;
  int calls = 0;
  view.setUrl("http://img.test/c.png", std::nullopt, *cache_, [&](ImagePtr) { ++calls; });
  ASSERT_TRUE(waitHeld("http://img.test/c.png"));
  view.clear();
  EXPECT_FALSE(view.boundUrl());
  http_->answer("http://img.test/c.png", png(8, 8, Qt::green));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return cache_->imageOfUrl("http://img.test/c.png", std::nullopt) != nullptr; }, kWaitMs));
  drainPosted();
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(view.image());
}

TEST_F(ImageViewTest, AQualityFactorFitsAStoredImageToTheViewSize) {
  const std::string url = "http://img.test/big.png";
  cache_->cacheImage(std::string_view(png(400, 400, Qt::red)), ImageCache::cacheKey(url));
  qt::ImageView view;
  view.resize(50, 40);
  ImagePtr got;
  view.setUrl(url, 2.0, *cache_, [&](ImagePtr image) { got = std::move(image); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return got != nullptr; }, kWaitMs));
  // Box 100 x 80: the larger ratio 0.25 covers it.
  EXPECT_EQ(got->width(), 100);
  EXPECT_EQ(got->height(), 100);
  EXPECT_EQ(view.image(), got);
}

TEST_F(ImageViewTest, AViewDestroyedBeforeTheAnswerIsLeftAlone) {
  int calls = 0;
  auto view = std::make_unique<qt::ImageView>();
  view->setUrl("http://img.test/d.png", std::nullopt, *cache_, [&](ImagePtr) { ++calls; });
  ASSERT_TRUE(waitHeld("http://img.test/d.png"));
  view.reset();
  http_->answer("http://img.test/d.png", png(8, 8, Qt::green));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return cache_->imageOfUrl("http://img.test/d.png", std::nullopt) != nullptr; }, kWaitMs));
  drainPosted();
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace orvane
