#include "platform/qt/qt_image_codec.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QColor>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "core/support/image_bounds.hpp"
#include "tests/unit/fifo_watch.hpp"
#include "tools/sandbox/hostile.hpp"
#include "ui/inquiry/screenshot_processing.hpp"

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

long long residentMiB() {
  std::ifstream in("/proc/self/statm");
  long long size = 0;
  long long resident = 0;
  in >> size >> resident;
  return (resident * ::sysconf(_SC_PAGESIZE)) >> 20;
}

// The sandbox's bombs are small, valid files declaring 30000 x 30000 pixels: the header
// is read, the pixels never allocated (decoded, the PNG alone takes 112 MiB at one bit a
// pixel). An XPM (a text format) is no campaign image.
TEST(QtImageCodec, RefusesBombsByTheirHeaderAndReadsRasterFormatsOnly) {
  QtImageCodec codec;
  const std::string* bombs[] = {&sandbox::pngBomb(), &sandbox::jpegBomb()};
  const long long before = residentMiB();
  for (const std::string* bomb : bombs) EXPECT_EQ(codec.decode(*bomb), nullptr);
  EXPECT_LT(residentMiB() - before, 32);
  for (const std::string* bomb : bombs) {
    const auto declared = codec.declaredSize(*bomb);
    ASSERT_TRUE(declared.has_value());
    EXPECT_EQ(declared->width, sandbox::kBombSide);
    EXPECT_EQ(declared->height, sandbox::kBombSide);
    EXPECT_EQ(codec.decode(*bomb), nullptr);
    const auto refused = decodeWithinBounds(codec, *bomb);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().description.find("declares 30000 x 30000"), std::string::npos);
  }

  QImage small(8, 8, QImage::Format_RGB32);
  small.fill(Qt::red);
  QByteArray xpm;
  QBuffer buffer(&xpm);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(small.save(&buffer, "XPM"));
  EXPECT_EQ(codec.declaredSize(std::string_view(xpm.constData(), static_cast<std::size_t>(xpm.size()))),
            std::nullopt);
  EXPECT_EQ(codec.decode(std::string_view(xpm.constData(), static_cast<std::size_t>(xpm.size()))), nullptr);

  // Bytes beyond the limit are not looked at.
  std::string oversize = sandbox::oversizePngHead();
  oversize.resize(kMaxEncodedImageBytes + 1, '\0');
  EXPECT_EQ(codec.declaredSize(oversize), std::nullopt);
  EXPECT_EQ(codec.decode(oversize), nullptr);
}

// The inquiry's pictures are the user's own files, held to the same bounds: a FIFO or a
// device picked by mistake is not opened, a bomb not decoded.
TEST(QtImageCodec, InquiryPicturesReadRegularFilesWithinTheSameBounds) {
  using Failure = inquiry::PictureLoad::Failure;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  testing::FifoWatch fifo(dir.filePath("fifo").toStdString());
  ASSERT_TRUE(fifo.armed());
  const auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir.filePath(name).toStdString(), std::ios::binary) << bytes;
    return dir.filePath(name);
  };
  const QString bomb = write("bomb.png", sandbox::pngBomb());
  const QString huge = write("huge.png", sandbox::oversizePngHead());
  std::filesystem::resize_file(huge.toStdString(), kMaxEncodedImageBytes + 1);  // sparse

  EXPECT_EQ(ui::loadPictureFile(bomb).failure, Failure::tooManyPixels);
  for (const QString& path : {QString::fromStdString(fifo.string()), QStringLiteral("/dev/zero"), dir.path(),
                              huge, dir.filePath("missing.png")}) {
    const auto load = ui::loadPictureFile(path);
    EXPECT_EQ(load.failure, Failure::unreadable) << path.toStdString();
    EXPECT_EQ(load.image, nullptr);
  }
  EXPECT_FALSE(fifo.opened());

  QImage photo(6, 4, QImage::Format_RGB32);
  photo.fill(Qt::blue);
  ASSERT_TRUE(photo.save(dir.filePath("photo.jpg")));
  const auto load = ui::loadPictureFile(dir.filePath("photo.jpg"));
  ASSERT_EQ(load.failure, Failure::none) << load.description;
  EXPECT_EQ(load.image->width(), 6);
}

}  // namespace
}  // namespace orvane::qt
