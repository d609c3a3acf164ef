// The installed API as a host sees it: only <orvane/...> headers, only the shared
// library. Each call here would fail to link if its export went missing.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <orvane/api_join.hpp>
#include <orvane/image_cache.hpp>
#include <orvane/link_policy.hpp>
#include <orvane/localized.hpp>
#include <orvane/log.hpp>
#include <orvane/mime_type.hpp>
#include <orvane/size.hpp>
#include <orvane/version.hpp>
#include <string>
#include <vector>

namespace {

TEST(PublicApi, ReportsTheVersionItsHeadersName) {
  EXPECT_STREQ(orvane::orvaneVersion(), ORVANE_VERSION_STRING);
  EXPECT_EQ(std::string(ORVANE_VERSION_STRING), std::to_string(ORVANE_VERSION_MAJOR) + "." +
                                                    std::to_string(ORVANE_VERSION_MINOR) + "." +
                                                    std::to_string(ORVANE_VERSION_PATCH));
}

struct Line {
  orvane::LogType type;
  std::string category;
  std::string message;
};

// A host's own sink, compiled outside the library.
class HostSink : public orvane::LogSink {
 public:
  bool accepts(orvane::LogType type) const override { return type != orvane::LogType::debug; }
  void write(orvane::LogType type, std::string_view category, std::string_view message) override {
    std::lock_guard lock(mutex);
    lines.push_back({type, std::string(category), std::string(message)});
  }
  std::mutex mutex;
  std::vector<Line> lines;
};

TEST(PublicApi, AHostSinkGetsTheEnabledLinesUntilRemoved) {
  auto sink = std::make_shared<HostSink>();
  orvane::Log::setSink(sink);
  orvane::Log::displayLog = false;
  orvane::Log::log("silent", orvane::Log::Level::error());
  orvane::Log::displayLog = true;
  orvane::Log::log("ApiList", {"getReq", "failed"}, orvane::Log::Level::error());
  orvane::Log::log("dropped by the sink", orvane::Log::Level::debug());
  orvane::Log::setSink(nullptr);
  orvane::Log::log("after removal", orvane::Log::Level::error());
  orvane::Log::displayLog = false;

  ASSERT_EQ(sink->lines.size(), 1u);
  EXPECT_EQ(sink->lines[0].type, orvane::LogType::error);
  EXPECT_EQ(sink->lines[0].category, orvane::Log::Level::error().category());
  EXPECT_EQ(sink->lines[0].message, "ApiList getReq failed");
}

TEST(PublicApi, SharedObjectsAreTheSameOnEveryCall) {
  EXPECT_EQ(&orvane::ApiJoin::shared(), &orvane::ApiJoin::shared());
  EXPECT_TRUE(orvane::ApiJoin::shared().getPartiConfirmList().empty());

  auto& cache = orvane::ImageCache::defaultCache();
  EXPECT_EQ(&cache, &orvane::ImageCache::defaultCache());
  const auto before = cache.cacheType();
  cache.setCacheType(orvane::CacheType::ram);
  EXPECT_EQ(orvane::ImageCache::defaultCache().cacheType(), orvane::CacheType::ram);
  cache.setCacheType(orvane::CacheType::disk);
  EXPECT_EQ(cache.cacheType(), orvane::CacheType::disk);
  cache.setCacheType(before);
}

TEST(PublicApi, UtilitiesAnswerAsDocumented) {
  EXPECT_EQ(orvane::mimeType("shots/Screen.PNG"), "image/png");
  EXPECT_EQ(orvane::mimeType("notes"), "application/octet-stream");
  EXPECT_EQ(orvane::mimeTypeOfUrl("https://cdn.example.test/a.jpeg?x=1.png"), "image/jpeg");

  EXPECT_EQ((orvane::Size{3, 4} * 2), (orvane::Size{6, 8}));
  EXPECT_EQ((orvane::Size{3, 4} / 2), (orvane::Size{1.5, 2}));
  EXPECT_EQ((orvane::Size{3, 4} / 0), (orvane::Size{3, 4}));

  EXPECT_FALSE(orvane::localized("ov_alarm").empty());
  EXPECT_NE(orvane::localized("ov_alarm"), "ov_alarm");
  EXPECT_EQ(orvane::localized("no_such_key"), "no_such_key");
}

// Hosts read the policy to know which server links the wall opens, and may check their own.
TEST(PublicApi, TheLinkPolicyAllowsWebAndAppLinksAndRefusesLocalFiles) {
  EXPECT_TRUE(orvane::checkServerLink("https://example.test/landing?id=1").allowed);
  EXPECT_TRUE(orvane::checkServerLink("mygame://start?ref=1").allowed);
  const auto file = orvane::checkServerLink("FILE:///etc/passwd");
  EXPECT_FALSE(file.allowed);
  EXPECT_FALSE(file.reason.empty());
  EXPECT_FALSE(orvane::checkServerLink("mygame://open?f=file%3A%2F%2F%2Fetc%2Fpasswd").allowed);
}

}  // namespace
