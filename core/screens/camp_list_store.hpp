#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/screens/camp_ordering.hpp"
#include "core/support/platform/key_value_store.hpp"
#include "core/support/result.hpp"

namespace orvane {

// The list answer's text as the wall decodes it: a leading byte-order mark dropped,
// invalid UTF-8 repaired, every `newline` text removed.
std::string listAnswerText(std::string_view body, const std::string& newline);

// Whose list a list is: the identity and the servers that made it, so that a list is
// never shown to another user or taken from another server. Absent when not initialised.
std::optional<std::string> currentListOwner(const KeyValueStore* store);

// The latest campaign list loaded, per owner: in memory for walls opened later (a
// prefetch, an earlier wall), and as a file in the SDK's cache folder, so that a wall
// opened without network shows the last list instead of nothing. Either is used for at
// most a day.
//
// The memory side is safe from any thread. The file side blocks: call it on the executor.
// The file is read with a size cap and its body goes through the normal decoder; a file
// that is too large, of another owner, too old, from the future or malformed is ignored,
// with a log line.
class CampListStore {
 public:
  using Clock = std::chrono::system_clock;
  static constexpr std::chrono::hours kMaxAge{24};
  static constexpr std::size_t kMaxFileBytes = std::size_t{8} << 20;

  struct Entry {
    std::string owner;
    Clock::time_point loadedAt;
    CampLists lists;
  };

  // An empty directory means defaultDirectory() at each use.
  explicit CampListStore(std::filesystem::path directory = {});
  static CampListStore& shared();
  // Beside the image cache's folder, in the SDK's cache folder.
  static std::filesystem::path defaultDirectory();

  void remember(std::shared_ptr<const Entry> entry);
  // The entry of `owner`, when there is one at most a day old at `now`.
  std::shared_ptr<const Entry> latest(const std::string& owner, Clock::time_point now) const;
  void forget();

  // Keeps `text` (listAnswerText of a proper answer) as the owner's last list; logs a failure.
  void save(const std::string& owner, Clock::time_point loadedAt, std::string_view text) const;
  // The text kept for `owner` with the time it was loaded, when usable at `now`.
  std::optional<std::pair<std::string, Clock::time_point>> load(const std::string& owner,
                                                                Clock::time_point now) const;
  std::filesystem::path file() const;

 private:
  std::filesystem::path directory_;
  mutable std::mutex mutex_;
  std::shared_ptr<const Entry> latest_;
};

}  // namespace orvane
