#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/support/platform/image_codec.hpp"

namespace orvane::inquiry {

// A picture read and decoded, or why not.
struct PictureLoad {
  enum class Failure { none, unreadable, tooManyPixels };
  ImagePtr image;  // set when failure is none
  Failure failure = Failure::none;
  std::string description;  // what went wrong, for the log
};

// One picture the user picked, not read yet.
struct PickedPicture {
  std::string name;  // a file name or similar, for log lines
  // Reads and decodes the picture within the decode bound (core/support/image_bounds.hpp).
  // Slow: runs on the executor, never on the GUI thread.
  std::function<PictureLoad()> load;
};

// Where the inquiry form gets its screenshots: the desktop's file dialog, a camera where
// the platform has one, or a test's own pictures. Called on the GUI thread; the
// callbacks run there too, once each, after the picker has closed.
class PictureSource {
 public:
  using Picked = std::function<void(std::vector<PickedPicture>)>;

  virtual ~PictureSource() = default;
  // Whether `takePhoto` can be offered at all.
  virtual bool hasCamera() const = 0;
  // Lets the user choose pictures, ideally no more than `limit` (a picker that cannot
  // enforce it may return more; the form takes the first ones). Cancelling hands over none.
  virtual void pickPictures(int limit, Picked done) = 0;
  // Lets the user take one photo; cancelling (or no camera) hands over none.
  virtual void takePhoto(Picked done) = 0;
};

}  // namespace orvane::inquiry
