// Image cache hits (memory and disk) and a 100-way cold load of one URL, each against a
// bare file read plus QImage decode of the same file, measured in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "core/support/image_cache.hpp"
#include "core/support/platform/memory_key_value_store.hpp"
#include "core/support/thread_pool.hpp"
#include "platform/qt/qt_image_codec.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
constexpr char kUrl[] = "http://bench.invalid/img/icon-256x256.png";

// The bench thread is the main thread: it drains what the cache posts.
class BenchMainQueue : public MainQueue {
 public:
  void post(std::function<void()> work) override {
    {
      std::lock_guard lock(mutex_);
      work_.push_back(std::move(work));
    }
    wake_.notify_one();
  }
  void postDelayed(Millis, std::function<void()> work) override { post(std::move(work)); }
  std::unique_ptr<Timer> scheduleTimer(Millis, bool, std::function<void(Timer&)>) override { return nullptr; }
  bool isMainThread() const override { return std::this_thread::get_id() == main_; }

  // Runs posted work until `done` holds.
  template <class Pred>
  void runUntil(Pred done) {
    while (!done()) {
      std::function<void()> work;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return !work_.empty(); });
        work = std::move(work_.front());
        work_.pop_front();
      }
      work();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> work_;
  std::thread::id main_ = std::this_thread::get_id();
};

// Answers every request with the same bytes from a thread of its own after a short
// network-like delay; counts the requests.
class StubHttpSession : public HttpSession {
 public:
  explicit StubHttpSession(std::string body) : body_(std::move(body)) {}
  RequestHandle send(HttpRequest, Completion completion) override {
    requests.fetch_add(1);
    auto gate = std::make_shared<CompletionGate>();
    std::thread([gate, body = body_, completion = std::move(completion)] {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      HttpResponse r;
      r.status = 200;
      r.body = body;
      r.hasBody = true;
      gate->pass([&] { completion(std::move(r)); });
    }).detach();
    return RequestHandle(gate);
  }
  std::atomic<int> requests{0};

 private:
  std::string body_;
};

std::string makePng() {
  QImage image(256, 256, QImage::Format_ARGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, 256, 256);
  gradient.setColorAt(0, Qt::red);
  gradient.setColorAt(1, Qt::blue);
  painter.fillRect(image.rect(), gradient);
  painter.drawEllipse(40, 40, 176, 176);
  painter.end();
  return *qt::QtImageCodec().encodePng(qt::QtImage(image));
}

struct Fixture {
  Fixture() {
    dir = fs::temp_directory_path() / ("orvane-image-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    bytes = makePng();
    rawFile = dir / "raw.png";
    std::ofstream(rawFile, std::ios::binary) << bytes;
    http = std::make_shared<StubHttpSession>(bytes);
    auto p = std::make_shared<Platform>();
    p->store = std::make_shared<MemoryKeyValueStore>();
    p->mainQueue = mainQueue;
    p->executor = std::make_shared<ThreadPool>(2);  // as on the desktop
    p->http = http;
    p->imageCodec = std::make_shared<qt::QtImageCodec>();
    p->clock = std::make_shared<SystemClock>();
    platform = p;
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  // Loads `url` once and waits for the delivery on the bench thread.
  void loadAndWait(ImageCache& cache) {
    bool done = false;
    cache.load(kUrl, std::nullopt, [&](const std::string&, ImagePtr image) { done = image != nullptr; });
    mainQueue->runUntil([&] { return done; });
  }

  fs::path dir;
  fs::path rawFile;
  std::string bytes;
  std::shared_ptr<BenchMainQueue> mainQueue = std::make_shared<BenchMainQueue>();
  std::shared_ptr<StubHttpSession> http;
  std::shared_ptr<const Platform> platform;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// Per-iteration times of the baseline's repetitions; ratios use their median.
std::vector<double> gBaselineNs;

double baselineNs() {
  auto v = gBaselineNs;
  if (v.empty()) return 1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Times the loop itself, so the ratio uses the same clock for both sides.
template <class Body>
double timed(benchmark::State& state, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  return ns / static_cast<double>(state.iterations());
}

void BM_Baseline_ReadFileAndDecode(benchmark::State& state) {
  auto& f = fixture();
  gBaselineNs.push_back(timed(state, [&] {
    std::ifstream in(f.rawFile, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(image);
  }));
}

void BM_WarmMemoryHit(benchmark::State& state) {
  auto& f = fixture();
  ImageCache cache(f.platform, f.dir / "memory");
  cache.setCacheType(CacheType::ram);
  f.loadAndWait(cache);
  const double ns = timed(state, [&] { f.loadAndWait(cache); });
  state.counters["x_read_decode"] = ns / baselineNs();
}

void BM_WarmDiskHit(benchmark::State& state) {
  auto& f = fixture();
  ImageCache cache(f.platform, f.dir / "disk");
  cache.cacheImage(std::string_view(f.bytes), ImageCache::cacheKey(kUrl));
  const double ns = timed(state, [&] { f.loadAndWait(cache); });
  state.counters["x_read_decode"] = ns / baselineNs();
}

void BM_ColdLoad100Way(benchmark::State& state) {
  auto& f = fixture();
  static int round = 0;  // a fresh folder per iteration, across repetitions too
  int downloads = 0;
  const double ns = timed(state, [&] {
    ImageCache cache(f.platform, f.dir / ("cold-" + std::to_string(round++)));
    const int before = f.http->requests.load();
    int delivered = 0;
    for (int i = 0; i < 100; ++i) {
      cache.load(kUrl, std::nullopt, [&](const std::string&, ImagePtr image) { delivered += image ? 1 : 0; });
    }
    f.mainQueue->runUntil([&] { return delivered == 100; });
    downloads = f.http->requests.load() - before;
  });
  state.counters["downloads"] = downloads;
  state.counters["x_read_decode"] = ns / baselineNs();
}

BENCHMARK(BM_Baseline_ReadFileAndDecode)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WarmMemoryHit)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WarmDiskHit)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColdLoad100Way)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
