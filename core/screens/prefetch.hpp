#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "core/screens/camp_list_store.hpp"
#include "core/sdk/host_events.hpp"
#include "core/support/image_cache.hpp"
#include "core/support/platform/platform.hpp"
#include "core/support/request_handle.hpp"

namespace orvane {

// Loads the campaign list and the images of the wall's first screen before the wall
// opens, so that the wall shows the list at once. The list goes into the store (memory
// and file); the images into the image cache.
//
// Main thread only. Decoding and classification run on the platform's executor.
class Prefetch {
 public:
  // Rows of the first screen whose images are loaded (a tall window shows about this many).
  static constexpr std::size_t kFirstScreenRows = 10;

  // A null platform means Platform::current() at each start.
  Prefetch(std::shared_ptr<const Platform> platform, CampListStore& store, ImageCache& images,
           HostEvents& events);
  static Prefetch& shared();

  // Starts a load, replacing one under way. A failure is logged and raised as an
  // ErrorEvent of the operation "prefetch".
  void start();
  // The list of the current user is in, and the first screen's images are loaded (or
  // failed: a broken image does not keep the wall waiting).
  bool isReady() const;

 private:
  struct State {
    std::string owner;
    bool listIn = false;
    std::atomic<int> imagesPending{0};
  };
  std::shared_ptr<const Platform> platform() const;
  void listArrived(const std::shared_ptr<State>& state,
                   const std::shared_ptr<const CampListStore::Entry>& entry);

  std::shared_ptr<const Platform> platform_;
  CampListStore* store_;
  ImageCache* images_;
  HostEvents* events_;
  std::shared_ptr<State> state_;
  RequestHandle request_;
};

// The image URLs of the first `rows` rows the wall would show for `lists`.
std::vector<std::string> firstScreenImages(const CampLists& lists, std::int64_t listType, std::size_t rows);

}  // namespace orvane
