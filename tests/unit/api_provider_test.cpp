#include "core/api/api_provider.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "orvane/log.hpp"
#include "platform/fake/fakes.hpp"

namespace orvane {
namespace {

using testing::FakeHttpSession;
using testing::FakeImageCodec;

const std::string kUrl = "http://127.0.0.1:8080/v1/req?mkey=a";

// Counts the calls of a completion and keeps the last result.
struct Recorder {
  int calls = 0;
  std::optional<Result<std::string>> result;
  ApiProvider::Completion completion() {
    return [this](Result<std::string> r) {
      ++calls;
      result.emplace(std::move(r));
    };
  }
};

std::optional<std::string> header(const HttpRequest& request, std::string_view name) {
  for (const auto& [key, value] : request.headers) {
    if (key == name) return value;
  }
  return std::nullopt;
}

class ApiProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log::displayLog = true;
    Log::setSink(sink);
  }
  void TearDown() override {
    Log::displayLog = false;
    Log::setSink(nullptr);
  }

  std::vector<testing::LogLine> networkLines() const {
    std::vector<testing::LogLine> out;
    for (auto& line : sink->lines()) {
      if (line.category == "🔵 NETWORK") out.push_back(line);
    }
    return out;
  }

  std::shared_ptr<FakeHttpSession> http = std::make_shared<FakeHttpSession>();
  std::shared_ptr<FakeImageCodec> codec = std::make_shared<FakeImageCodec>();
  std::shared_ptr<testing::CapturingLogSink> sink = std::make_shared<testing::CapturingLogSink>();
  ApiProvider provider{http, codec};
  Recorder recorder;
  RequestGroup kept;  // the requests' handles, held as a caller would
};

TEST_F(ApiProviderTest, GetSendsFixedHeadersAndNoBody) {
  http->enqueue(FakeHttpSession::ok("{}"));
  kept.add(provider.request(kUrl, "GET", {{"ignored", std::string("x")}}, {FakeImageCodec::make(1, 1)},
                            recorder.completion()));
  const auto requests = http->requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& r = requests[0];
  EXPECT_EQ(r.url, kUrl);
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.timeout, std::chrono::seconds(60));
  EXPECT_EQ(header(r, "User-Agent"),
            "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/535.7 (KHTML, like Gecko) Chrome/16.0.912.75 "
            "Safari/535.7");
  EXPECT_EQ(header(r, "cookie"), "1");
  EXPECT_EQ(header(r, "Content-Type"), std::nullopt);
  EXPECT_TRUE(r.body.empty());
  EXPECT_EQ(recorder.calls, 1);
}

TEST_F(ApiProviderTest, PostCarriesMultipartBodyAndItsBoundary) {
  ApiProvider quick(http, codec, {std::chrono::milliseconds(250)});
  http->enqueue(FakeHttpSession::ok("{}"));
  http->enqueue(FakeHttpSession::ok("{}"));
  kept.add(quick.request(kUrl, "POST", {}, {}, recorder.completion()));
  kept.add(quick.request(kUrl, "POST", {{"content", std::string("see --^-----^ here")}}, {},
                         recorder.completion()));
  const auto requests = http->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].timeout, std::chrono::milliseconds(250));
  EXPECT_EQ(header(requests[0], "Content-Type"), "multipart/form-data; boundary=^-----^");
  EXPECT_EQ(requests[0].body, "--^-----^--\r\n");

  // Typed text holding the usual boundary moves the body to another one, named in the header.
  const auto type = header(requests[1], "Content-Type").value_or("");
  const std::string prefix = "multipart/form-data; boundary=";
  ASSERT_EQ(type.rfind(prefix, 0), 0u);
  const auto boundary = type.substr(prefix.size());
  EXPECT_NE(boundary, "^-----^");
  EXPECT_EQ(requests[1].body.rfind("--" + boundary + "\r\n", 0), 0u);
  EXPECT_EQ(requests[1].body.find("see --^-----^ here"), requests[1].body.find("\r\n\r\n") + 4);
  EXPECT_EQ(recorder.calls, 2);
}

TEST_F(ApiProviderTest, SuccessOnlyFor200WithBodyEvenWhenEmpty) {
  http->enqueue(FakeHttpSession::ok("{\"result\":200}"));
  kept.add(provider.request(kUrl, "GET", {}, {}, recorder.completion()));
  ASSERT_EQ(recorder.calls, 1);
  ASSERT_TRUE(recorder.result->ok());
  EXPECT_EQ(recorder.result->value(), "{\"result\":200}");

  Recorder empty;
  http->enqueue(FakeHttpSession::ok(""));
  kept.add(provider.request(kUrl, "GET", {}, {}, empty.completion()));
  ASSERT_EQ(empty.calls, 1);
  ASSERT_TRUE(empty.result->ok());
  EXPECT_EQ(empty.result->value(), "");
}

TEST_F(ApiProviderTest, EveryFailureCompletesOnceWithWhatHappened) {
  Recorder notFound, noBody, transport;
  http->enqueue(FakeHttpSession::ok("{\"error\":\"missing\"}", 404));
  kept.add(provider.request(kUrl, "GET", {}, {}, notFound.completion()));
  HttpResponse bare;
  bare.status = 204;
  http->enqueue(bare);
  kept.add(provider.request(kUrl, "GET", {}, {}, noBody.completion()));
  http->enqueue(Error::make(Error::Kind::timeout, "The request timed out.", 28));
  kept.add(provider.request(kUrl, "GET", {}, {}, transport.completion()));

  ASSERT_EQ(notFound.calls, 1);
  ASSERT_FALSE(notFound.result->ok());
  EXPECT_EQ(notFound.result->error().kind, Error::Kind::httpStatus);
  EXPECT_EQ(notFound.result->error().status, 404);
  EXPECT_EQ(notFound.result->error().body, "{\"error\":\"missing\"}");

  ASSERT_EQ(noBody.calls, 1);
  ASSERT_FALSE(noBody.result->ok());
  EXPECT_EQ(noBody.result->error().kind, Error::Kind::emptyResponse);
  EXPECT_EQ(noBody.result->error().status, 204);

  ASSERT_EQ(transport.calls, 1);
  ASSERT_FALSE(transport.result->ok());
  EXPECT_EQ(transport.result->error().kind, Error::Kind::timeout);
  EXPECT_EQ(transport.result->error().code, 28);
  EXPECT_TRUE(sink->contains("APIProvider Error : The request timed out. "));
  EXPECT_TRUE(sink->contains("{\"error\":\"missing\"}"));  // the 404's body is still logged
}

TEST_F(ApiProviderTest, CompletesOnTheSessionsOwnCall) {
  http->manual = true;
  kept.add(provider.request(kUrl, "GET", {}, {}, recorder.completion()));
  EXPECT_EQ(recorder.calls, 0);
  ASSERT_TRUE(http->complete(FakeHttpSession::ok("late")));
  EXPECT_EQ(recorder.calls, 1);
  EXPECT_EQ(recorder.result->value(), "late");
  // A request without a completion must not crash when it ends.
  kept.add(provider.request(kUrl, "GET", {}, {}, nullptr));
  EXPECT_TRUE(http->complete(FakeHttpSession::ok("ignored")));
}

// JPEG encoding is image work: with an executor it happens there, not on the caller's
// (the GUI) thread, and the handle still cancels the request before and after.
TEST_F(ApiProviderTest, ImagesOfAPostAreEncodedOnTheExecutor) {
  auto executor = std::make_shared<testing::ManualExecutor>();
  ApiProvider offMain(http, codec, {}, executor);
  http->manual = true;
  auto sent = offMain.request(kUrl, "POST", {}, {FakeImageCodec::make(2, 3)}, recorder.completion());
  EXPECT_TRUE(http->requests().empty()) << "nothing encoded or sent on the calling thread";
  ASSERT_TRUE(executor->runOne());
  ASSERT_EQ(http->requests().size(), 1u);
  EXPECT_NE(http->requests()[0].body.find("IMG 2 3"), std::string::npos);
  ASSERT_TRUE(http->complete(FakeHttpSession::ok("{}")));
  EXPECT_EQ(recorder.calls, 1);

  auto dropped = offMain.request(kUrl, "POST", {}, {FakeImageCodec::make(2, 3)}, recorder.completion());
  dropped.reset();
  executor->runAll();
  EXPECT_EQ(http->requests().size(), 1u) << "dropped before encoding: never sent";
  auto inFlight = offMain.request(kUrl, "POST", {}, {FakeImageCodec::make(2, 3)}, recorder.completion());
  executor->runAll();
  ASSERT_EQ(http->waiting(), 1u);
  inFlight.reset();
  EXPECT_EQ(http->waiting(), 0u);
  EXPECT_EQ(recorder.calls, 1);
}

TEST_F(ApiProviderTest, NetworkLogLinesExact) {
  http->enqueue(FakeHttpSession::ok("{\"a\":1}"));
  kept.add(provider.request(kUrl, "GET", {}, {}, recorder.completion()));
  const std::string out(71, '>'), in(71, '<');
  ASSERT_EQ(out.size(), 71u);
  const auto lines = networkLines();
  ASSERT_EQ(lines.size(), 2u);
  // The logger adds one space after a message without further items.
  EXPECT_EQ(lines[0].message, out + " \n " + kUrl + " " + out + " ");
  EXPECT_EQ(lines[1].message, in + " \n " + kUrl + " \n {\"a\":1} " + in + " ");
  EXPECT_EQ(lines[0].type, LogType::info);
}

TEST_F(ApiProviderTest, InvalidUtf8IsLoggedReplacedButDeliveredUnchanged) {
  const std::string raw = "ok \xC3\x28 \xE2\x82 \xF0\x9F\x98\x80 \xFF";
  http->enqueue(FakeHttpSession::ok(raw));
  kept.add(provider.request(kUrl, "GET", {}, {}, recorder.completion()));
  ASSERT_TRUE(recorder.result->ok());
  EXPECT_EQ(recorder.result->value(), raw);
  const auto lines = networkLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].message.find("ok \xEF\xBF\xBD( \xEF\xBF\xBD \xF0\x9F\x98\x80 \xEF\xBF\xBD"),
            std::string::npos);
}

TEST(Utf8Sanitizer, ReplacesEachIllFormedSubsequenceOnce) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(sanitizeUtf8("h\xC3\xA9llo \xE4\xB8\xAD"), "h\xC3\xA9llo \xE4\xB8\xAD");
  EXPECT_EQ(sanitizeUtf8("\xC0\xAF"), fffd + fffd);                        // overlong
  EXPECT_EQ(sanitizeUtf8("\xED\xA0\x80"), fffd + fffd + fffd);             // surrogate
  EXPECT_EQ(sanitizeUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // above U+10FFFF
  EXPECT_EQ(sanitizeUtf8("\xE2\x82"), fffd);                               // truncated at the end
  EXPECT_EQ(sanitizeUtf8("\xF0\x9F\x98"
                         "A"),
            fffd + "A");
  EXPECT_EQ(sanitizeUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace orvane
