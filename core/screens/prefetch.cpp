#include "core/screens/prefetch.hpp"

#include <utility>

#include "core/api/api_list.hpp"
#include "core/api/records.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"

namespace orvane {

std::vector<std::string> firstScreenImages(const CampLists& lists, std::int64_t listType, std::size_t rows) {
  const KindChoice choice = chooseKind(lists);
  if (!choice.selected) return {};
  // The first tab when both kinds exist, in the first sort mode: what a new wall shows.
  const CampKind kind = choice.result == KindChoice::Result::bothKinds ? kindForTab(0) : *choice.selected;
  const auto sorted = setSort(campListOf(lists, kind), houseListOf(lists, kind), listType, SortMode::init);
  std::vector<std::string> urls;
  for (const Camp& camp : sorted.selectedAllCampList) {
    if (urls.size() >= rows) break;
    // As the cells choose: the native image in the native style, else the icon.
    if (camp.bm != kCpsBm && listType == 1 && camp.nativeurl) {
      urls.push_back(*camp.nativeurl);
    } else if (camp.iconurl && !camp.iconurl->empty()) {
      urls.push_back(*camp.iconurl);
    }
  }
  return urls;
}

Prefetch::Prefetch(std::shared_ptr<const Platform> platform, CampListStore& store, ImageCache& images,
                   HostEvents& events)
    : platform_(std::move(platform)), store_(&store), images_(&images), events_(&events) {}

Prefetch& Prefetch::shared() {
  static auto* instance =
      new Prefetch(nullptr, CampListStore::shared(), ImageCache::defaultCache(), HostEvents::shared());
  return *instance;
}

std::shared_ptr<const Platform> Prefetch::platform() const {
  return platform_ ? platform_ : Platform::current();
}

void Prefetch::start() {
  const auto p = platform();
  auto state = std::make_shared<State>();
  state->owner = currentListOwner(p->store.get()).value_or(std::string());
  state_ = state;
  const auto now = p->clock ? p->clock->now() : CampListStore::Clock::now();
  request_ = fetch(
      *p, [&](auto done) { return ApiList(p).getReq(std::move(done)); },
      [newline = localized("ascii_newline"), owner = state->owner, store = store_,
       now](std::string_view body) -> Result<std::shared_ptr<const CampListStore::Entry>> {
        std::string text = listAnswerText(body, newline);
        auto req = decodeReq(text);
        if (!req.ok()) return req.error();
        const bool proper = req.value().result == 200;
        if (!proper) {
          return Error::make(
              Error::Kind::decoding,
              "the list was answered with result " +
                  (req.value().result ? std::to_string(*req.value().result) : std::string("nil")));
        }
        auto entry = std::make_shared<CampListStore::Entry>(
            CampListStore::Entry{owner, now, classify(std::move(req).value())});
        store->save(owner, now, text);
        return std::shared_ptr<const CampListStore::Entry>(std::move(entry));
      },
      [this, state](Result<std::shared_ptr<const CampListStore::Entry>> entry) {
        if (!entry.ok()) {
          Log::log("Orvane prefetch failed:", {entry.error().description}, Log::Level::error());
          events_->raise(errorEvent("prefetch", entry.error()));
          return;
        }
        listArrived(state, entry.value());
      });
}

void Prefetch::listArrived(const std::shared_ptr<State>& state,
                           const std::shared_ptr<const CampListStore::Entry>& entry) {
  store_->remember(entry);
  const auto p = platform();
  const std::int64_t listType = p->store ? p->store->integer(keys::kListType) : 0;
  const auto urls = firstScreenImages(entry->lists, listType, kFirstScreenRows);
  state->imagesPending = static_cast<int>(urls.size());
  state->listIn = true;
  for (const auto& url : urls) {
    // The cache drops the completion once it is done with the load, delivered or failed:
    // the token goes with it and counts the image as settled.
    auto settled = std::shared_ptr<void>(nullptr, [state](void*) { --state->imagesPending; });
    images_->load(url, std::nullopt, [settled](const std::string&, const ImagePtr&) {});
  }
  Log::log("Orvane prefetch: the list is in;", {std::to_string(urls.size()), "first-screen images loading"},
           Log::Level::info());
}

bool Prefetch::isReady() const {
  if (!state_ || !state_->listIn || state_->imagesPending.load() > 0) return false;
  const auto owner = currentListOwner(platform()->store.get());
  if (!owner || *owner != state_->owner) return false;
  return store_->latest(*owner, platform()->clock ? platform()->clock->now() : CampListStore::Clock::now()) !=
         nullptr;
}

}  // namespace orvane
