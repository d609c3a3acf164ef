#include "core/support/files.hpp"

#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace orvane {

namespace fs = std::filesystem;

namespace {

// Starts with a dot: the image cache never names a file of its own that way.
std::string temporaryName() {
  static std::atomic<std::uint64_t> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}()};
  return ".tmp-" + std::to_string(random()) + "-" + std::to_string(counter.fetch_add(1));
}

}  // namespace

std::optional<std::string> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::optional<std::string> writeFileAtomically(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return ec.message();
  const fs::path tmp = path.parent_path() / temporaryName();
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot create " + tmp.string();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(tmp, ec);
      return "cannot write " + tmp.string();
    }
  }
  fs::rename(tmp, path, ec);
  if (ec) {
    const auto message = ec.message();
    fs::remove(tmp, ec);
    return message;
  }
  return std::nullopt;
}

}  // namespace orvane
