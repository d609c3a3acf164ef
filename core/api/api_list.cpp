#include "core/api/api_list.hpp"

#include <utility>

#include "core/sdk/settings_keys.hpp"
#include "core/support/util.hpp"
#include "orvane/config.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"

namespace orvane {

namespace {

std::shared_ptr<const Platform> orCurrent(std::shared_ptr<const Platform> platform) {
  return platform ? std::move(platform) : Platform::current();
}

QueryItem item(std::string name, std::optional<std::string> value) {
  return {std::move(name), std::move(value)};
}

// The server tells this SDK's install and reward requests apart by this value.
constexpr const char* kOs = "ios";

}  // namespace

ApiList::ApiList(std::shared_ptr<const Platform> platform)
    : ApiList(std::move(platform), ApiProvider::Options{}) {}

ApiList::ApiList(std::shared_ptr<const Platform> platform, ApiProvider::Options transportOptions)
    : platform_(orCurrent(std::move(platform))),
      provider_(platform_->http, platform_->imageCodec, transportOptions, platform_->executor),
      identity_(readIdentity(platform_->store.get())),
      hostUrl_(chooseBase(Server::api)),
      hostPartnerUrl_(chooseBase(Server::partner)),
      noticeUrl_(BaseUrl::parse(OrvaneSDK::shared().noticeUrl.value_or(config::kNoticeUrl))) {
  if (platform_->advertisingId) {
    auto id = platform_->advertisingId->advertisingIdentifier();
    if (!id.empty()) idfa_ = std::move(id);
  }
}

Result<BaseUrl> ApiList::chooseBase(Server server) {
  const auto& sdk = OrvaneSDK::shared();
  // A host address replaces both built-in ones; a partner address alone is ignored.
  if (!sdk.hostUrl)
    return BaseUrl::parse(server == Server::api ? config::kApiBaseUrl : config::kPartnerBaseUrl);
  if (server == Server::api) return BaseUrl::parse(*sdk.hostUrl);
  if (!sdk.hostPartnerUrl) {
    return Error::make(
        Error::Kind::notConfigured,
        "hostUrl is set without hostPartnerUrl: partner requests need the setting hostPartnerUrl");
  }
  return BaseUrl::parse(*sdk.hostPartnerUrl);
}

std::optional<Error> ApiList::check(Server server) const {
  if (!identity_.ok()) return identity_.error();
  const auto& chosen = server == Server::api ? hostUrl_ : hostPartnerUrl_;
  if (!chosen.ok()) return chosen.error();
  return std::nullopt;
}

const BaseUrl& ApiList::base(Server server) const {
  return (server == Server::api ? hostUrl_ : hostPartnerUrl_).value();
}

RequestHandle ApiList::fail(const Error& error, const Completion& completion) {
  Log::log("ApiList Error : " + error.description, Log::Level::error());
  if (completion) completion(error);
  return RequestHandle::completed();
}

RequestHandle ApiList::get(Server server, std::string_view path, std::vector<QueryItem> items,
                           Completion completion) const {
  if (auto error = check(server)) return fail(*error, completion);
  if (OrvaneSDK::shared().isInspect && !items.empty()) items.push_back(item("campinspect", "1"));
  return provider_.request(base(server).with(path, encodeQuery(items)), REQUEST_METHOD_GET, {}, {},
                           std::move(completion));
}

std::vector<QueryItem> ApiList::identityItems() const {
  const auto& id = identity_.value();
  return {item("mkey", id.mkey), item("mckey", id.mckey), item("userid", id.userId)};
}

QueryItem ApiList::adid() const { return item("adid", idfa_); }

QueryItem ApiList::carrier() const {
  return item("carrier", platform_->device ? platform_->device->carrierName() : std::nullopt);
}

QueryItem ApiList::gender() const {
  auto value = platform_->store ? platform_->store->string(keys::kGender) : std::nullopt;
  return item("gender", value.value_or("0"));
}

std::optional<QueryItem> ApiList::age() const {
  const auto value = platform_->store ? platform_->store->integer(keys::kAge) : 0;
  if (value == 0) return std::nullopt;
  return item("age", std::to_string(value));
}

RequestHandle ApiList::getReq(Completion completion) {
  if (auto error = check(Server::api)) return fail(*error, completion);
  auto items = identityItems();
  items.push_back(adid());
  items.push_back(gender());
  items.push_back(carrier());
  if (auto a = age()) items.push_back(std::move(*a));
  return get(Server::api, "/req", std::move(items), std::move(completion));
}

RequestHandle ApiList::getVelmontNotice(Completion completion) {
  if (!noticeUrl_.ok()) return fail(noticeUrl_.error(), completion);
  // Taken unchanged: no parameter, and so no inspection mark either.
  return provider_.request(noticeUrl_.value().text(), REQUEST_METHOD_GET, {}, {}, std::move(completion));
}

RequestHandle ApiList::getCampList(Completion completion) {
  if (auto error = check(Server::partner)) return fail(*error, completion);
  return get(Server::partner, "/cs/user_camp_list", identityItems(), std::move(completion));
}

RequestHandle ApiList::getAgreeContents(Completion completion) {
  if (auto error = check(Server::partner)) return fail(*error, completion);
  return get(Server::partner, "/cs/agree_contents_app", identityItems(), std::move(completion));
}

RequestHandle ApiList::postCS(const std::string& name, const std::string& email, const std::string& tel,
                              const std::string& cstype, std::int64_t campid, const std::string& content,
                              const std::vector<ImagePtr>& uploadFiles, Completion completion) {
  if (auto error = check(Server::partner)) return fail(*error, completion);
  const auto& id = identity_.value();
  const FormFields fields = {{"mkey", id.mkey},  {"mckey", id.mckey}, {"userid", id.userId},
                             {"email", email},   {"tel", tel},        {"cstype", cstype},
                             {"campid", campid}, {"name", name},      {"content", content}};
  // No query at all: the base's own is dropped and no inspection mark is added.
  return provider_.request(base(Server::partner).with("/cs", std::nullopt), REQUEST_METHOD_POST, fields,
                           uploadFiles, std::move(completion));
}

RequestHandle ApiList::getRewardList(const std::string& rewardtype, const std::string& sdate,
                                     const std::string& edate, Completion completion) {
  if (auto error = check(Server::partner)) return fail(*error, completion);
  auto items = identityItems();
  items.push_back(item("sdate", sdate));
  items.push_back(item("edate", edate));
  if (rewardtype != "0") items.push_back(item("rewardtype", rewardtype));
  return get(Server::partner, "/cs/user_reward_list", std::move(items), std::move(completion));
}

RequestHandle ApiList::getView(const std::string& campid, Completion completion) {
  if (auto error = check(Server::api)) return fail(*error, completion);
  auto items = identityItems();
  items.push_back(item("campid", campid));
  return get(Server::api, "/view", std::move(items), std::move(completion));
}

RequestHandle ApiList::getJoin(const std::string& campid, Completion completion) {
  if (auto error = check(Server::api)) return fail(*error, completion);
  const auto& device = platform_->device;
  auto items = identityItems();
  items.push_back(item("campid", campid));
  items.push_back(adid());
  items.push_back(item("accid", device ? device->vendorIdentifier() : std::nullopt));
  items.push_back(item(
      "devmodel", device ? std::optional(Util::modelNameFor(device->machineIdentifier())) : std::nullopt));
  items.push_back(item("osver", device ? std::optional(device->systemVersion()) : std::nullopt));
  items.push_back(carrier());
  items.push_back(gender());
  if (auto a = age()) items.push_back(std::move(*a));
  return get(Server::api, "/join", std::move(items), std::move(completion));
}

RequestHandle ApiList::getState(const std::string& campid, Completion completion) {
  if (auto error = check(Server::api)) return fail(*error, completion);
  auto items = identityItems();
  items.push_back(item("campid", campid));
  return get(Server::api, "/state", std::move(items), std::move(completion));
}

RequestHandle ApiList::getInst(const std::string& campid) {
  if (auto error = check(Server::api)) return fail(*error, nullptr);
  auto items = identityItems();
  items.push_back(item("campid", campid));
  items.push_back(adid());
  items.push_back(item("os", kOs));
  return get(Server::api, "/inst", std::move(items), [](const Result<std::string>&) {});
}

RequestHandle ApiList::getExec(const std::string& campid, Completion completion) {
  if (auto error = check(Server::api)) return fail(*error, completion);
  const auto& id = identity_.value();
  std::vector<QueryItem> items = {item("mkey", id.mkey), item("mckey", id.mckey), item("campid", campid),
                                  adid()};
  return get(Server::api, "/exec", std::move(items), std::move(completion));
}

RequestHandle ApiList::getReward(const std::string& campid, const std::string& ovnkey,
                                 Completion completion) {
  if (auto error = check(Server::api)) return fail(*error, completion);
  const auto& id = identity_.value();
  std::vector<QueryItem> items = {item("mkey", id.mkey),
                                  item("mckey", id.mckey),
                                  item("campid", campid),
                                  item("userid", id.userId),
                                  adid(),
                                  item("os", kOs),
                                  item("ovnkey", ovnkey)};
  return get(Server::api, "/reward", std::move(items), std::move(completion));
}

}  // namespace orvane
