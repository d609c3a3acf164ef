#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <optional>

#include "core/inquiry/picture_source.hpp"

namespace orvane::ui {

// A picked picture after the slow steps: read, decoded, measured as JPEG, shrunk to a
// thumbnail. Made on the executor; the form only looks at it on the GUI thread.
struct ProcessedScreenshot {
  std::string name;
  inquiry::PictureLoad load;
  std::optional<std::size_t> jpegBytes;  // absent when the picture could not be encoded
  QImage thumbnail;                      // the tile's size at `dpr`; null for a foreign image
};

// Reads an image file (a regular file within kMaxEncodedImageBytes only, never a FIFO or
// a device) and decodes it as QtImageCodec does, refusing before allocation a picture
// whose header declares more pixels than the SDK's decode bound, and turning it upright
// by its EXIF orientation. Blocking: any thread but the GUI thread.
inquiry::PictureLoad loadPictureFile(const QString& path);

// Loads `picture`, encodes it as JPEG at ApiProvider's quality to measure it, and draws
// its thumbnail (`side` logical pixels at `dpr`, cropped to a square). Any thread but
// the GUI thread, as it is slow by design.
ProcessedScreenshot processScreenshot(const inquiry::PickedPicture& picture, const ImageCodec& codec,
                                      int side, qreal dpr);

}  // namespace orvane::ui
