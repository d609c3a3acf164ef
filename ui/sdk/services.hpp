#pragma once

#include <cstdint>
#include <memory>

#include "core/support/platform/platform.hpp"

namespace orvane {
class ApiJoin;
class CampListStore;
class HostEvents;
class ImageCache;
class NotificationCenter;
}  // namespace orvane

// How a screen gets what it uses: it is handed a Services bundle when it is made.
//
// Nothing in ui/ reaches for a process-wide object. The storyboard and the facade build
// the bundle from the shared instances (`Services::shared()`); a test builds its own:
//
//   ui::Services services = ui::Services::shared();  // or fields of its own
//   services.animations = false;
//   auto* screen = new OrvaneViewController(services);
//
// A screen passes it to its ViewController base and reads it back with `services()`:
//
//   class HistoryViewController : public ViewController {
//    public:
//     explicit HistoryViewController(Services services, QWidget* parent = nullptr)
//         : ViewController(std::move(services), parent) {}
//     void load() {
//       const auto& platform = services().platform;  // store, main queue, executor, HTTP
//       rows_ = fetch(
//           *platform,
//           [&](auto done) { return ApiList(platform).getRewardList(kind, from, to, std::move(done)); },
//           decodeRewardList, [this](Result<RewardList> list) { show(std::move(list)); });
//     }
//     RequestHandle rows_;
//   };
//
// Cells and the footer take `const Services&` in their constructor and keep what they
// need; the screen that registers a cell hands its own bundle on. A screen made by a
// segue gets the bundle of the screen that performed it (the storyboard passes it). In
// a UI test, WallTest::services() (tests/ui/wall_test_support.hpp) is the shared bundle
// on the test's platform without animations; any field can be replaced by the test's own.
namespace orvane::ui {

struct Services {
  // Settings, main queue, executor, HTTP, URL opener and the other platform services.
  std::shared_ptr<const Platform> platform;
  // The participation flow, the notification centre and the cells' image cache. Not
  // owned: they outlive every screen made with the bundle (the shared ones never die).
  ApiJoin* join = nullptr;
  NotificationCenter* notifications = nullptr;
  ImageCache* images = nullptr;
  // The host's events, and the number of the wall the screens belong to (0: none).
  HostEvents* events = nullptr;
  std::uint64_t wall = 0;
  // The last list loaded, shown at once by a new wall and kept for a wall without network.
  CampListStore* lists = nullptr;
  // Pushes, pops, sheets and the pop-up slide when on; tests turn it off.
  bool animations = true;

  // The defaults: the installed platform (as it is now), ApiJoin::shared(),
  // NotificationCenter::shared(), ImageCache::defaultCache(), HostEvents::shared() and
  // CampListStore::shared(), no wall, animations on.
  static Services shared();
};

}  // namespace orvane::ui
