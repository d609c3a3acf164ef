#pragma once

// A host of the C API for tests: a local operator server on 127.0.0.1 (ephemeral port)
// and a handle whose callbacks record what they got, where and when.

#include <httplib.h>
#include <orvane/orvane.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace capi_test {

using namespace std::chrono_literals;
inline constexpr auto kWait = 10s;

inline const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x01\x08\x06"
    "\x00"
    "\x00\x00\xf4\x22\x7f\x8a\x00\x00\x00\x0d\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00\x46\x00\x0e\xfa\x02"
    "\xfe"
    "\xf5\x1e\x4c\xa9\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    70);

// A campaign as the server writes it.
inline std::string camp(int campid, int bm, double price, int orderseq = 0, int convflag = 0,
                        int bmcheck = 0) {
  return "{\"campid\":" + std::to_string(campid) + ",\"bm\":" + std::to_string(bm) +
         ",\"bmcheck\":" + std::to_string(bmcheck) + ",\"name\":\"C" + std::to_string(campid) +
         "\",\"rewardprice\":" + std::to_string(price) +
         ",\"pricemark\":\"P\",\"orderseq\":" + std::to_string(orderseq) +
         ",\"convflag\":" + std::to_string(convflag) + ",\"package\":\"app" + std::to_string(campid) +
         "://start\",\"targetpkg\":[\"a\",\"b\"]}";
}

// The operator's endpoints with answers a test may change before start().
class LocalServer {
 public:
  LocalServer() {
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    port_ = server.bind_to_any_port("127.0.0.1");
    answers["/v1/req"] = "{\"result\":200,\"rewardtype\":1,\"camp\":[" + camp(1, 1, 100, 0, 0) + "," +
                         camp(2, 2, 300, 0, 1) + "," + camp(3, 4, 50) + "," + camp(4, 3, 700) + "," +
                         camp(5, 4, 900) + "],\"housemd\":[" + camp(90, 1, 10, 2) + "," + camp(91, 4, 20, 1) +
                         "]}";
    answers["/v1/join"] = "{\"result\":200,\"lurl\":\"https://landing.example/x\"}";
    answers["/v1/exec"] = "{\"result\":200}";
    answers["/v1/inst"] = "{\"result\":200}";
    answers["/v1/state"] = "{\"result\":200,\"state\":3,\"ovnkey\":\"KEY-1\"}";
    answers["/v1/reward"] = "{\"result\":200}";
    answers["/v1/view"] = "{\"result\":200,\"text\":\"<h1>Title</h1><p>One<br>two</p>\"}";
    answers["/api/cs/user_reward_list"] =
        "{\"result\":200,\"reward\":[{\"campid\":1,\"name\":\"A\",\"rewardprice\":1500,\"rewardmark\":\"P\","
        "\"rewarddate\":\"20261201\",\"bm\":1}]}";
    answers["/api/cs/agree_contents_app"] = "{\"result\":200,\"cs_agree_contents\":\"<p>I agree</p>\"}";
    answers["/api/cs/user_camp_list"] = "{\"result\":200,\"camp\":[" + camp(7, 1, 1) + "]}";
    answers["/notice.json"] = "{\"result\":200,\"text\":\"<p>Hello</p><ul><li>one &amp; two</li></ul>\"}";
  }

  void start() {
    for (const auto& [path, body] : answers) {
      server.Get(path, [this, path = path](const httplib::Request& req, httplib::Response& res) {
        record(req);
        waitAtGate(path);
        std::lock_guard lock(mutex);
        res.status = statuses.count(path) ? statuses[path] : 200;
        res.set_content(answers[path], "application/json");
      });
    }
    server.Get("/img/ok.png", [this](const httplib::Request& req, httplib::Response& res) {
      record(req);
      res.set_content(kPng, "image/png");
    });
    server.Get("/img/bad.png", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("no image", "image/png");
    });
    server.Post("/api/cs", [this](const httplib::Request& req, httplib::Response& res) {
      record(req);
      std::lock_guard lock(mutex);
      uploads = req.files.count("uploadfiles[]");
      res.set_content("{\"result\":200}", "application/json");
    });
    thread_ = std::thread([this] { server.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!server.is_running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  }

  ~LocalServer() {
    openGate();
    server.stop();
    if (thread_.joinable()) thread_.join();
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  // Answers of `path` wait until openGate().
  void holdAt(const std::string& path) {
    std::lock_guard lock(mutex);
    held = path;
  }
  void openGate() {
    {
      std::lock_guard lock(mutex);
      held.clear();
    }
    gate.notify_all();
  }
  std::vector<std::string> paths() {
    std::lock_guard lock(mutex);
    return seen;
  }
  std::size_t arrivedAtGate() {
    std::lock_guard lock(mutex);
    return waiting;
  }

  httplib::Server server;
  std::map<std::string, std::string> answers;
  std::map<std::string, int> statuses;
  std::size_t uploads = 0;
  std::mutex mutex;

 private:
  void record(const httplib::Request& req) {
    std::lock_guard lock(mutex);
    seen.push_back(req.path);
  }
  void waitAtGate(const std::string& path) {
    std::unique_lock lock(mutex);
    if (held != path) return;
    ++waiting;
    gate.wait_for(lock, kWait, [&] { return held != path; });
  }

  int port_ = 0;
  std::thread thread_;
  std::condition_variable gate;
  std::string held;
  std::size_t waiting = 0;
  std::vector<std::string> seen;
};

// One SDK handle with recording callbacks. Every callback checks that it runs on the
// test's thread inside a pump (or inside the SDK call that the test made).
struct Host {
  explicit Host(bool useWake = true, const char* settingsPath = "") {
    orvane_config config{};
    config.struct_size = sizeof config;
    config.user_data = this;
    config.settings_path = settingsPath;
    if (useWake) {
      config.wake = [](void* self) {
        auto* host = static_cast<Host*>(self);
        {
          std::lock_guard lock(host->wakeMutex);
          ++host->wakes;
          if (std::this_thread::get_id() != host->main) host->wakesOffMain = true;
        }
        host->woken.notify_all();
      };
    }
    config.alert = [](const orvane_alert* alert, void* self) {
      auto* host = static_cast<Host*>(self);
      host->checkThread();
      std::vector<std::string> buttons;
      for (std::size_t i = 0; i < alert->button_count; ++i) buttons.emplace_back(alert->buttons[i].title);
      host->alerts.push_back({alert->id, alert->title, alert->message, buttons});
      if (host->onAlert) host->onAlert(*alert);
    };
    config.event = [](const orvane_event* event, void* self) {
      auto* host = static_cast<Host*>(self);
      host->checkThread();
      host->events.push_back({event->type, event->campid, event->ovnkey, event->status});
    };
    config.open_url = [](const char* url, void* self) {
      auto* host = static_cast<Host*>(self);
      host->checkThread();
      host->opened.emplace_back(url);
      return 1;
    };
    config.ask_tracking = [](std::uint64_t question, void* self) {
      auto* host = static_cast<Host*>(self);
      host->checkThread();
      host->questions.push_back(question);
    };
    const auto status = orvane_create(&config, &sdk);
    if (status != ORVANE_OK) throw std::runtime_error(orvane_last_error());
  }
  ~Host() {
    if (sdk) orvane_destroy(sdk);
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  void connect(const LocalServer& server) {
    orvane_set_servers(sdk, server.url("/v1").c_str(), server.url("/api").c_str(),
                       server.url("/notice.json").c_str());
    orvane_initialize(sdk, "mkey", "mckey", "user");
  }

  void checkThread() {
    if (std::this_thread::get_id() != main) offMainCallbacks++;
    if (!insideSdk) outsideCallbacks++;
  }

  // Pumps until `done()` or the time is up; waits for the SDK's wake between pumps
  // (or, without a wake, for a millisecond, as a frame would).
  bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      {
        std::unique_lock lock(wakeMutex);
        woken.wait_for(lock, 1ms, [&] { return wakes != seenWakes; });
        seenWakes = wakes;
      }
      pump();
    }
    return true;
  }
  orvane_status pump() {
    insideSdk = true;
    const auto status = orvane_pump(sdk, nullptr);
    insideSdk = false;
    return status;
  }
  bool hasEvent(orvane_event_type type) const {
    for (const auto& e : events)
      if (e.type == type) return true;
    return false;
  }

  struct AlertSeen {
    std::uint64_t id;
    std::string title;
    std::string message;
    std::vector<std::string> buttons;
  };
  struct EventSeen {
    orvane_event_type type;
    std::int64_t campid;
    std::string ovnkey;
    orvane_status status;
  };

  orvane_sdk* sdk = nullptr;
  std::thread::id main = std::this_thread::get_id();
  bool insideSdk = false;
  int offMainCallbacks = 0;
  int outsideCallbacks = 0;
  std::vector<AlertSeen> alerts;
  std::function<void(const orvane_alert&)> onAlert;
  std::vector<EventSeen> events;
  std::vector<std::string> opened;
  std::vector<std::uint64_t> questions;
  std::mutex wakeMutex;
  std::condition_variable woken;
  std::size_t wakes = 0;
  std::size_t seenWakes = 0;
  bool wakesOffMain = false;
};

// The outcome of one list load.
struct ListOutcome {
  bool done = false;
  orvane_status status = ORVANE_OK;
  int httpStatus = 0;
  std::int64_t serverResult = 0;
  orvane_campaign_list* list = nullptr;
  ~ListOutcome() { orvane_list_free(list); }

  static void callback(const orvane_error* error, orvane_campaign_list* list, void* self) {
    auto* out = static_cast<ListOutcome*>(self);
    out->done = true;
    if (error) {
      out->status = error->status;
      out->httpStatus = error->http_status;
      out->serverResult = error->server_result;
    }
    out->list = list;
  }
};

inline std::vector<std::int64_t> campids(const orvane_campaign_list* list) {
  std::vector<std::int64_t> ids;
  orvane_list_info info{};
  info.struct_size = sizeof info;
  orvane_list_get_info(list, &info);
  for (std::size_t i = 0; i < info.count; ++i) {
    const orvane_campaign* c = nullptr;
    std::int64_t id = 0;
    orvane_list_campaign(list, i, &c);
    orvane_campaign_int(c, ORVANE_CAMP_CAMPID, &id);
    ids.push_back(id);
  }
  return ids;
}

}  // namespace capi_test
