#include "platform/fake/fakes.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>

namespace orvane::testing {

// --- clock

std::chrono::system_clock::time_point ManualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void ManualClock::set(std::chrono::system_clock::time_point t) {
  std::lock_guard lock(mutex_);
  now_ = t;
}

void ManualClock::advance(std::chrono::system_clock::duration d) {
  std::lock_guard lock(mutex_);
  now_ += d;
}

// --- log

bool CapturingLogSink::accepts(LogType type) const {
  std::lock_guard lock(mutex_);
  return std::find(rejected_.begin(), rejected_.end(), type) == rejected_.end();
}

void CapturingLogSink::write(LogType type, std::string_view category, std::string_view message) {
  std::lock_guard lock(mutex_);
  lines_.push_back({type, std::string(category), std::string(message)});
}

std::vector<LogLine> CapturingLogSink::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool CapturingLogSink::contains(std::string_view part) const {
  std::lock_guard lock(mutex_);
  return std::any_of(lines_.begin(), lines_.end(),
                     [&](const LogLine& l) { return l.message.find(part) != std::string::npos; });
}

void CapturingLogSink::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

void CapturingLogSink::reject(LogType type) {
  std::lock_guard lock(mutex_);
  rejected_.push_back(type);
}

// --- tracking

void FakeTrackingAuthorization::requestAuthorization(std::function<void(int)> completion,
                                                     std::weak_ptr<AlertHost> host) {
  ++requests;
  askedOver = std::move(host);
  if (currentStatus != tracking::notDetermined) {
    completion(currentStatus);
    return;
  }
  if (deferAnswer) {
    pending = [this, completion = std::move(completion)](int status) {
      currentStatus = status;
      completion(status);
    };
    return;
  }
  currentStatus = answer;
  completion(answer);
}

// --- URLs

namespace {
std::string schemeOf(const std::string& url) {
  auto colon = url.find(':');
  return colon == std::string::npos ? std::string() : url.substr(0, colon);
}
}  // namespace

bool FakeUrlOpener::canOpen(const std::string& url) const {
  const auto scheme = schemeOf(url);
  return !scheme.empty() &&
         std::find(refusedSchemes.begin(), refusedSchemes.end(), scheme) == refusedSchemes.end();
}

void FakeUrlOpener::open(const std::string& url, std::function<void(bool)> completion) {
  const bool ok = canOpen(url);
  if (ok) opened.push_back(url);
  if (!completion) return;
  if (queue) {
    queue->post([completion = std::move(completion), ok] { completion(ok); });
  } else {
    completion(ok);
  }
}

// --- alerts

bool RecordingAlertHost::press(std::string_view title) {
  if (alerts.empty()) return false;
  for (std::size_t i = 0; i < alerts.back().actions.size(); ++i) {
    if (alerts.back().actions[i].title == title) return pressIndex(i);
  }
  return false;
}

bool RecordingAlertHost::pressIndex(std::size_t index) {
  if (alerts.empty() || index >= alerts.back().actions.size()) return false;
  auto handler = alerts.back().actions[index].handler;  // the handler may present a new alert
  if (handler) handler();
  return true;
}

// --- images

namespace {
class FakeImage : public Image {
 public:
  FakeImage(int w, int h) : w_(w), h_(h) {}
  int width() const override { return w_; }
  int height() const override { return h_; }

 private:
  int w_, h_;
};
}  // namespace

ImagePtr FakeImageCodec::make(int width, int height) { return std::make_shared<FakeImage>(width, height); }

std::string FakeImageCodec::bytes(int width, int height) {
  return "IMG " + std::to_string(width) + " " + std::to_string(height);
}

std::optional<DeclaredSize> FakeImageCodec::declaredSize(std::string_view bytes) const {
  long long w = 0, h = 0;
  const std::string text(bytes.substr(0, 64));
  if (std::sscanf(text.c_str(), "IMG %lld %lld", &w, &h) != 2 || w <= 0 || h <= 0) return std::nullopt;
  return DeclaredSize{w, h};
}

ImagePtr FakeImageCodec::decode(std::string_view bytes) const {
  const auto size = declaredSize(bytes);
  if (bytes.size() > kMaxEncodedImageBytes || !size || !fitsDecodeBound(size->width, size->height) ||
      size->width > INT_MAX || size->height > INT_MAX)
    return nullptr;
  ++decodes;
  return make(static_cast<int>(size->width), static_cast<int>(size->height));
}

std::optional<std::string> FakeImageCodec::encodeJpeg(const Image& image, double) const {
  if (failEncoding) return std::nullopt;
  return bytes(image.width(), image.height());
}

std::optional<std::string> FakeImageCodec::encodePng(const Image& image) const {
  if (failEncoding) return std::nullopt;
  return bytes(image.width(), image.height());
}

ImagePtr FakeImageCodec::draw(const Image&, int width, int height) const { return make(width, height); }

// --- HTTP

RequestHandle FakeHttpSession::send(HttpRequest request, Completion completion) {
  auto gate = std::make_shared<CompletionGate>();
  std::optional<Result<HttpResponse>> answer;
  {
    std::lock_guard lock(state_->mutex);
    state_->requests.push_back(request);
    if (manual) {
      const auto id = state_->nextId++;
      state_->waiting.push_back({id, gate, std::move(completion)});
      return RequestHandle(gate, [weak = std::weak_ptr<State>(state_), id] {
        auto state = weak.lock();
        if (!state) return;
        std::lock_guard lock(state->mutex);
        const auto erased = std::erase_if(state->waiting, [id](const Waiting& w) { return w.id == id; });
        state->cancelled += erased;
      });
    }
    if (!state_->responses.empty()) {
      answer.emplace(std::move(state_->responses.front()));
      state_->responses.pop_front();
    }
  }
  if (!answer && handler) answer.emplace(handler(request));
  if (!answer) answer.emplace(Error::make(Error::Kind::network, "FakeHttpSession: no scripted response"));
  gate->pass([&] { completion(std::move(*answer)); });
  return RequestHandle(gate);
}

void FakeHttpSession::enqueue(Result<HttpResponse> response) {
  std::lock_guard lock(state_->mutex);
  state_->responses.push_back(std::move(response));
}

HttpResponse FakeHttpSession::ok(std::string body, int status) {
  HttpResponse r;
  r.status = status;
  r.body = std::move(body);
  r.hasBody = true;
  return r;
}

std::vector<HttpRequest> FakeHttpSession::requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

bool FakeHttpSession::complete(Result<HttpResponse> response) {
  std::optional<Waiting> next;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->waiting.empty()) return false;
    next.emplace(std::move(state_->waiting.front()));
    state_->waiting.pop_front();
  }
  next->gate->pass([&] { next->completion(std::move(response)); });
  return true;
}

std::size_t FakeHttpSession::waiting() const {
  std::lock_guard lock(state_->mutex);
  return state_->waiting.size();
}

std::size_t FakeHttpSession::cancelled() const {
  std::lock_guard lock(state_->mutex);
  return state_->cancelled;
}

// --- executor

bool ManualExecutor::post(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  jobs_.push_back(std::move(work));
  return true;
}

bool ManualExecutor::runOne() {
  std::function<void()> job;
  {
    std::lock_guard lock(mutex_);
    if (jobs_.empty()) return false;
    job = std::move(jobs_.front());
    jobs_.pop_front();
  }
  job();
  return true;
}

std::size_t ManualExecutor::runAll() {
  std::size_t ran = 0;
  while (runOne()) ++ran;
  return ran;
}

std::size_t ManualExecutor::pending() const {
  std::lock_guard lock(mutex_);
  return jobs_.size();
}

// --- bundle

FakePlatform::FakePlatform()
    : store(std::make_shared<MemoryKeyValueStore>()),
      mainQueue(std::make_shared<FakeMainQueue>()),
      executor(std::make_shared<ManualExecutor>()),
      http(std::make_shared<FakeHttpSession>()),
      urlOpener(std::make_shared<FakeUrlOpener>()),
      advertisingId(std::make_shared<FakeAdvertisingId>()),
      tracking(std::make_shared<FakeTrackingAuthorization>()),
      device(std::make_shared<FakeDeviceInfo>()),
      imageCodec(std::make_shared<FakeImageCodec>()),
      clock(std::make_shared<ManualClock>()),
      logSink(std::make_shared<CapturingLogSink>()) {
  urlOpener->queue = mainQueue;
}

FakePlatform::~FakePlatform() {
  if (installed_) Platform::install(nullptr);
}

std::shared_ptr<Platform> FakePlatform::platform() const {
  auto p = std::make_shared<Platform>();
  p->store = store;
  p->mainQueue = mainQueue;
  p->executor = executor;
  p->http = http;
  p->urlOpener = urlOpener;
  p->advertisingId = advertisingId;
  p->tracking = tracking;
  p->device = device;
  p->imageCodec = imageCodec;
  p->clock = clock;
  p->logSink = logSink;
  return p;
}

void FakePlatform::advance(Millis ms) {
  mainQueue->advance(ms, [this] { executor->runAll(); });
}

void FakePlatform::install() {
  Platform::install(platform());
  installed_ = true;
}

}  // namespace orvane::testing
