#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvane::bench {

// Deterministic pseudo-random numbers, so every run works on the same input.
class Lcg {
 public:
  explicit Lcg(std::uint64_t seed) : state_(seed) {}
  std::uint32_t next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }

 private:
  std::uint64_t state_;
};

// Prints as usual and keeps each benchmark's median CPU time, keyed by its name
// ("Function" or "Function/args"), for the ratio printed at the end. CPU time, because
// the wall clock of a shared build machine mostly measures the neighbours.
class MedianReporter : public ::benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        const auto& name = run.run_name;
        medians[name.function_name + (name.args.empty() ? "" : "/" + name.args)] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;
};

}  // namespace orvane::bench
