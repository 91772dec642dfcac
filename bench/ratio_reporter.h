// A console reporter that also prints, for every benchmark named "kvo/<case>", the ratio of its
// time to that of each "<peer>/<case>" run in the same process (ours / peer: below 1 is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kvobench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions, keep the median aggregate; without, the single run.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      std::string name = run.benchmark_name();
      const auto cut = name.find("_median");
      if (cut != std::string::npos) name.erase(cut);
      const auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      times_[name.substr(slash + 1)][name.substr(0, slash)] = run.GetAdjustedRealTime();
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-40s %12s %12s %8s\n", "case", "kvo ns", "peer ns", "ratio");
    for (const auto& [name, byLibrary] : times_) {
      const auto ours = byLibrary.find("kvo");
      if (ours == byLibrary.end()) continue;
      for (const auto& [library, time] : byLibrary) {
        if (library == "kvo") continue;
        std::printf("%-40s %12.1f %12.1f %8.2f  (vs %s)\n", name.c_str(), ours->second, time,
                    ours->second / time, library.c_str());
      }
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace kvobench

#define KVO_BENCHMARK_MAIN_WITH_RATIOS()          \
  int main(int argc, char** argv) {               \
    benchmark::Initialize(&argc, argv);           \
    kvobench::RatioReporter reporter;             \
    benchmark::RunSpecifiedBenchmarks(&reporter); \
    benchmark::Shutdown();                        \
    return 0;                                     \
  }
