#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "tools/sandbox/http_util.hpp"
#include "tools/sandbox/sandbox.hpp"

namespace orvane::sandbox {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

std::string idQuery(const std::string& user, const char* mkey = kMediaKey,
                    const char* mckey = kMediaChannelKey) {
  return std::string("mkey=") + mkey + "&mckey=" + mckey + "&userid=" + user + "&adid=AD-" + user;
}

bool plain(const CampaignInfo& c) {
  return c.joinResult == 0 && !c.instant && !c.inspectOnly && c.convflag == 0 && c.gender == 0 &&
         c.targetAgeMin == 0 && c.targetAgeMax == 0;
}

class SandboxServer : public ::testing::Test {
 protected:
  SandboxServer() {
    client_.set_connection_timeout(5);
    client_.set_read_timeout(10);
  }

  // A GET that must answer HTTP 200 with JSON.
  json get(const std::string& target) {
    const auto res = client_.Get(target);
    EXPECT_TRUE(res) << target;
    if (!res) return json::object();
    EXPECT_EQ(res->status, 200) << target << " " << res->body;
    return json::parse(res->body, nullptr, false);
  }

  template <typename Pred>
  CampaignInfo pick(Pred pred) {
    for (const CampaignInfo& c : server_.campaigns()) {
      if (pred(c)) return c;
    }
    ADD_FAILURE() << "the fixture lacks a campaign for this test";
    return {};
  }

  static bool listed(const json& req, long long campid) {
    for (const char* list : {"camp", "housemd"}) {
      for (const json& c : req[list]) {
        if (c["campid"] == campid) return true;
      }
    }
    return false;
  }

  static json findCamp(const json& req, long long campid) {
    for (const json& c : req["camp"]) {
      if (c["campid"] == campid) return c;
    }
    return nullptr;
  }

  Options options_ = {};
  Server server_{options_};
  int port_ = server_.start();
  httplib::Client client_{"127.0.0.1", port_};
};

TEST_F(SandboxServer, FixtureOffersTheVarietyTheClientDistinguishes) {
  const auto all = server_.campaigns();
  EXPECT_GE(all.size(), 60u);
  std::set<std::pair<int, int>> kinds;
  std::set<int> joinCodes;
  int house = 0, instant = 0, collectable = 0;
  for (const CampaignInfo& c : all) {
    kinds.insert({c.bm, c.bm == 2 || c.bm == 3 ? c.bmcheck : 0});
    if (c.joinResult) joinCodes.insert(c.joinResult);
    house += c.house;
    instant += c.instant;
    collectable += c.convflag == 1;
  }
  for (auto kind : {std::pair{1, 0}, {2, 1}, {2, 0}, {3, 1}, {3, 0}, {4, 0}, {-1, 0}}) {
    EXPECT_TRUE(kinds.count(kind)) << kind.first << "/" << kind.second;
  }
  EXPECT_GE(house, 2);
  EXPECT_GE(instant, 1);
  EXPECT_GE(collectable, 1);
  for (int code : {402, 406, 407, 410, 411, 502, 503}) EXPECT_TRUE(joinCodes.count(code)) << code;

  const json req = get("/v1/req?" + idQuery("variety") + "&gender=0&carrier");
  EXPECT_EQ(req["result"], 200);
  EXPECT_EQ(req["rewardtype"], 1);
  ASSERT_FALSE(req["housemd"].empty());
  for (const json& h : req["housemd"]) EXPECT_GE(h["orderseq"].get<int>(), 1);
  bool html = false;
  for (const json& c : req["camp"]) {
    EXPECT_EQ(c["rewardtype"], 1);
    EXPECT_FALSE(c.contains("x_sandbox"));
    if (c.contains("nativeurl")) {
      EXPECT_EQ(c["nativeurl"].get<std::string>().rfind(server_.origin() + "/img/", 0), 0u);
    }
    html = html || c["rewarddesc"].get<std::string>().find("<b>") != std::string::npos;
  }
  EXPECT_TRUE(html);
}

TEST_F(SandboxServer, ServesRealImagesOfTheRequestedSize) {
  const auto png = client_.Get("/img/icon-10001-96x64.png");
  ASSERT_TRUE(png);
  ASSERT_EQ(png->status, 200);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  ASSERT_GT(png->body.size(), 24u);
  EXPECT_EQ(png->body.substr(1, 3), "PNG");
  auto be32 = [&](std::size_t at) {
    return (static_cast<unsigned char>(png->body[at]) << 24) |
           (static_cast<unsigned char>(png->body[at + 1]) << 16) |
           (static_cast<unsigned char>(png->body[at + 2]) << 8) |
           static_cast<unsigned char>(png->body[at + 3]);
  };
  EXPECT_EQ(be32(16), 96);  // IHDR width
  EXPECT_EQ(be32(20), 64);  // IHDR height

  const auto jpg = client_.Get("/img/native-10001-720x376.jpg");
  ASSERT_TRUE(jpg);
  ASSERT_EQ(jpg->status, 200);
  EXPECT_EQ(jpg->get_header_value("Content-Type"), "image/jpeg");
  EXPECT_EQ(jpg->body.substr(0, 2), "\xff\xd8");

  for (const char* bad :
       {"/img/x-1x1.png", "/img/x-99999x10.png", "/img/../etc-10x10.png", "/img/nothing.gif"}) {
    const auto res = client_.Get(bad);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404) << bad;
  }
}

TEST_F(SandboxServer, IdentityAndTargetingFilterTheAnswers) {
  EXPECT_EQ(get("/v1/req?mkey=nope&mckey=sandbox-mckey&userid=u")["result"], 401);
  EXPECT_EQ(get("/v1/req?mkey=sandbox-mkey&mckey=other&userid=u")["result"], 401);
  EXPECT_EQ(get("/v1/join?userid=u&campid=10001")["result"], 401);
  EXPECT_EQ(get("/api/cs/user_reward_list?mkey=x&mckey=y&userid=u&sdate=20240101&edate=20240102")["result"],
            401);
  EXPECT_EQ(get("/v1/req?mkey=sandbox-mkey&mckey=sandbox-mckey")["result"], 400);

  const CampaignInfo women = pick([](const CampaignInfo& c) { return c.gender == 2; });
  const CampaignInfo aged =
      pick([](const CampaignInfo& c) { return c.targetAgeMin > 0 && c.targetAgeMax > 0; });
  const CampaignInfo inspect = pick([](const CampaignInfo& c) { return c.inspectOnly; });
  const json anonymous = get("/v1/req?" + idQuery("t") + "&gender=0&carrier");
  EXPECT_FALSE(listed(anonymous, women.campid));
  EXPECT_FALSE(listed(anonymous, aged.campid));
  EXPECT_FALSE(listed(anonymous, inspect.campid));
  const std::string inRange = std::to_string(aged.targetAgeMin);
  const json targeted =
      get("/v1/req?" + idQuery("t") + "&gender=2&carrier&age=" + inRange + "&campinspect=1");
  EXPECT_TRUE(listed(targeted, women.campid));
  EXPECT_TRUE(listed(targeted, aged.campid));
  EXPECT_TRUE(listed(targeted, inspect.campid));
  const std::string tooOld = std::to_string(aged.targetAgeMax + 1);
  EXPECT_FALSE(listed(get("/v1/req?" + idQuery("t") + "&gender=1&carrier&age=" + tooOld), aged.campid));
  EXPECT_EQ(
      get("/v1/join?" + idQuery("t") + "&campid=" + std::to_string(women.campid) + "&gender=1")["result"],
      403);
}

TEST_F(SandboxServer, PolledParticipationIsCollectedOnceAndThenLeavesTheWall) {
  const CampaignInfo c = pick([](const CampaignInfo& x) { return plain(x) && x.bm == 2 && x.bmcheck == 1; });
  const std::string camp = "&campid=" + std::to_string(c.campid);
  const std::string user = "life";

  const json joined = get("/v1/join?" + idQuery(user) + camp + "&gender=0&carrier");
  ASSERT_EQ(joined["result"], 200);
  EXPECT_FALSE(joined.contains("ovnkey"));
  const std::string lurl = joined["lurl"];
  EXPECT_EQ(lurl.rfind(server_.origin() + "/landing/" + std::to_string(c.campid), 0), 0u);
  const auto page = client_.Get(lurl.substr(server_.origin().size()));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find(htmlEscape(c.name)), std::string::npos);

  // Before confirmation a claim is refused, and the first poll is not yet done.
  EXPECT_EQ(get("/v1/reward?" + idQuery(user) + camp + "&os=ios&ovnkey=guess")["result"], 404);
  const json first = get("/v1/state?" + idQuery(user) + camp);
  EXPECT_EQ(first["result"], 200);
  EXPECT_NE(first["state"], 3);
  const json second = get("/v1/state?" + idQuery(user) + camp);
  ASSERT_EQ(second["state"], 3);
  const std::string key = second["ovnkey"];

  const json listedAgain = findCamp(get("/v1/req?" + idQuery(user) + "&gender=0&carrier"), c.campid);
  ASSERT_TRUE(listedAgain.is_object());
  EXPECT_EQ(listedAgain["convflag"], 1);
  EXPECT_EQ(listedAgain["ovnkey"], key);

  EXPECT_EQ(get("/v1/reward?" + idQuery(user) + camp + "&os=ios&ovnkey=" + key)["result"], 200);
  EXPECT_EQ(get("/v1/reward?" + idQuery(user) + camp + "&os=ios&ovnkey=" + key)["result"],
            kResultAlreadyDone);
  EXPECT_EQ(get("/v1/join?" + idQuery(user) + camp)["result"], kResultAlreadyDone);
  EXPECT_FALSE(listed(get("/v1/req?" + idQuery(user) + "&gender=0&carrier"), c.campid));

  // Credited exactly once, dated today.
  const std::string today = [] {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char b[16];
    std::strftime(b, sizeof b, "%Y%m%d", &tm);
    return std::string(b);
  }();
  const json history = get("/api/cs/user_reward_list?" + idQuery(user) + "&sdate=" + today +
                           "&edate=" + today + "&rewardtype=1");
  int credited = 0;
  for (const json& r : history["reward"]) credited += r["campid"] == c.campid;
  EXPECT_EQ(credited, 1);
}

TEST_F(SandboxServer, CheckedParticipationFollowsExecAndInstall) {
  const CampaignInfo c = pick([](const CampaignInfo& x) { return plain(x) && x.bm == 3 && x.bmcheck == 0; });
  const std::string camp = "&campid=" + std::to_string(c.campid);
  EXPECT_EQ(get("/v1/exec?" + idQuery("chk") + camp)["result"], 404);  // not joined yet
  ASSERT_EQ(get("/v1/join?" + idQuery("chk") + camp)["result"], 200);
  // exec identifies the participation by the device: it carries no user id.
  const json exec =
      get(std::string("/v1/exec?mkey=") + kMediaKey + "&mckey=" + kMediaChannelKey + camp + "&adid=AD-chk");
  EXPECT_EQ(exec["result"], 200);
  EXPECT_EQ(get("/v1/inst?" + idQuery("chk") + camp + "&os=ios")["state"], 3);
  EXPECT_EQ(get("/v1/exec?" + idQuery("chk") + camp)["result"], kResultAlreadyDone);

  const CampaignInfo link = pick([](const CampaignInfo& x) { return plain(x) && x.bm == 1; });
  const std::string linkCamp = "&campid=" + std::to_string(link.campid);
  ASSERT_EQ(get("/v1/join?" + idQuery("chk") + linkCamp)["result"], 200);
  EXPECT_EQ(get("/v1/exec?" + idQuery("chk") + linkCamp)["result"], kResultNoCheck);
}

TEST_F(SandboxServer, JoinAnswersKeysAndDeterministicRefusals) {
  const CampaignInfo instant = pick([](const CampaignInfo& c) { return c.instant; });
  const std::string camp = "&campid=" + std::to_string(instant.campid);
  const json joined = get("/v1/join?" + idQuery("j") + camp);
  ASSERT_EQ(joined["result"], 200);
  EXPECT_FALSE(joined.contains("lurl"));
  EXPECT_EQ(
      get("/v1/reward?" + idQuery("j") + camp + "&ovnkey=" + joined["ovnkey"].get<std::string>())["result"],
      200);

  const CampaignInfo ended = pick([](const CampaignInfo& c) { return c.joinResult == 407; });
  EXPECT_EQ(get("/v1/join?" + idQuery("j") + "&campid=" + std::to_string(ended.campid))["result"], 407);
  EXPECT_EQ(get("/v1/join?" + idQuery("j") + "&campid=999999")["result"], 404);
  EXPECT_EQ(get("/v1/join?" + idQuery("j") + "&campid=abc")["result"], 400);

  // The same device under a second user id.
  const CampaignInfo c = pick([](const CampaignInfo& x) { return plain(x) && x.bm == 2; });
  const std::string other = "&campid=" + std::to_string(c.campid) + "&adid=SHARED";
  ASSERT_EQ(get(std::string("/v1/join?mkey=sandbox-mkey&mckey=sandbox-mckey&userid=one") + other)["result"],
            200);
  EXPECT_EQ(get(std::string("/v1/join?mkey=sandbox-mkey&mckey=sandbox-mckey&userid=two") + other)["result"],
            900);
  // The all-zero id of a user who refused tracking names no device: two such users are two users.
  const std::string unnamed =
      "&campid=" + std::to_string(c.campid) + "&adid=00000000-0000-0000-0000-000000000000";
  for (const char* user : {"three", "four"}) {
    EXPECT_EQ(
        get(std::string("/v1/join?mkey=sandbox-mkey&mckey=sandbox-mckey&userid=") + user + unnamed)["result"],
        200)
        << user;
  }
}

TEST_F(SandboxServer, ServerCreditedMediaPaysOnTheLandingPage) {
  const CampaignInfo c = pick([](const CampaignInfo& x) { return plain(x) && x.bm == 1 && !x.house; });
  const std::string ids = idQuery("auto", kAutoMediaKey, kAutoMediaChannelKey);
  const json joined = get("/v1/join?" + ids + "&campid=" + std::to_string(c.campid));
  ASSERT_EQ(joined["result"], 200);
  const std::string lurl = joined["lurl"];
  ASSERT_TRUE(client_.Get(lurl.substr(server_.origin().size())));
  const json history = get("/api/cs/user_reward_list?" + ids + "&sdate=20000101&edate=29991231");
  ASSERT_FALSE(history["reward"].empty());
  EXPECT_EQ(history["reward"][0]["campid"], c.campid);
  EXPECT_EQ(get("/v1/req?" + ids)["rewardtype"], 2);
  EXPECT_FALSE(listed(get("/v1/req?" + ids), c.campid));
}

TEST_F(SandboxServer, RewardHistorySpansThreeMonthsOfBothKinds) {
  const json all = get("/api/cs/user_reward_list?" + idQuery("h") + "&sdate=20000101&edate=29991231");
  std::set<std::string> months;
  std::set<int> kinds;
  for (const json& r : all["reward"]) {
    months.insert(r["rewarddate"].get<std::string>().substr(0, 6));
    kinds.insert(r["bm"] == 4 ? 2 : 1);
    for (const char* key : {"campid", "name", "rewardprice", "rewardmark", "rewarddate", "bm"}) {
      EXPECT_TRUE(r.contains(key)) << key;
    }
  }
  EXPECT_GE(months.size(), 3u);
  EXPECT_EQ(kinds.size(), 2u);
  const json purchases =
      get("/api/cs/user_reward_list?" + idQuery("h") + "&sdate=20000101&edate=29991231&rewardtype=2");
  ASSERT_FALSE(purchases["reward"].empty());
  for (const json& r : purchases["reward"]) EXPECT_EQ(r["bm"], 4);
  EXPECT_LT(purchases["reward"].size(), all["reward"].size());
  EXPECT_EQ(get("/api/cs/user_reward_list?" + idQuery("h") + "&sdate=20240230&edate=20240301")["result"],
            400);
  EXPECT_EQ(get("/api/cs/user_reward_list?" + idQuery("h") + "&sdate=2024-01-01&edate=20240301")["result"],
            400);

  const json mine = get("/api/cs/user_camp_list?" + idQuery("h"));
  EXPECT_FALSE(mine["camp"].empty());
  EXPECT_FALSE(
      get("/api/cs/agree_contents_app?" + idQuery("h"))["cs_agree_contents"].get<std::string>().empty());
  EXPECT_EQ(get("/orvane/sdk/notice_contents.json")["result"], 200);
}

std::string part(const std::string& b, const std::string& name, const std::string& value) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string filePart(const std::string& b, const std::string& file, const std::string& bytes) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"uploadfiles[]\"; filename=\"" + file +
         "\"\r\nContent-Type: image/jpeg\r\n\r\n" + bytes + "\r\n";
}

TEST_F(SandboxServer, InquiryWithAnyBoundaryIsValidatedAndStored) {
  const std::string b = "Xy-12_boundary";
  std::string fields;
  for (const auto& [k, v] :
       std::vector<std::pair<std::string, std::string>>{{"mkey", kMediaKey},
                                                        {"mckey", kMediaChannelKey},
                                                        {"userid", "cs"},
                                                        {"email", "a@b.co"},
                                                        {"tel", "01012345678"},
                                                        {"cstype", "reward"},
                                                        {"campid", "10002"},
                                                        {"name", "Kim"},
                                                        {"content", "Line one\r\nline two"}}) {
    fields += part(b, k, v);
  }
  const std::string jpeg(3000, '\xab');
  const std::string body =
      fields + filePart(b, "image1.jpg", jpeg) + filePart(b, "image2.jpg", "xy") + "--" + b + "--\r\n";
  const auto res = client_.Post("/api/cs", body, ("multipart/form-data; boundary=" + b).c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(json::parse(res->body)["result"], 200) << res->body;

  const auto stored = server_.inquiries();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].field("content"), "Line one\r\nline two");
  ASSERT_EQ(stored[0].files.size(), 2u);
  EXPECT_EQ(stored[0].files[0].data, jpeg);
  EXPECT_EQ(stored[0].files[1].fileName, "image2.jpg");

  const auto log = server_.received("/api/cs");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].formValue("cstype"), "reward");
  ASSERT_EQ(log[0].files.size(), 2u);
  EXPECT_EQ(log[0].files[0].size, 3000u);
  EXPECT_EQ(log[0].files[0].field, "uploadfiles[]");

  // Refusals are answered, logged, and store nothing.
  const std::string type = "multipart/form-data; boundary=" + b;
  const auto missing = client_.Post(
      "/api/cs", part(b, "mkey", kMediaKey) + part(b, "mckey", kMediaChannelKey) + "--" + b + "--\r\n",
      type.c_str());
  ASSERT_TRUE(missing);
  EXPECT_EQ(json::parse(missing->body)["result"], 400);
  const auto truncated = client_.Post("/api/cs", fields.substr(0, fields.size() - 5), type.c_str());
  ASSERT_TRUE(truncated);
  EXPECT_EQ(json::parse(truncated->body)["result"], 400);
  const auto notMultipart = client_.Post("/api/cs", "a=b", "application/json");
  ASSERT_TRUE(notMultipart);
  EXPECT_EQ(json::parse(notMultipart->body)["result"], 400);
  EXPECT_EQ(server_.inquiries().size(), 1u);
  EXPECT_EQ(server_.received("/api/cs").size(), 4u);
}

TEST_F(SandboxServer, ForcingShapesAnswersAndTheLogKeepsTheRawQuery) {
  const std::string target = "/v1/req?" + idQuery("a%26b%20c") + "&gender=0&carrier&x=1%2B2";
  server_.force({.endpoint = "/v1/req", .result = 500, .keepBody = true});
  const json kept = get(target);
  EXPECT_EQ(kept["result"], 500);
  EXPECT_FALSE(kept["camp"].empty());

  server_.force({.endpoint = "/v1/req", .httpStatus = 503, .times = 1});
  auto res = client_.Get(target);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 503);
  EXPECT_EQ(get(target)["result"], 200);  // used up

  server_.force({.endpoint = "*", .result = 900});
  EXPECT_EQ(get("/v1/join?" + idQuery("f") + "&campid=10001").dump(), R"({"result":900})");
  server_.clearForcing();

  auto shaped = [&](BodyMode mode, std::size_t huge = 0) {
    server_.force({.endpoint = "/v1/req", .body = mode, .hugeBytes = huge, .times = 1});
    const auto r = client_.Get(target);
    return r ? r->body : std::string("<no answer>");
  };
  EXPECT_EQ(shaped(BodyMode::Empty), "");
  EXPECT_TRUE(json::parse(shaped(BodyMode::Malformed), nullptr, false).is_discarded());
  const std::string huge = shaped(BodyMode::Huge, 300000);
  EXPECT_EQ(huge.size(), 300000u);
  EXPECT_FALSE(json::parse(huge, nullptr, false).is_discarded());
  EXPECT_FALSE(isValidUtf8(shaped(BodyMode::InvalidUtf8)));

  // The same through the HTTP control endpoint.
  ASSERT_TRUE(
      client_.Post("/__control/force", R"({"endpoint":"/v1/state","result":404})", "application/json"));
  EXPECT_EQ(get("/v1/state?" + idQuery("f") + "&campid=10001")["result"], 404);
  ASSERT_TRUE(client_.Post("/__control/clear", "", "text/plain"));
  EXPECT_EQ(
      json::parse(client_.Post("/__control/force", R"({"body":"odd"})", "application/json")->body)["result"],
      400);

  const auto log = server_.received("/v1/req");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].rawQuery, target.substr(target.find('?') + 1));
  EXPECT_EQ(log[0].queryValue("userid"), "a&b c");
  EXPECT_EQ(log[0].queryValue("carrier"), "");
  EXPECT_EQ(log[0].queryValue("x"), "1+2");
  EXPECT_EQ(log[0].status, 200);
  EXPECT_EQ(log[1].status, 503);
  const json remote = get("/__control/requests");
  EXPECT_EQ(remote["requests"][0]["rawQuery"], log[0].rawQuery);
  for (const json& r : remote["requests"])
    EXPECT_EQ(r["path"].get<std::string>().rfind("/__control", 0), std::string::npos);
  server_.clearReceived();
  EXPECT_TRUE(server_.received().empty());
}

TEST(SandboxLifetime, StopsPromptlyWithARequestInFlight) {
  Server server{Options{}};
  const int port = server.start();
  server.force({.endpoint = "/v1/req", .delayMs = 30000});
  std::thread caller([port] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(40);
    client.Get("/v1/req?mkey=sandbox-mkey&mckey=sandbox-mckey&userid=slow");
  });
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (server.received("/v1/req").empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(server.received("/v1/req").size(), 1u);
  const auto before = std::chrono::steady_clock::now();
  server.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
  caller.join();
  server.stop();  // idempotent
}

TEST(SandboxLifetime, OversizedUploadIsRefusedAndLogged) {
  Server server{Options{.payloadMaxBytes = 1000}};
  httplib::Client client("127.0.0.1", server.start());
  const auto res = client.Post("/api/cs", std::string(5000, 'x'), "multipart/form-data; boundary=b");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
  EXPECT_EQ(json::parse(res->body)["result"], 413);
  ASSERT_EQ(server.received("/api/cs").size(), 1u);
  EXPECT_EQ(server.received("/api/cs")[0].status, 413);
  EXPECT_TRUE(server.inquiries().empty());
}

TEST(SandboxLifetime, StatePersistsInTheDatabaseFile) {
  const std::string db = ::testing::TempDir() + "sandbox_state_test.db";
  std::remove(db.c_str());
  const std::string join = "/v1/join?mkey=sandbox-mkey&mckey=sandbox-mckey&userid=p&adid=A&campid=";
  std::string campid;
  {
    Server server{Options{.dbPath = db}};
    for (const CampaignInfo& c : server.campaigns()) {
      if (c.instant) campid = std::to_string(c.campid);
    }
    httplib::Client client("127.0.0.1", server.start());
    const auto joined = json::parse(client.Get(join + campid)->body);
    ASSERT_EQ(client
                  .Get("/v1/reward?mkey=sandbox-mkey&mckey=sandbox-mckey&userid=p&campid=" + campid +
                       "&ovnkey=" + joined["ovnkey"].get<std::string>())
                  ->status,
              200);
  }
  Server again{Options{.dbPath = db}};
  httplib::Client client("127.0.0.1", again.start());
  EXPECT_EQ(json::parse(client.Get(join + campid)->body)["result"], kResultAlreadyDone);
  std::remove(db.c_str());
}

TEST(SandboxLifetime, BadFixtureIsRefusedWithAReason) {
  EXPECT_THROW(Fixture::parse("[]"), std::runtime_error);
  EXPECT_THROW(Fixture::parse(R"({"media":[{"mkey":"m"}],"camp":[{"campid":1},{"campid":1}]})"),
               std::runtime_error);
  EXPECT_THROW(Fixture::parse(R"({"media":[{"mkey":"m"}],"camp":[{"campid":"1"}]})"), std::runtime_error);
  EXPECT_THROW(Server(Options{.fixturePath = "/nonexistent/fixture.json"}), std::runtime_error);
  const Fixture f =
      Fixture::parse(R"({"media":[{"mkey":"m"}],"camp":[{"campid":7,"x_sandbox":{"instant":true}}]})");
  ASSERT_EQ(f.campaigns().size(), 1u);
  EXPECT_TRUE(f.campaigns()[0].info.instant);
  EXPECT_FALSE(f.campaigns()[0].wire.contains("x_sandbox"));
}

}  // namespace
}  // namespace orvane::sandbox
