// Campaign-list decoding throughput, reported beside simdjson's bare DOM parse of the same
// bytes in the same run; the last line is the ratio of the two medians.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "bench/bench_support.hpp"
#include "core/api/records.hpp"

namespace {

using orvane::bench::Lcg;
using orvane::bench::MedianReporter;

void appendField(std::string& out, const char* key, const std::string& jsonValue) {
  out += '"';
  out += key;
  out += "\":";
  out += jsonValue;
  out += ',';
}

std::string quoted(const std::string& s) { return '"' + s + '"'; }

// A campaign list shaped like the server's: every field, mixed scripts, HTML and URLs.
std::string makeCampaignList(std::size_t targetBytes) {
  static const char* kNames[] = {"\xEC\x9B\x94\xEA\xB0\x84 \xEC\xB6\x9C\xEC\x84\x9D \xEC\xB2\xB4\xED\x81\xAC",
                                 "Puzzle Quest Saga",
                                 "\xEC\x87\xBC\xED\x95\x91\xEB\xAA\xB0 \xEA\xB0\x80\xEC\x9E\x85",
                                 "Fitness Tracker Pro", "News \\\"Daily\\\" Brief"};
  static const char* kMarks[] = {"P", "\xEC\x9B\x90", "Coin"};
  Lcg rng(42);
  std::string out = R"({"result":200,"errmsg":"","adtype":1,"rewardtype":2,"pricedecimal":"0","camp":[)";
  for (int i = 0; out.size() < targetBytes; ++i) {
    if (i) out += ',';
    out += '{';
    const std::string id = std::to_string(100000 + i);
    appendField(out, "campid", id);
    appendField(out, "bm", std::to_string(rng.below(8)));
    appendField(out, "bmcheck", std::to_string(rng.below(2)));
    appendField(out, "name", quoted(kNames[rng.below(5)]));
    appendField(out, "engname", quoted("campaign-" + id));
    appendField(out, "detailpage", std::to_string(rng.below(2)));
    appendField(out, "package", quoted("app" + id + "://launch?src=orvane"));
    appendField(out, "ctvurl", quoted("https://cdn.orvane-ads.test/creative/" + id + "/banner_720x360.jpg"));
    appendField(out, "ctvwidth", "720");
    appendField(out, "ctvheight", "360");
    appendField(out, "nativeurl", quoted("https://cdn.orvane-ads.test/native/" + id + ".png"));
    appendField(out, "iconurl", quoted("https://cdn.orvane-ads.test/icon/" + id + ".png"));
    if (rng.below(3) == 0)
      appendField(out, "viewurl", quoted("https://cdn.orvane-ads.test/view/" + id + ".jpg"));
    appendField(
        out, "joindesc",
        quoted("<p>Install the app and open it within <b>24 hours</b>.<br/>Reward is paid after the first "
               "launch is confirmed.</p><ol><li>Tap the button below.</li><li>Install from the store page "
               "and keep the app installed for at least three days.</li><li>Open the app and finish the "
               "tutorial.</li></ol><p style=\\\"font-size:11px\\\">Rewards may take up to 10 minutes to "
               "arrive.</p>"));
    appendField(out, "rewardcondition", std::to_string(rng.below(4)));
    appendField(out, "rewarddesc",
                quoted("<span style=\\\"color:#ff5a00\\\">Reward</span> after first launch"));
    appendField(
        out, "notice",
        quoted("Only new installs qualify. Reinstalls, installs through other offerwalls and installs "
               "on emulators are not rewarded.\\nOne reward per device and per account.\\nThe operator "
               "may withdraw rewards obtained through abuse."));
    appendField(out, "cta", quoted("Install now"));
    appendField(out, "category", std::to_string(rng.below(12)));
    appendField(out, "rewardprice", std::to_string(rng.below(5000)) + (rng.below(4) == 0 ? ".5" : ""));
    appendField(out, "pricemark", quoted(kMarks[rng.below(3)]));
    appendField(out, "cpsprice", std::to_string(rng.below(100000)));
    appendField(out, "cpsdcprice", std::to_string(rng.below(90000)));
    appendField(out, "carrier", quoted(""));
    appendField(out, "targetagemin", std::to_string(14 + rng.below(10)));
    appendField(out, "targetagemax", std::to_string(40 + rng.below(40)));
    appendField(out, "gender", std::to_string(rng.below(3)));
    appendField(out, "targetpkg", R"(["com.example.one","com.example.two"])");
    appendField(out, "detargetpkg", "[]");
    if (rng.below(4) == 0) appendField(out, "ovnkey", quoted("ovn-" + id + "-" + std::to_string(rng.next())));
    appendField(out, "convflag", std::to_string(rng.below(2)));
    appendField(out, "orderseq", std::to_string(rng.below(1000)));
    appendField(out, "rewarddate", quoted("2024-05-" + std::to_string(10 + rng.below(18))));
    out += "\"rewardtype\":" + std::to_string(rng.below(3));
    out += '}';
  }
  out += R"(],"housemd":[]})";
  return out;
}

const std::string& campaignList() {
  static const std::string list = makeCampaignList(std::size_t{1} << 20);
  return list;
}

void BM_DomParse(benchmark::State& state) {
  const simdjson::padded_string json(campaignList());
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element doc;
    if (parser.parse(json).get(doc)) {
      state.SkipWithError("DOM parse failed");
      break;
    }
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * json.size()));
}

void BM_DecodeReq(benchmark::State& state) {
  const std::string& json = campaignList();
  std::size_t camps = 0;
  for (auto _ : state) {
    auto req = orvane::decodeReq(json);
    if (!req.ok()) {
      state.SkipWithError(req.error().description.c_str());
      break;
    }
    camps = req.value().camp->size();
    benchmark::DoNotOptimize(req);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * json.size()));
  state.counters["campaigns"] = static_cast<double>(camps);
}

BENCHMARK(BM_DomParse)->Repetitions(7)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeReq)->Repetitions(7)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("input: %zu bytes, simdjson kernel: %s\n", campaignList().size(),
              simdjson::get_active_implementation()->name().c_str());
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto dom = reporter.medians.find("BM_DomParse");
  const auto decode = reporter.medians.find("BM_DecodeReq");
  if (dom != reporter.medians.end() && decode != reporter.medians.end() && dom->second > 0) {
    const double mib = static_cast<double>(campaignList().size()) / 1e6;
    std::printf("decode: %.0f MB/s, dom: %.0f MB/s\n", mib / (decode->second * 1e-6),
                mib / (dom->second * 1e-6));
    std::printf("ratio decode/dom = %.2f\n", decode->second / dom->second);
  }
  return 0;
}
