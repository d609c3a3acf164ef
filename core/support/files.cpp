#include "core/support/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fstream>
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

Error fileError(const fs::path& path, const std::string& what, int code = 0) {
  return Error::make(Error::Kind::decoding, path.string() + ": " + what, code);
}

Error systemError(const fs::path& path) {
  const int code = errno;
  return fileError(path, std::error_code(code, std::generic_category()).message(), code);
}

// What a read reserves up front, whatever size the file claims.
constexpr std::uint64_t kReserveAtMost = std::uint64_t{64} * 1024 * 1024;

// Closes on every way out.
struct Descriptor {
  int fd;
  explicit Descriptor(int descriptor) : fd(descriptor) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&&) = delete;
  Descriptor& operator=(Descriptor&&) = delete;
};

}  // namespace

Result<std::string> readRegularFile(const fs::path& path, std::size_t maxBytes) {
  // Checked before opening: opening a FIFO for reading would block (and wake its writer).
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return systemError(path);
  if (!S_ISREG(info.st_mode)) return fileError(path, "not a regular file");
  // Without blocking, in case the path was swapped since; the descriptor is checked again.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (file.fd < 0) return systemError(path);
  if (::fstat(file.fd, &info) != 0) return systemError(path);
  if (!S_ISREG(info.st_mode)) return fileError(path, "not a regular file");
  const auto declared = static_cast<std::uint64_t>(info.st_size);
  if (declared > maxBytes) {
    return fileError(
        path, std::to_string(declared) + " bytes, more than the " + std::to_string(maxBytes) + " allowed");
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(declared, kReserveAtMost)));
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return systemError(path);
    if (n == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (static_cast<std::size_t>(n) > maxBytes - bytes.size())
      return fileError(path, "more than the " + std::to_string(maxBytes) + " bytes allowed");
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

std::optional<std::string> readFile(const fs::path& path) {
  auto bytes = readRegularFile(path);
  if (!bytes.ok()) return std::nullopt;
  return std::move(bytes).value();
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
