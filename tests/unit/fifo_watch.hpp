#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace orvane::testing {

// A FIFO that proves it was never opened: a writer thread waits in open(O_WRONLY), which
// returns only once somebody opens the FIFO for reading. `opened()` stays false as long
// as nobody did, however briefly; the destructor opens it itself to let the writer go.
class FifoWatch {
 public:
  explicit FifoWatch(std::filesystem::path path) : path_(std::move(path)) {
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
    if (!made_) return;
    writer_ = std::thread([this] {
      tid_ = ::gettid();
      const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
      opened_ = true;
      if (fd >= 0) ::close(fd);
    });
  }
  ~FifoWatch() {
    if (!made_) return;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer_.join();
    if (fd >= 0) ::close(fd);
    std::filesystem::remove(path_);
  }
  FifoWatch(const FifoWatch&) = delete;
  FifoWatch& operator=(const FifoWatch&) = delete;

  // True once the writer sits in its open() (within a bounded wait): from then on any
  // reader's open, blocking or not, would wake it.
  bool armed() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (made_ && tid_ != 0 && !opened_ && inOpen()) return true;
      std::this_thread::yield();
    }
    return false;
  }
  bool opened() const { return opened_; }
  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }

 private:
  // The thread's current system call is openat (257 on x86-64, 56 on arm64) or open (2).
  bool inOpen() const {
    std::ifstream in("/proc/self/task/" + std::to_string(tid_.load()) + "/syscall");
    long number = -1;
    if (!(in >> number)) return false;
#if defined(__aarch64__)
    return number == 56;
#else
    return number == 257 || number == 2;
#endif
  }

  std::filesystem::path path_;
  bool made_ = false;
  std::atomic<pid_t> tid_{0};
  std::atomic<bool> opened_{false};
  std::thread writer_;
};

}  // namespace orvane::testing
