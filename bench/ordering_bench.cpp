// Classification and ordering of a large campaign list, reported beside a bare
// std::stable_sort of the same campaigns by price in the same run; the closing lines give
// the ratio of the medians per sort mode. Exits with 1 when a ratio exceeds kMaxRatio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.hpp"
#include "core/screens/camp_ordering.hpp"

namespace {

constexpr std::size_t kCampaigns = 10'000;
constexpr std::size_t kHouseCampaigns = 50;
constexpr double kMaxRatio = 3.0;

using orvane::bench::Lcg;
using orvane::bench::MedianReporter;

// A campaign filled like the server's, strings included, since they are what moving
// campaigns around costs.
orvane::Camp makeCamp(Lcg& rng, std::int64_t id) {
  static const std::int64_t kBms[] = {1, 2, 3, 4, -1};
  orvane::Camp c;
  const std::string text = std::to_string(id);
  c.campid = id;
  c.bm = kBms[rng.below(5)];
  c.bmcheck = rng.below(2);
  c.name = "Campaign number " + text + " with a longer name";
  c.engname = "campaign-" + text;
  c.package = "app" + text + "://launch?src=orvane";
  c.ctvurl = "https://cdn.orvane-ads.test/creative/" + text + "/banner_720x360.jpg";
  if (rng.below(2)) c.nativeurl = "https://cdn.orvane-ads.test/native/" + text + ".png";
  c.iconurl = "https://cdn.orvane-ads.test/icon/" + text + ".png";
  c.joindesc = "<p>Install the app and open it within <b>24 hours</b>. Reward after the first launch.</p>";
  c.rewarddesc = "<span>Reward</span> after first launch";
  c.notice = "Only new installs qualify. Reinstalls are not rewarded. One per device.";
  c.cta = "Install now";
  c.rewardprice = static_cast<double>(rng.below(500) * 10);  // many ties
  c.pricemark = "P";
  c.targetpkg = std::vector<std::string>{"com.example.one", "com.example.two"};
  c.convflag = rng.below(10) == 0 ? 1 : 0;
  c.orderseq = rng.below(1000);
  c.rewarddate = "2024-05-17";
  return c;
}

const orvane::Req& request() {
  static const orvane::Req req = [] {
    Lcg rng(7);
    orvane::Req r;
    r.result = 200;
    r.rewardtype = 1;
    r.camp.emplace();
    for (std::size_t i = 0; i < kCampaigns; ++i)
      r.camp->push_back(makeCamp(rng, 100'000 + static_cast<std::int64_t>(i)));
    r.housemd.emplace();
    for (std::size_t i = 0; i < kHouseCampaigns; ++i) {
      auto c = makeCamp(rng, 900'000 + static_cast<std::int64_t>(i));
      c.orderseq = 1 + rng.below(kCampaigns);  // a few land beyond the end of their kind's list
      r.housemd->push_back(std::move(c));
    }
    return r;
  }();
  return req;
}

void BM_ClassifyAndOrder(benchmark::State& state) {
  const auto mode = static_cast<orvane::SortMode>(state.range(0));
  std::size_t shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    orvane::Req copy = request();
    state.ResumeTiming();
    const auto lists = orvane::classify(std::move(copy));
    const auto kind = orvane::chooseKind(lists).selected.value_or(orvane::CampKind::other);
    auto sorted = orvane::setSort(orvane::campListOf(lists, kind), orvane::houseListOf(lists, kind), 1, mode);
    shown = sorted.selectedAllCampList.size();
    benchmark::DoNotOptimize(sorted);
  }
  state.counters["shown"] = static_cast<double>(shown);
}

void BM_StableSortByPrice(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<orvane::Camp> camps = *request().camp;
    state.ResumeTiming();
    std::stable_sort(camps.begin(), camps.end(), [](const orvane::Camp& a, const orvane::Camp& b) {
      return a.rewardprice > b.rewardprice;
    });
    benchmark::DoNotOptimize(camps);
  }
}

BENCHMARK(BM_StableSortByPrice)->Repetitions(7)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClassifyAndOrder)
    ->Arg(static_cast<int>(orvane::SortMode::init))
    ->Arg(static_cast<int>(orvane::SortMode::high))
    ->Arg(static_cast<int>(orvane::SortMode::low))
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("input: %zu campaigns and %zu house campaigns\n", kCampaigns, kHouseCampaigns);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto baseline = reporter.medians.find("BM_StableSortByPrice");
  if (baseline == reporter.medians.end() || baseline->second <= 0) return 0;  // filtered out
  bool withinTarget = true;
  const char* names[] = {"init", "high", "low"};
  for (int mode = 0; mode < 3; ++mode) {
    const auto it = reporter.medians.find("BM_ClassifyAndOrder/" + std::to_string(mode));
    if (it == reporter.medians.end()) continue;
    const double ratio = it->second / baseline->second;
    std::printf("classify+order (%s): %.0f us, stable_sort by price: %.0f us, ratio = %.2f\n", names[mode],
                it->second, baseline->second, ratio);
    withinTarget = withinTarget && ratio <= kMaxRatio;
  }
  if (!withinTarget) std::printf("ratio above the target of %.1f\n", kMaxRatio);
  return withinTarget ? 0 : 1;
}
