#pragma once

#include <QString>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/support/platform/key_value_store.hpp"

class QSettings;

namespace orvane::qt {

// The host's QSettings (its organisation and application names, user scope) with
// a registration domain of defaults held only in memory.
//
// Writing a settings file means rewriting and syncing it, which takes milliseconds:
// too long for the GUI thread. The store therefore reads the file once, when it is
// made, serves every read from memory, and hands writes to a writer thread of its
// own. Changes the host makes to the same keys through another QSettings during the
// run are not seen. `sync()` waits until everything written is on disk; the store
// does that itself when the QCoreApplication goes and when it is destroyed.
//
// The INI files QSettings writes on Linux keep no value types: an integer comes
// back as text. Each non-string value therefore carries a type tag in the group
// `kTypeGroup`, so that integers, flags and numbers read back as what was written.
class QtKeyValueStore final : public KeyValueStore {
 public:
  static constexpr const char* kTypeGroup = "OrvaneValueTypes";

  // Takes the organisation and application names of the running application.
  QtKeyValueStore();
  QtKeyValueStore(QString organization, QString application);
  ~QtKeyValueStore() override;
  QtKeyValueStore(const QtKeyValueStore&) = delete;
  QtKeyValueStore& operator=(const QtKeyValueStore&) = delete;

  std::optional<StoreValue> object(std::string_view key) const override;
  void setObject(std::string_view key, StoreValue value) override;
  void removeObject(std::string_view key) override;
  void registerDefaults(const std::map<std::string, StoreValue>& defaults) override;

  // Blocks until every change made so far is on disk.
  void sync();

 private:
  using Change = std::optional<StoreValue>;  // absent: removed
  using Batch = std::map<std::string, Change, std::less<>>;

  std::unique_ptr<QSettings> open() const;
  void load();
  void queue(std::string_view key, Change change);
  void runWriter();
  void write(const Batch& batch) const;

  QString organization_;
  QString application_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable flushed_;
  std::map<std::string, StoreValue, std::less<>> values_;
  std::map<std::string, StoreValue, std::less<>> defaults_;
  Batch pending_;
  std::uint64_t queued_ = 0;   // changes handed to the writer
  std::uint64_t written_ = 0;  // of those, on disk
  bool stopping_ = false;
  std::thread writer_;
};

}  // namespace orvane::qt
