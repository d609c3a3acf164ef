#include "tools/sandbox/fixture.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unordered_set>

namespace orvane::resources {
extern const std::string_view SANDBOX_FIXTURE;
}

namespace orvane::sandbox {

namespace {

using nlohmann::json;

template <typename T>
T field(const json& object, const char* key, T fallback) {
  const auto it = object.find(key);
  if (it == object.end()) return fallback;
  if constexpr (std::is_same_v<T, std::string>) {
    return it->is_string() ? it->template get<std::string>() : fallback;
  } else if constexpr (std::is_same_v<T, bool>) {
    return it->is_boolean() ? it->template get<bool>() : fallback;
  } else if constexpr (std::is_floating_point_v<T>) {
    return it->is_number() ? it->template get<T>() : fallback;
  } else {
    return it->is_number_integer() ? it->template get<T>() : fallback;
  }
}

Fixture::Campaign readCampaign(const json& object, bool house, std::size_t index) {
  const std::string where = std::string(house ? "housemd" : "camp") + "[" + std::to_string(index) + "]";
  if (!object.is_object()) throw std::runtime_error(where + " is not an object");
  const auto id = object.find("campid");
  if (id == object.end() || !id->is_number_integer()) {
    throw std::runtime_error(where + " has no integer campid");
  }
  Fixture::Campaign c;
  c.wire = object;
  CampaignInfo& info = c.info;
  info.campid = id->get<long long>();
  info.bm = field(object, "bm", -1);
  info.bmcheck = field(object, "bmcheck", 0);
  info.house = house;
  info.name = field(object, "name", std::string{});
  info.rewardprice = field(object, "rewardprice", 0.0);
  info.pricemark = field(object, "pricemark", std::string{});
  info.convflag = field(object, "convflag", 0);
  info.targetAgeMin = field(object, "targetagemin", 0);
  info.targetAgeMax = field(object, "targetagemax", 0);
  info.gender = field(object, "gender", 0);
  if (const auto x = object.find("x_sandbox"); x != object.end()) {
    if (!x->is_object()) throw std::runtime_error(where + ".x_sandbox is not an object");
    info.joinResult = field(*x, "joinresult", 0);
    info.instant = field(*x, "instant", false);
    info.inspectOnly = field(*x, "inspectOnly", false);
    info.lurl = field(*x, "lurl", std::string{});
    c.wire.erase("x_sandbox");
  }
  return c;
}

}  // namespace

Fixture Fixture::parse(std::string_view jsonText) {
  json doc = json::parse(jsonText, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) throw std::runtime_error("fixture is not a JSON object");

  Fixture f;
  const auto media = doc.find("media");
  if (media == doc.end() || !media->is_array() || media->empty()) {
    throw std::runtime_error("fixture has no \"media\" list");
  }
  for (const json& m : *media) {
    if (!m.is_object() || !m.contains("mkey") || !m["mkey"].is_string()) {
      throw std::runtime_error("a media entry has no string mkey");
    }
    f.media_.push_back({m["mkey"].get<std::string>(), field(m, "mckey", std::string{}),
                        field(m, "rewardtype", 1), field(m, "name", std::string{})});
  }
  f.notice_ = field(doc, "notice", std::string{});
  f.agreement_ = field(doc, "agreement", std::string{});

  std::unordered_set<long long> seen;
  for (const char* list : {"camp", "housemd"}) {
    const auto it = doc.find(list);
    if (it == doc.end()) continue;
    if (!it->is_array()) throw std::runtime_error(std::string("\"") + list + "\" is not a list");
    for (std::size_t i = 0; i < it->size(); ++i) {
      Campaign c = readCampaign((*it)[i], std::string_view(list) == "housemd", i);
      if (!seen.insert(c.info.campid).second) {
        throw std::runtime_error("campid " + std::to_string(c.info.campid) + " appears twice");
      }
      f.campaigns_.push_back(std::move(c));
    }
  }

  if (const auto hist = doc.find("rewardHistory"); hist != doc.end()) {
    if (!hist->is_array()) throw std::runtime_error("\"rewardHistory\" is not a list");
    for (const json& h : *hist) {
      if (!h.is_object()) throw std::runtime_error("a rewardHistory entry is not an object");
      HistoryEntry e;
      e.campid = field(h, "campid", 0LL);
      e.daysAgo = field(h, "daysAgo", 0);
      const Campaign* c = f.findCampaign(e.campid);
      e.name = field(h, "name", c ? c->info.name : std::string{});
      e.rewardprice = field(h, "rewardprice", c ? c->info.rewardprice : 0.0);
      e.rewardmark = field(h, "rewardmark", c ? c->info.pricemark : std::string{});
      e.bm = field(h, "bm", c ? c->info.bm : 1);
      f.history_.push_back(std::move(e));
    }
  }
  return f;
}

Fixture Fixture::builtIn() { return parse(orvane::resources::SANDBOX_FIXTURE); }

Fixture Fixture::fromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read fixture " + path);
  std::stringstream text;
  text << in.rdbuf();
  try {
    return parse(text.str());
  } catch (const std::exception& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

const Media* Fixture::findMedia(std::string_view mkey) const {
  for (const Media& m : media_) {
    if (m.mkey == mkey) return &m;
  }
  return nullptr;
}

const Fixture::Campaign* Fixture::findCampaign(long long campid) const {
  for (const Campaign& c : campaigns_) {
    if (c.info.campid == campid) return &c;
  }
  return nullptr;
}

}  // namespace orvane::sandbox
