#include "platform/qt/qt_image_codec.hpp"

#include <gtest/gtest.h>

#include <QColor>

namespace orvane::qt {
namespace {

TEST(QtImageCodec, RoundTripsThroughJpegAndPngAndRefusesGarbage) {
  QtImageCodec codec;
  QImage source(40, 20, QImage::Format_ARGB32);
  source.fill(QColor(255, 92, 90));
  const QtImage image(source);

  auto jpeg = codec.encodeJpeg(image, 0.7);
  ASSERT_TRUE(jpeg.has_value());
  EXPECT_EQ(jpeg->substr(0, 2), std::string("\xFF\xD8"));
  auto decoded = codec.decode(*jpeg);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width(), 40);
  EXPECT_EQ(decoded->height(), 20);

  auto png = codec.encodePng(image);
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(png->substr(1, 3), "PNG");

  EXPECT_EQ(codec.decode(""), nullptr);
  EXPECT_EQ(codec.decode("not an image at all"), nullptr);
  EXPECT_EQ(codec.decode(std::string("\xFF\xD8\xFF\xE0truncated", 13)), nullptr);
}

TEST(QtImageCodec, DrawsIntoAnOpaqueImageOfTheRequestedSize) {
  QtImageCodec codec;
  QImage transparent(10, 10, QImage::Format_ARGB32);
  transparent.fill(Qt::transparent);
  auto drawn = codec.draw(QtImage(transparent), 4, 6);
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->width(), 4);
  EXPECT_EQ(drawn->height(), 6);
  const QImage* q = QtImageCodec::qimage(*drawn);
  ASSERT_NE(q, nullptr);
  EXPECT_FALSE(q->hasAlphaChannel());
  EXPECT_EQ(q->pixelColor(2, 3), QColor(Qt::white));
  EXPECT_EQ(codec.draw(QtImage(transparent), 0, 5), nullptr);
}

}  // namespace
}  // namespace orvane::qt
