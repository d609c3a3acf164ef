// The host's own HTTP session, workers, image decoder and settings store in place of
// the SDK's.
#include <gtest/gtest.h>

#include <deque>

#include "tests/capi/capi_test_support.hpp"

using namespace capi_test;

namespace {

// An HTTP session that answers from memory, on a thread of its own, when told to.
struct MemoryHttp {
  struct Request {
    std::uint64_t id;
    std::string method;
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
  };

  orvane_http_session table() {
    orvane_http_session t{};
    t.struct_size = sizeof t;
    t.user_data = this;
    t.start = [](const orvane_http_request* r, void* self) {
      auto* http = static_cast<MemoryHttp*>(self);
      Request copy{r->id, r->method, r->url, {}};
      for (std::size_t i = 0; i < r->header_count; ++i)
        copy.headers.emplace_back(r->headers[i].name, r->headers[i].value);
      std::lock_guard lock(http->mutex);
      http->started.push_back(copy);
      http->waiting.push_back(copy);
    };
    t.cancel = [](std::uint64_t id, void* self) {
      auto* http = static_cast<MemoryHttp*>(self);
      std::lock_guard lock(http->mutex);
      http->cancelled.push_back(id);
    };
    return t;
  }

  // Answers every waiting request from another thread, by the end of its path.
  std::vector<orvane_status> answerAll() {
    std::deque<Request> now;
    {
      std::lock_guard lock(mutex);
      now.swap(waiting);
    }
    std::vector<orvane_status> results;
    std::thread([&] {
      for (const auto& r : now) {
        std::string body = "{\"result\":404}";
        for (const auto& [suffix, answer] : answers) {
          const std::string path = r.url.substr(0, r.url.find('?'));
          if (path.size() >= suffix.size() &&
              path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
            body = answer;
        }
        const orvane_http_header header{"Content-Type", "application/json"};
        results.push_back(orvane_http_complete(r.id, 200, &header, 1, body.data(), body.size()));
      }
    }).join();
    return results;
  }

  std::size_t waitingCount() {
    std::lock_guard lock(mutex);
    return waiting.size();
  }

  std::mutex mutex;
  std::vector<Request> started;
  std::deque<Request> waiting;
  std::vector<std::uint64_t> cancelled;
  std::map<std::string, std::string> answers{
      {"/req", "{\"result\":200,\"camp\":[" + camp(1, 1, 100) + "," + camp(2, 4, 300) + "]}"},
      {"/a.png", "any bytes: the host's decoder reads them"}};
};

// A server address where nothing listens: any request that reaches the network fails.
void connectNowhere(Host& host) {
  orvane_set_servers(host.sdk, "http://127.0.0.1:1/v1", "http://127.0.0.1:1/api", nullptr);
  orvane_initialize(host.sdk, "mkey", "mckey", "user");
}

}  // namespace

TEST(CApiHostHttp, AnswersFromAnyThreadReachTheHostInsideThePump) {
  MemoryHttp http;
  const auto table = http.table();
  Host host(true, "", [&](orvane_config& c) { c.http = &table; });
  connectNowhere(host);

  ListOutcome out;
  ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &out, nullptr), ORVANE_OK);
  ASSERT_EQ(http.waitingCount(), 1u);
  EXPECT_EQ(http.started[0].method, "GET");
  EXPECT_NE(http.started[0].url.find("127.0.0.1:1/v1/req?"), std::string::npos);
  EXPECT_NE(http.started[0].id, 0u);
  EXPECT_EQ(http.answerAll(), std::vector<orvane_status>{ORVANE_OK});
  ASSERT_TRUE(host.pumpUntil([&] { return out.done; }));
  ASSERT_NE(out.list, nullptr) << orvane_status_text(out.status);
  EXPECT_EQ(campids(out.list).size(), 1u);  // nothing reached the closed port
  EXPECT_EQ(host.offMainCallbacks, 0);
  EXPECT_EQ(host.outsideCallbacks, 0);

  // The same id again: answered already.
  EXPECT_EQ(orvane_http_complete(http.started[0].id, 200, nullptr, 0, "{}", 2), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_http_fail(http.started[0].id, ORVANE_E_NETWORK, nullptr), ORVANE_E_NOT_FOUND);
  EXPECT_EQ(orvane_http_complete(0, 200, nullptr, 0, nullptr, 0), ORVANE_E_NOT_FOUND);
}

TEST(CApiHostHttp, FailuresAndBadAnswersFailTheRequestNeverHangIt) {
  MemoryHttp http;
  const auto table = http.table();
  Host host(true, "", [&](orvane_config& c) { c.http = &table; });
  connectNowhere(host);

  ListOutcome timedOut;
  ListOutcome badStatus;
  ListOutcome badFailure;
  ListOutcome nullBody;
  for (auto* out : {&timedOut, &badStatus, &badFailure, &nullBody})
    ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, out, nullptr),
              ORVANE_OK);
  ASSERT_EQ(http.started.size(), 4u);
  EXPECT_EQ(orvane_http_fail(http.started[0].id, ORVANE_E_TIMEOUT, "slow"), ORVANE_OK);
  EXPECT_EQ(orvane_http_complete(http.started[1].id, 42, nullptr, 0, nullptr, 0), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_http_fail(http.started[2].id, ORVANE_E_DECODING, nullptr), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(orvane_http_complete(http.started[3].id, 200, nullptr, 0, nullptr, 5), ORVANE_E_INVALID_ARGUMENT);
  ASSERT_TRUE(
      host.pumpUntil([&] { return timedOut.done && badStatus.done && badFailure.done && nullBody.done; }));
  EXPECT_EQ(timedOut.status, ORVANE_E_TIMEOUT);
  EXPECT_EQ(badStatus.status, ORVANE_E_NETWORK);
  EXPECT_EQ(badFailure.status, ORVANE_E_NETWORK);
  EXPECT_EQ(nullBody.status, ORVANE_E_NETWORK);

  // A table without start is refused when the handle is made.
  orvane_http_session noStart = table;
  noStart.start = nullptr;
  orvane_config config{};
  config.struct_size = sizeof config;
  config.settings_path = "";
  config.http = &noStart;
  orvane_sdk* sdk = nullptr;
  EXPECT_EQ(orvane_create(&config, &sdk), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(sdk, nullptr);
}

TEST(CApiHostHttp, CancelAndDestroyTellTheHostAndRefuseLateAnswers) {
  MemoryHttp http;
  const auto table = http.table();
  std::uint64_t destroyedId = 0;
  {
    Host host(true, "", [&](orvane_config& c) { c.http = &table; });
    connectNowhere(host);
    ListOutcome cancelled;
    orvane_request_id request = 0;
    ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &cancelled, &request),
              ORVANE_OK);
    ASSERT_EQ(orvane_cancel(host.sdk, request), ORVANE_OK);
    ASSERT_EQ(http.cancelled, std::vector<std::uint64_t>{http.started[0].id});
    EXPECT_EQ(http.answerAll(), std::vector<orvane_status>{ORVANE_E_NOT_FOUND});

    ListOutcome inFlight;
    ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &inFlight, nullptr),
              ORVANE_OK);
    destroyedId = http.started.back().id;
    host.pump();
    EXPECT_FALSE(cancelled.done);
  }
  // The handle is gone: the host is told and its answer refused, from any thread.
  EXPECT_NE(std::find(http.cancelled.begin(), http.cancelled.end(), destroyedId), http.cancelled.end());
  EXPECT_EQ(http.answerAll(), std::vector<orvane_status>{ORVANE_E_NOT_FOUND});
}

namespace {

// Jobs kept until the test runs them on a worker thread of its own. The config's
// user_data is the Host's, so these two are reached through a pointer of their own.
struct Jobs;
struct Decoder;
Jobs* gJobs = nullptr;
Decoder* gDecoder = nullptr;

struct Jobs {
  static void post(orvane_job job, void* data, void* /*host*/) {
    auto* jobs = gJobs;
    std::lock_guard lock(jobs->mutex);
    jobs->queued.emplace_back(job, data);
    ++jobs->posted;
  }
  std::size_t runAll() {
    std::vector<std::pair<orvane_job, void*>> now;
    {
      std::lock_guard lock(mutex);
      now.swap(queued);
    }
    std::thread([&] {
      for (auto [job, data] : now) job(data);
    }).join();
    return now.size();
  }
  std::mutex mutex;
  std::vector<std::pair<orvane_job, void*>> queued;
  std::size_t posted = 0;
};

struct Decoder {
  static int decode(const void* bytes, size_t size, orvane_image* out, void* /*host*/) {
    auto* d = gDecoder;
    d->seen.assign(static_cast<const char*>(bytes), size);
    out->width = 2;
    out->height = 2;
    out->stride = d->stride;
    out->rgba = d->pixels.data();
    ++d->decoded;
    return 1;
  }
  static void release(orvane_image* image, void* /*host*/) {
    auto* d = gDecoder;
    if (image->rgba == d->pixels.data()) ++d->released;
  }
  // Two rows of two pixels, with two bytes of padding after each row.
  std::vector<std::uint8_t> pixels{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0};
  std::size_t stride = 10;
  std::string seen;
  int decoded = 0;
  int released = 0;
};

struct ImageOut {
  bool done = false;
  orvane_status status = ORVANE_OK;
  std::vector<std::uint8_t> rgba;
  static void callback(const orvane_error* e, const char*, const orvane_image* image, void* self) {
    auto* out = static_cast<ImageOut*>(self);
    out->done = true;
    out->status = e ? e->status : ORVANE_OK;
    if (image)
      out->rgba.assign(image->rgba, image->rgba + image->stride * static_cast<std::size_t>(image->height));
  }
};

}  // namespace

TEST(CApiHostWorkers, JobsRunOnTheHostsThreadsAndOutliveTheHandleSafely) {
  MemoryHttp http;
  const auto table = http.table();
  Jobs jobs;
  Decoder decoder;
  gJobs = &jobs;
  gDecoder = &decoder;
  {
    Host host(true, "", [&](orvane_config& c) {
      c.http = &table;
      c.run_job = &Jobs::post;
      c.decode_image = &Decoder::decode;
      c.release_image = &Decoder::release;
    });
    connectNowhere(host);

    // The image: looked up in the cache by a job, downloaded by the host, decoded by the host.
    ImageOut image;
    ASSERT_EQ(orvane_load_image(host.sdk, "http://images.invalid/capi-host/a.png", ImageOut::callback, &image,
                                nullptr),
              ORVANE_OK);
    ASSERT_TRUE(host.pumpUntil([&] {
      jobs.runAll();
      http.answerAll();
      return image.done;
    }));
    ASSERT_EQ(image.status, ORVANE_OK);
    EXPECT_EQ(decoder.seen, http.answers["/a.png"]);
    EXPECT_EQ(image.rgba, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(decoder.released, decoder.decoded);
    EXPECT_GT(jobs.posted, 0u);

    // A stride shorter than a row is no image.
    decoder.stride = 4;
    ImageOut bad;
    ASSERT_EQ(orvane_load_image(host.sdk, "http://images.invalid/capi-host/b/a.png", ImageOut::callback, &bad,
                                nullptr),
              ORVANE_OK);
    ASSERT_TRUE(host.pumpUntil([&] {
      jobs.runAll();
      http.answerAll();
      return bad.done;
    }));
    EXPECT_EQ(bad.status, ORVANE_E_IMAGE);
    EXPECT_EQ(decoder.released, decoder.decoded);

    // Work left with the host when the handle goes.
    ListOutcome list;
    ASSERT_EQ(orvane_load_list(host.sdk, 0, ORVANE_SORT_INIT, ListOutcome::callback, &list, nullptr),
              ORVANE_OK);
    http.answerAll();
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (jobs.queued.empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_FALSE(jobs.queued.empty());
  }
  // Run after orvane_destroy: each only frees itself (ASan sees no leak, no use after free).
  EXPECT_GT(jobs.runAll(), 0u);
  gJobs = nullptr;
  gDecoder = nullptr;
}

namespace {

struct Blob {
  static void load(void (*put)(void*, const void*, size_t), void* sink, void* self) {
    auto* blob = static_cast<Blob*>(self);
    ++blob->loads;
    if (!blob->text.empty()) put(sink, blob->text.data(), blob->text.size());
  }
  static int save(const void* data, size_t size, void* self) {
    auto* blob = static_cast<Blob*>(self);
    std::lock_guard lock(blob->mutex);
    blob->text.assign(static_cast<const char*>(data), size);
    ++blob->saves;
    return 1;
  }
  orvane_settings_store table() {
    orvane_settings_store t{};
    t.struct_size = sizeof t;
    t.user_data = this;
    t.load = &Blob::load;
    t.save = &Blob::save;
    return t;
  }
  std::mutex mutex;
  std::string text;
  int loads = 0;
  int saves = 0;
};

}  // namespace

TEST(CApiHostSettings, TheHostKeepsTheSettingsAcrossHandles) {
  Blob blob;
  const auto table = blob.table();
  const auto withBlob = [&](orvane_config& c) {
    c.settings_path = nullptr;
    c.settings = &table;
  };
  {
    Host host(true, "", withBlob);
    ASSERT_EQ(orvane_initialize(host.sdk, "mkey", "mckey", "user"), ORVANE_OK);
    ASSERT_EQ(orvane_set_main_title(host.sdk, "Title"), ORVANE_OK);
  }
  EXPECT_EQ(blob.loads, 1);
  EXPECT_GE(blob.saves, 1);  // the last changes at the latest when the handle goes
  EXPECT_NE(blob.text.find("mckey"), std::string::npos);
  {
    Host host(true, "", withBlob);
    int initialized = 0;
    ASSERT_EQ(orvane_is_initialized(host.sdk, &initialized), ORVANE_OK);
    EXPECT_EQ(initialized, 1);
    const char* title = nullptr;
    ASSERT_EQ(orvane_main_title(host.sdk, &title), ORVANE_OK);
    EXPECT_STREQ(title, "Title");
  }

  // A file and a host store at once is a mistake; so is a table of an unknown size.
  orvane_config config{};
  config.struct_size = sizeof config;
  config.settings_path = "";
  config.settings = &table;
  orvane_sdk* sdk = nullptr;
  EXPECT_EQ(orvane_create(&config, &sdk), ORVANE_E_INVALID_ARGUMENT);
  auto tooBig = table;
  tooBig.struct_size = sizeof tooBig + 8;
  config.settings_path = nullptr;
  config.settings = &tooBig;
  EXPECT_EQ(orvane_create(&config, &sdk), ORVANE_E_INVALID_ARGUMENT);
  EXPECT_EQ(sdk, nullptr);
}
