#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/result.hpp"

// Whole-file reads and writes of the SDK's own files (the image caches). Blocking: call
// them on the executor, never on the main thread.
namespace orvane {

// The bytes of a regular file (a link to one included) of at most `maxBytes`; an error
// that says why otherwise. Anything else (a FIFO, a device, a directory) is refused
// without being opened, so that a read never blocks and never runs without end. A failed
// system call leaves its errno in the error's code (ENOENT: no such file).
Result<std::string> readRegularFile(const std::filesystem::path& path,
                                    std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// The file's bytes (a regular file only, as above); absent when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);

// Writes through a temporary file and a rename, so that a reader never sees half a
// file. The folder is created when missing. Returns the error's description on failure.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace orvane
