#pragma once

namespace orvane {

// Where the image cache keeps what it stores: files of its own folder, or memory only.
enum class CacheType { disk, ram };

}  // namespace orvane
