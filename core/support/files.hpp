#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whole-file reads and writes of the SDK's own files (the image caches). Blocking: call
// them on the executor, never on the main thread.
namespace orvane {

// The file's bytes; absent when it cannot be opened or read.
std::optional<std::string> readFile(const std::filesystem::path& path);

// Writes through a temporary file and a rename, so that a reader never sees half a
// file. The folder is created when missing. Returns the error's description on failure.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace orvane
