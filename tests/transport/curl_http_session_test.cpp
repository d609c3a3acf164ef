#include "platform/curl/curl_http_session.hpp"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// The packaged server library is not built with ThreadSanitizer: the lazy
// statics it shares between its pool threads look racy from outside.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }

namespace orvane {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 10s;

// A proxy from the environment would take these requests away from the local server.
[[maybe_unused]] const bool kNoProxy = [] {
  return ::setenv("no_proxy", "*", 1) == 0 && ::setenv("NO_PROXY", "*", 1) == 0;
}();

// A server on 127.0.0.1 and an ephemeral port. Handlers can park at a gate that the
// test (or the destructor, at the latest) opens.
class TestServer {
 public:
  TestServer() {
    // Idle keep-alive connections hold a pool thread each; keep enough of them.
    server.new_task_queue = [] { return new httplib::ThreadPool(64); };
    port_ = server.bind_to_any_port("127.0.0.1");
  }

  // After the handlers are in place: the server's threads only read them.
  void start() {
    thread_ = std::thread([this] { server.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!server.is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  }

  ~TestServer() {
    openGate();
    server.stop();
    if (thread_.joinable()) thread_.join();
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  // A route that answers "late" only once the gate opens.
  void holdAt(const std::string& path) {
    server.Get(path, [this](const httplib::Request&, httplib::Response& res) {
      waitAtGate();
      res.set_content("late", "text/plain");
    });
  }

  void waitAtGate() {
    std::unique_lock lock(mutex_);
    ++arrived_;
    changed_.notify_all();
    changed_.wait_for(lock, 30s, [this] { return open_; });
  }

  bool waitForArrivals(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kWait, [&] { return arrived_ >= count; });
  }

  void openGate() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

  httplib::Server server;

 private:
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int arrived_ = 0;
  bool open_ = false;
};

HttpRequest get(std::string url) {
  HttpRequest request;
  request.url = std::move(url);
  return request;
}

Result<HttpResponse> fetch(HttpSession& session, HttpRequest request) {
  auto promise = std::make_shared<std::promise<Result<HttpResponse>>>();
  auto future = promise->get_future();
  const auto handle = session.send(
      std::move(request), [promise](Result<HttpResponse> result) { promise->set_value(std::move(result)); });
  if (future.wait_for(kWait) != std::future_status::ready) {
    ADD_FAILURE() << "no completion in time";
    return Error::make(Error::Kind::timeout, "test gave up waiting");
  }
  return future.get();
}

std::string header(const HttpResponse& response, const std::string& name) {
  for (const auto& [key, value] : response.headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return {};
}

std::string everyByte(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
  return bytes;
}

// Counts completions per request; a second call for the same slot is a fault.
class CompletionLog {
 public:
  explicit CompletionLog(std::size_t size) : calls_(size, 0), results_(size) {}

  std::function<void(Result<HttpResponse>)> slot(std::size_t index) {
    return [this, index](Result<HttpResponse> result) {
      std::lock_guard lock(mutex_);
      ++calls_[index];
      results_[index].emplace(std::move(result));
      ++total_;
      changed_.notify_all();
    };
  }

  bool waitForTotal(int count, std::chrono::milliseconds limit = kWait) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return total_ >= count; });
  }

  std::vector<int> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

  Result<HttpResponse> result(std::size_t index) {
    std::lock_guard lock(mutex_);
    return *results_[index];
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> calls_;
  std::vector<std::optional<Result<HttpResponse>>> results_;
  int total_ = 0;
};

TEST(CurlHttpSession, GetDeliversHeadersAndDecodesCompressedBody) {
  const std::string text(20'000, 'a');  // outlives the server threads that read it
  TestServer server;
  server.server.Get("/hello", [&](const httplib::Request& req, httplib::Response& res) {
    res.set_header("X-Echo", req.get_header_value("X-Custom"));
    res.set_content(text, "text/plain");
  });
  server.start();
  CurlHttpSession session;
  HttpRequest request = get(server.url("/hello"));
  request.headers = {{"X-Custom", "value 1"}};

  auto result = fetch(session, request);

  ASSERT_TRUE(result.ok()) << result.error().description;
  const HttpResponse& response = result.value();
  EXPECT_EQ(response.status, 200);
  EXPECT_TRUE(response.hasBody);
  EXPECT_TRUE(response.body == text);
  EXPECT_FALSE(header(response, "Content-Encoding").empty());
  EXPECT_EQ(header(response, "x-echo"), "value 1");
}

TEST(CurlHttpSession, BodiesAndMethodsArriveExactly) {
  TestServer server;
  const auto echo = [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("X-Method", req.method);
    res.set_header("X-Type", req.get_header_value("Content-Type"));
    res.set_content(req.body, "application/octet-stream");
  };
  server.server.Post("/echo", echo);
  server.server.Put("/echo", echo);
  server.server.Delete("/echo", echo);
  server.start();
  CurlHttpSession session;

  HttpRequest post = get(server.url("/echo"));
  post.method = "POST";
  post.headers = {{"Content-Type", "application/x-test; boundary=^-----^"}};
  post.body = everyByte(70'000);
  auto posted = fetch(session, post);
  ASSERT_TRUE(posted.ok()) << posted.error().description;
  EXPECT_EQ(header(posted.value(), "X-Method"), "POST");
  EXPECT_EQ(header(posted.value(), "X-Type"), "application/x-test; boundary=^-----^");
  EXPECT_TRUE(posted.value().body == post.body);

  HttpRequest emptyPost = get(server.url("/echo"));
  emptyPost.method = "POST";
  auto emptyPosted = fetch(session, emptyPost);
  ASSERT_TRUE(emptyPosted.ok()) << emptyPosted.error().description;
  EXPECT_EQ(header(emptyPosted.value(), "X-Method"), "POST");
  EXPECT_TRUE(emptyPosted.value().body.empty());

  HttpRequest put = post;
  put.method = "PUT";
  put.body = std::string("a\0b", 3);
  auto putted = fetch(session, put);
  ASSERT_TRUE(putted.ok()) << putted.error().description;
  EXPECT_EQ(header(putted.value(), "X-Method"), "PUT");
  EXPECT_EQ(putted.value().body, put.body);

  HttpRequest del = get(server.url("/echo"));
  del.method = "DELETE";
  auto deleted = fetch(session, del);
  ASSERT_TRUE(deleted.ok()) << deleted.error().description;
  EXPECT_EQ(header(deleted.value(), "X-Method"), "DELETE");
}

TEST(CurlHttpSession, AnyStatusIsAResponseAndEmptyBodiesAreTold) {
  TestServer server;
  server.server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content(R"({"result":404})", "application/json");
  });
  server.server.Get(
      "/empty", [](const httplib::Request&, httplib::Response& res) { res.set_content("", "text/plain"); });
  server.server.Get("/nocontent", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
  server.start();
  CurlHttpSession session;

  auto missing = fetch(session, get(server.url("/missing")));
  ASSERT_TRUE(missing.ok()) << missing.error().description;
  EXPECT_EQ(missing.value().status, 404);
  EXPECT_EQ(missing.value().body, R"({"result":404})");

  auto empty = fetch(session, get(server.url("/empty")));
  ASSERT_TRUE(empty.ok()) << empty.error().description;
  EXPECT_EQ(empty.value().status, 200);
  EXPECT_TRUE(empty.value().body.empty());
  EXPECT_TRUE(empty.value().hasBody);

  auto noContent = fetch(session, get(server.url("/nocontent")));
  ASSERT_TRUE(noContent.ok()) << noContent.error().description;
  EXPECT_EQ(noContent.value().status, 204);
  EXPECT_FALSE(noContent.value().hasBody);
}

TEST(CurlHttpSession, FollowsRedirectsAndKeepsOnlyTheFinalHeaders) {
  TestServer server;
  server.server.Get("/old", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("X-Hop", "old");
    res.set_redirect("/new");
  });
  server.server.Get(
      "/new", [](const httplib::Request&, httplib::Response& res) { res.set_content("here", "text/plain"); });
  server.server.Get("/loop",
                    [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop"); });
  server.start();
  CurlHttpSession session;

  auto moved = fetch(session, get(server.url("/old")));
  ASSERT_TRUE(moved.ok()) << moved.error().description;
  EXPECT_EQ(moved.value().status, 200);
  EXPECT_EQ(moved.value().body, "here");
  EXPECT_EQ(header(moved.value(), "X-Hop"), "");

  auto looping = fetch(session, get(server.url("/loop")));
  ASSERT_FALSE(looping.ok());
  EXPECT_EQ(looping.error().kind, Error::Kind::network);
  EXPECT_EQ(looping.error().code, CURLE_TOO_MANY_REDIRECTS);
}

TEST(CurlHttpSession, RefusedConnectionIsANetworkError) {
  // A port that was just free: bound, read back, closed.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ::close(fd);
  CurlHttpSession session;

  auto result = fetch(session, get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/"));

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, Error::Kind::network);
  EXPECT_EQ(result.error().code, CURLE_COULDNT_CONNECT);
  EXPECT_NE(result.error().description.find("onnect"), std::string::npos) << result.error().description;
}

TEST(CurlHttpSession, SlowAnswerTimesOut) {
  TestServer server;
  server.server.Get("/slow", [&](const httplib::Request&, httplib::Response& res) {
    server.waitAtGate();
    res.set_content("late", "text/plain");
  });
  server.start();
  CurlHttpSession session;
  HttpRequest request = get(server.url("/slow"));
  request.timeout = 300ms;

  const auto started = std::chrono::steady_clock::now();
  auto result = fetch(session, request);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, Error::Kind::timeout);
  EXPECT_EQ(result.error().code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(CurlHttpSession, LargeBodiesTravelIntactBothWays) {
  const std::string big = everyByte(10 * 1024 * 1024);
  TestServer server;
  server.server.Get("/big", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "application/octet-stream");
  });
  server.server.Post("/size", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(
        std::to_string(req.body.size()) + (req.body == everyByte(req.body.size()) ? " same" : " differs"),
        "text/plain");
  });
  server.start();
  CurlHttpSession session;

  auto down = fetch(session, get(server.url("/big")));
  ASSERT_TRUE(down.ok()) << down.error().description;
  EXPECT_TRUE(down.value().body == big);

  HttpRequest upload = get(server.url("/size"));
  upload.method = "POST";
  upload.headers = {{"Content-Type", "application/octet-stream"}};
  upload.body = big;
  auto up = fetch(session, upload);
  ASSERT_TRUE(up.ok()) << up.error().description;
  EXPECT_EQ(up.value().status, 200);
  EXPECT_EQ(up.value().body, std::to_string(big.size()) + " same");
}

TEST(CurlHttpSession, BodyOverTheLimitFailsWhetherOrNotItsLengthIsDeclared) {
  TestServer server;
  server.server.Get(R"(/sized/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "application/octet-stream");
  });
  server.server.Get(R"(/chunked/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const auto size = std::stoul(req.matches[1]);
    res.set_chunked_content_provider(
        "application/octet-stream", [size](size_t offset, httplib::DataSink& sink) {
          if (offset >= size) {
            sink.done();
            return true;
          }
          const std::string piece(std::min<std::size_t>(1000, size - offset), 'x');
          return sink.write(piece.data(), piece.size());
        });
  });
  server.start();
  CurlHttpSession::Options options;
  options.maxResponseBytes = 4096;
  CurlHttpSession session(options);

  for (const std::string path : {"/sized/", "/chunked/"}) {
    SCOPED_TRACE(path);
    auto atLimit = fetch(session, get(server.url(path + "4096")));
    ASSERT_TRUE(atLimit.ok()) << atLimit.error().description;
    EXPECT_EQ(atLimit.value().body.size(), 4096u);

    auto over = fetch(session, get(server.url(path + "4097")));
    ASSERT_FALSE(over.ok());
    EXPECT_EQ(over.error().kind, Error::Kind::network);
    EXPECT_NE(over.error().description.find("limit of 4096 bytes"), std::string::npos)
        << over.error().description;
  }
}

TEST(CurlHttpSession, ManyConcurrentRequestsEachCompleteOnce) {
  TestServer server;
  server.server.Get(R"(/n/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(req.matches[1], "text/plain");
  });
  server.start();
  constexpr int kCount = 50;
  CompletionLog log(kCount);
  {
    std::vector<std::vector<RequestHandle>> handles(5);  // one list per sender
    CurlHttpSession session;
    std::vector<std::thread> senders;
    for (int t = 0; t < 5; ++t) {
      senders.emplace_back([&, t] {
        for (int i = t; i < kCount; i += 5)
          handles[t].push_back(session.send(get(server.url("/n/" + std::to_string(i))), log.slot(i)));
      });
    }
    for (auto& sender : senders) sender.join();
    ASSERT_TRUE(log.waitForTotal(kCount));
  }
  const auto calls = log.calls();
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(calls[i], 1) << i;
    auto result = log.result(i);
    ASSERT_TRUE(result.ok()) << result.error().description;
    EXPECT_EQ(result.value().body, std::to_string(i));
  }
}

TEST(CurlHttpSession, ReusesTheConnectionForTheSameHost) {
  std::mutex mutex;
  std::set<int> clientPorts;
  TestServer server;
  server.server.Get("/ping", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    clientPorts.insert(req.remote_port);
    res.set_content("pong", "text/plain");
  });
  server.start();
  CurlHttpSession session;

  for (int i = 0; i < 4; ++i) ASSERT_TRUE(fetch(session, get(server.url("/ping"))).ok());

  std::lock_guard lock(mutex);
  EXPECT_EQ(clientPorts.size(), 1u);
}

TEST(CurlHttpSession, DestructionCancelsInFlightRequestsPromptly) {
  TestServer server;
  server.holdAt("/held");
  server.start();
  constexpr int kHeld = 3;
  CompletionLog log(kHeld + 1);
  std::vector<RequestHandle> handles;
  auto session = std::make_unique<CurlHttpSession>();
  for (int i = 0; i < kHeld - 1; ++i) handles.push_back(session->send(get(server.url("/held")), log.slot(i)));
  // One completion sends again while the session shuts down: that request is cancelled at once.
  CurlHttpSession* raw = session.get();
  auto resend = log.slot(kHeld);
  auto first = log.slot(kHeld - 1);
  handles.push_back(
      session->send(get(server.url("/held")), [raw, resend, first, &server](Result<HttpResponse> result) {
        first(std::move(result));
        const auto again = raw->send(get(server.url("/held")), resend);
      }));
  ASSERT_TRUE(server.waitForArrivals(kHeld));

  const auto started = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);

  // Delivered before the destructor returned: no waiting here.
  const auto calls = log.calls();
  for (int i = 0; i <= kHeld; ++i) {
    EXPECT_EQ(calls[i], 1) << i;
    auto result = log.result(i);
    ASSERT_FALSE(result.ok()) << i;
    EXPECT_EQ(result.error().kind, Error::Kind::cancelled) << i;
  }
}

// A dropped handle ends the transfer itself, not only its completion: with a single
// connection per host, the next request gets through only once the held one is gone.
TEST(CurlHttpSession, DroppingTheHandleEndsTheTransferAndNothingIsDelivered) {
  TestServer server;
  server.holdAt("/held");
  server.server.Get(
      "/a", [](const httplib::Request&, httplib::Response& res) { res.set_content("a", "text/plain"); });
  server.start();
  CurlHttpSession::Options options;
  options.maxConnectionsPerHost = 1;
  auto session = std::make_unique<CurlHttpSession>(options);
  CompletionLog log(1);
  auto held = session->send(get(server.url("/held")), log.slot(0));
  ASSERT_TRUE(server.waitForArrivals(1));
  held.reset();

  auto next = fetch(*session, get(server.url("/a")));
  ASSERT_TRUE(next.ok()) << next.error().description;
  EXPECT_EQ(next.value().body, "a");
  session.reset();  // a shutdown completes what is held; this one is not
  EXPECT_EQ(log.calls()[0], 0);
}

// What the application's exit relies on: every session made by the factory ends, its
// requests complete once as cancellations, and a session that is still held refuses
// new work at once instead of reaching the network.
TEST(CurlHttpSession, ShuttingDownEveryMadeSessionCancelsAndRefusesLaterRequests) {
  TestServer server;
  server.holdAt("/held");
  server.start();
  CompletionLog log(4);
  auto first = makeCurlHttpSession();
  auto second = makeCurlHttpSession();
  { auto gone = makeCurlHttpSession(); }  // an expired entry is skipped
  std::vector<RequestHandle> handles;
  handles.push_back(first->send(get(server.url("/held")), log.slot(0)));
  handles.push_back(second->send(get(server.url("/held")), log.slot(1)));
  ASSERT_TRUE(server.waitForArrivals(2));

  shutdownCurlHttpSessions();
  auto calls = log.calls();
  EXPECT_EQ(calls[0], 1);
  EXPECT_EQ(calls[1], 1);
  EXPECT_EQ(log.result(0).error().kind, Error::Kind::cancelled);

  handles.push_back(first->send(get(server.url("/held")), log.slot(2)));
  ASSERT_TRUE(log.waitForTotal(3, 1s)) << "a request after the shutdown fails at once";
  EXPECT_EQ(log.result(2).error().kind, Error::Kind::cancelled);
  static_cast<CurlHttpSession&>(*first).shutdown();  // again: harmless
  shutdownCurlHttpSessions();
  first.reset();
  second.reset();
  calls = log.calls();
  EXPECT_EQ(calls, (std::vector<int>{1, 1, 1, 0}));
}

TEST(CurlHttpSession, StuckCompletionDoesNotHangDestruction) {
  TestServer server;
  server.server.Get(
      "/a", [](const httplib::Request&, httplib::Response& res) { res.set_content("a", "text/plain"); });
  server.holdAt("/held");
  server.start();
  CurlHttpSession::Options options;
  options.shutdownTimeout = 200ms;
  auto session = std::make_unique<CurlHttpSession>(options);
  CompletionLog log(1);
  const auto held = session->send(get(server.url("/held")), log.slot(0));
  ASSERT_TRUE(server.waitForArrivals(1));
  // Like a completion that waits for the thread which is busy destroying the session.
  std::promise<void> entered, release, left;
  auto releaseSignal = release.get_future().share();
  const auto stuck = session->send(get(server.url("/a")), [&, releaseSignal](Result<HttpResponse>) {
    entered.set_value();
    releaseSignal.wait_for(kWait);
    left.set_value();
  });
  ASSERT_EQ(entered.get_future().wait_for(kWait), std::future_status::ready);

  const auto started = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);

  release.set_value();
  ASSERT_EQ(left.get_future().wait_for(kWait), std::future_status::ready);
  // Nothing is delivered once the destructor has given up and returned.
  EXPECT_FALSE(log.waitForTotal(1, 300ms));
}

TEST(CurlHttpSession, CompletionMaySendAgainThrowOrDropTheSession) {
  TestServer server;
  server.server.Get(
      "/a", [](const httplib::Request&, httplib::Response& res) { res.set_content("a", "text/plain"); });
  server.holdAt("/held");
  server.start();

  // Sending from a completion must not deadlock on the session's own queue, and a
  // completion that throws must not take the worker down.
  {
    RequestHandle throwing, first, again;  // set on the worker before `second` is
    CurlHttpSession session;
    throwing = session.send(get(server.url("/a")),
                            [](Result<HttpResponse>) { throw std::runtime_error("host bug"); });
    std::promise<Result<HttpResponse>> second;
    auto secondResult = second.get_future();
    first = session.send(get(server.url("/a")), [&](Result<HttpResponse> answer) {
      EXPECT_TRUE(answer.ok());
      again = session.send(get(server.url("/a")),
                           [&](Result<HttpResponse> r) { second.set_value(std::move(r)); });
    });
    ASSERT_EQ(secondResult.wait_for(kWait), std::future_status::ready);
    auto result = secondResult.get();
    ASSERT_TRUE(result.ok()) << result.error().description;
    EXPECT_EQ(result.value().body, "a");
  }

  // A completion that releases the last owner destroys the session on its own thread.
  {
    auto* owner = new std::shared_ptr<CurlHttpSession>(std::make_shared<CurlHttpSession>());
    CompletionLog log(1);
    const auto held = (*owner)->send(get(server.url("/held")), log.slot(0));
    ASSERT_TRUE(server.waitForArrivals(1));
    std::promise<void> dropped;
    auto droppedDone = dropped.get_future();
    const auto dropping = (*owner)->send(get(server.url("/a")), [owner, &dropped](Result<HttpResponse>) {
      delete owner;
      dropped.set_value();
    });
    ASSERT_EQ(droppedDone.wait_for(kWait), std::future_status::ready);
    // The held request was cancelled by that destruction, before it returned.
    EXPECT_EQ(log.calls()[0], 1);
    EXPECT_EQ(log.result(0).error().kind, Error::Kind::cancelled);
  }
}

TEST(CurlHttpSession, UnusableRequestsFailWithoutReachingTheNetwork) {
  std::atomic<int> hits{0};
  TestServer server;
  server.server.Get("/a", [&](const httplib::Request&, httplib::Response& res) {
    ++hits;
    res.set_content("a", "text/plain");
  });
  server.start();
  CurlHttpSession session;

  HttpRequest injected = get(server.url("/a"));
  injected.headers = {{"X-Test", "ok\r\nX-Injected: 1"}};
  auto headerResult = fetch(session, injected);
  ASSERT_FALSE(headerResult.ok());
  EXPECT_EQ(headerResult.error().kind, Error::Kind::encoding);

  HttpRequest badMethod = get(server.url("/a"));
  badMethod.method = "GET /x HTTP/1.1\r\n";
  auto methodResult = fetch(session, badMethod);
  ASSERT_FALSE(methodResult.ok());
  EXPECT_EQ(methodResult.error().kind, Error::Kind::encoding);

  for (const std::string url : {"http://[::1", "file:///etc/hostname", ""}) {
    auto result = fetch(session, get(url));
    ASSERT_FALSE(result.ok()) << url;
    EXPECT_EQ(result.error().kind, Error::Kind::invalidUrl) << url << ": " << result.error().description;
  }
  EXPECT_EQ(hits.load(), 0);
}

}  // namespace
}  // namespace orvane
