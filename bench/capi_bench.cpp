// The campaign list loaded and ordered through the C API, pump to pump, against the
// same work through the C++ core directly (the raw baseline), in the same run: 200
// campaigns from a local server on 127.0.0.1, the curl session, a pool of two and a
// pumped main queue on both sides. Runs alternate so that both meet the same machine
// load; prints the medians of the wall time and their ratio. Exits with 1 when the
// ratio exceeds kMaxRatio: the C layer adds copies, not work.
#include <httplib.h>
#include <orvane/orvane.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.hpp"
#include "core/api/api_list.hpp"
#include "core/screens/camp_list_answer.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/fetch.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/thread_pool.hpp"
#include "orvane/localized.hpp"
#include "orvane/orvane_sdk.hpp"
#include "platform/curl/curl_http_session.hpp"
#include "platform/headless/pump_main_queue.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 41;
constexpr std::size_t kCampaigns = 200;
constexpr double kMaxRatio = 1.1;

std::string listAnswer() {
  orvane::bench::Lcg random(7);
  std::string body = "{\"result\":200,\"rewardtype\":1,\"camp\":[";
  for (std::size_t i = 0; i < kCampaigns; ++i) {
    if (i > 0) body += ',';
    const int id = 10000 + static_cast<int>(i);
    body +=
        "{\"campid\":" + std::to_string(id) + ",\"bm\":" + std::to_string(1 + random.below(4)) +
        ",\"name\":\"Campaign " + std::to_string(id) +
        "\",\"rewardprice\":" + std::to_string(random.below(5000)) +
        ",\"pricemark\":\"P\",\"convflag\":" + std::to_string(random.below(10) == 0 ? 1 : 0) +
        ",\"iconurl\":\"https://img.example/" + std::to_string(id) +
        ".png\",\"joindesc\":\"Install and open the app, then play for three minutes.\",\"package\":\"app" +
        std::to_string(id) + "://start\"}";
  }
  body += "],\"housemd\":[";
  for (int i = 0; i < 5; ++i) {
    if (i > 0) body += ',';
    body += "{\"campid\":" + std::to_string(90000 + i) + ",\"bm\":1,\"name\":\"House\",\"rewardprice\":10," +
            "\"orderseq\":" + std::to_string(1 + i * 7) + "}";
  }
  return body + "]}";
}

// Wakes the bench's main thread when either main queue has work.
struct Waker {
  std::mutex mutex;
  std::condition_variable cv;
  std::size_t count = 0;
  void wake() {
    {
      std::lock_guard lock(mutex);
      ++count;
    }
    cv.notify_all();
  }
  // Waits for a wake after `seen`; returns the new count.
  std::size_t wait(std::size_t seen) {
    std::unique_lock lock(mutex);
    cv.wait_for(lock, std::chrono::seconds(10), [&] { return count != seen; });
    return count;
  }
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  httplib::Server server;
  server.set_tcp_nodelay(true);  // no delayed-ACK stalls between the headers and the body
  const int port = server.bind_to_any_port("127.0.0.1");
  const std::string body = listAnswer();
  server.Get("/v1/req", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, "application/json");
  });
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::yield();
  const std::string api = "http://127.0.0.1:" + std::to_string(port) + "/v1";
  const std::string partner = "http://127.0.0.1:" + std::to_string(port) + "/api";

  // The C API.
  Waker cWaker;
  orvane_config config{};
  config.struct_size = sizeof config;
  config.settings_path = "";
  config.user_data = &cWaker;
  config.wake = [](void* waker) { static_cast<Waker*>(waker)->wake(); };
  orvane_sdk* sdk = nullptr;
  if (orvane_create(&config, &sdk) != ORVANE_OK) return 1;
  orvane_set_servers(sdk, api.c_str(), partner.c_str(), nullptr);
  orvane_initialize(sdk, "bench-mkey", "bench-mckey", "bench-user");

  // The core directly, on the same kind of platform.
  Waker coreWaker;
  auto queue = std::make_shared<orvane::headless::PumpMainQueue>([&] { coreWaker.wake(); });
  auto platform = std::make_shared<orvane::Platform>();
  auto store = std::make_shared<orvane::MemoryKeyValueStore>();
  store->setString(orvane::keys::kMkey, "bench-mkey");
  store->setString(orvane::keys::kMckey, "bench-mckey");
  store->setString(orvane::keys::kUserId, "bench-user");
  platform->store = store;
  platform->mainQueue = queue;
  auto pool = std::make_shared<orvane::ThreadPool>(2);
  platform->executor = pool;
  platform->http = orvane::makeCurlHttpSession();
  platform->clock = std::make_shared<orvane::SystemClock>();
  orvane::OrvaneSDK::shared().hostUrl = api;
  orvane::OrvaneSDK::shared().hostPartnerUrl = partner;
  const std::shared_ptr<const orvane::Platform> corePlatform = platform;

  std::vector<double> cTimes;
  std::vector<double> coreTimes;
  std::vector<double> httpTimes;
  std::size_t shown = 0;
  for (int round = 0; round < kRounds; ++round) {
    {
      // The transfer alone, for scale.
      std::mutex mutex;
      std::condition_variable cv;
      bool done = false;
      const auto start = Clock::now();
      orvane::HttpRequest request;
      request.url = api + "/req";
      auto handle = platform->http->send(std::move(request), [&](orvane::Result<orvane::HttpResponse>) {
        std::lock_guard lock(mutex);
        done = true;
        cv.notify_all();
      });
      std::unique_lock lock(mutex);
      cv.wait_for(lock, std::chrono::seconds(10), [&] { return done; });
      httpTimes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    {
      struct Out {
        bool done = false;
        std::size_t count = 0;
      } out;
      std::size_t seen = 0;
      const auto start = Clock::now();
      orvane_load_list(
          sdk, 0, ORVANE_SORT_HIGH,
          [](const orvane_error*, orvane_campaign_list* list, void* self) {
            auto* o = static_cast<Out*>(self);
            orvane_list_info info{};
            info.struct_size = sizeof info;
            if (list) orvane_list_get_info(list, &info);
            o->count = info.count;
            o->done = true;
            orvane_list_free(list);
          },
          &out, nullptr);
      while (!out.done) {
        seen = cWaker.wait(seen);
        orvane_pump(sdk, nullptr);
      }
      cTimes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      shown = out.count;
    }
    {
      bool done = false;
      std::size_t seen = 0;
      const auto start = Clock::now();
      auto handle = orvane::fetch(
          *corePlatform,
          [&](auto finished) { return orvane::ApiList(corePlatform).getReq(std::move(finished)); },
          [newline =
               orvane::localized("ascii_newline")](std::string_view answer) -> orvane::Result<std::size_t> {
            auto lists = orvane::readCampListAnswer(answer, newline, "bench");
            if (!lists.ok()) return lists.error();
            return orvane::showCamps(lists.value(), 0, 0, orvane::SortMode::high)
                .sorted.selectedAllCampList.size();
          },
          [&](const orvane::Result<std::size_t>&) { done = true; });
      while (!done) {
        seen = coreWaker.wait(seen);
        queue->pump();
      }
      coreTimes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
  }

  orvane_destroy(sdk);
  pool->shutdown();
  queue->close();
  server.stop();
  serving.join();

  const double c = median(cTimes);
  const double core = median(coreTimes);
  const double ratio = c / core;
  std::printf("list load + classification, %zu campaigns (%zu shown), %d rounds, median wall time:\n",
              kCampaigns, shown, kRounds);
  std::printf("  (the HTTP transfer alone: %.0f us)\n", median(httpTimes));
  std::printf("  C API, pump to pump: %.0f us; C++ core directly: %.0f us; ratio = %.2f (target <= %.1f)\n",
              c, core, ratio, kMaxRatio);
  return ratio <= kMaxRatio ? 0 : 1;
}
