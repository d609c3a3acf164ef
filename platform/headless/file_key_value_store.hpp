#pragma once

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "core/support/platform/key_value_store.hpp"

namespace orvane::headless {

// The settings of a host without Qt: one small text file, read once when the store is
// made and rewritten whole after each change by a writer thread of its own, through a
// temporary file and a rename, so the caller's thread never waits on the disk and a
// crash leaves the old or the new file, never half of one. Safe from any thread.
//
// An empty path keeps everything in memory. A file larger than `kMaxFileBytes`, not a
// regular file, or with lines that do not parse is read as far as it makes sense and
// logged; the next write replaces it.
class FileKeyValueStore final : public KeyValueStore {
 public:
  static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

  explicit FileKeyValueStore(std::filesystem::path path);
  ~FileKeyValueStore() override;  // writes what is pending
  FileKeyValueStore(const FileKeyValueStore&) = delete;
  FileKeyValueStore& operator=(const FileKeyValueStore&) = delete;

  std::optional<StoreValue> object(std::string_view key) const override;
  void setObject(std::string_view key, StoreValue value) override;
  void removeObject(std::string_view key) override;
  void registerDefaults(const std::map<std::string, StoreValue>& defaults) override;

  // Waits until every change made so far is on disk; false when the last write failed.
  bool flush();
  const std::filesystem::path& path() const { return path_; }

  // "$XDG_CONFIG_HOME/orvane/settings" (XDG_CONFIG_HOME only when absolute), else
  // "$HOME/.config/orvane/settings"; empty without either.
  static std::filesystem::path defaultPath();

  // The file's text for `values`, and `values` from such a text (lines that do not
  // parse are skipped and counted in `skipped`).
  static std::string serialize(const std::map<std::string, StoreValue, std::less<>>& values);
  static std::map<std::string, StoreValue, std::less<>> parse(std::string_view text,
                                                              std::size_t* skipped = nullptr);

 private:
  void changed();  // with mutex_ held
  void writerLoop();

  std::filesystem::path path_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable written_;
  std::map<std::string, StoreValue, std::less<>> values_;
  std::map<std::string, StoreValue, std::less<>> defaults_;
  std::size_t version_ = 0;         // changes made
  std::size_t writtenVersion_ = 0;  // changes on disk (or given up on)
  bool lastWriteOk_ = true;
  bool stopping_ = false;
  std::thread writer_;
};

}  // namespace orvane::headless
