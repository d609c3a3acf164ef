#include "core/support/request_handle.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/api/api_list.hpp"
#include "core/api/records.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakePlatform;

HttpRequest get(std::string url) {
  HttpRequest request;
  request.url = std::move(url);
  return request;
}

TEST(RequestHandle, DroppingCancelsTheTransferAndItsCompletionNeverRuns) {
  FakeHttpSession http;
  http.manual = true;
  int calls = 0;
  auto handle = http.send(get("https://a.example/1"), [&](Result<HttpResponse>) { ++calls; });
  auto kept = http.send(get("https://a.example/2"), [&](Result<HttpResponse>) { ++calls; });
  EXPECT_TRUE(handle.pending());
  handle.reset();
  EXPECT_TRUE(handle.empty());
  EXPECT_EQ(http.waiting(), 1u) << "the transfer itself is gone";
  EXPECT_EQ(http.cancelled(), 1u);
  ASSERT_TRUE(http.complete(FakeHttpSession::ok("two")));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(kept.pending()) << "a completed request's handle has nothing left to cancel";

  // Replacing a held request cancels the old one; a handle may go inside its own completion.
  RequestHandle slot = http.send(get("https://a.example/3"), [&](Result<HttpResponse>) { ++calls; });
  slot = http.send(get("https://a.example/4"), [&](Result<HttpResponse>) {
    ++calls;
    slot.reset();
  });
  EXPECT_EQ(http.waiting(), 1u);
  ASSERT_TRUE(http.complete(FakeHttpSession::ok("four")));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(slot.empty());
}

TEST(RequestGroup, LetsFinishedRequestsGoAndCancelsTheRest) {
  FakeHttpSession http;
  http.manual = true;
  int calls = 0;
  RequestGroup group;
  for (int i = 0; i < 3; ++i)
    group.add(
        http.send(get("https://a.example/" + std::to_string(i)), [&](Result<HttpResponse>) { ++calls; }));
  ASSERT_TRUE(http.complete(FakeHttpSession::ok("first")));
  EXPECT_EQ(group.pending(), 2u);
  group.add(RequestHandle::completed());
  EXPECT_EQ(group.pending(), 2u);
  group.clear();
  EXPECT_EQ(http.waiting(), 0u);
  EXPECT_FALSE(http.complete(FakeHttpSession::ok("late")));
  EXPECT_EQ(calls, 1);
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrvaneSDK::shared().reset();
    OrvaneSDK::shared().hostUrl = "http://127.0.0.1:8080/v1";
    fake.store->setString(keys::kMkey, "mk");
    fake.store->setString(keys::kMckey, "mck");
    fake.store->setString(keys::kUserId, "u1");
    platform = fake.platform();
  }
  void TearDown() override { OrvaneSDK::shared().reset(); }

  RequestHandle join(std::vector<Result<Join>>& got) {
    return fetch(
        *platform, [&](auto done) { return ApiList(platform).getJoin("7", std::move(done)); }, decodeJoin,
        [&got](Result<Join> join) { got.push_back(std::move(join)); });
  }

  FakePlatform fake;
  std::shared_ptr<Platform> platform;
};

TEST_F(FetchTest, DecodesOnTheExecutorAndContinuesOnTheMainThread) {
  fake.http->enqueue(FakeHttpSession::ok(R"({"result":200,"ovnkey":"K"})"));
  std::vector<Result<Join>> got;
  auto handle = join(got);
  // The transport answered at once; the decoding waits for the executor.
  EXPECT_EQ(fake.executor->pending(), 1u);
  fake.mainQueue->runUntilIdle();
  EXPECT_TRUE(got.empty());
  ASSERT_TRUE(fake.executor->runOne());
  EXPECT_TRUE(got.empty()) << "the continuation waits for the main thread";
  fake.mainQueue->runUntilIdle();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_TRUE(got[0].ok());
  EXPECT_EQ(got[0].value().ovnkey, "K");
  EXPECT_FALSE(handle.pending());

  // Failures: a body that does not decode, and a transfer that failed (no decoding step).
  fake.http->enqueue(FakeHttpSession::ok("not json"));
  auto bad = join(got);
  fake.runUntilIdle();
  fake.http->enqueue(Error::make(Error::Kind::network, "refused"));
  auto failed = join(got);
  EXPECT_EQ(fake.executor->pending(), 0u);
  fake.mainQueue->runUntilIdle();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].error().kind, Error::Kind::decoding);
  EXPECT_EQ(got[2].error().kind, Error::Kind::network);
}

TEST_F(FetchTest, ADroppedHandleStopsEveryLaterStep) {
  std::vector<Result<Join>> got;
  // Before the answer: the transfer goes.
  fake.http->manual = true;
  auto waiting = join(got);
  waiting.reset();
  EXPECT_EQ(fake.http->waiting(), 0u);

  // After the decoding, before the main thread: the continuation never runs.
  fake.http->manual = false;
  fake.http->enqueue(FakeHttpSession::ok(R"({"result":200})"));
  auto decoded = join(got);
  fake.executor->runAll();
  decoded.reset();
  // Before the decoding: the executor's job does nothing.
  fake.http->enqueue(FakeHttpSession::ok(R"({"result":200})"));
  auto queued = join(got);
  queued.reset();
  fake.runUntilIdle();
  EXPECT_TRUE(got.empty());
}

TEST_F(FetchTest, WorkInTheBackgroundReachesTheMainThreadWhileItsHandleIsHeld) {
  std::vector<int> got;
  auto kept = inBackground(
      *platform, [] { return 6 * 7; }, [&](int value) { got.push_back(value); });
  auto dropped = inBackground(
      *platform, [] { return 1; }, [&](int value) { got.push_back(value); });
  dropped.reset();
  fake.runUntilIdle();
  EXPECT_EQ(got, std::vector<int>{42});

  // A bare platform has no executor: the work runs where it is posted, the rest still on the main thread.
  auto bare = std::make_shared<Platform>(*platform);
  bare->executor = nullptr;
  auto inline_ = inBackground(
      *bare, [] { return 5; }, [&](int value) { got.push_back(value); });
  EXPECT_EQ(fake.executor->pending(), 0u);
  fake.mainQueue->runUntilIdle();
  EXPECT_EQ(got, (std::vector<int>{42, 5}));
}

}  // namespace
}  // namespace orvane
