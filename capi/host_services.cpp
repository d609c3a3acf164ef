// The host's own HTTP session, workers, image decoder and settings store.
#include "capi/host_services.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "capi/capi_internal.hpp"
#include "core/api/decode_utf8.hpp"
#include "core/support/image_bounds.hpp"
#include "orvane/log.hpp"
#include "platform/headless/raster_image_codec.hpp"

namespace orvane::capi {

namespace {

// A request the host has not answered yet. Whoever takes it out of the table (an
// answer, a cancel, the session's end) is the only one to complete it.
struct Pending {
  std::shared_ptr<CompletionGate> gate = std::make_shared<CompletionGate>();
  HttpSession::Completion completion;
  const HostHttpSession* owner = nullptr;
};

struct Waiting {
  std::mutex mutex;
  std::map<std::uint64_t, std::shared_ptr<Pending>> byId;
  std::uint64_t next = 1;
};

Waiting& waiting() {
  static auto* w = new Waiting;  // never destroyed: a host thread may answer while the process exits
  return *w;
}

std::shared_ptr<Pending> take(std::uint64_t id) {
  auto& w = waiting();
  std::lock_guard lock(w.mutex);
  auto it = w.byId.find(id);
  if (it == w.byId.end()) return nullptr;
  auto pending = std::move(it->second);
  w.byId.erase(it);
  return pending;
}

}  // namespace

HostHttpSession::HostHttpSession(const orvane_http_session& table) : table_(table) {}

HostHttpSession::~HostHttpSession() {
  std::vector<std::shared_ptr<Pending>> mine;
  {
    auto& w = waiting();
    std::lock_guard lock(w.mutex);
    for (auto it = w.byId.begin(); it != w.byId.end();) {
      if (it->second->owner != this) {
        ++it;
        continue;
      }
      mine.push_back(std::move(it->second));
      it = w.byId.erase(it);
    }
  }
  for (const auto& pending : mine) {
    pending->gate->pass([&] {
      pending->completion(
          Error::make(Error::Kind::cancelled, "the SDK was destroyed with the request waiting"));
    });
  }
}

RequestHandle HostHttpSession::send(HttpRequest request, Completion completion) {
  auto pending = std::make_shared<Pending>();
  pending->completion = std::move(completion);
  pending->owner = this;
  std::uint64_t id = 0;
  {
    auto& w = waiting();
    std::lock_guard lock(w.mutex);
    id = w.next++;
    w.byId.emplace(id, pending);
  }
  RequestHandle handle(pending->gate, [id, cancel = table_.cancel, userData = table_.user_data] {
    if (take(id) && cancel) cancel(id, userData);
  });
  std::vector<orvane_http_header> headers;
  headers.reserve(request.headers.size());
  for (const auto& [name, value] : request.headers) headers.push_back({name.c_str(), value.c_str()});
  orvane_http_request r{};
  r.struct_size = sizeof r;
  r.id = id;
  r.method = request.method.c_str();
  r.url = request.url.c_str();
  r.headers = headers.empty() ? nullptr : headers.data();
  r.header_count = headers.size();
  r.body = request.body.empty() ? nullptr : request.body.data();
  r.body_size = request.body.size();
  r.idle_timeout_ms = request.timeout.count();
  r.total_timeout_ms = request.totalTimeout.count();
  table_.start(&r, table_.user_data);
  return handle;
}

orvane_status HostHttpSession::complete(std::uint64_t id, Result<HttpResponse> answer) {
  const auto pending = take(id);
  bool passed = false;
  if (pending) passed = pending->gate->pass([&] { pending->completion(std::move(answer)); });
  if (!passed)
    return fail(ORVANE_E_NOT_FOUND, "no HTTP request " + std::to_string(id) + " waits for an answer");
  return ORVANE_OK;
}

// --- workers

namespace {

using Job = HostExecutor::Job;

void runJob(void* data);

}  // namespace

struct HostExecutor::Job {
  std::shared_ptr<HostExecutor::State> state;
  std::function<void()> work;
};

namespace {

void runJob(void* data) {
  std::unique_ptr<Job> job(static_cast<Job*>(data));
  if (!job) return;
  auto& state = *job->state;
  std::function<void()> work;
  {
    std::lock_guard lock(state.mutex);
    state.queued.erase(job.get());
    if (state.closed || !job->work) return;
    work = std::move(job->work);
    ++state.running;
  }
  try {
    work();
  } catch (const std::exception& e) {
    Log::log(std::string("C API: a job failed: ") + e.what(), Log::Level::error());
  }
  work = nullptr;  // what it holds goes before shutdown() may return
  {
    std::lock_guard lock(state.mutex);
    --state.running;
  }
  state.idle.notify_all();
}

}  // namespace

HostExecutor::HostExecutor(RunJob run, void* userData)
    : run_(run), userData_(userData), state_(std::make_shared<State>()) {}

HostExecutor::~HostExecutor() { shutdown(); }

bool HostExecutor::post(std::function<void()> work) {
  auto job = std::make_unique<Job>();
  job->state = state_;
  job->work = std::move(work);
  {
    std::lock_guard lock(state_->mutex);
    if (state_->closed) return false;
    state_->queued.insert(job.get());
  }
  run_(&runJob, job.release(), userData_);
  return true;
}

void HostExecutor::shutdown() {
  std::vector<std::function<void()>> dropped;
  {
    std::unique_lock lock(state_->mutex);
    state_->closed = true;
    for (Job* job : state_->queued) dropped.push_back(std::move(job->work));
    state_->queued.clear();
    state_->idle.wait(lock, [&] { return state_->running == 0; });
  }
  dropped.clear();  // here, outside the lock: what the work held may post or log
}

// --- images

HostImageCodec::HostImageCodec(Decode decode, Release release, void* userData,
                               std::shared_ptr<const ImageCodec> raster)
    : decode_(decode), release_(release), userData_(userData), raster_(std::move(raster)) {}

ImagePtr HostImageCodec::decode(std::string_view bytes) const {
  if (bytes.empty() || bytes.size() > kMaxEncodedImageBytes) return nullptr;
  orvane_image out{};
  if (decode_(bytes.data(), bytes.size(), &out, userData_) != 1) return nullptr;
  struct Release {  // NOLINT(cppcoreguidelines-special-member-functions): a scope guard
    const HostImageCodec* codec;
    orvane_image* image;
    ~Release() {
      if (codec->release_) codec->release_(image, codec->userData_);
    }
  } release{this, &out};
  const bool usable = out.width > 0 && out.height > 0 && out.rgba != nullptr &&
                      fitsDecodeBound(out.width, out.height) &&
                      out.stride >= static_cast<std::size_t>(out.width) * 4;
  if (!usable) {
    Log::log("C API: the host's decoder gave no usable image (" + std::to_string(out.width) + " x " +
                 std::to_string(out.height) + ", stride " + std::to_string(out.stride) + ")",
             Log::Level::error());
    return nullptr;
  }
  const std::size_t row = static_cast<std::size_t>(out.width) * 4;
  std::vector<std::uint8_t> pixels(row * static_cast<std::size_t>(out.height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(out.height); ++y)
    std::memcpy(pixels.data() + y * row, out.rgba + y * out.stride, row);
  return std::make_shared<headless::RgbaImage>(out.width, out.height, std::move(pixels));
}

std::optional<std::string> HostImageCodec::encodeJpeg(const Image& image, double quality) const {
  return raster_->encodeJpeg(image, quality);
}

std::optional<std::string> HostImageCodec::encodePng(const Image& image) const {
  return raster_->encodePng(image);
}

ImagePtr HostImageCodec::draw(const Image& image, int width, int height) const {
  return raster_->draw(image, width, height);
}

// --- settings

namespace {

void putSettings(void* sink, const void* data, std::size_t size) {
  auto* text = static_cast<std::optional<std::string>*>(sink);
  if (!text || (!data && size > 0)) return;
  if (!*text) text->emplace();
  // One byte over the cap is enough for the store to refuse it.
  const std::size_t room = headless::FileKeyValueStore::kMaxFileBytes + 1 -
                           std::min((*text)->size(), headless::FileKeyValueStore::kMaxFileBytes + 1);
  (*text)->append(static_cast<const char*>(data), std::min(size, room));
}

}  // namespace

headless::FileKeyValueStore::Backing hostSettings(const orvane_settings_store& table) {
  headless::FileKeyValueStore::Backing backing;
  backing.name = "the host's settings store";
  if (table.load) {
    backing.load = [load = table.load, userData = table.user_data] {
      std::optional<std::string> text;
      load(&putSettings, &text, userData);
      return text;
    };
  }
  if (table.save) {
    backing.save = [save = table.save, userData = table.user_data](const std::string& text) {
      return save(text.data(), text.size(), userData) == 1
                 ? std::nullopt
                 : std::optional<std::string>("the host did not keep them");
    };
  }
  return backing;
}

}  // namespace orvane::capi

using namespace orvane;
using namespace orvane::capi;

extern "C" {

orvane_status orvane_http_complete(uint64_t id, int32_t http_status, const orvane_http_header* headers,
                                   size_t header_count, const void* body, size_t body_size) {
  std::string fault;
  if (http_status < 100 || http_status > 599)
    fault = "an HTTP status out of 100..599: " + std::to_string(http_status);
  if (header_count > 0 && !headers) fault = "headers is NULL";
  if (body_size > 0 && !body) fault = "body is NULL";
  HttpResponse response;
  for (std::size_t i = 0; fault.empty() && i < header_count; ++i) {
    if (!headers[i].name || !headers[i].value) {
      fault = "header " + std::to_string(i) + " has a NULL name or value";
      break;
    }
    response.headers.emplace_back(headers[i].name, headers[i].value);
  }
  if (!fault.empty()) {
    // Failed rather than left waiting: a host that ignores the status must not hang a request.
    const auto s = HostHttpSession::complete(
        id, Error::make(Error::Kind::network, "the host's HTTP session answered " + fault));
    if (s != ORVANE_OK) return s;
    return fail(ORVANE_E_INVALID_ARGUMENT, fault);
  }
  response.status = http_status;
  response.hasBody = body != nullptr;
  if (body_size > 0) response.body.assign(static_cast<const char*>(body), body_size);
  if (const auto s = HostHttpSession::complete(id, std::move(response)); s != ORVANE_OK) return s;
  return succeed();
}

orvane_status orvane_http_fail(uint64_t id, orvane_status status, const char* message) {
  Error::Kind kind = Error::Kind::network;
  bool known = true;
  switch (status) {
    case ORVANE_E_NETWORK:
      break;
    case ORVANE_E_TIMEOUT:
      kind = Error::Kind::timeout;
      break;
    case ORVANE_E_CANCELLED:
      kind = Error::Kind::cancelled;
      break;
    default:
      known = false;
  }
  const std::string text = message ? repairUtf8(message) : std::string(orvane_status_text(status));
  if (const auto s =
          HostHttpSession::complete(id, Error::make(kind, "the host's HTTP session failed: " + text));
      s != ORVANE_OK)
    return s;
  if (!known) return fail(ORVANE_E_INVALID_ARGUMENT, "a request fails with network, timeout or cancelled");
  return succeed();
}

}  // extern "C"
