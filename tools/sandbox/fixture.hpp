#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sandbox {

// A media (host app) the sandbox knows. `rewardtype` is sent on every campaign list:
// 1 = the user collects a confirmed reward, 2 = the server credits it by itself.
struct Media {
  std::string mkey;
  std::string mckey;
  int rewardtype = 1;
  std::string name;
};

// What the sandbox needs to know about one campaign beyond its wire fields.
struct CampaignInfo {
  long long campid = 0;
  int bm = -1;
  int bmcheck = 0;
  bool house = false;  // from "housemd"
  std::string name;
  double rewardprice = 0;
  std::string pricemark;
  int convflag = 0;      // 1: every user finds it collectable at once
  int targetAgeMin = 0;  // 0 = no bound
  int targetAgeMax = 0;
  int gender = 0;            // 0 = anyone, 1 = men, 2 = women
  int joinResult = 0;        // x_sandbox.joinresult: join always answers this code (0 = normal)
  bool instant = false;      // x_sandbox.instant: join answers a participation key at once
  bool inspectOnly = false;  // x_sandbox.inspectOnly: listed only with campinspect=1
  std::string lurl;          // x_sandbox.lurl: landing link template ("{origin}", "{campid}")
};

struct HistoryEntry {
  long long campid = 0;
  int daysAgo = 0;
  std::string name;
  double rewardprice = 0;
  std::string rewardmark;
  int bm = 1;
};

// The sandbox's data set. JSON format (the built-in one is tools/sandbox/fixture.json):
//   {
//     "media": [{"mkey": "...", "mckey": "...", "rewardtype": 1, "name": "..."}],   (required)
//     "notice": "HTML of the notice document",
//     "agreement": "HTML of the inquiry agreement",
//     "camp": [campaign, ...], "housemd": [campaign, ...],
//     "rewardHistory": [{"campid": 10001, "daysAgo": 3,
//                        "name"?, "rewardprice"?, "rewardmark"?, "bm"?}, ...]
//   }
// A campaign is an object of wire fields sent as they stand, except that "{origin}" and
// "{campid}" in string values are replaced when answering, and the object "x_sandbox"
// (joinresult, instant, inspectOnly, lurl; see CampaignInfo) is kept back. "campid" is a
// required, unique integer; "bm", "bmcheck", "name", "rewardprice", "pricemark", "convflag",
// "targetagemin", "targetagemax" and "gender" drive the behaviour when they hold the right type.
// Missing optional fields of a history entry come from its campaign. Dates are relative to
// the day of the request, so the history always spans the last months.
class Fixture {
 public:
  struct Campaign {
    CampaignInfo info;
    nlohmann::json wire;  // without x_sandbox, placeholders unreplaced
  };

  // Throws std::runtime_error with a description when the document is unusable.
  static Fixture parse(std::string_view jsonText);
  static Fixture builtIn();
  static Fixture fromFile(const std::string& path);

  const std::vector<Media>& media() const { return media_; }
  const Media* findMedia(std::string_view mkey) const;
  const std::vector<Campaign>& campaigns() const { return campaigns_; }  // camp first, then housemd
  const Campaign* findCampaign(long long campid) const;
  const std::vector<HistoryEntry>& history() const { return history_; }
  const std::string& notice() const { return notice_; }
  const std::string& agreement() const { return agreement_; }

 private:
  std::vector<Media> media_;
  std::vector<Campaign> campaigns_;
  std::vector<HistoryEntry> history_;
  std::string notice_;
  std::string agreement_;
};

}  // namespace orvane::sandbox
