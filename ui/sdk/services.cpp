#include "ui/sdk/services.hpp"

#include "core/participation/api_join.hpp"
#include "core/screens/camp_list_store.hpp"
#include "core/sdk/host_events.hpp"
#include "core/support/image_cache.hpp"
#include "core/support/notification_center.hpp"

namespace orvane::ui {

Services Services::shared() {
  Services services;
  services.platform = Platform::current();
  services.join = &ApiJoin::shared();
  services.notifications = &NotificationCenter::shared();
  services.images = &ImageCache::defaultCache();
  services.events = &HostEvents::shared();
  services.lists = &CampListStore::shared();
  return services;
}

}  // namespace orvane::ui
