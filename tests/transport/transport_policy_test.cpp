// Transport policy of the curl session against local servers: redirects never lower the
// scheme or leave http(s), and the time limits are an idle limit plus an overall cap.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/curl/curl_http_session.hpp"
#include "tools/sandbox/throwaway_tls.hpp"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = 20s;

[[maybe_unused]] const bool kNoProxy = [] {
  return ::setenv("no_proxy", "*", 1) == 0 && ::setenv("NO_PROXY", "*", 1) == 0;
}();

// Paces a handler without holding up the server's shutdown: every wait ends at stop().
class Pacer {
 public:
  // False once stopped.
  bool waitFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, time, [this] { return stopped_; });
  }
  bool waitUntil(Clock::time_point when) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_until(lock, when, [this] { return stopped_; });
  }
  void stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false;
};

// An http or https server on 127.0.0.1 and an ephemeral port.
class Listener {
 public:
  explicit Listener(const sandbox::ThrowawayTls* tls = nullptr, int receiveBuffer = 0) {
    if (tls) {
      server_ = std::make_unique<httplib::SSLServer>(tls->certFile().c_str(), tls->keyFile().c_str());
    } else {
      server_ = std::make_unique<httplib::Server>();
    }
    scheme_ = tls ? "https" : "http";
    server_->set_socket_options([receiveBuffer](socket_t sock) {
      httplib::default_socket_options(sock);
      if (receiveBuffer > 0) ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
  }

  ~Listener() {
    pacer.stop();
    server_->stop();
    if (thread_.joinable()) thread_.join();
  }

  httplib::Server& server() { return *server_; }

  void start() {
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    const auto deadline = Clock::now() + kWait;
    while (!server_->is_running() && Clock::now() < deadline) std::this_thread::yield();
  }

  std::string url(const std::string& path) const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
  }

  Pacer pacer;

 private:
  std::unique_ptr<httplib::Server> server_;
  std::string scheme_;
  int port_ = 0;
  std::thread thread_;
};

// Sends `bytes` one piece per `interval`; with `stallAfter`, goes silent after that many.
void drip(httplib::Response& res, Pacer& pacer, std::string bytes, std::chrono::milliseconds interval,
          std::size_t stallAfter = std::string::npos) {
  const std::size_t length = bytes.size();
  res.set_content_provider(length, "text/plain",
                           [&pacer, bytes = std::move(bytes), interval, stallAfter](
                               std::size_t offset, std::size_t, httplib::DataSink& sink) {
                             if (offset >= stallAfter) {
                               while (pacer.waitFor(1s)) {
                               }
                               return false;
                             }
                             if (offset > 0 && !pacer.waitFor(interval)) return false;
                             return sink.write(bytes.data() + offset, 1);
                           });
}

HttpRequest get(std::string url, std::chrono::milliseconds idle = 10s,
                std::chrono::milliseconds total = 60s) {
  HttpRequest request;
  request.url = std::move(url);
  request.timeout = idle;
  request.totalTimeout = total;
  return request;
}

Result<HttpResponse> fetch(HttpSession& session, HttpRequest request) {
  auto promise = std::make_shared<std::promise<Result<HttpResponse>>>();
  auto future = promise->get_future();
  // Kept until the answer came: dropping it would cancel the transfer.
  const RequestHandle handle = session.send(
      std::move(request), [promise](Result<HttpResponse> result) { promise->set_value(std::move(result)); });
  if (future.wait_for(kWait) != std::future_status::ready) {
    ADD_FAILURE() << "no completion in time";
    return Error::make(Error::Kind::timeout, "test gave up waiting");
  }
  return future.get();
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class HttpsPolicy : public ::testing::Test {
 protected:
  HttpsPolicy() {
    for (Listener* l : {&plain_, &secure_}) {
      l->server().Get("/target", [this, l](const httplib::Request&, httplib::Response& res) {
        (l == &plain_ ? plainHits_ : secureHits_)++;
        res.set_content("arrived", "text/plain");
      });
    }
    secure_.server().Get("/down", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(plain_.url("/target"));
    });
    secure_.server().Get("/across", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(secure_.url("/target"));
    });
    secure_.server().Get(
        "/relative", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/target"); });
    // http -> https is fine, but the second hop back to http is not.
    plain_.server().Get("/up", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(secure_.url("/target"));
    });
    plain_.server().Get("/bounce", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(secure_.url("/down"));
    });
    plain_.start();
    secure_.start();
  }

  CurlHttpSession::Options trusting() const {
    CurlHttpSession::Options options;
    options.caFile = tls_.caFile();
    return options;
  }

  sandbox::ThrowawayTls tls_;
  Listener plain_;
  Listener secure_{&tls_};
  std::atomic<int> plainHits_{0};
  std::atomic<int> secureHits_{0};
};

TEST_F(HttpsPolicy, TrustsOnlyTheAuthorityItIsGiven) {
  CurlHttpSession trusted(trusting());
  auto ok = fetch(trusted, get(secure_.url("/target")));
  ASSERT_TRUE(ok.ok()) << ok.error().description;
  EXPECT_EQ(ok.value().body, "arrived");

  CurlHttpSession system;
  auto refused = fetch(system, get(secure_.url("/target")));
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, Error::Kind::network);
  EXPECT_EQ(secureHits_.load(), 1);
}

TEST_F(HttpsPolicy, RedirectNeverLowersHttpsToHttp) {
  CurlHttpSession session(trusting());
  for (const char* path : {"/across", "/relative"}) {
    auto kept = fetch(session, get(secure_.url(path)));
    ASSERT_TRUE(kept.ok()) << path << ": " << kept.error().description;
    EXPECT_EQ(kept.value().body, "arrived");
  }
  auto raised = fetch(session, get(plain_.url("/up")));
  ASSERT_TRUE(raised.ok()) << raised.error().description;
  EXPECT_EQ(secureHits_.load(), 3);

  for (const std::string& start : {secure_.url("/down"), plain_.url("/bounce")}) {
    SCOPED_TRACE(start);
    auto lowered = fetch(session, get(start));
    ASSERT_FALSE(lowered.ok());
    EXPECT_EQ(lowered.error().kind, Error::Kind::network);
    const std::string& why = lowered.error().description;
    EXPECT_TRUE(contains(why, "never lowers https to http")) << why;
    EXPECT_TRUE(contains(why, secure_.url("/down"))) << why;
    EXPECT_TRUE(contains(why, plain_.url("/target"))) << why;
  }
  EXPECT_EQ(plainHits_.load(), 0) << "nothing may reach the lower scheme";
}

TEST(TransportPolicy, RedirectsLeadOnlyToHttpOrHttps) {
  char dir[] = "/tmp/orvane-fifo-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string fifo = std::string(dir) + "/never-opened";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  Listener server;
  std::atomic<int> other{0};
  server.server().Get("/to", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", req.get_param_value("where"));
  });
  server.server().Get(".*", [&](const httplib::Request&, httplib::Response& res) {
    ++other;
    res.set_content("?", "text/plain");
  });
  server.start();
  CurlHttpSession session;

  // A followed file: URL of a FIFO would block in open(): completing at all proves it was not.
  for (const std::string& where : std::vector<std::string>{
           "file://" + fifo, "FILE://" + fifo, "ftp://127.0.0.1/a", "gopher://127.0.0.1/",
           "orvane-unregistered-scheme://start", "data:text/plain,hi"}) {
    SCOPED_TRACE(where);
    auto result = fetch(session, get(server.url("/to?where=" + httplib::detail::encode_query_param(where))));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, Error::Kind::network);
    EXPECT_TRUE(contains(result.error().description, "only http and https are followed"))
        << result.error().description;
  }
  EXPECT_EQ(other.load(), 0);
  ::unlink(fifo.c_str());
  ::rmdir(dir);
}

TEST(TransportPolicy, IdleLimitSparesADripAndEndsAStall) {
  Listener server;
  server.server().Get("/drip", [&](const httplib::Request&, httplib::Response& res) {
    drip(res, server.pacer, "eight by", 200ms);
  });
  server.server().Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
    drip(res, server.pacer, "three and then nothing", 10ms, 3);
  });
  server.start();
  CurlHttpSession session;

  // Eight bytes, one every 200 ms: longer than the idle limit in all, never idle that long.
  const auto dripStart = Clock::now();
  auto dripped = fetch(session, get(server.url("/drip"), 1s));
  ASSERT_TRUE(dripped.ok()) << dripped.error().description;
  EXPECT_EQ(dripped.value().body, "eight by");
  EXPECT_GT(Clock::now() - dripStart, 1s);

  const auto stallStart = Clock::now();
  auto stalled = fetch(session, get(server.url("/stall"), 1s, 60s));
  ASSERT_FALSE(stalled.ok());
  EXPECT_EQ(stalled.error().kind, Error::Kind::timeout);
  EXPECT_TRUE(contains(stalled.error().description, "idle limit")) << stalled.error().description;
  EXPECT_LT(Clock::now() - stallStart, 10s);
}

TEST(TransportPolicy, OverallCapEndsATransferThatKeepsMoving) {
  Listener server;
  server.server().Get("/endless", [&](const httplib::Request&, httplib::Response& res) {
    drip(res, server.pacer, std::string(10'000, 'x'), 50ms);
  });
  server.start();
  CurlHttpSession session;

  auto result = fetch(session, get(server.url("/endless"), 1s, 1500ms));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, Error::Kind::timeout);
  EXPECT_TRUE(contains(result.error().description, "overall limit of 1500 ms")) << result.error().description;
}

TEST(TransportPolicy, SlowUploadThatKeepsMovingCompletes) {
  // A small receive window, so that the server's pace is felt by the sender instead of
  // vanishing into socket buffers.
  Listener server(nullptr, 16 * 1024);
  constexpr std::size_t kBytesPerSecond = 512 * 1024;
  server.server().Post(
      "/upload", [&](const httplib::Request&, httplib::Response& res, const httplib::ContentReader& reader) {
        const auto began = Clock::now();
        std::size_t received = 0;
        reader([&](const char*, std::size_t length) {
          received += length;
          return server.pacer.waitUntil(began +
                                        std::chrono::microseconds(received * 1'000'000 / kBytesPerSecond));
        });
        res.set_content(std::to_string(received), "text/plain");
      });
  server.start();
  CurlHttpSession session;

  HttpRequest upload = get(server.url("/upload"), 1s);
  upload.method = "POST";
  upload.headers = {{"Content-Type", "application/octet-stream"}};
  upload.body = std::string(3 * kBytesPerSecond, 'u');
  const auto started = Clock::now();
  auto result = fetch(session, upload);
  ASSERT_TRUE(result.ok()) << result.error().description;
  EXPECT_EQ(result.value().body, std::to_string(upload.body.size()));
  EXPECT_GT(Clock::now() - started, 1500ms) << "the upload must outlast the idle limit";
}

}  // namespace
}  // namespace orvane
