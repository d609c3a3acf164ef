#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane {

// The most pixels the SDK lets one image decode to, whether it comes from the server
// (the image cache) or from the user (an inquiry's screenshot). A picture whose header
// declares more is refused before its pixels are allocated: a small file can declare
// a huge canvas. 8192 x 8192 holds every phone camera's photo up to 64 megapixels and
// costs at most 256 MiB at four bytes a pixel.
inline constexpr std::int64_t kMaxDecodedPixels = std::int64_t{8192} * 8192;
inline constexpr std::int64_t kBytesPerDecodedPixel = 4;

// The most bytes of one encoded image the SDK takes in: a download (the HTTP session's
// own answer limit is the same by default) or a file read by an image loader.
inline constexpr std::size_t kMaxEncodedImageBytes = std::size_t{64} * 1024 * 1024;

// True when an image of the declared size may be decoded (both sides positive).
constexpr bool fitsDecodeBound(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxDecodedPixels / height;
}

}  // namespace orvane
