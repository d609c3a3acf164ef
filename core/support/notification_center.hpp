#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orvane {

// Names the SDK posts; observers register by name.
inline constexpr std::string_view kActionListChange = "action_list_change";
inline constexpr std::string_view kActionDetailFinish = "action_detail_finish";

// Synchronous notifications by name. `post` calls the observers on the posting
// thread, in registration order. Any thread may observe, post or drop a token.
class NotificationCenter {
  struct Registry;
  struct Entry;

 public:
  using Callback = std::function<void()>;

  // Keeps an observer registered for as long as it lives. Once `reset` or the
  // destructor returns, the callback is not running on another thread and will
  // not run again; dropping the token from inside its own callback is allowed.
  // Waiting for a callback running elsewhere means a token must not be dropped
  // while holding a lock that callback needs.
  class Observation {
   public:
    Observation() = default;
    Observation(Observation&& other) noexcept = default;
    Observation& operator=(Observation&& other) noexcept;
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    ~Observation();

    void reset();
    bool active() const { return entry_ != nullptr; }

   private:
    friend class NotificationCenter;
    Observation(std::shared_ptr<Entry> entry, std::weak_ptr<Registry> registry)
        : entry_(std::move(entry)), registry_(std::move(registry)) {}
    std::shared_ptr<Entry> entry_;
    std::weak_ptr<Registry> registry_;
  };

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // The process-wide centre the SDK's screens and flows share.
  static NotificationCenter& shared();

  [[nodiscard]] Observation observe(std::string_view name, Callback callback);

  // Calls the observers of `name` that were registered when the post began and
  // are still registered when their turn comes.
  void post(std::string_view name);

  std::size_t observerCount(std::string_view name) const;

 private:
  std::shared_ptr<Registry> registry_;
};

}  // namespace orvane
