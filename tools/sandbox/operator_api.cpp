#include "tools/sandbox/operator_api.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>

#include "tools/sandbox/image_factory.hpp"
#include "tools/sandbox/result_codes.hpp"

namespace orvane::sandbox {

namespace {

using nlohmann::json;
namespace chr = std::chrono;

ApiResponse answer(json body) {
  ApiResponse r;
  r.json = std::move(body);
  return r;
}

ApiResponse failure(int result, const std::string& message) {
  return answer({{"result", result}, {"errmsg", message}});
}

std::string param(const Fields& fields, std::string_view name) {
  const std::string* v = findField(fields, name);
  return v ? *v : std::string{};
}

// The id of a device whose user refused tracking is all zeros: it names no device.
bool namesDevice(std::string_view adid) { return adid.find_first_not_of("0-") != std::string_view::npos; }

std::optional<long long> toInteger(std::string_view text) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

chr::year_month_day today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return chr::year_month_day{chr::year{local.tm_year + 1900},
                             chr::month{static_cast<unsigned>(local.tm_mon + 1)},
                             chr::day{static_cast<unsigned>(local.tm_mday)}};
}

std::string formatDate(chr::year_month_day d) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d%02u%02u", static_cast<int>(d.year()),
                static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
  return buffer;
}

// yyyyMMdd, a real calendar date, or nullopt.
std::optional<std::string> parseDate(const std::string& text) {
  if (text.size() != 8 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const chr::year_month_day d{chr::year{std::stoi(text.substr(0, 4))},
                              chr::month{static_cast<unsigned>(std::stoi(text.substr(4, 2)))},
                              chr::day{static_cast<unsigned>(std::stoi(text.substr(6, 2)))}};
  if (!d.ok()) return std::nullopt;
  return text;
}

void replaceAll(std::string& s, std::string_view from, const std::string& to) {
  for (auto pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
    s.replace(pos, from.size(), to);
  }
}

void substitute(json& value, const std::string& origin, const std::string& campid) {
  if (value.is_string()) {
    std::string s = value.get<std::string>();
    replaceAll(s, "{origin}", origin);
    replaceAll(s, "{campid}", campid);
    value = std::move(s);
  } else if (value.is_structured()) {
    for (auto& element : value) substitute(element, origin, campid);
  }
}

// Reward history kinds: purchases (bm 4) and everything else.
int rewardKind(int bm) { return bm == 4 ? 2 : 1; }

bool targeted(const CampaignInfo& c, const Fields& q) {
  const auto age = toInteger(param(q, "age"));
  if (c.targetAgeMin > 0 && (!age || *age < c.targetAgeMin)) return false;
  if (c.targetAgeMax > 0 && (!age || *age > c.targetAgeMax)) return false;
  if (c.gender != 0) {
    const auto gender = toInteger(param(q, "gender"));
    if (!gender || *gender != c.gender) return false;
  }
  return true;
}

}  // namespace

OperatorApi::OperatorApi(Fixture fixture, const std::string& dbPath, ApiLimits limits)
    : fixture_(std::move(fixture)), limits_(limits), store_(dbPath), random_(std::random_device{}()) {}

std::string OperatorApi::newKey() {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "ovn%016llx", static_cast<unsigned long long>(random_()));
  return buffer;
}

json OperatorApi::wireCampaign(const Fixture::Campaign& c, const std::string& origin) const {
  json wire = c.wire;
  substitute(wire, origin, std::to_string(c.info.campid));
  return wire;
}

std::optional<ApiResponse> OperatorApi::handle(const ApiRequest& r) {
  const std::string& p = r.path;
  if (p.rfind("/img/", 0) == 0) return image(p.substr(5));

  static const std::set<std::string> kGetPaths = {"/v1/req",
                                                  "/v1/view",
                                                  "/v1/join",
                                                  "/v1/state",
                                                  "/v1/inst",
                                                  "/v1/exec",
                                                  "/v1/reward",
                                                  "/api/cs/user_camp_list",
                                                  "/api/cs/agree_contents_app",
                                                  "/api/cs/user_reward_list",
                                                  "/orvane/sdk/notice_contents.json"};
  const bool landingPage = p.rfind("/landing/", 0) == 0;
  const bool known = kGetPaths.count(p) > 0 || p == "/api/cs" || landingPage;
  if (!known) return std::nullopt;

  const bool wantPost = p == "/api/cs";
  if ((r.method == "POST") != wantPost) {
    ApiResponse a = failure(kResultMethod, "use " + std::string(wantPost ? "POST" : "GET"));
    a.status = 405;
    return a;
  }

  std::lock_guard lock(mutex_);
  if (landingPage) return landing(r, p.substr(9));
  if (p == "/orvane/sdk/notice_contents.json")
    return answer({{"result", kResultOk}, {"text", fixture_.notice()}});

  const Fields& source = wantPost ? r.form : r.query;
  if (wantPost && (!r.multipart || !r.multipartError.empty())) {
    return failure(kResultBadRequest, r.multipart ? "malformed multipart body: " + r.multipartError
                                                  : "expected multipart/form-data");
  }
  const Media* media = fixture_.findMedia(param(source, "mkey"));
  if (media == nullptr || (!media->mckey.empty() && param(source, "mckey") != media->mckey)) {
    return failure(kResultUnknownMedia, "unknown media key");
  }

  if (p == "/v1/req") return campaignList(r, *media);
  if (p == "/v1/view") return view(r);
  if (p == "/v1/join") return join(r, *media);
  if (p == "/v1/state") return state(r, *media);
  if (p == "/v1/inst") return install(r, *media);
  if (p == "/v1/exec") return exec(r, *media);
  if (p == "/v1/reward") return reward(r, *media);
  if (p == "/api/cs/user_camp_list") return userCampaigns(r, *media);
  if (p == "/api/cs/agree_contents_app") {
    return answer({{"result", kResultOk}, {"cs_agree_contents", fixture_.agreement()}});
  }
  if (p == "/api/cs/user_reward_list") return rewardList(r, *media);
  return inquiry(r, *media);
}

ApiResponse OperatorApi::campaignList(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  if (userid.empty()) return failure(kResultBadRequest, "userid is required");
  const bool inspect = param(r.query, "campinspect") == "1";
  json camp = json::array();
  json house = json::array();
  for (const Fixture::Campaign& c : fixture_.campaigns()) {
    if (c.info.inspectOnly && !inspect) continue;
    if (!targeted(c.info, r.query)) continue;
    std::optional<Participation> p = store_.find(media.mkey, userid, c.info.campid);
    if (c.info.convflag == 1 && !p) {
      // Collectable for everyone: give this user a confirmed participation to claim.
      Participation fresh;
      fresh.mkey = media.mkey;
      fresh.userid = userid;
      fresh.campid = c.info.campid;
      fresh.adid = param(r.query, "adid");
      fresh.ovnkey = newKey();
      fresh.state = 3;
      p = store_.insert(fresh);
    }
    if (p && p->rewarded) continue;  // done campaigns leave the wall
    json wire = wireCampaign(c, r.origin);
    wire["rewardtype"] = media.rewardtype;
    if (p && p->state == 3) {
      wire["convflag"] = 1;
      wire["ovnkey"] = p->ovnkey;
    }
    (c.info.house ? house : camp).push_back(std::move(wire));
  }
  return answer({{"result", kResultOk},
                 {"errmsg", ""},
                 {"adtype", 1},
                 {"rewardtype", media.rewardtype},
                 {"pricedecimal", "0"},
                 {"camp", std::move(camp)},
                 {"housemd", std::move(house)}});
}

ApiResponse OperatorApi::view(const ApiRequest& r) {
  const auto campid = toInteger(param(r.query, "campid"));
  if (!campid || param(r.query, "userid").empty())
    return failure(kResultBadRequest, "userid and campid are required");
  const Fixture::Campaign* c = fixture_.findCampaign(*campid);
  if (c == nullptr) return failure(kResultNotFound, "unknown campaign");
  const auto notice = c->wire.find("notice");
  const std::string text = notice != c->wire.end() && notice->is_string() ? notice->get<std::string>() : "";
  return answer({{"result", kResultOk}, {"text", "<p>" + text + "</p>"}});
}

ApiResponse OperatorApi::join(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  const auto campid = toInteger(param(r.query, "campid"));
  if (userid.empty() || !campid) return failure(kResultBadRequest, "userid and campid are required");
  const Fixture::Campaign* c = fixture_.findCampaign(*campid);
  if (c == nullptr || (c->info.inspectOnly && param(r.query, "campinspect") != "1")) {
    return failure(kResultNotFound, "unknown campaign");
  }
  if (c->info.joinResult != 0) return failure(c->info.joinResult, "campaign refuses participation");
  if (!targeted(c->info, r.query))
    return failure(kResultNotTargeted, "user outside the campaign's targeting");

  const std::string adid = param(r.query, "adid");
  std::optional<Participation> p = store_.find(media.mkey, userid, *campid);
  if (p && p->rewarded) return failure(kResultAlreadyDone, "already participated");
  if (p && p->state == 3) return answer({{"result", kResultOk}, {"ovnkey", p->ovnkey}});  // claim what is due
  if (namesDevice(adid) && store_.deviceUsedByOtherUser(media.mkey, adid, *campid, userid)) {
    return failure(kResultOtherUser, "this device took part under another user");
  }
  if (!p) {
    Participation fresh;
    fresh.mkey = media.mkey;
    fresh.userid = userid;
    fresh.campid = *campid;
    fresh.adid = adid;
    fresh.ovnkey = newKey();
    p = store_.insert(fresh);
  } else if (!adid.empty() && p->adid != adid) {
    p->adid = adid;
    store_.update(*p);
  }
  if (c->info.instant) {
    p->state = 3;
    store_.update(*p);
    return answer({{"result", kResultOk}, {"ovnkey", p->ovnkey}});
  }
  std::string lurl = c->info.lurl.empty() ? "{origin}/landing/{campid}" : c->info.lurl;
  replaceAll(lurl, "{origin}", r.origin);
  replaceAll(lurl, "{campid}", std::to_string(*campid));
  lurl += (lurl.find('?') == std::string::npos ? "?pid=" : "&pid=") + std::to_string(p->id);
  return answer({{"result", kResultOk}, {"lurl", lurl}});
}

void OperatorApi::confirm(Participation& p, const Media& media) {
  if (p.state < 3) p.state = 3;
  if (media.rewardtype == 2 && !p.rewarded) credit(p);
}

void OperatorApi::credit(Participation& p) {
  const Fixture::Campaign* c = fixture_.findCampaign(p.campid);
  CreditedReward reward;
  reward.campid = p.campid;
  reward.name = c ? c->info.name : std::string{};
  reward.rewardprice = c ? c->info.rewardprice : 0.0;
  reward.rewardmark = c ? c->info.pricemark : std::string{};
  reward.rewarddate = formatDate(today());
  reward.bm = c ? c->info.bm : 1;
  store_.addReward(p.mkey, p.userid, reward);
  p.rewarded = true;
}

ApiResponse OperatorApi::state(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  const auto campid = toInteger(param(r.query, "campid"));
  if (userid.empty() || !campid) return failure(kResultBadRequest, "userid and campid are required");
  std::optional<Participation> p = store_.find(media.mkey, userid, *campid);
  if (!p) return failure(kResultNotFound, "no participation");
  ++p->polls;
  // The advertiser's confirmation arrives after a few polls even without an install report.
  if (p->state < 3 && (p->installed || p->polls >= limits_.statePollsUntilDone)) confirm(*p, media);
  store_.update(*p);
  json body = {{"result", kResultOk}, {"state", p->state}};
  if (p->state == 3) body["ovnkey"] = p->ovnkey;
  return answer(std::move(body));
}

ApiResponse OperatorApi::install(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  const auto campid = toInteger(param(r.query, "campid"));
  if (userid.empty() || !campid) return failure(kResultBadRequest, "userid and campid are required");
  std::optional<Participation> p = store_.find(media.mkey, userid, *campid);
  if (!p) return failure(kResultNotFound, "no participation");
  p->installed = true;
  confirm(*p, media);
  store_.update(*p);
  return answer({{"result", kResultOk}, {"state", p->state}});
}

ApiResponse OperatorApi::exec(const ApiRequest& r, const Media& media) {
  // The exec request carries no user id: the device identifies the participation.
  const std::string adid = param(r.query, "adid");
  const auto campid = toInteger(param(r.query, "campid"));
  if (adid.empty() || !campid) return failure(kResultBadRequest, "adid and campid are required");
  std::optional<Participation> p = store_.findByAdid(media.mkey, adid, *campid);
  if (!p) return failure(kResultNotFound, "no participation");
  const Fixture::Campaign* c = fixture_.findCampaign(*campid);
  if (c == nullptr || (c->info.bm != 2 && c->info.bm != 3))
    return failure(kResultNoCheck, "no participation check");
  if (p->state == 3 || p->rewarded) return failure(kResultAlreadyDone, "already participated");
  p->state = 2;
  store_.update(*p);
  return answer({{"result", kResultOk}, {"state", p->state}, {"ovnkey", p->ovnkey}});
}

ApiResponse OperatorApi::reward(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  const std::string key = param(r.query, "ovnkey");
  const auto campid = toInteger(param(r.query, "campid"));
  if (userid.empty() || key.empty() || !campid) {
    return failure(kResultBadRequest, "userid, campid and ovnkey are required");
  }
  std::optional<Participation> p = store_.find(media.mkey, userid, *campid);
  if (!p || p->ovnkey != key) return failure(kResultNotFound, "unknown participation key");
  if (p->rewarded) return failure(kResultAlreadyDone, "reward already credited");
  if (p->state != 3) return failure(kResultNotConfirmed, "participation not confirmed yet");
  credit(*p);
  store_.update(*p);
  return answer({{"result", kResultOk}, {"ovnkey", p->ovnkey}});
}

ApiResponse OperatorApi::userCampaigns(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  if (userid.empty()) return failure(kResultBadRequest, "userid is required");
  std::vector<long long> ids = store_.campaignsOf(media.mkey, userid);
  std::vector<HistoryEntry> history = fixture_.history();
  std::stable_sort(history.begin(), history.end(),
                   [](const HistoryEntry& a, const HistoryEntry& b) { return a.daysAgo < b.daysAgo; });
  for (const HistoryEntry& h : history) ids.push_back(h.campid);
  json camp = json::array();
  std::set<long long> seen;
  for (long long id : ids) {
    const Fixture::Campaign* c = fixture_.findCampaign(id);
    if (c == nullptr || !seen.insert(id).second) continue;
    json wire = wireCampaign(*c, r.origin);
    wire["rewardtype"] = media.rewardtype;
    camp.push_back(std::move(wire));
  }
  return answer({{"result", kResultOk}, {"rewardtype", media.rewardtype}, {"camp", std::move(camp)}});
}

ApiResponse OperatorApi::rewardList(const ApiRequest& r, const Media& media) {
  const std::string userid = param(r.query, "userid");
  const auto start = parseDate(param(r.query, "sdate"));
  const auto end = parseDate(param(r.query, "edate"));
  if (userid.empty() || !start || !end)
    return failure(kResultBadRequest, "userid, sdate and edate (yyyyMMdd) are required");
  int kind = 0;
  if (const std::string* t = findField(r.query, "rewardtype")) {
    if (*t == "1" || *t == "2") {
      kind = std::stoi(*t);
    } else if (*t != "0") {
      return failure(kResultBadRequest, "rewardtype must be 0, 1 or 2");
    }
  }

  std::vector<CreditedReward> rows = store_.rewardsOf(media.mkey, userid);
  const chr::sys_days now{today()};
  for (const HistoryEntry& h : fixture_.history()) {
    rows.push_back({h.campid, h.name, h.rewardprice, h.rewardmark,
                    formatDate(chr::year_month_day{now - chr::days{h.daysAgo}}), h.bm});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const CreditedReward& a, const CreditedReward& b) {
    return a.rewarddate > b.rewarddate;
  });
  json list = json::array();
  for (const CreditedReward& row : rows) {
    if (row.rewarddate < *start || row.rewarddate > *end) continue;
    if (kind != 0 && rewardKind(row.bm) != kind) continue;
    list.push_back({{"campid", row.campid},
                    {"name", row.name},
                    {"rewardprice", row.rewardprice},
                    {"rewardmark", row.rewardmark},
                    {"rewarddate", row.rewarddate},
                    {"bm", row.bm}});
  }
  return answer({{"result", kResultOk}, {"reward", std::move(list)}});
}

ApiResponse OperatorApi::inquiry(const ApiRequest& r, const Media& /*media*/) {
  for (const char* name : {"userid", "email", "tel", "cstype", "campid", "name", "content"}) {
    if (findField(r.form, name) == nullptr)
      return failure(kResultBadRequest, std::string(name) + " is required");
  }
  static const std::set<std::string> kTypes = {"join", "reward", "error", "etc"};
  if (kTypes.count(param(r.form, "cstype")) == 0) return failure(kResultBadRequest, "unknown cstype");
  if (!toInteger(param(r.form, "campid"))) return failure(kResultBadRequest, "campid is not an integer");
  if (param(r.form, "email").find('@') == std::string::npos)
    return failure(kResultBadRequest, "email is malformed");
  if (r.files.size() > limits_.maxUploadFiles) {
    return failure(kResultTooLarge, "at most " + std::to_string(limits_.maxUploadFiles) + " files");
  }
  StoredInquiry stored;
  stored.fields = r.form;
  for (const MultipartPart& f : r.files) {
    if (f.data.size() > limits_.maxUploadFileBytes)
      return failure(kResultTooLarge, "file " + *f.fileName + " is too large");
    stored.files.push_back({f.name, f.fileName.value_or(""), f.contentType, f.data});
  }
  const long long id = store_.addInquiry(stored);
  return answer({{"result", kResultOk}, {"inquiry", id}});
}

ApiResponse OperatorApi::landing(const ApiRequest& r, const std::string& campidText) {
  ApiResponse a;
  a.contentType = "text/html; charset=utf-8";
  const auto campid = toInteger(campidText);
  const Fixture::Campaign* c = campid ? fixture_.findCampaign(*campid) : nullptr;
  if (c == nullptr) {
    a.status = 404;
    a.body = "<!DOCTYPE html><html><body><h1>Campaign not found</h1></body></html>";
    return a;
  }
  // Reaching the landing page is the whole task of a campaign without a participation check.
  if (const auto pid = toInteger(param(r.query, "pid"))) {
    if (std::optional<Participation> p = store_.findById(*pid); p && p->campid == *campid) {
      p->landed = true;
      if (c->info.bm != 2 && c->info.bm != 3) {
        if (const Media* media = fixture_.findMedia(p->mkey)) confirm(*p, *media);
      }
      store_.update(*p);
    }
  }
  const json wire = wireCampaign(*c, r.origin);
  auto text = [&](const char* key) {
    const auto it = wire.find(key);
    return it != wire.end() && it->is_string() ? it->get<std::string>() : std::string{};
  };
  std::string image = text("nativeurl");
  if (image.empty()) image = text("iconurl");
  char price[32];
  std::snprintf(price, sizeof price, "%g", c->info.rewardprice);
  a.body =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>" +
      htmlEscape(c->info.name) +
      "</title><style>"
      "body{font-family:sans-serif;margin:0;background:#f4f5f7;color:#222}"
      "main{max-width:560px;margin:0 auto;padding:24px}img{width:100%;border-radius:12px}"
      ".reward{font-size:1.4em;font-weight:bold;color:#e4572e}"
      "a.cta{display:block;text-align:center;background:#e4572e;color:#fff;padding:14px;border-radius:8px;"
      "text-decoration:none;margin-top:24px}</style></head><body><main>";
  if (!image.empty()) a.body += "<img src=\"" + htmlEscape(image) + "\" alt=\"\">";
  a.body += "<h1>" + htmlEscape(c->info.name) + "</h1><p class=\"reward\">" + price + " " +
            htmlEscape(c->info.pricemark) + "</p><section>" + text("joindesc") + "</section><section>" +
            text("rewarddesc") + "</section><a class=\"cta\" href=\"" + htmlEscape(text("package")) + "\">" +
            htmlEscape(text("cta").empty() ? std::string("Continue") : text("cta")) +
            "</a><p><small>This page is served by the Orvane sandbox.</small></p></main></body></html>\n";
  return a;
}

ApiResponse OperatorApi::image(const std::string& name) {
  ApiResponse a;
  {
    std::lock_guard lock(imageMutex_);
    if (const auto it = images_.find(name); it != images_.end()) {
      a.contentType = it->second.first;
      a.body = it->second.second;
      return a;
    }
  }
  std::optional<GeneratedImage> generated = ImageFactory::render(name);
  if (!generated) {
    a.status = 404;
    a.contentType = "text/plain; charset=utf-8";
    a.body = "no such image\n";
    return a;
  }
  std::lock_guard lock(imageMutex_);
  images_.emplace(name, std::make_pair(generated->contentType, generated->bytes));
  a.contentType = generated->contentType;
  a.body = std::move(generated->bytes);
  return a;
}

std::vector<StoredInquiry> OperatorApi::inquiries() {
  std::lock_guard lock(mutex_);
  return store_.inquiries();
}

}  // namespace orvane::sandbox
