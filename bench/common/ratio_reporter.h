// The console report of a benchmark, followed after chosen rows by their ratio to another row of
// the same aggregate, measured in the same run. CPU times: the machine is shared.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal, so that figures piped into a file stay plain text.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      // A ratio of spreads means nothing: single runs, means and medians only.
      if (!run.error_occurred && run.aggregate_name != "stddev" && run.aggregate_name != "cv") compare(run);
  }

 protected:
  // Remembers the run under `key`, or prints its ratio to a remembered one.
  virtual void compare(const Run& run) = 0;

  void remember(const std::string& key, const Run& run) { times[{key, run.aggregate_name}] = run.GetAdjustedCPUTime(); }
  // The run's CPU time over the one remembered under `key` for the same aggregate; 0 without one.
  double ratio_to(const std::string& key, const Run& run) const {
    const auto found = times.find({key, run.aggregate_name});
    return found == times.end() ? 0.0 : run.GetAdjustedCPUTime() / found->second;
  }

 private:
  std::map<std::pair<std::string, std::string>, double> times;
};

// Rows named "<what><separator><rest>": after each row it prints the ratio to the row whose name
// starts with `base` and has the same rest ("floor N=8 sine" is the base of "chain float N=8 sine").
class BaseRatioReporter : public RatioReporter {
 public:
  BaseRatioReporter(std::string separator, std::string base, std::string label)
      : separator(std::move(separator)), base(std::move(base)), label(std::move(label)) {}

 protected:
  void compare(const Run& run) override {
    const std::string& name = run.run_name.function_name;
    const std::string::size_type rest = name.find(separator);
    if (rest == std::string::npos) return;
    if (name.rfind(base, 0) == 0) {
      remember(name.substr(rest), run);
      return;
    }
    const double ratio = ratio_to(name.substr(rest), run);
    if (ratio != 0.0)
      std::printf("%-40s %-8s ratio %s %.3f\n", name.c_str(), run.aggregate_name.c_str(), label.c_str(), ratio);
  }

 private:
  std::string separator;
  std::string base;
  std::string label;
};
