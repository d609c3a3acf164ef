#include "core/screens/camp_list_store.hpp"

#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>

#include "core/api/decode_utf8.hpp"
#include "core/sdk/identity.hpp"
#include "core/support/files.hpp"
#include "core/support/image_cache.hpp"
#include "orvane/config.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "orvane-list 1 ";

// The owner is written to the file as a hash: the file need not name the user.
std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string ownerTag(const std::string& owner) { return std::to_string(fnv1a(owner)); }

void logIgnored(const std::string& why) {
  Log::log("CampListStore: the kept list is ignored:", {why}, Log::Level::error());
}

}  // namespace

std::string listAnswerText(std::string_view body, const std::string& newline) {
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  std::string text = repairUtf8(body);
  if (newline.empty()) return text;
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = text.find(newline); at != std::string::npos; at = text.find(newline, from)) {
    out.append(text, from, at - from);
    from = at + newline.size();
  }
  out.append(std::string_view(text).substr(from));
  return out;
}

std::optional<std::string> currentListOwner(const KeyValueStore* store) {
  auto identity = readIdentity(store);
  if (!identity.ok()) return std::nullopt;
  const auto& sdk = OrvaneSDK::shared();
  std::string owner;
  for (const std::string* part :
       {&identity.value().mkey, &identity.value().mckey, &identity.value().userId}) {
    owner += *part;
    owner += '\x1f';
  }
  owner += sdk.hostUrl.value_or(config::kApiBaseUrl);
  owner += sdk.isInspect ? "\x1finspect" : "";
  return owner;
}

CampListStore::CampListStore(fs::path directory) : directory_(std::move(directory)) {}

CampListStore& CampListStore::shared() {
  // Never destroyed: a write may still run on the executor while the process exits.
  static auto* store = new CampListStore();
  return *store;
}

fs::path CampListStore::defaultDirectory() { return ImageCache::defaultDirectory().parent_path(); }

fs::path CampListStore::file() const {
  return (directory_.empty() ? defaultDirectory() : directory_) / "orvane-last-list";
}

void CampListStore::remember(std::shared_ptr<const Entry> entry) {
  std::lock_guard lock(mutex_);
  latest_ = std::move(entry);
}

std::shared_ptr<const CampListStore::Entry> CampListStore::latest(const std::string& owner,
                                                                  Clock::time_point now) const {
  std::lock_guard lock(mutex_);
  if (!latest_ || latest_->owner != owner) return nullptr;
  if (latest_->loadedAt > now || now - latest_->loadedAt > kMaxAge) return nullptr;
  return latest_;
}

void CampListStore::forget() {
  std::lock_guard lock(mutex_);
  latest_.reset();
}

void CampListStore::save(const std::string& owner, Clock::time_point loadedAt, std::string_view text) const {
  if (text.size() > kMaxFileBytes) {
    Log::log("CampListStore: the list is too large to keep:", {std::to_string(text.size())},
             Log::Level::error());
    return;
  }
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(loadedAt.time_since_epoch()).count();
  std::string bytes(kMagic);
  bytes += std::to_string(seconds) + ' ' + ownerTag(owner) + '\n';
  bytes.append(text);
  if (const auto failure = writeFileAtomically(file(), bytes))
    Log::log("CampListStore: cannot keep the list:", {*failure}, Log::Level::error());
}

std::optional<std::pair<std::string, CampListStore::Clock::time_point>> CampListStore::load(
    const std::string& owner, Clock::time_point now) const {
  const fs::path path = file();
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return std::nullopt;  // none kept: nothing to say
  if (size > kMaxFileBytes + 128) {
    logIgnored("larger than " + std::to_string(kMaxFileBytes) + " bytes");
    return std::nullopt;
  }
  auto bytes = readFile(path);
  // Grown between the size check and the read: the cap holds all the same.
  if (!bytes || bytes->size() > kMaxFileBytes + 128) {
    logIgnored("unreadable");
    return std::nullopt;
  }
  std::string_view view(*bytes);
  const auto lineEnd = view.find('\n');
  if (!view.starts_with(kMagic) || lineEnd == std::string_view::npos) {
    logIgnored("not a list file");
    return std::nullopt;
  }
  const std::string_view header = view.substr(kMagic.size(), lineEnd - kMagic.size());
  const auto space = header.find(' ');
  std::int64_t seconds = 0;
  const auto [end, err] =
      std::from_chars(header.data(), header.data() + std::min(space, header.size()), seconds);
  // Bounded, so that the time point cannot overflow (a century and more ahead is no date).
  if (space == std::string_view::npos || err != std::errc() || end != header.data() + space || seconds < 0 ||
      seconds > 8'000'000'000) {
    logIgnored("a malformed header");
    return std::nullopt;
  }
  if (header.substr(space + 1) != ownerTag(owner)) {
    Log::log("CampListStore: the kept list is of another user or server", Log::Level::info());
    return std::nullopt;
  }
  const Clock::time_point loadedAt{std::chrono::seconds(seconds)};
  if (loadedAt > now || now - loadedAt > kMaxAge) {
    Log::log("CampListStore: the kept list is older than a day (or from the future); not shown",
             Log::Level::info());
    return std::nullopt;
  }
  return std::make_pair(std::string(view.substr(lineEnd + 1)), loadedAt);
}

}  // namespace orvane
