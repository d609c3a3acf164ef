#include "platform/headless/raster_image_codec.hpp"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>
// clang-format on
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "core/support/image_bounds.hpp"

namespace orvane::headless {

namespace {

const RgbaImage* asRgba(const Image& image) { return dynamic_cast<const RgbaImage*>(&image); }

ImagePtr decodePng(std::string_view bytes) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return nullptr;
  if (!fitsDecodeBound(png.width, png.height)) {
    png_image_free(&png);
    return nullptr;
  }
  png.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return nullptr;
  }
  return std::make_shared<RgbaImage>(static_cast<int>(png.width), static_cast<int>(png.height),
                                     std::move(pixels));
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void jpegFail(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);  // NOLINT: libjpeg's own extension idiom
  std::longjmp(error->jump, 1);
}
void jpegQuiet(j_common_ptr /*info*/) {}

// No C++ object with a destructor may live between setjmp and longjmp here.
bool decodeJpegInto(std::string_view bytes, std::vector<std::uint8_t>& pixels, int& width, int& height) {
  jpeg_decompress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = jpegFail;
  error.mgr.output_message = jpegQuiet;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      !fitsDecodeBound(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  while (info.output_scanline < info.output_height) {
    unsigned char* row = pixels.data() + static_cast<std::size_t>(info.output_scanline) * width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool encodeJpegInto(const RgbaImage& image, int quality, unsigned char*& out, unsigned long& size) {
  jpeg_compress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = jpegFail;
  error.mgr.output_message = jpegQuiet;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = 4;
  info.in_color_space = JCS_EXT_RGBA;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const auto* base = image.pixels().data();
  while (info.next_scanline < info.image_height) {
    auto* row =
        const_cast<unsigned char*>(base + static_cast<std::size_t>(info.next_scanline) * image.width() * 4);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

ImagePtr RasterImageCodec::decode(std::string_view bytes) const {
  if (bytes.size() >= 8 && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) == 0) {
    return decodePng(bytes);
  }
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xD8) {
    std::vector<std::uint8_t> pixels;
    int width = 0;
    int height = 0;
    if (!decodeJpegInto(bytes, pixels, width, height)) return nullptr;
    return std::make_shared<RgbaImage>(width, height, std::move(pixels));
  }
  return nullptr;
}

std::optional<std::string> RasterImageCodec::encodeJpeg(const Image& image, double quality) const {
  const auto opaque = draw(image, image.width(), image.height());  // JPEG has no alpha: white behind
  const auto* rgba = opaque ? asRgba(*opaque) : nullptr;
  if (!rgba) return std::nullopt;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int q = std::clamp(static_cast<int>(quality * 100.0 + 0.5), 0, 100);
  const bool ok = encodeJpegInto(*rgba, q, out, size);
  std::optional<std::string> bytes;
  if (ok && out) bytes.emplace(reinterpret_cast<const char*>(out), size);
  std::free(out);  // NOLINT: jpeg_mem_dest allocates with malloc
  return bytes;
}

std::optional<std::string> RasterImageCodec::encodePng(const Image& image) const {
  const auto* rgba = asRgba(image);
  if (!rgba || rgba->width() <= 0 || rgba->height() <= 0) return std::nullopt;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(rgba->width());
  png.height = static_cast<png_uint_32>(rgba->height());
  png.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgba->pixels().data(), 0, nullptr))
    return std::nullopt;
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, rgba->pixels().data(), 0, nullptr)) {
    return std::nullopt;
  }
  bytes.resize(size);
  return bytes;
}

ImagePtr RasterImageCodec::draw(const Image& image, int width, int height) const {
  const auto* source = asRgba(image);
  if (!source || width <= 0 || height <= 0 || !fitsDecodeBound(width, height)) return nullptr;
  const int sw = source->width();
  const int sh = source->height();
  const auto& in = source->pixels();
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 4);
  // Each target pixel averages the source pixels its area covers, then lies on white.
  for (int y = 0; y < height; ++y) {
    const int y0 = static_cast<int>(static_cast<long long>(y) * sh / height);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * sh / height));
    for (int x = 0; x < width; ++x) {
      const int x0 = static_cast<int>(static_cast<long long>(x) * sw / width);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * sw / width));
      double sum[3] = {0, 0, 0};
      double count = 0;
      for (int sy = y0; sy < y1 && sy < sh; ++sy) {
        for (int sx = x0; sx < x1 && sx < sw; ++sx) {
          const std::uint8_t* p = &in[(static_cast<std::size_t>(sy) * sw + sx) * 4];
          const double alpha = p[3] / 255.0;
          for (int c = 0; c < 3; ++c) sum[c] += p[c] * alpha + 255.0 * (1.0 - alpha);
          count += 1;
        }
      }
      std::uint8_t* q = &out[(static_cast<std::size_t>(y) * width + x) * 4];
      for (int c = 0; c < 3; ++c) q[c] = static_cast<std::uint8_t>(count > 0 ? sum[c] / count + 0.5 : 255);
      q[3] = 255;
    }
  }
  return std::make_shared<RgbaImage>(width, height, std::move(out));
}

}  // namespace orvane::headless
