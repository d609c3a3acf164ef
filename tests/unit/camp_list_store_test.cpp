#include "core/screens/camp_list_store.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/screens/prefetch.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/files.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::FakeHttpSession;
using testing::FakePlatform;
using namespace std::chrono_literals;

class TempDir {
 public:
  TempDir()
      : path_(fs::temp_directory_path() /
              ("orvane-list-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

class CampListStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log::displayLog = true;
    Log::setSink(fake.logSink);
  }
  void TearDown() override {
    Log::displayLog = false;
    Log::setSink(nullptr);
  }
  FakePlatform fake;
  TempDir dir;
  CampListStore store{dir.path()};
  CampListStore::Clock::time_point now = fake.clock->now();
};

TEST_F(CampListStoreTest, TheKeptListIsItsOwnersForADay) {
  store.save("alice", now, R"({"result":200})");
  const auto kept = store.load("alice", now + 23h);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->first, R"({"result":200})");
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(kept->second.time_since_epoch()),
            std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()));
  EXPECT_FALSE(store.load("bob", now));
  EXPECT_FALSE(store.load("alice", now + 25h));
  EXPECT_FALSE(store.load("alice", now - 1h));  // written "in the future": the clock moved back
  // The file names no user.
  EXPECT_EQ(readFile(store.file())->find("alice"), std::string::npos);
}

TEST_F(CampListStoreTest, ACorruptOrOversizedFileIsIgnoredWithALogLine) {
  for (const std::string& bytes : {std::string("garbage"), std::string("orvane-list 1 12x 77\n{}"),
                                   std::string("orvane-list 1 99999999999999999999 1\n{}")}) {
    ASSERT_FALSE(writeFileAtomically(store.file(), bytes));
    fake.logSink->clear();
    EXPECT_FALSE(store.load("alice", now)) << bytes;
    EXPECT_TRUE(fake.logSink->contains("the kept list is ignored")) << bytes;
  }
  {
    std::ofstream big(store.file(), std::ios::binary | std::ios::trunc);
    big << "orvane-list 1 0 0\n";
    big << std::string(CampListStore::kMaxFileBytes + 1024, ' ');
  }
  fake.logSink->clear();
  EXPECT_FALSE(store.load("alice", now));
  EXPECT_TRUE(fake.logSink->contains("larger than"));
  // Too large to keep is not written at all.
  fs::remove(store.file());
  store.save("alice", now, std::string(CampListStore::kMaxFileBytes + 1, 'x'));
  EXPECT_FALSE(fs::exists(store.file()));
}

TEST_F(CampListStoreTest, TheMemoryEntryFollowsTheSameRules) {
  store.remember(std::make_shared<const CampListStore::Entry>(CampListStore::Entry{"alice", now, {}}));
  EXPECT_NE(store.latest("alice", now + 1h), nullptr);
  EXPECT_EQ(store.latest("bob", now), nullptr);
  EXPECT_EQ(store.latest("alice", now + 25h), nullptr);
}

TEST(ListAnswerText, DropsTheMarkRepairsAndRemovesTheNewlineText) {
  EXPECT_EQ(listAnswerText("\xEF\xBB\xBF{\"a\":\n1}\n", "\n"), "{\"a\":1}");
  EXPECT_EQ(listAnswerText("ab\xFF", ""), "ab\xEF\xBF\xBD");
}

std::string campJson(int id, const std::string& icon) {
  return R"({"campid":)" + std::to_string(id) + R"(,"bm":1,"name":"C)" + std::to_string(id) +
         R"(","rewardprice":10,"pricemark":"P","orderseq":)" + std::to_string(id) + R"(,"iconurl":")" + icon +
         R"("})";
}

class PrefetchTest : public CampListStoreTest {
 protected:
  void SetUp() override {
    CampListStoreTest::SetUp();
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = "http://127.0.0.1:8080/v1";
    fake.store->setString(keys::kMkey, "mk");
    fake.store->setString(keys::kMckey, "mck");
    fake.store->setString(keys::kUserId, "u1");
    events.addListener(errors);
  }
  void TearDown() override {
    OrvaneSDK::shared().reset();
    CampListStoreTest::TearDown();
  }
  struct Errors : EventListener {
    void onError(const ErrorEvent& e) override { seen.push_back(e.operation + " " + std::to_string(e.code)); }
    std::vector<std::string> seen;
  };
  std::shared_ptr<Errors> errors = std::make_shared<Errors>();
  HostEvents events{fake.platform()};
  ImageCache images{fake.platform(), dir.path() / "images"};
  Prefetch prefetch{fake.platform(), store, images, events};
};

TEST_F(PrefetchTest, LoadsTheListAndTheFirstScreensImages) {
  std::string camps;
  for (int i = 1; i <= 14; ++i)
    camps += (i > 1 ? "," : "") + campJson(i, "http://127.0.0.1:8080/i" + std::to_string(i));
  fake.http->handler = [&](const HttpRequest& request) -> Result<HttpResponse> {
    if (request.url.find("/req?") != std::string::npos)
      return FakeHttpSession::ok(R"({"result":200,"camp":[)" + camps + "]}");
    return FakeHttpSession::ok(testing::FakeImageCodec::bytes(4, 4));
  };
  prefetch.start();
  EXPECT_FALSE(prefetch.isReady());
  fake.runUntilIdle();
  EXPECT_TRUE(prefetch.isReady());
  std::size_t imageRequests = 0;
  for (const auto& r : fake.http->requests()) imageRequests += r.url.find("/i") != std::string::npos;
  EXPECT_EQ(imageRequests, Prefetch::kFirstScreenRows);
  const auto owner = currentListOwner(fake.store.get());
  ASSERT_TRUE(owner);
  const auto kept = store.latest(*owner, now);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->lists.otherCampList.size(), 14u);
  EXPECT_TRUE(store.load(*owner, now));  // and on disk, for a wall without network
  // Another user: not ready.
  fake.store->setString(keys::kUserId, "u2");
  EXPECT_FALSE(prefetch.isReady());
}

TEST_F(PrefetchTest, ABrokenImageDoesNotKeepItWaitingAndAFailedListIsAnErrorEvent) {
  fake.http->handler = [&](const HttpRequest& request) -> Result<HttpResponse> {
    if (request.url.find("/req?") != std::string::npos)
      return FakeHttpSession::ok(R"({"result":200,"camp":[)" + campJson(1, "http://127.0.0.1:8080/bad") +
                                 "]}");
    return FakeHttpSession::ok("not an image", 404);
  };
  prefetch.start();
  fake.runUntilIdle();
  EXPECT_TRUE(prefetch.isReady());

  fake.http->handler = [](const HttpRequest&) -> Result<HttpResponse> {
    return Error::make(Error::Kind::network, "refused");
  };
  prefetch.start();
  fake.runUntilIdle();
  EXPECT_FALSE(prefetch.isReady());
  EXPECT_EQ(errors->seen, (std::vector<std::string>{"prefetch -10"}));
}

}  // namespace
}  // namespace orvane
