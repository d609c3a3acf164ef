// The handle's life, its settings, the pump and the participation flow.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

#include "capi/capi_internal.hpp"
#include "core/api/decode_utf8.hpp"
#include "core/sdk/identity.hpp"
#include "core/sdk/settings_keys.hpp"
#include "core/support/url.hpp"
#include "orvane/log.hpp"
#include "orvane/orvane_sdk.hpp"

namespace orvane::capi {

namespace {

thread_local std::string tLastError;
thread_local std::string tScratch;

// The live handles. A pointer that is not here is no handle (never made, or destroyed).
struct Registry {
  std::mutex mutex;
  std::set<const orvane_sdk*> live;
};
Registry& registry() {
  static auto* r = new Registry;  // never destroyed: hosts may call while exiting
  return *r;
}

bool isLive(const orvane_sdk* sdk) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  return r.live.count(sdk) > 0;
}

void finalize(orvane_sdk* sdk) {
  sdk->impl.reset();
  delete sdk;  // NOLINT(cppcoreguidelines-owning-memory): the handle's owner is the host
}

}  // namespace

orvane_status fail(orvane_status status, std::string text) {
  tLastError = std::move(text);
  return status;
}

orvane_status succeed() {
  tLastError.clear();
  return ORVANE_OK;
}

orvane_status statusOf(const Error& error) {
  switch (error.kind) {
    case Error::Kind::network:
      return ORVANE_E_NETWORK;
    case Error::Kind::timeout:
      return ORVANE_E_TIMEOUT;
    case Error::Kind::cancelled:
      return ORVANE_E_CANCELLED;
    case Error::Kind::httpStatus:
      return ORVANE_E_HTTP_STATUS;
    case Error::Kind::emptyResponse:
      return ORVANE_E_EMPTY_RESPONSE;
    case Error::Kind::notConfigured:
      return ORVANE_E_NOT_INITIALIZED;
    case Error::Kind::invalidUrl:
      return ORVANE_E_INVALID_URL;
    case Error::Kind::decoding:
      return ORVANE_E_DECODING;
    case Error::Kind::encoding:
      return ORVANE_E_IMAGE;
  }
  return ORVANE_E_INTERNAL;
}

orvane_status readText(const char* data, std::size_t length, std::string& out, const char* what) {
  if (!data) return fail(ORVANE_E_INVALID_ARGUMENT, std::string(what) + " is NULL");
  const std::string_view text =
      length == ORVANE_NTS ? std::string_view(data) : std::string_view(data, length);
  if (text.find('\0') != std::string_view::npos) {
    return fail(ORVANE_E_INVALID_STRING, std::string(what) + " holds a NUL character");
  }
  std::vector<std::size_t> repairs;
  repairUtf8(text, &repairs);
  if (!repairs.empty()) return fail(ORVANE_E_INVALID_STRING, std::string(what) + " is not valid UTF-8");
  out.assign(text);
  return ORVANE_OK;
}

orvane_status enter(orvane_sdk* sdk) {
  if (!sdk) return fail(ORVANE_E_INVALID_ARGUMENT, "the SDK handle is NULL");
  if (!isLive(sdk) || sdk->closed) return fail(ORVANE_E_INVALID_HANDLE, "not a live SDK handle (destroyed?)");
  if (std::this_thread::get_id() != sdk->owner) {
    return fail(ORVANE_E_WRONG_THREAD, "called off the thread that created the SDK handle");
  }
  return ORVANE_OK;
}

Busy::~Busy() {
  if (--sdk_->depth == 0 && sdk_->closed) finalize(sdk_);
}

// --- the adapters between the core and the host

// The flow's alerts, handed to the host as data.
class Sdk::AlertHostAdapter final : public AlertHost {
 public:
  explicit AlertHostAdapter(Sdk& sdk) : sdk_(&sdk) {}
  void present(Alert alert) override { sdk_->presentAlert(std::move(alert)); }

 private:
  Sdk* sdk_;
};

// What the flow tells the element that started a join.
class Sdk::Receiver final : public JoinProtocol {
 public:
  explicit Receiver(Sdk& sdk) : sdk_(&sdk) {}
  void onParticipationCheckPossible(std::int64_t id) override {
    sdk_->emitEvent(ORVANE_EVENT_PARTICIPATION_CHECK_POSSIBLE, id);
  }
  void onAccumulationPossible(std::int64_t id, const std::string& ovnkey) override {
    sdk_->emitEvent(ORVANE_EVENT_ACCUMULATION_POSSIBLE, id, ovnkey);
  }
  std::int64_t campid = -1;  // of the latest join

 private:
  Sdk* sdk_;
};

// Log lines reach the host on its main thread, whichever thread wrote them.
class Sdk::LogAdapter final : public LogSink {
 public:
  LogAdapter(std::weak_ptr<MainQueue> queue, void (*log)(int, const char*, const char*, void*),
             void* userData)
      : queue_(std::move(queue)), log_(log), userData_(userData) {}
  bool accepts(LogType /*type*/) const override { return true; }
  void write(LogType type, std::string_view category, std::string_view message) override {
    auto queue = queue_.lock();
    if (!queue) return;
    queue->post(
        [log = log_, userData = userData_, level = static_cast<int>(type), category = std::string(category),
         message = std::string(message)] { log(level, category.c_str(), message.c_str(), userData); });
  }

 private:
  std::weak_ptr<MainQueue> queue_;
  void (*log_)(int, const char*, const char*, void*);
  void* userData_;
};

// The transport, watched for the two answers that make host events and that the flow
// itself keeps to itself: a join and a claim that succeeded. Only moves what it sees
// to the main thread; the flow gets its answers unchanged.
class Sdk::ObservedSession final : public HttpSession {
 public:
  using Seen = std::function<void(bool reward, std::int64_t campid)>;
  ObservedSession(std::shared_ptr<HttpSession> inner, std::weak_ptr<MainQueue> queue, Seen seen)
      : inner_(std::move(inner)), queue_(std::move(queue)), seen_(std::move(seen)) {}

  RequestHandle send(HttpRequest request, Completion completion) override {
    const std::string path = urlPath(request.url);
    const bool join = path.ends_with("/join");
    const bool reward = path.ends_with("/reward");
    if (!join && !reward) return inner_->send(std::move(request), std::move(completion));
    const std::int64_t campid = campidOf(request.url);
    return inner_->send(std::move(request),
                        [queue = queue_, seen = seen_, reward, campid,
                         completion = std::move(completion)](Result<HttpResponse> answer) {
                          if (answer.ok() && answer.value().status == 200) {
                            const auto decoded = decodeJoin(answer.value().body);
                            if (decoded.ok() && decoded.value().result == 200) {
                              if (auto q = queue.lock())
                                q->post([seen, reward, campid] { seen(reward, campid); });
                            }
                          }
                          completion(std::move(answer));
                        });
  }

 private:
  static std::string urlPath(const std::string& url) {
    const std::size_t scheme = url.find("://");
    const std::size_t start = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (start == std::string::npos) return {};
    return url.substr(start, url.find_first_of("?#", start) - start);
  }
  static std::int64_t campidOf(const std::string& url) {
    const std::size_t query = url.find('?');
    if (query == std::string::npos) return -1;
    for (std::size_t at = query; at != std::string::npos; at = url.find('&', at + 1)) {
      if (url.compare(at + 1, 7, "campid=") != 0) continue;
      std::int64_t value = 0;
      bool any = false;
      for (std::size_t i = at + 8;
           i < url.size() && url[i] >= '0' && url[i] <= '9' && value < (INT64_MAX - 9) / 10; ++i) {
        value = value * 10 + (url[i] - '0');
        any = true;
      }
      return any ? value : -1;
    }
    return -1;
  }

  std::shared_ptr<HttpSession> inner_;
  std::weak_ptr<MainQueue> queue_;
  Seen seen_;
};

// --- Sdk

Sdk::Sdk(orvane_sdk* handle, const orvane_config& config) : handle_(handle), config_(config) {
  headless::HeadlessOptions options;
  if (config.settings_path) {
    settingsPath_ = config.settings_path;
    options.settingsInMemory = settingsPath_.empty();
    options.settingsPath = settingsPath_;
  }
  if (config.system_version) options.systemVersion = systemVersion_ = config.system_version;
  if (config.machine) options.machine = machine_ = config.machine;
  if (config.wake) options.wake = [wake = config.wake, userData = config.user_data] { wake(userData); };
  if (config.open_url) {
    options.hostOpen = [open = config.open_url, userData = config.user_data](const std::string& url) {
      return open(url.c_str(), userData) != 0;
    };
  }
  if (config.privacy_settings) {
    options.privacySettings = [hook = config.privacy_settings, userData = config.user_data] {
      hook(userData);
    };
  }
  if (config.ask_tracking) {
    options.askTracking = [this](std::function<void(bool)> answer) { askTracking(std::move(answer)); };
  }
  headless_ = headless::HeadlessPlatform::make(std::move(options));
  auto p = headless_.platform;
  if (config.log) p->logSink = std::make_shared<LogAdapter>(headless_.queue, config.log, config.user_data);
  p->http =
      std::make_shared<ObservedSession>(p->http, headless_.queue, [this](bool reward, std::int64_t campid) {
        emitEvent(reward ? ORVANE_EVENT_REWARD_CLAIMED : ORVANE_EVENT_PARTICIPATION_STARTED, campid);
      });
  platform_ = p;
  // The process-wide services (the log among them) use the first handle's platform
  // while no other was installed.
  if (!Platform::current()->mainQueue) {
    Platform::install(platform_);
    installed_ = true;
  }
  alertHost_ = std::make_shared<AlertHostAdapter>(*this);
  receiver_ = std::make_shared<Receiver>(*this);
  join_ = std::make_unique<ApiJoin>(platform_, notifications_);
  join_->viewController = alertHost_;
  listChange_ = notifications_.observe(kActionListChange, [this] { emitEvent(ORVANE_EVENT_LIST_CHANGED); });
  images_ = std::make_unique<ImageCache>(platform_);
}

Sdk::~Sdk() {
  close();
  join_.reset();
  images_.reset();
  headless_.shutdown();
  if (installed_ && Platform::current() == platform_) Platform::install(nullptr);
  platform_.reset();
  headless_ = {};
}

void Sdk::close() {
  // Handles are moved out first: a dropped request may run code that looks at the map.
  auto requests = std::move(requests_);
  requests_.clear();
  requests.clear();
  alerts_.clear();
  questions_.clear();
  listChange_.reset();
  if (join_) join_->viewController.reset();
  if (headless_.queue) headless_.queue->close();
}

std::weak_ptr<JoinProtocol> Sdk::receiverFor(std::int64_t campid) {
  receiver_->campid = campid;
  return receiver_;
}

void Sdk::keepAs(orvane_request_id id, RequestHandle handle) {
  if (closed() || !handle.pending()) return;  // done already (an error reported at once)
  requests_.emplace(id, std::move(handle));
}

void Sdk::finished(orvane_request_id id) {
  auto it = requests_.find(id);
  if (it == requests_.end()) return;
  // Let go after the callback returned: we run inside the handle's own completion.
  auto handle = std::make_shared<RequestHandle>(std::move(it->second));
  requests_.erase(it);
  headless_.queue->post([handle] {});
}

void Sdk::replace(orvane_request_id id, RequestHandle next) {
  auto it = requests_.find(id);
  if (it == requests_.end() || !next.pending()) return;  // cancelled meanwhile: `next` goes too
  auto previous = std::make_shared<RequestHandle>(std::exchange(it->second, std::move(next)));
  headless_.queue->post([previous] {});
}

bool Sdk::cancel(orvane_request_id id) {
  auto it = requests_.find(id);
  if (it == requests_.end()) return false;
  auto handle = std::move(it->second);
  requests_.erase(it);
  handle.reset();
  return true;
}

void Sdk::emitEvent(orvane_event_type type, std::int64_t campid, const std::string& ovnkey, std::size_t count,
                    orvane_status status, const std::string& message) {
  if (closed() || !config_.event) return;
  if (type == ORVANE_EVENT_PARTICIPATION_CHECK_POSSIBLE && campid < 0) campid = receiver_->campid;
  orvane_event e{};
  e.type = type;
  e.campid = campid;
  e.ovnkey = ovnkey.c_str();
  e.count = count;
  e.status = status;
  e.message = message.c_str();
  config_.event(&e, config_.user_data);
}

void Sdk::presentAlert(Alert alert) {
  if (closed()) return;
  const std::uint64_t id = nextAlert_++;
  if (!config_.alert) {
    Log::log("C API alert without a host alert callback, left unanswered : " + alert.message,
             Log::Level::error());
    emitEvent(ORVANE_EVENT_ERROR, -1, {}, 0, ORVANE_E_REFUSED, alert.message);
    return;
  }
  // The texts handed out are a copy's: a press from inside the callback erases the kept one.
  const Alert shown = alert;
  alerts_.emplace(id, std::move(alert));
  std::vector<orvane_alert_button> buttons;
  for (const auto& action : shown.actions) {
    buttons.push_back(
        {action.title.c_str(), static_cast<orvane_button_style>(action.style), action.checked ? 1 : 0});
  }
  orvane_alert a{};
  a.id = id;
  a.is_action_sheet = shown.kind == Alert::Kind::actionSheet ? 1 : 0;
  a.title = shown.title.c_str();
  a.message = shown.message.c_str();
  a.button_count = buttons.size();
  a.buttons = buttons.data();
  config_.alert(&a, config_.user_data);
}

orvane_status Sdk::pressAlert(std::uint64_t id, std::size_t button) {
  auto it = alerts_.find(id);
  if (it == alerts_.end())
    return fail(ORVANE_E_NOT_FOUND, "no alert " + std::to_string(id) + " waits for a press");
  if (button >= it->second.actions.size()) {
    return fail(ORVANE_E_INVALID_ARGUMENT, "alert " + std::to_string(id) + " has " +
                                               std::to_string(it->second.actions.size()) + " buttons");
  }
  auto handler = std::move(it->second.actions[button].handler);
  alerts_.erase(it);
  if (handler) handler();
  return succeed();
}

void Sdk::askTracking(std::function<void(bool)> answer) {
  if (closed()) return;
  const std::uint64_t id = nextQuestion_++;
  questions_.emplace(id, std::move(answer));
  config_.ask_tracking(id, config_.user_data);
}

orvane_status Sdk::answerTracking(std::uint64_t question, bool allowed) {
  auto it = questions_.find(question);
  if (it == questions_.end())
    return fail(ORVANE_E_NOT_FOUND, "no tracking question " + std::to_string(question));
  auto answer = std::move(it->second);
  questions_.erase(it);
  answer(allowed);
  return succeed();
}

namespace {

orvane_status setString(orvane_sdk* sdk, const char* key, const char* value, const char* what) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  std::string text;
  if (const auto s = readText(value, ORVANE_NTS, text, what); s != ORVANE_OK) return s;
  sdk->impl->platform()->store->setString(key, std::move(text));
  return succeed();
}

orvane_status setInteger(orvane_sdk* sdk, const char* key, std::int64_t value) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  sdk->impl->platform()->store->setInteger(key, value);
  return succeed();
}

orvane_status setBool(orvane_sdk* sdk, const char* key, int value) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  sdk->impl->platform()->store->setBool(key, value != 0);
  return succeed();
}

// An optional server address: NULL clears it, anything else must be an absolute
// http(s) URL.
orvane_status readAddress(const char* value, std::optional<std::string>& out, const char* what) {
  if (!value) {
    out.reset();
    return ORVANE_OK;
  }
  std::string text;
  if (const auto s = readText(value, ORVANE_NTS, text, what); s != ORVANE_OK) return s;
  if (!text.starts_with("http://") && !text.starts_with("https://")) {
    return fail(ORVANE_E_INVALID_URL, std::string(what) + " is no http or https URL: " + text);
  }
  out = std::move(text);
  return ORVANE_OK;
}

}  // namespace

}  // namespace orvane::capi

using namespace orvane;
using namespace orvane::capi;

extern "C" {

uint32_t orvane_api_version(void) { return ORVANE_C_API_VERSION; }

const char* orvane_version_string(void) { return "1.0"; }

const char* orvane_status_text(orvane_status status) {
  switch (status) {
    case ORVANE_OK:
      return "ok";
    case ORVANE_E_INVALID_ARGUMENT:
      return "invalid argument";
    case ORVANE_E_INVALID_HANDLE:
      return "invalid handle";
    case ORVANE_E_INVALID_STRING:
      return "invalid string";
    case ORVANE_E_WRONG_THREAD:
      return "wrong thread";
    case ORVANE_E_NOT_INITIALIZED:
      return "not initialized";
    case ORVANE_E_INVALID_URL:
      return "invalid URL";
    case ORVANE_E_NETWORK:
      return "network error";
    case ORVANE_E_TIMEOUT:
      return "timeout";
    case ORVANE_E_HTTP_STATUS:
      return "HTTP status";
    case ORVANE_E_EMPTY_RESPONSE:
      return "empty response";
    case ORVANE_E_DECODING:
      return "decoding error";
    case ORVANE_E_SERVER_RESULT:
      return "server result";
    case ORVANE_E_CANCELLED:
      return "cancelled";
    case ORVANE_E_NOT_FOUND:
      return "not found";
    case ORVANE_E_REFUSED:
      return "refused";
    case ORVANE_E_IMAGE:
      return "image error";
    case ORVANE_E_IO:
      return "I/O error";
    case ORVANE_E_INTERNAL:
      return "internal error";
  }
  return "unknown status";
}

const char* orvane_last_error(void) { return tLastError.c_str(); }

orvane_status orvane_create(const orvane_config* config, orvane_sdk** out_sdk) {
  if (!out_sdk) return fail(ORVANE_E_INVALID_ARGUMENT, "out_sdk is NULL");
  *out_sdk = nullptr;
  orvane_config copy{};
  if (config) {
    if (config->struct_size < sizeof(std::uint32_t) || config->struct_size > sizeof(orvane_config)) {
      return fail(ORVANE_E_INVALID_ARGUMENT, "orvane_config.struct_size is not set to sizeof(orvane_config)");
    }
    std::memcpy(&copy, config, config->struct_size);  // an older, smaller config keeps zeros for the rest
  }
  copy.struct_size = sizeof(orvane_config);
  std::string check;
  for (const char* text : {copy.settings_path, copy.system_version, copy.machine}) {
    if (text && readText(text, ORVANE_NTS, check, "a config string") != ORVANE_OK)
      return ORVANE_E_INVALID_STRING;
  }
  try {
    auto handle = std::make_unique<orvane_sdk>();
    handle->impl = std::make_unique<Sdk>(handle.get(), copy);
    {
      auto& r = registry();
      std::lock_guard lock(r.mutex);
      r.live.insert(handle.get());
    }
    *out_sdk = handle.release();
  } catch (const std::exception& e) {
    return fail(ORVANE_E_INTERNAL, std::string("cannot create the SDK: ") + e.what());
  }
  return succeed();
}

orvane_status orvane_destroy(orvane_sdk* sdk) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.live.erase(sdk);
  }
  sdk->closed = true;
  sdk->impl->close();
  // From inside a callback the objects on the stack still run: freed when they return.
  if (sdk->depth == 0) finalize(sdk);
  return succeed();
}

orvane_status orvane_pump(orvane_sdk* sdk, uint32_t* out_ran) {
  if (out_ran) *out_ran = 0;
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  Busy busy(sdk);
  const long ran = sdk->impl->headless().queue->pump();
  if (ran < 0) return fail(ORVANE_E_WRONG_THREAD, "orvane_pump off the main thread");
  if (out_ran) *out_ran = static_cast<uint32_t>(ran);
  return succeed();
}

orvane_status orvane_next_due_ms(orvane_sdk* sdk, int64_t* out_ms) {
  if (!out_ms) return fail(ORVANE_E_INVALID_ARGUMENT, "out_ms is NULL");
  *out_ms = -1;
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  auto& queue = *sdk->impl->headless().queue;
  const auto due = queue.nextDue();
  if (queue.ready() > 0) {
    *out_ms = 0;
  } else if (due) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*due - headless::PumpMainQueue::Clock::now())
            .count();
    *out_ms = std::max<int64_t>(0, left);
  }
  return succeed();
}

orvane_status orvane_cancel(orvane_sdk* sdk, orvane_request_id request) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  if (!sdk->impl->cancel(request)) {
    return fail(ORVANE_E_NOT_FOUND, "no request " + std::to_string(request) + " in flight");
  }
  return succeed();
}

orvane_status orvane_initialize(orvane_sdk* sdk, const char* mkey, const char* mckey, const char* user_id) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  std::string m;
  std::string mc;
  std::string u;
  if (const auto s = readText(mkey, ORVANE_NTS, m, "mkey"); s != ORVANE_OK) return s;
  if (const auto s = readText(mckey, ORVANE_NTS, mc, "mckey"); s != ORVANE_OK) return s;
  if (const auto s = readText(user_id, ORVANE_NTS, u, "user_id"); s != ORVANE_OK) return s;
  const auto& store = sdk->impl->platform()->store;
  store->setString(keys::kMkey, std::move(m));
  store->setString(keys::kMckey, std::move(mc));
  store->setString(keys::kUserId, std::move(u));
  store->registerDefaults({{keys::kTrackingUsage, StoreValue{true}}});
  return succeed();
}

orvane_status orvane_is_initialized(orvane_sdk* sdk, int* out_initialized) {
  if (!out_initialized) return fail(ORVANE_E_INVALID_ARGUMENT, "out_initialized is NULL");
  *out_initialized = 0;
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  const auto identity = readIdentity(sdk->impl->platform()->store.get());
  *out_initialized = identity.ok() ? 1 : 0;
  if (!identity.ok()) tLastError = identity.error().description;
  return ORVANE_OK;
}

orvane_status orvane_set_main_title(orvane_sdk* sdk, const char* title) {
  return setString(sdk, keys::kMainTitle, title, "title");
}
orvane_status orvane_set_list_type(orvane_sdk* sdk, int64_t list_type) {
  return setInteger(sdk, keys::kListType, list_type);
}
orvane_status orvane_set_age(orvane_sdk* sdk, int64_t age) { return setInteger(sdk, keys::kAge, age); }
orvane_status orvane_set_gender(orvane_sdk* sdk, const char* gender) {
  return setString(sdk, keys::kGender, gender, "gender");
}
orvane_status orvane_set_benefits_type(orvane_sdk* sdk, int64_t benefits_type) {
  return setInteger(sdk, keys::kBenefitsDisplayType, benefits_type);
}
orvane_status orvane_set_copyright_visibility(orvane_sdk* sdk, int visible) {
  return setBool(sdk, keys::kCopyrightVisibility, visible);
}
orvane_status orvane_set_tracking_usage(orvane_sdk* sdk, int use) {
  return setBool(sdk, keys::kTrackingUsage, use);
}

orvane_status orvane_set_debug_enabled(orvane_sdk* sdk, int enabled) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  Log::displayLog = enabled != 0;
  return succeed();
}

orvane_status orvane_main_title(orvane_sdk* sdk, const char** out_title) {
  if (!out_title) return fail(ORVANE_E_INVALID_ARGUMENT, "out_title is NULL");
  *out_title = "";
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  tScratch = sdk->impl->platform()->store->string(keys::kMainTitle).value_or("");
  *out_title = tScratch.c_str();
  return succeed();
}

orvane_status orvane_set_servers(orvane_sdk* sdk, const char* api_base_url, const char* partner_base_url,
                                 const char* notice_url) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  std::optional<std::string> api;
  std::optional<std::string> partner;
  std::optional<std::string> notice;
  if (const auto s = readAddress(api_base_url, api, "api_base_url"); s != ORVANE_OK) return s;
  if (const auto s = readAddress(partner_base_url, partner, "partner_base_url"); s != ORVANE_OK) return s;
  if (const auto s = readAddress(notice_url, notice, "notice_url"); s != ORVANE_OK) return s;
  auto& shared = OrvaneSDK::shared();
  shared.hostUrl = std::move(api);
  shared.hostPartnerUrl = std::move(partner);
  shared.noticeUrl = std::move(notice);
  return succeed();
}

orvane_status orvane_set_inspect(orvane_sdk* sdk, int inspect) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  OrvaneSDK::shared().isInspect = inspect != 0;
  return succeed();
}

// --- the flow

orvane_status orvane_join(orvane_sdk* sdk, const orvane_campaign* campaign) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  if (!campaign) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign is NULL");
  Busy busy(sdk);
  auto& impl = *sdk->impl;
  const bool polling = impl.join().isPolling();
  impl.join().startJoin(campaign->camp,
                        impl.receiverFor(campaign->camp.campid));  // refused with an alert while polling
  if (polling) return fail(ORVANE_E_REFUSED, "a participation is being checked; wait for it");
  return succeed();
}

orvane_status orvane_check_participation(orvane_sdk* sdk, const orvane_campaign* campaign) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  if (!campaign) return fail(ORVANE_E_INVALID_ARGUMENT, "campaign is NULL");
  Busy busy(sdk);
  sdk->impl->join().flowParticipation(campaign->camp);
  return succeed();
}

orvane_status orvane_claim_reward(orvane_sdk* sdk, int64_t campid, const char* ovnkey) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  std::string key;
  if (const auto s = readText(ovnkey, ORVANE_NTS, key, "ovnkey"); s != ORVANE_OK) return s;
  if (campid < 0) return fail(ORVANE_E_INVALID_ARGUMENT, "campid is negative");
  Busy busy(sdk);
  sdk->impl->join().apiReward(campid, key);
  return succeed();
}

orvane_status orvane_is_polling(orvane_sdk* sdk, int* out_polling) {
  if (!out_polling) return fail(ORVANE_E_INVALID_ARGUMENT, "out_polling is NULL");
  *out_polling = 0;
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  *out_polling = sdk->impl->join().isPolling() ? 1 : 0;
  return succeed();
}

orvane_status orvane_pending_checks(orvane_sdk* sdk, int64_t* out_campids, size_t capacity,
                                    size_t* out_count) {
  if (!out_count) return fail(ORVANE_E_INVALID_ARGUMENT, "out_count is NULL");
  *out_count = 0;
  if (!out_campids && capacity > 0) return fail(ORVANE_E_INVALID_ARGUMENT, "out_campids is NULL");
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  const auto list = sdk->impl->join().getPartiConfirmList();
  *out_count = list.size();
  for (std::size_t i = 0; i < list.size() && i < capacity; ++i) out_campids[i] = list[i];
  return succeed();
}

orvane_status orvane_alert_press(orvane_sdk* sdk, uint64_t alert_id, size_t button_index) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  Busy busy(sdk);
  return sdk->impl->pressAlert(alert_id, button_index);
}

orvane_status orvane_answer_tracking(orvane_sdk* sdk, uint64_t question, int allowed) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  Busy busy(sdk);
  return sdk->impl->answerTracking(question, allowed != 0);
}

orvane_status orvane_reset_tracking(orvane_sdk* sdk) {
  if (const auto s = enter(sdk); s != ORVANE_OK) return s;
  sdk->impl->headless().tracking->reset();
  return succeed();
}

}  // extern "C"
