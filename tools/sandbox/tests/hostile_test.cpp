// The sandbox's hostile modes serve what they claim: tests of the SDK rely on that.
#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "tools/sandbox/sandbox.hpp"

namespace orvane::sandbox {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kIds = "mkey=sandbox-mkey&mckey=sandbox-mckey&userid=h&adid=AD-h";
const std::string kFifo = "/tmp/orvane-test/never-opened.fifo";

std::uint32_t be32(const std::string& s, std::size_t at) {
  return static_cast<std::uint32_t>(
      static_cast<unsigned char>(s[at]) << 24 | static_cast<unsigned char>(s[at + 1]) << 16 |
      static_cast<unsigned char>(s[at + 2]) << 8 | static_cast<unsigned char>(s[at + 3]));
}

class Hostile : public ::testing::Test {
 protected:
  Hostile() {
    client_.set_connection_timeout(5);
    client_.set_read_timeout(10);
  }

  json get(const std::string& target) {
    const auto res = client_.Get(target);
    EXPECT_TRUE(res) << target;
    if (!res) return json::object();
    EXPECT_EQ(res->status, 200) << target;
    return json::parse(res->body, nullptr, false);
  }

  json campaigns() { return get("/v1/req?" + kIds)["camp"]; }

  Server server_{Options{}};
  int port_ = server_.start();
  httplib::Client client_{"127.0.0.1", port_};
};

TEST_F(Hostile, HtmlReachesEveryServerText) {
  server_.setHostile({.kind = HostileKind::Html, .localPath = kFifo});
  const std::string all = hostileValues(HostileKind::Html, kFifo).at(0);
  for (const std::string& sample : hostileHtmlSamples(kFifo)) EXPECT_NE(all.find(sample), std::string::npos);
  EXPECT_NE(all.find(R"(<img src="a.png"><img src="file:///dev/zero">text)"), std::string::npos);
  EXPECT_NE(all.find("src=\"" + kFifo + "\""), std::string::npos);
  EXPECT_NE(all.find("stylesheet"), std::string::npos);

  const json camp = campaigns();
  ASSERT_FALSE(camp.empty());
  for (const json& c : camp) {
    for (const char* field : {"rewarddesc", "joindesc", "notice"}) EXPECT_EQ(c[field], all) << field;
  }
  const std::string campid = std::to_string(camp[0]["campid"].get<long long>());
  EXPECT_EQ(get("/v1/view?" + kIds + "&campid=" + campid)["text"], all);
  EXPECT_EQ(get("/orvane/sdk/notice_contents.json")["text"], all);
  EXPECT_EQ(get("/api/cs/agree_contents_app?" + kIds)["cs_agree_contents"], all);

  // Given values rotate over the fixture's campaigns, the same in every answer.
  const std::vector<std::string> samples = hostileHtmlSamples();
  server_.setHostile({.kind = HostileKind::Html, .values = samples});
  std::set<std::string> seen;
  for (const json& c : campaigns()) {
    const auto expected = server_.hostileValue(HostileKind::Html, c["campid"].get<long long>());
    ASSERT_TRUE(expected);
    EXPECT_EQ(c["rewarddesc"], *expected);
    seen.insert(*expected);
  }
  EXPECT_EQ(seen.size(), samples.size());
  std::string joined;
  for (const std::string& s : samples) joined += s;
  EXPECT_EQ(get("/orvane/sdk/notice_contents.json")["text"], joined);

  server_.clearHostile();
  EXPECT_EQ(campaigns()[0]["rewarddesc"].get<std::string>().find("file:"), std::string::npos);
}

TEST_F(Hostile, ImageFieldsAndLinksNameLocalThings) {
  server_.setHostile({.kind = HostileKind::ImageUrls, .localPath = kFifo});
  server_.setHostile({.kind = HostileKind::Links, .localPath = kFifo});
  const auto images = hostileValues(HostileKind::ImageUrls, kFifo);
  const auto links = hostileValues(HostileKind::Links, kFifo);
  for (const char* expected : {"/dev/zero", "file:///dev/zero", "file:///etc/hostname", "/etc/hostname"}) {
    EXPECT_NE(std::find(images.begin(), images.end(), expected), images.end()) << expected;
  }
  EXPECT_NE(std::find(images.begin(), images.end(), kFifo), images.end());
  for (const char* expected :
       {"file:///etc/passwd", "/etc/passwd", "/bin/sh", "orvane-unregistered-scheme://start"}) {
    EXPECT_NE(std::find(links.begin(), links.end(), expected), links.end()) << expected;
  }

  std::set<std::string> seenImages, seenLinks;
  for (const json& c : campaigns()) {
    const long long campid = c["campid"];
    const std::string image = *server_.hostileValue(HostileKind::ImageUrls, campid);
    for (const char* field : {"iconurl", "nativeurl", "viewurl", "ctvurl"}) EXPECT_EQ(c[field], image);
    EXPECT_EQ(c["package"], *server_.hostileValue(HostileKind::Links, campid));
    seenImages.insert(image);
    seenLinks.insert(c["package"].get<std::string>());
  }
  EXPECT_EQ(seenImages.size(), images.size());
  EXPECT_EQ(seenLinks.size(), links.size());

  // The join answer's landing link is the campaign's hostile link.
  for (const CampaignInfo& c : server_.campaigns()) {
    if (c.joinResult || c.instant || c.inspectOnly || c.gender || c.targetAgeMin || c.convflag) continue;
    const json joined = get("/v1/join?" + kIds + "&campid=" + std::to_string(c.campid));
    EXPECT_EQ(joined["lurl"], *server_.hostileValue(HostileKind::Links, c.campid));
    break;
  }
  server_.setHostile({.kind = HostileKind::Links, .values = {"file:///etc/passwd"}});
  EXPECT_EQ(campaigns()[0]["package"], "file:///etc/passwd");
}

TEST_F(Hostile, MarkupLandsInPlainTextFields) {
  server_.setHostile({.kind = HostileKind::Markup, .values = {"Tom & Jerry <b>Run</b> 게임"}});
  for (const json& c : campaigns()) {
    for (const char* field : {"name", "engname", "cta", "pricemark"})
      EXPECT_EQ(c[field], "Tom & Jerry <b>Run</b> 게임");
  }
  const json rewards = get("/api/cs/user_reward_list?" + kIds + "&sdate=20000101&edate=29991231");
  ASSERT_FALSE(rewards["reward"].empty());
  EXPECT_EQ(rewards["reward"][0]["name"], "Tom & Jerry <b>Run</b> 게임");
  EXPECT_EQ(rewards["reward"][0]["rewardmark"], "Tom & Jerry <b>Run</b> 게임");
  EXPECT_EQ(get("/v1/join?" + kIds + "&campid=999999")["errmsg"], "Tom & Jerry <b>Run</b> 게임");
  const auto defaults = hostileValues(HostileKind::Markup);
  for (const char* expected : {"Tom & Jerry <b>Run</b> 게임", "&amp;", R"(<img src="file:///dev/zero">)"}) {
    EXPECT_NE(std::find(defaults.begin(), defaults.end(), expected), defaults.end()) << expected;
  }
}

TEST_F(Hostile, BombsDeclareHugeImagesAndTheOversizedOneIsLong) {
  server_.setHostile({.kind = HostileKind::ImageBombs});
  const json c = campaigns()[0];
  const std::string url = *server_.hostileValue(HostileKind::ImageBombs, c["campid"]);
  EXPECT_EQ(url.rfind(server_.origin() + "/hostile/", 0), 0u) << url;
  EXPECT_EQ(c["iconurl"], url);

  const auto png = client_.Get("/hostile/png-bomb.png");
  ASSERT_TRUE(png);
  EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
  const std::string& bytes = png->body;
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_LT(bytes.size(), 512u * 1024) << "small on the wire";
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(be32(bytes, 16), static_cast<std::uint32_t>(kBombSide));
  EXPECT_EQ(be32(bytes, 20), static_cast<std::uint32_t>(kBombSide));
  // Valid all the way: the image data inflates to exactly the rows it declares.
  const std::size_t idat = bytes.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  const std::uint32_t idatSize = be32(bytes, idat - 4);
  z_stream z{};
  ASSERT_EQ(inflateInit(&z), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + idat + 4));
  z.avail_in = idatSize;
  std::vector<Bytef> out(1 << 20);
  std::uint64_t total = 0;
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = inflate(&z, Z_NO_FLUSH);
    total += out.size() - z.avail_out;
  }
  inflateEnd(&z);
  EXPECT_EQ(rc, Z_STREAM_END);
  EXPECT_EQ(total, std::uint64_t{kBombSide} * (1 + (kBombSide + 7) / 8));
  EXPECT_EQ(bytes.substr(bytes.size() - 8, 4), "IEND");

  const auto jpeg = client_.Get("/hostile/jpeg-bomb.jpg");
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(jpeg->body.substr(0, 2), "\xff\xd8");
  const std::size_t sof = jpeg->body.find("\xff\xc0");
  ASSERT_NE(sof, std::string::npos);
  EXPECT_EQ((static_cast<unsigned char>(jpeg->body[sof + 5]) << 8 |
             static_cast<unsigned char>(jpeg->body[sof + 6])),
            kBombSide);

  const auto big = client_.Get("/hostile/oversize.png?bytes=3000000");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->body.size(), 3000000u);
  EXPECT_EQ(big->body.substr(1, 3), "PNG");
}

TEST_F(Hostile, TransportForcingsDripStallRedirectAndReadSlowly) {
  // Redirect to any URL, and a prefix forcing for every image.
  server_.force({.endpoint = "/img/*", .redirect = Redirect::ToUrl, .redirectUrl = "file:///etc/passwd"});
  auto moved = client_.Get("/img/icon-10001-96x96.png");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 302);
  EXPECT_EQ(moved->get_header_value("Location"), "file:///etc/passwd");

  // A drip arrives piece by piece and whole.
  const std::string normal = client_.Get("/orvane/sdk/notice_contents.json")->body;
  server_.force(
      {.endpoint = "/orvane/sdk/notice_contents.json", .dripIntervalMs = 20, .dripBytes = normal.size() / 5});
  int pieces = 0;
  std::string dripped;
  ASSERT_TRUE(client_.Get("/orvane/sdk/notice_contents.json", [&](const char* data, std::size_t length) {
    ++pieces;
    dripped.append(data, length);
    return true;
  }));
  EXPECT_EQ(dripped, normal);
  EXPECT_GE(pieces, 5);

  // A stall sends its first bytes and then nothing.
  const std::string list = client_.Get("/v1/req?" + kIds)->body;
  server_.force({.endpoint = "/v1/req", .stallAfterBytes = 5});
  httplib::Client impatient("127.0.0.1", port_);
  impatient.set_read_timeout(1);
  std::string partial;
  auto stalled = impatient.Get("/v1/req?" + kIds, [&](const char* data, std::size_t length) {
    partial.append(data, length);
    return true;
  });
  EXPECT_FALSE(stalled);
  EXPECT_EQ(partial, list.substr(0, 5));

  // An upload is read no faster than the set rate.
  server_.force({.endpoint = "/api/cs", .uploadBytesPerSecond = 256 * 1024});
  const auto began = Clock::now();
  auto uploaded = client_.Post("/api/cs", std::string(384 * 1024, 'u'), "multipart/form-data; boundary=b");
  ASSERT_TRUE(uploaded);
  EXPECT_GE(Clock::now() - began, 1200ms);
  ASSERT_EQ(server_.received("/api/cs").size(), 1u);
  EXPECT_EQ(server_.received("/api/cs")[0].body.size(), 384u * 1024);
}

TEST(HostileHttps, RedirectsToThePlainListenerAndServesLinksOnItsOwn) {
  Server server{Options{.https = true}};
  const int port = server.start();
  ASSERT_GT(server.httpsPort(), 0);
  EXPECT_EQ(server.httpsOrigin(), "https://127.0.0.1:" + std::to_string(server.httpsPort()));
  httplib::SSLClient secure("127.0.0.1", server.httpsPort());
  secure.set_ca_cert_path(server.caFile().c_str());
  secure.enable_server_certificate_verification(true);
  secure.set_read_timeout(10);

  const auto listed = secure.Get("/v1/req?" + kIds);
  ASSERT_TRUE(listed) << httplib::to_string(listed.error());
  const json camp = json::parse(listed->body)["camp"][0];
  EXPECT_EQ(camp["iconurl"].get<std::string>().rfind(server.httpsOrigin() + "/img/", 0), 0u);
  EXPECT_EQ(server.received("/v1/req").at(0).scheme, "https");

  server.force({.endpoint = "/v1/req", .redirect = Redirect::ToHttp});
  const auto lowered = secure.Get("/v1/req?" + kIds);
  ASSERT_TRUE(lowered);
  EXPECT_EQ(lowered->status, 302);
  EXPECT_EQ(lowered->get_header_value("Location"),
            "http://127.0.0.1:" + std::to_string(port) + "/v1/req?" + kIds);
  for (const ReceivedRequest& r : server.received()) EXPECT_EQ(r.scheme, "https");
}

TEST(HostileControl, EveryModeCanBeSwitchedOverHttp) {
  Server server{Options{}};
  httplib::Client client("127.0.0.1", server.start());
  const auto post = [&](const std::string& path, const std::string& body) {
    const auto res = client.Post(path, body, "application/json");
    return res ? json::parse(res->body, nullptr, false) : json();
  };
  EXPECT_EQ(post("/__control/force",
                 R"({"endpoint":"/v1/req","redirect":"url","redirectUrl":"ftp://x/"})")["result"],
            200);
  EXPECT_EQ(client.Get("/v1/req")->get_header_value("Location"), "ftp://x/");
  EXPECT_EQ(post("/__control/force", R"({"endpoint":"/v1/req","redirect":"sideways"})")["result"], 400);
  EXPECT_EQ(post("/__control/force",
                 R"({"endpoint":"/v1/req","stallAfterBytes":0,"dripIntervalMs":"x"})")["result"],
            400);

  EXPECT_EQ(post("/__control/hostile", R"({"kind":"links","values":["/bin/sh"]})")["result"], 200);
  EXPECT_EQ(server.hostileValue(HostileKind::Links, server.campaigns()[0].campid), "/bin/sh");
  EXPECT_EQ(post("/__control/hostile", R"({"kind":"nonsense"})")["result"], 400);
  EXPECT_EQ(post("/__control/hostile/clear", "")["result"], 200);
  EXPECT_FALSE(server.hostileValue(HostileKind::Links, server.campaigns()[0].campid));

  EXPECT_EQ(post("/__control/chaos", R"({"seed":3,"answers":2})")["result"], 200);
  client.Get("/v1/view");
  const json stats = json::parse(client.Get("/__control/chaos")->body)["stats"];
  EXPECT_EQ(stats["served"], 1);
  EXPECT_EQ(stats["remaining"], 1);
  EXPECT_EQ(stats["byEndpoint"]["/v1/view"], 1);

  server.setHostile({.kind = HostileKind::Html});
  server.force({.endpoint = "*", .result = 900});
  EXPECT_EQ(post("/__control/clear", "")["result"], 200);
  EXPECT_FALSE(server.chaosStats().active);
  EXPECT_FALSE(server.hostileValue(HostileKind::Html, server.campaigns()[0].campid));
  EXPECT_EQ(json::parse(client.Get("/v1/req?" + kIds)->body)["result"], 200);
}

// Sequential requests over several kinds of endpoint; returns what chaos drew for each.
std::vector<std::string> soak(Server& server, int port, std::size_t count,
                              std::vector<httplib::Result>* results) {
  const std::vector<std::string> targets = {
      "/v1/req?" + kIds,
      "/v1/view?" + kIds + "&campid=10001",
      "/v1/join?" + kIds + "&campid=10001",
      "/v1/state?" + kIds + "&campid=10001",
      "/img/icon-10001-96x96.png",
      "/landing/10001",
      "/orvane/sdk/notice_contents.json",
      "/api/cs/user_reward_list?" + kIds + "&sdate=20000101&edate=29991231"};
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10);
  for (std::size_t i = 0; i < count; ++i) {
    auto res = client.Get(targets[i % targets.size()]);
    if (results) results->push_back(std::move(res));
  }
  std::vector<std::string> drawn;
  for (const ReceivedRequest& r : server.received()) drawn.push_back(r.chaos);
  return drawn;
}

TEST(HostileChaos, SeededBoundedAndCounted) {
  constexpr std::size_t kAnswers = 240;
  const Chaos chaos{.seed = 11, .answers = kAnswers, .maxDelayMs = 10, .hugeListSize = 40};
  Server server{Options{}};
  const int port = server.start();
  server.startChaos(chaos);
  std::vector<httplib::Result> results;
  const auto drawn = soak(server, port, kAnswers + 16, &results);

  ASSERT_EQ(drawn.size(), kAnswers + 16) << "every request reached the server once";
  const ChaosStats stats = server.chaosStats();
  EXPECT_FALSE(stats.active);
  EXPECT_EQ(stats.served, kAnswers);
  EXPECT_EQ(stats.remaining, 0u);
  std::size_t counted = 0;
  for (const auto& [kind, n] : stats.byKind) counted += n;
  EXPECT_EQ(counted, kAnswers);
  EXPECT_GE(stats.byKind.size(), 25u);
  EXPECT_GT(stats.byKind.at("normal"), kAnswers / 8);
  for (std::size_t i = 0; i < drawn.size(); ++i) EXPECT_EQ(drawn[i].empty(), i >= kAnswers) << i;

  // What was drawn is what was served.
  const auto all = chaosKinds();
  for (std::size_t i = 0; i < kAnswers; ++i) {
    const std::string& kind = drawn[i];
    EXPECT_NE(std::find(all.begin(), all.end(), kind), all.end()) << kind;
    const auto& res = results[i];
    if (kind == "cut") {
      EXPECT_FALSE(res) << i;
      continue;
    }
    ASSERT_TRUE(res) << i << " " << kind;
    const bool parses = !json::parse(res->body, nullptr, false).is_discarded();
    if (kind.rfind("status:", 0) == 0) {
      EXPECT_EQ(std::to_string(res->status), kind.substr(7));
    } else if (kind.rfind("result:", 0) == 0) {
      EXPECT_EQ(res->body, R"({"result":)" + kind.substr(7) + "}");
    } else if (kind == "redirect_scheme") {
      EXPECT_EQ(res->get_header_value("Location").rfind("http", 0), std::string::npos);
    } else if (kind == "truncated" || kind == "not_json") {
      EXPECT_FALSE(parses) << kind;
    } else if (kind == "deep_nesting") {
      EXPECT_EQ(res->body.rfind(R"({"result":200,"camp":[[[[)", 0), 0u);
    } else if (kind == "duplicate_keys" || kind == "wrong_types" || kind == "huge_list") {
      EXPECT_TRUE(parses) << kind;
    } else if (kind == "png_bomb") {
      EXPECT_EQ(res->body, pngBomb());
    }
  }
  for (std::size_t i = kAnswers; i < results.size(); ++i) EXPECT_TRUE(results[i]) << i;

  // The same seed and the same requests draw the same answers.
  Server again{Options{}};
  const int againPort = again.start();
  again.startChaos(chaos);
  EXPECT_EQ(soak(again, againPort, kAnswers + 16, nullptr), drawn);
}

}  // namespace
}  // namespace orvane::sandbox
