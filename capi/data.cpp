// What the host reads: the campaign list, campaigns, the reward history, texts, the
// inquiry and images.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <utility>

#include "capi/capi_internal.hpp"
#include "core/api/api_list.hpp"
#include "core/inquiry/inquiry_form.hpp"
#include "core/screens/reward_text.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "core/support/html_text.hpp"
#include "core/support/image_bounds.hpp"
#include "orvane/localized.hpp"
#include "platform/headless/raster_image_codec.hpp"

namespace orvane::capi {

namespace {

thread_local std::string tScratch;

// The user's zone as the C library knows it (TZ, /etc/localtime).
class LocalZone final : public TimeZoneRule {
 public:
  std::chrono::seconds offsetAt(Instant instant) const override {
    const std::time_t t = static_cast<std::time_t>(instant.time_since_epoch().count());
    std::tm local{};
    if (!localtime_r(&t, &local)) return std::chrono::seconds{0};
    return std::chrono::seconds{local.tm_gmtoff};
  }
};

SortMode modeOf(orvane_sort_mode sort) {
  return sort == ORVANE_SORT_HIGH ? SortMode::high : sort == ORVANE_SORT_LOW ? SortMode::low : SortMode::init;
}

bool validSort(orvane_sort_mode sort) { return sort >= ORVANE_SORT_INIT && sort <= ORVANE_SORT_LOW; }

// Fills `list` with what the wall shows for `tab` and `sort`.
void select(orvane_campaign_list& list, int tab, orvane_sort_mode sort) {
  list.tab = tab;
  list.sort = sort;
  ShownCamps shown = showCamps(list.lists, tab, list.listType, modeOf(sort));
  list.choice = shown.choice;
  list.kind = shown.kind;
  list.shown.clear();
  list.shown.reserve(shown.sorted.selectedAllCampList.size());
  const auto& houses = shown.sorted.selectedHouseList;
  for (auto& camp : shown.sorted.selectedAllCampList) {
    const bool house = std::find(houses.begin(), houses.end(), camp) != houses.end();
    list.shown.push_back({std::move(camp), house, {}});
  }
}

struct Failure {
  orvane_status status = ORVANE_E_INTERNAL;
  int httpStatus = 0;
  std::int64_t serverResult = 0;
  std::string message;

  static Failure of(const Error& error) { return {statusOf(error), error.status, 0, error.description}; }
  static Failure result(const char* what, const std::optional<std::int64_t>& result) {
    return {
        ORVANE_E_SERVER_RESULT, 0, result.value_or(0),
        std::string(what) + " answered result " + (result ? std::to_string(*result) : std::string("(none)"))};
  }
};

// A decoded answer, or why not.
template <class T>
using Reply = std::variant<T, Failure>;

template <class Callback>
void deliverFailure(Sdk& sdk, const Failure& failure, Callback&& callback) {
  orvane_error e{};
  e.status = failure.status;
  e.http_status = failure.httpStatus;
  e.server_result = failure.serverResult;
  e.message = failure.message.c_str();
  callback(&e);
  sdk.emitEvent(ORVANE_EVENT_ERROR, -1, {}, 0, failure.status, failure.message);
}

// Sends with `send`, decodes into Reply<T> off the main thread with `decode`, and
// hands the outcome to `deliver` inside a pump. The request is the handle's until then.
template <class T, class Send, class Decode, class Deliver>
orvane_status startRequest(orvane_sdk* sdk, orvane_request_id* out_request, Send send, Decode decode,
                           Deliver deliver) {
  auto& impl = *sdk->impl;
  const orvane_request_id id = impl.reserveRequest();
  Sdk* self = &impl;
  auto handle = fetch(
      *impl.platform(), std::move(send),
      [decode = std::move(decode)](std::string_view body) -> Result<Reply<T>> {
        return Reply<T>(decode(body));
      },
      [self, id, deliver = std::move(deliver)](Result<Reply<T>> outcome) mutable {
        self->finished(id);
        if (!outcome.ok()) {
          deliver(Reply<T>(Failure::of(outcome.error())));
          return;
        }
        deliver(std::move(outcome).value());
      });
  impl.keepAs(id, std::move(handle));
  if (out_request) *out_request = id;
  return succeed();
}

orvane_status enterWithCallback(orvane_sdk* sdk, const void* callback) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  if (!callback) return fail(ORVANE_E_INVALID_ARGUMENT, "callback is NULL");
  return ORVANE_OK;
}

// A campaign list of the answer's own order (the inquiry's campaigns).
std::unique_ptr<orvane_campaign_list> plainList(std::vector<Camp> camps) {
  auto list = std::make_unique<orvane_campaign_list>();
  list->choice.result = camps.empty() ? KindChoice::Result::nothingToShow : KindChoice::Result::otherOnly;
  list->kind = CampKind::other;
  for (auto& camp : camps) list->shown.push_back({std::move(camp), false, {}});
  return list;
}

// The text-answer requests: a VelmontNotice-like record with the text at `field`.
using TextReply = Reply<std::string>;

orvane_status startText(orvane_sdk* sdk, orvane_request_id* out_request, orvane_text_callback callback,
                        void* userData, std::function<RequestHandle(ApiList&, ApiList::Completion)> send,
                        std::function<TextReply(std::string_view)> decode) {
  Sdk* self = sdk->impl.get();
  auto platform = self->platform();
  return startRequest<std::string>(
      sdk, out_request,
      [platform, send = std::move(send)](auto done) {
        ApiList api(platform);
        return send(api, std::move(done));
      },
      std::move(decode),
      [self, callback, userData](TextReply outcome) {
        if (auto* failure = std::get_if<Failure>(&outcome)) {
          deliverFailure(*self, *failure, [&](const orvane_error* e) { callback(e, nullptr, 0, userData); });
          return;
        }
        const auto& text = std::get<std::string>(outcome);
        callback(nullptr, text.c_str(), text.size(), userData);
      });
}

}  // namespace

}  // namespace orvane::capi

using namespace orvane;
using namespace orvane::capi;

extern "C" {

// --- the list

orvane_status orvane_load_list(orvane_sdk* sdk, int tab, orvane_sort_mode sort, orvane_list_callback callback,
                               void* user_data, orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  if (!validSort(sort)) return fail(ORVANE_E_INVALID_ARGUMENT, "sort is no orvane_sort_mode");
  if (tab != 0 && tab != 1) return fail(ORVANE_E_INVALID_ARGUMENT, "tab is neither 0 nor 1");
  Sdk* self = sdk->impl.get();
  auto platform = self->platform();
  const std::int64_t listType = platform->store->integer(keys::kListType);
  using Shared = std::shared_ptr<orvane_campaign_list>;
  return startRequest<Shared>(
      sdk, out_request, [platform](auto done) { return ApiList(platform).getReq(std::move(done)); },
      [newline = localized("ascii_newline"), listType, tab, sort](std::string_view body) -> Reply<Shared> {
        std::optional<std::int64_t> result;
        auto lists = readCampListAnswer(body, newline, "orvane_load_list", &result);
        if (!lists.ok()) return Failure::of(lists.error());
        // The wall shows what such an answer classifies to (nothing, usually); a host
        // learns why.
        if (result != 200) return Failure::result("the campaign list", result);
        auto list = std::make_shared<orvane_campaign_list>();
        list->lists = std::move(lists).value();
        list->listType = listType;
        list->rewardText = rewardText(list->lists.rewardTotal, list->lists.rewardMark);
        select(*list, tab, sort);
        return list;
      },
      [self, callback, user_data](Reply<Shared> outcome) {
        if (auto* failure = std::get_if<Failure>(&outcome)) {
          deliverFailure(*self, *failure, [&](const orvane_error* e) { callback(e, nullptr, user_data); });
          return;
        }
        // The host owns it from here: a copy of the shared one, moved.
        auto owned = std::make_unique<orvane_campaign_list>(std::move(*std::get<Shared>(outcome)));
        const std::size_t count = owned->shown.size();
        callback(nullptr, owned.release(), user_data);
        self->emitEvent(ORVANE_EVENT_LIST_LOADED, -1, {}, count);
      });
}

orvane_status orvane_list_select(orvane_campaign_list* list, int tab, orvane_sort_mode sort) {
  if (!list) return fail(ORVANE_E_INVALID_ARGUMENT, "list is NULL");
  if (!validSort(sort)) return fail(ORVANE_E_INVALID_ARGUMENT, "sort is no orvane_sort_mode");
  if (tab != 0 && tab != 1) return fail(ORVANE_E_INVALID_ARGUMENT, "tab is neither 0 nor 1");
  select(*list, tab, sort);
  return succeed();
}

void orvane_list_free(orvane_campaign_list* list) { delete list; }  // NOLINT(cppcoreguidelines-owning-memory)

orvane_status orvane_list_get_info(const orvane_campaign_list* list, orvane_list_info* out_info) {
  if (!list || !out_info) return fail(ORVANE_E_INVALID_ARGUMENT, "list or out_info is NULL");
  if (out_info->struct_size < sizeof(orvane_list_info)) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "orvane_list_info.struct_size is not sizeof(orvane_list_info)");
  }
  orvane_list_info info{};
  info.struct_size = sizeof(orvane_list_info);
  switch (list->choice.result) {
    case KindChoice::Result::nothingToShow:
      info.choice = ORVANE_CHOICE_NOTHING;
      break;
    case KindChoice::Result::otherOnly:
      info.choice = ORVANE_CHOICE_OTHER_ONLY;
      break;
    case KindChoice::Result::cpsOnly:
      info.choice = ORVANE_CHOICE_CPS_ONLY;
      break;
    case KindChoice::Result::bothKinds:
      info.choice = ORVANE_CHOICE_BOTH;
      break;
  }
  info.tabs_shown = list->choice.result == KindChoice::Result::bothKinds ? 1 : 0;
  info.kind = list->kind == CampKind::cps ? ORVANE_KIND_CPS : ORVANE_KIND_OTHER;
  info.tab = list->tab;
  info.sort = list->sort;
  info.reward_total = list->lists.rewardTotal;
  info.reward_mark = list->lists.rewardMark.c_str();
  info.reward_text = list->rewardText.c_str();
  info.count = list->shown.size();
  info.list_type = list->listType;
  *out_info = info;
  return succeed();
}

orvane_status orvane_list_campaign(const orvane_campaign_list* list, size_t index,
                                   const orvane_campaign** out_campaign) {
  if (!list || !out_campaign) return fail(ORVANE_E_INVALID_ARGUMENT, "list or out_campaign is NULL");
  *out_campaign = nullptr;
  if (index >= list->shown.size()) {
    return fail(ORVANE_E_NOT_FOUND,
                "index " + std::to_string(index) + " of " + std::to_string(list->shown.size()));
  }
  *out_campaign = &list->shown[index];
  return succeed();
}

const char* orvane_sort_title(orvane_sort_mode sort) {
  static const SortTitles titles = SortTitles::localizedTitles();
  switch (sort) {
    case ORVANE_SORT_HIGH:
      return titles.high.c_str();
    case ORVANE_SORT_LOW:
      return titles.low.c_str();
    default:
      return titles.init.c_str();
  }
}

orvane_sort_mode orvane_sort_next(orvane_sort_mode sort) {
  switch (nextSortMode(modeOf(sort))) {
    case SortMode::high:
      return ORVANE_SORT_HIGH;
    case SortMode::low:
      return ORVANE_SORT_LOW;
    case SortMode::init:
      break;
  }
  return ORVANE_SORT_INIT;
}

// --- campaigns

orvane_status orvane_campaign_int(const orvane_campaign* campaign, orvane_campaign_field field,
                                  int64_t* out_value) {
  if (!campaign || !out_value) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_value is NULL");
  const Camp& c = campaign->camp;
  const std::int64_t* v = nullptr;
  switch (field) {
    case ORVANE_CAMP_CAMPID:
      v = &c.campid;
      break;
    case ORVANE_CAMP_BM:
      v = &c.bm;
      break;
    case ORVANE_CAMP_BMCHECK:
      v = &c.bmcheck;
      break;
    case ORVANE_CAMP_DETAILPAGE:
      v = &c.detailpage;
      break;
    case ORVANE_CAMP_CTVWIDTH:
      v = &c.ctvwidth;
      break;
    case ORVANE_CAMP_CTVHEIGHT:
      v = &c.ctvheight;
      break;
    case ORVANE_CAMP_REWARDCONDITION:
      v = &c.rewardcondition;
      break;
    case ORVANE_CAMP_CATEGORY:
      v = &c.category;
      break;
    case ORVANE_CAMP_CPSPRICE:
      v = &c.cpsprice;
      break;
    case ORVANE_CAMP_CPSDCPRICE:
      v = &c.cpsdcprice;
      break;
    case ORVANE_CAMP_TARGETAGEMIN:
      v = &c.targetagemin;
      break;
    case ORVANE_CAMP_TARGETAGEMAX:
      v = &c.targetagemax;
      break;
    case ORVANE_CAMP_GENDER:
      v = &c.gender;
      break;
    case ORVANE_CAMP_CONVFLAG:
      v = &c.convflag;
      break;
    case ORVANE_CAMP_ORDERSEQ:
      v = &c.orderseq;
      break;
    case ORVANE_CAMP_REWARDTYPE:
      v = &c.rewardtype;
      break;
    default:
      break;
  }
  if (!v) return fail(ORVANE_E_INVALID_ARGUMENT, "field " + std::to_string(field) + " is no integer field");
  *out_value = *v;
  return succeed();
}

orvane_status orvane_campaign_double(const orvane_campaign* campaign, orvane_campaign_field field,
                                     double* out_value) {
  if (!campaign || !out_value) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_value is NULL");
  if (field != ORVANE_CAMP_REWARDPRICE) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "field " + std::to_string(field) + " is no number field");
  }
  *out_value = campaign->camp.rewardprice;
  return succeed();
}

orvane_status orvane_campaign_string(const orvane_campaign* campaign, orvane_campaign_field field,
                                     const char** out_value) {
  if (!campaign || !out_value) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_value is NULL");
  *out_value = nullptr;
  const Camp& c = campaign->camp;
  const std::string* v = nullptr;
  const std::optional<std::string>* optional = nullptr;
  switch (field) {
    case ORVANE_CAMP_NAME:
      v = &c.name;
      break;
    case ORVANE_CAMP_ENGNAME:
      v = &c.engname;
      break;
    case ORVANE_CAMP_PACKAGE:
      v = &c.package;
      break;
    case ORVANE_CAMP_CTVURL:
      v = &c.ctvurl;
      break;
    case ORVANE_CAMP_NATIVEURL:
      optional = &c.nativeurl;
      break;
    case ORVANE_CAMP_ICONURL:
      optional = &c.iconurl;
      break;
    case ORVANE_CAMP_VIEWURL:
      optional = &c.viewurl;
      break;
    case ORVANE_CAMP_JOINDESC:
      v = &c.joindesc;
      break;
    case ORVANE_CAMP_REWARDDESC:
      v = &c.rewarddesc;
      break;
    case ORVANE_CAMP_NOTICE:
      v = &c.notice;
      break;
    case ORVANE_CAMP_CTA:
      v = &c.cta;
      break;
    case ORVANE_CAMP_PRICEMARK:
      v = &c.pricemark;
      break;
    case ORVANE_CAMP_CARRIER:
      v = &c.carrier;
      break;
    case ORVANE_CAMP_OVNKEY:
      optional = &c.ovnkey;
      break;
    case ORVANE_CAMP_REWARDDATE:
      v = &c.rewarddate;
      break;
    default:
      break;
  }
  if (optional) {
    if (!*optional) return fail(ORVANE_E_NOT_FOUND, "field " + std::to_string(field) + " is absent");
    v = &**optional;
  }
  if (!v) return fail(ORVANE_E_INVALID_ARGUMENT, "field " + std::to_string(field) + " is no string field");
  *out_value = v->c_str();
  return succeed();
}

static const std::optional<std::vector<std::string>>* stringList(const Camp& c, orvane_campaign_field field) {
  if (field == ORVANE_CAMP_TARGETPKG) return &c.targetpkg;
  if (field == ORVANE_CAMP_DETARGETPKG) return &c.detargetpkg;
  return nullptr;
}

orvane_status orvane_campaign_list_count(const orvane_campaign* campaign, orvane_campaign_field field,
                                         size_t* out_count) {
  if (!campaign || !out_count) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_count is NULL");
  *out_count = 0;
  const auto* list = stringList(campaign->camp, field);
  if (!list) return fail(ORVANE_E_INVALID_ARGUMENT, "field " + std::to_string(field) + " is no list field");
  if (!*list) return fail(ORVANE_E_NOT_FOUND, "field " + std::to_string(field) + " is absent");
  *out_count = (*list)->size();
  return succeed();
}

orvane_status orvane_campaign_list_item(const orvane_campaign* campaign, orvane_campaign_field field,
                                        size_t index, const char** out_value) {
  if (!campaign || !out_value) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_value is NULL");
  *out_value = nullptr;
  const auto* list = stringList(campaign->camp, field);
  if (!list) return fail(ORVANE_E_INVALID_ARGUMENT, "field " + std::to_string(field) + " is no list field");
  if (!*list || index >= (*list)->size()) return fail(ORVANE_E_NOT_FOUND, "no such entry");
  *out_value = (**list)[index].c_str();
  return succeed();
}

orvane_status orvane_campaign_is_house(const orvane_campaign* campaign, int* out_is_house) {
  if (!campaign || !out_is_house) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_is_house is NULL");
  *out_is_house = campaign->house ? 1 : 0;
  return succeed();
}

orvane_status orvane_campaign_reward_text(const orvane_campaign* campaign, const char** out_text) {
  if (!campaign || !out_text) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_text is NULL");
  campaign->scratch = rewardText(campaign->camp.rewardprice, campaign->camp.pricemark);
  *out_text = campaign->scratch.c_str();
  return succeed();
}

orvane_status orvane_campaign_json(const orvane_campaign* campaign, const char** out_json) {
  if (!campaign || !out_json) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign or out_json is NULL");
  campaign->scratch = encodeCamp(campaign->camp);
  *out_json = campaign->scratch.c_str();
  return succeed();
}

// --- reward history

orvane_status orvane_load_reward_history(orvane_sdk* sdk, orvane_reward_kind kind, orvane_period period,
                                         orvane_history_callback callback, void* user_data,
                                         orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  const auto kinds = benefitsKindList();
  if (kind < 0 || static_cast<std::size_t>(kind) >= kinds.size()) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "kind is no orvane_reward_kind");
  }
  const LocalZone zone;
  const auto now = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
  const auto periods = periodList(now, zone);
  if (period < 0 || static_cast<std::size_t>(period) >= periods.size()) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "period is no orvane_period");
  }
  const RewardRange range = rewardRange(periods[static_cast<std::size_t>(period)].start, now, zone);
  Sdk* self = sdk->impl.get();
  auto platform = self->platform();
  using Shared = std::shared_ptr<orvane_reward_history>;
  return startRequest<Shared>(
      sdk, out_request,
      [platform, code = kinds[static_cast<std::size_t>(kind)].code, range](auto done) {
        return ApiList(platform).getRewardList(code, range.sStart, range.sEnd, std::move(done));
      },
      [term = termText(localized("ov_term"), range)](std::string_view body) -> Reply<Shared> {
        auto decoded = decodeRewardList(body);
        if (!decoded.ok()) return Failure::of(decoded.error());
        if (decoded.value().result != 200)
          return Failure::result("the reward history", decoded.value().result);
        auto history = std::make_shared<orvane_reward_history>();
        history->rewards = std::move(decoded.value().reward).value_or(std::vector<Reward>{});
        for (const auto& reward : history->rewards) history->texts.push_back(rewardRowText(reward));
        history->term = term;
        return history;
      },
      [self, callback, user_data](Reply<Shared> outcome) {
        if (auto* failure = std::get_if<Failure>(&outcome)) {
          deliverFailure(*self, *failure, [&](const orvane_error* e) { callback(e, nullptr, user_data); });
          return;
        }
        callback(nullptr,
                 std::make_unique<orvane_reward_history>(std::move(*std::get<Shared>(outcome))).release(),
                 user_data);
      });
}

void orvane_history_free(orvane_reward_history* history) { delete history; }  // NOLINT

orvane_status orvane_history_count(const orvane_reward_history* history, size_t* out_count) {
  if (!history || !out_count) return fail(ORVANE_E_INVALID_ARGUMENT, "history or out_count is NULL");
  *out_count = history->rewards.size();
  return succeed();
}

orvane_status orvane_history_row(const orvane_reward_history* history, size_t index,
                                 orvane_reward_row* out_row) {
  if (!history || !out_row) return fail(ORVANE_E_INVALID_ARGUMENT, "history or out_row is NULL");
  if (out_row->struct_size < sizeof(orvane_reward_row)) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "orvane_reward_row.struct_size is not sizeof(orvane_reward_row)");
  }
  if (index >= history->rewards.size()) return fail(ORVANE_E_NOT_FOUND, "no such row");
  const Reward& r = history->rewards[index];
  const RewardRowText& t = history->texts[index];
  orvane_reward_row row{};
  row.struct_size = sizeof(orvane_reward_row);
  row.campid = r.campid.value_or(-1);
  row.name = t.name.c_str();
  row.date = t.date.c_str();
  row.price_text = t.price.c_str();
  row.price = r.rewardprice.value_or(0.0);
  row.mark = r.rewardmark ? r.rewardmark->c_str() : "";
  row.bm = r.bm.value_or(-1);
  *out_row = row;
  return succeed();
}

orvane_status orvane_history_term_text(const orvane_reward_history* history, const char** out_text) {
  if (!history || !out_text) return fail(ORVANE_E_INVALID_ARGUMENT, "history or out_text is NULL");
  *out_text = history->term.c_str();
  return succeed();
}

const char* orvane_reward_kind_label(orvane_reward_kind kind) {
  static const auto kinds = benefitsKindList();
  if (kind < 0 || static_cast<std::size_t>(kind) >= kinds.size()) return "";
  return kinds[static_cast<std::size_t>(kind)].label.c_str();
}

const char* orvane_period_label(orvane_period period) {
  static const std::vector<std::string> labels = [] {
    std::vector<std::string> out;
    for (const auto& p : periodList(Instant{}, FixedOffsetZone{})) out.push_back(p.label);
    return out;
  }();
  if (period < 0 || static_cast<std::size_t>(period) >= labels.size()) return "";
  return labels[static_cast<std::size_t>(period)].c_str();
}

// --- texts

orvane_status orvane_load_notice(orvane_sdk* sdk, orvane_text_callback callback, void* user_data,
                                 orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  return startText(
      sdk, out_request, callback, user_data,
      [](ApiList& api, ApiList::Completion done) { return api.getVelmontNotice(std::move(done)); },
      [](std::string_view body) -> TextReply {
        auto decoded = decodeVelmontNotice(body);
        if (!decoded.ok()) return Failure::of(decoded.error());
        if (decoded.value().result != 200) return Failure::result("the notice", decoded.value().result);
        return htmlToPlainText(decoded.value().text.value_or(""));
      });
}

orvane_status orvane_load_view(orvane_sdk* sdk, int64_t campid, orvane_text_callback callback,
                               void* user_data, orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  if (campid < 0) return fail(ORVANE_E_INVALID_ARGUMENT, "campid is negative");
  return startText(
      sdk, out_request, callback, user_data,
      [campid](ApiList& api, ApiList::Completion done) {
        return api.getView(std::to_string(campid), std::move(done));
      },
      [](std::string_view body) -> TextReply {
        auto decoded = decodeVelmontNotice(body);
        if (!decoded.ok()) return Failure::of(decoded.error());
        if (decoded.value().result != 200) return Failure::result("the view", decoded.value().result);
        return htmlToPlainText(decoded.value().text.value_or(""));
      });
}

orvane_status orvane_load_agreement(orvane_sdk* sdk, orvane_text_callback callback, void* user_data,
                                    orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  return startText(
      sdk, out_request, callback, user_data,
      [](ApiList& api, ApiList::Completion done) { return api.getAgreeContents(std::move(done)); },
      [](std::string_view body) -> TextReply {
        auto decoded = decodeAgreeContents(body);
        if (!decoded.ok()) return Failure::of(decoded.error());
        if (decoded.value().result != 200) return Failure::result("the agreement", decoded.value().result);
        return htmlToPlainText(decoded.value().cs_agree_contents.value_or(""));
      });
}

orvane_status orvane_html_to_text(const char* html, size_t length, const char** out_text) {
  if (!out_text) return fail(ORVANE_E_INVALID_ARGUMENT, "out_text is NULL");
  *out_text = "";
  if (!html) return fail(ORVANE_E_INVALID_ARGUMENT, "html is NULL");
  const std::string_view text =
      length == ORVANE_NTS ? std::string_view(html) : std::string_view(html, length);
  tScratch = htmlToPlainText(text);
  *out_text = tScratch.c_str();
  return succeed();
}

// --- inquiry

orvane_status orvane_inquiry_kind(size_t index, const char** out_title, const char** out_code) {
  static const inquiry::InquiryForm form;
  const auto& types = form.typeList();
  if (out_title) *out_title = "";
  if (out_code) *out_code = "";
  if (index >= types.size()) return fail(ORVANE_E_NOT_FOUND, "no inquiry kind " + std::to_string(index));
  if (out_title) *out_title = types[index].title.c_str();
  if (out_code) *out_code = types[index].code.c_str();
  return succeed();
}

orvane_status orvane_load_inquiry_campaigns(orvane_sdk* sdk, orvane_list_callback callback, void* user_data,
                                            orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  Sdk* self = sdk->impl.get();
  auto platform = self->platform();
  using Shared = std::shared_ptr<orvane_campaign_list>;
  return startRequest<Shared>(
      sdk, out_request, [platform](auto done) { return ApiList(platform).getCampList(std::move(done)); },
      [](std::string_view body) -> Reply<Shared> {
        auto decoded = decodeReq(body);
        if (!decoded.ok()) return Failure::of(decoded.error());
        if (decoded.value().result != 200)
          return Failure::result("the inquiry's campaigns", decoded.value().result);
        return Shared(plainList(std::move(decoded.value().camp).value_or(std::vector<Camp>{})));
      },
      [self, callback, user_data](Reply<Shared> outcome) {
        if (auto* failure = std::get_if<Failure>(&outcome)) {
          deliverFailure(*self, *failure, [&](const orvane_error* e) { callback(e, nullptr, user_data); });
          return;
        }
        callback(nullptr,
                 std::make_unique<orvane_campaign_list>(std::move(*std::get<Shared>(outcome))).release(),
                 user_data);
      });
}

orvane_status orvane_submit_inquiry(orvane_sdk* sdk, const orvane_inquiry* inquiry,
                                    orvane_done_callback callback, void* user_data,
                                    orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  if (!inquiry) return fail(ORVANE_E_INVALID_ARGUMENT, "inquiry is NULL");
  if (inquiry->struct_size < sizeof(orvane_inquiry)) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "orvane_inquiry.struct_size is not sizeof(orvane_inquiry)");
  }
  inquiry::Entries entries;
  const std::pair<const orvane_text*, std::string*> fields[] = {{&inquiry->name, &entries.name},
                                                                {&inquiry->phone, &entries.phone},
                                                                {&inquiry->email, &entries.email},
                                                                {&inquiry->content, &entries.inquiry}};
  const char* names[] = {"name", "phone", "email", "content"};
  for (std::size_t i = 0; i < 4; ++i) {
    const orvane_text& t = *fields[i].first;
    if (!t.data) continue;  // an empty field: the form's own check names it
    if (const auto s = readText(t.data, t.size, *fields[i].second, names[i]); s != ORVANE_OK) return s;
  }
  std::string code;
  if (inquiry->kind_code) {
    if (const auto s = readText(inquiry->kind_code, ORVANE_NTS, code, "kind_code"); s != ORVANE_OK) return s;
  }
  if (inquiry->screenshot_count > static_cast<std::size_t>(inquiry::kMaxScreenshots)) {
    return fail(ORVANE_E_REFUSED, "at most " + std::to_string(inquiry::kMaxScreenshots) + " screenshots");
  }
  if (inquiry->screenshot_count > 0 && !inquiry->screenshots)
    return fail(ORVANE_E_INVALID_ARGUMENT, "screenshots is NULL");
  if (!inquiry->agreed)
    return fail(ORVANE_E_REFUSED, localized("ov_agree_title") + ": " + localized("ov_agree"));

  // The form's own rules, on a form filled in as the user did.
  inquiry::InquiryForm form;
  const auto& types = form.typeList();
  for (std::size_t i = 0; i < types.size(); ++i)
    if (types[i].code == code) form.chooseKind(i);
  if (form.campaignRowVisible() && inquiry->campid > 0) {
    Camp chosen;
    chosen.campid = inquiry->campid;
    form.setCampaigns(std::vector<Camp>{chosen});
    form.chooseCampaign(0);
  }
  if (const auto notice = form.validate(entries)) return fail(ORVANE_E_REFUSED, localized(*notice));
  const inquiry::Submission submission = form.submission(entries);

  std::vector<std::string> pictures;
  for (std::size_t i = 0; i < inquiry->screenshot_count; ++i) {
    const orvane_bytes& b = inquiry->screenshots[i];
    if (!b.data || b.size == 0)
      return fail(ORVANE_E_INVALID_ARGUMENT, "screenshot " + std::to_string(i) + " is empty");
    pictures.emplace_back(static_cast<const char*>(b.data), b.size);
  }

  // Decoding and measuring the pictures is image work: on the executor, then the
  // request from the main thread.
  Sdk* self = sdk->impl.get();
  auto platform = self->platform();
  const orvane_request_id id = self->reserveRequest();
  struct Decoded {
    std::vector<ImagePtr> images;
    std::optional<std::string> refused;
  };
  auto handle = inBackground(
      *platform,
      [codec = platform->imageCodec, pictures = std::move(pictures)] {
        Decoded out;
        for (std::size_t i = 0; i < pictures.size(); ++i) {
          auto image = codec->decode(pictures[i]);
          if (!image) {
            out.refused = "screenshot " + std::to_string(i) + " is no PNG or JPEG image within " +
                          std::to_string(kMaxDecodedPixels) + " pixels";
            return out;
          }
          const auto jpeg = codec->encodeJpeg(*image, ApiProvider::kJpegQuality);
          if (!jpeg || !inquiry::screenshotFits(jpeg->size())) {
            out.refused = "screenshot " + std::to_string(i) +
                          " is too large: " + inquiry::screenshotSizeLogLine(jpeg ? jpeg->size() : 0);
            return out;
          }
          out.images.push_back(std::move(image));
        }
        return out;
      },
      [self, id, platform, submission, callback, user_data](Decoded decoded) {
        if (decoded.refused) {
          self->finished(id);
          deliverFailure(*self, Failure{ORVANE_E_IMAGE, 0, 0, *decoded.refused},
                         [&](const orvane_error* e) { callback(e, user_data); });
          return;
        }
        // The same id now names the upload.
        auto upload = fetch(
            *platform,
            [&](auto done) {
              return ApiList(platform).postCS(submission.name, submission.email, submission.tel,
                                              submission.cstype, submission.campid, submission.content,
                                              decoded.images, std::move(done));
            },
            [](std::string_view body) -> Result<Reply<bool>> {
              auto answer = decodeResultData(body);
              if (!answer.ok()) return Reply<bool>(Failure::of(answer.error()));
              if (answer.value().result != 200)
                return Reply<bool>(Failure::result("the inquiry", answer.value().result));
              return Reply<bool>(true);
            },
            [self, id, callback, user_data](Result<Reply<bool>> outcome) {
              self->finished(id);
              const Failure* failure = nullptr;
              Failure transport;
              if (!outcome.ok()) {
                transport = Failure::of(outcome.error());
                failure = &transport;
              } else {
                failure = std::get_if<Failure>(&outcome.value());
              }
              if (failure) {
                deliverFailure(*self, *failure, [&](const orvane_error* e) { callback(e, user_data); });
                return;
              }
              callback(nullptr, user_data);
            });
        self->replace(id, std::move(upload));
      });
  self->keepAs(id, std::move(handle));
  if (out_request) *out_request = id;
  return succeed();
}

// --- images

orvane_status orvane_load_image(orvane_sdk* sdk, const char* url, orvane_image_callback callback,
                                void* user_data, orvane_request_id* out_request) {
  if (out_request) *out_request = 0;
  if (const auto s = enterWithCallback(sdk, reinterpret_cast<const void*>(callback)); s != ORVANE_OK)
    return s;
  std::string link;
  if (const auto s = readText(url, ORVANE_NTS, link, "url"); s != ORVANE_OK) return s;
  // Image URLs come from the server: only the web, never a local file.
  if (!link.starts_with("http://") && !link.starts_with("https://")) {
    return fail(ORVANE_E_INVALID_URL, "an image URL must be http or https: " + link);
  }
  Sdk* self = sdk->impl.get();
  auto platform = self->platform();
  ImageCache* cache = &self->images();
  const orvane_request_id id = self->reserveRequest();
  auto deliver = [self, id, callback, user_data, link](const Failure* failure, const ImagePtr& image) {
    self->finished(id);
    const auto* rgba = dynamic_cast<const headless::RgbaImage*>(image.get());
    if (failure || !rgba) {
      const Failure unusable{ORVANE_E_IMAGE, 0, 0, "the image is not in RGBA form"};
      deliverFailure(*self, failure ? *failure : unusable,
                     [&](const orvane_error* e) { callback(e, link.c_str(), nullptr, user_data); });
      return;
    }
    orvane_image out{};
    out.width = rgba->width();
    out.height = rgba->height();
    out.stride = static_cast<std::size_t>(rgba->width()) * 4;
    out.rgba = rgba->pixels().data();
    callback(nullptr, link.c_str(), &out, user_data);
  };
  // First the cache (it reads files: on the executor), then the network.
  auto handle = inBackground(
      *platform, [cache, link] { return cache->imageOfUrl(link, std::nullopt); },
      [self, id, platform, cache, link, deliver](ImagePtr cached) {
        if (cached) {
          deliver(nullptr, cached);
          return;
        }
        auto download = fetch<Result<HttpResponse>>(
            *platform,
            [&](auto done) {
              HttpRequest request;
              request.url = link;
              return platform->http->send(std::move(request), std::move(done));
            },
            [codec = platform->imageCodec, cache, link](Result<HttpResponse>& answer) -> Result<ImagePtr> {
              if (!answer.ok()) return answer.error();
              const auto& response = answer.value();
              if (response.status != 200) {
                Error e = Error::make(Error::Kind::httpStatus,
                                      "image answered HTTP " + std::to_string(response.status));
                e.status = response.status;
                return e;
              }
              auto image = codec->decode(response.body);
              if (!image)
                return Error::make(Error::Kind::encoding,
                                   "no PNG or JPEG image within the decode bound: " + link);
              cache->cacheImage(response.body, ImageCache::cacheKey(link));
              return image;
            },
            [deliver](Result<ImagePtr> image) {
              if (!image.ok()) {
                const Failure failure = Failure::of(image.error());
                deliver(&failure, nullptr);
                return;
              }
              deliver(nullptr, image.value());
            });
        self->replace(id, std::move(download));
      });
  self->keepAs(id, std::move(handle));
  if (out_request) *out_request = id;
  return succeed();
}

}  // extern "C"
