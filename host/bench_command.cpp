// `zaltrim-host bench`: how many times faster than real time the loaded module runs at each
// oversampling factor on this machine, through both processing entries.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "cli.h"
#include "zaltrim_session.h"

namespace zhost {

namespace {

const char* const kBenchUsage =
    "usage: zaltrim-host bench [--plugin PATH] [--seconds S] [--block N] [--repeat K]\n"
    "\n"
    "Processes S seconds (default 5) of a 1 kHz sine of amplitude 1 at 44100 Hz, in blocks of N frames\n"
    "(default 512), at each oversampling factor through the 32-bit and the 64-bit entry, K times\n"
    "(default 3), and prints the median real-time factor: audio time over processing time.\n";

constexpr float kRate = 44100.0f;
constexpr double kPi = 3.141592653589793;

struct BenchOptions {
  std::string plugin;
  double seconds = 5.0;
  VstInt32 block = 512;
  int repeat = 3;
};

BenchOptions parse_bench(const std::vector<std::string>& args) {
  BenchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--plugin") {
      options.plugin = option_value(args, i);
    } else if (arg == "--seconds") {
      options.seconds = parse_number(arg, option_value(args, i));
      if (!(options.seconds > 0.0 && options.seconds <= 3600.0))
        throw UsageError("--seconds must be above 0 and at most 3600, got " + args[i]);
    } else if (arg == "--block") {
      const long block = parse_integer(arg, option_value(args, i));
      if (block < 1 || block > 65536) throw UsageError("--block must be 1 to 65536, got " + std::to_string(block));
      options.block = static_cast<VstInt32>(block);
    } else if (arg == "--repeat") {
      const long repeat = parse_integer(arg, option_value(args, i));
      if (repeat < 1 || repeat > 100) throw UsageError("--repeat must be 1 to 100, got " + std::to_string(repeat));
      options.repeat = static_cast<int>(repeat);
    } else {
      throw UsageError("bench: unknown option '" + arg + "'");
    }
  }
  if (options.plugin.empty()) options.plugin = default_plugin_path();
  return options;
}

template <typename Sample>
double real_time_factor(const Module& module, const BenchOptions& options, std::int32_t factor) {
  Host host;
  Plugin plugin(module, host);
  start_effect(plugin, kRate, options.block, 1.0f, factor);
  const auto frames = static_cast<long>(options.seconds * kRate);
  std::vector<Sample> input(static_cast<std::size_t>(frames)), output(static_cast<std::size_t>(options.block));
  for (long i = 0; i < frames; ++i)
    input[static_cast<std::size_t>(i)] = static_cast<Sample>(std::sin(2.0 * kPi * 1000.0 * i / kRate));

  const auto started = std::chrono::steady_clock::now();
  for (long at = 0; at < frames; at += options.block) {
    const auto n = static_cast<VstInt32>(std::min<long>(options.block, frames - at));
    plugin.process(input.data() + at, output.data(), n);
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  stop_effect(plugin);
  return static_cast<double>(frames) / kRate / elapsed;
}

template <typename Sample>
double median_real_time_factor(const Module& module, const BenchOptions& options, std::int32_t factor) {
  std::vector<double> runs;
  for (int k = 0; k < options.repeat; ++k) runs.push_back(real_time_factor<Sample>(module, options, factor));
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int bench_command(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    std::fputs(kBenchUsage, stdout);
    return 0;
  }
  const BenchOptions options = parse_bench(args);
  Module module(options.plugin);
  std::printf("%s: %.1f s of a 1 kHz sine at 44100 Hz, block %d, median of %d\n", options.plugin.c_str(),
              options.seconds, options.block, options.repeat);
  std::printf("%-13s %16s %16s\n", "oversampling", "float x realtime", "double x realtime");
  for (std::int32_t factor : {2, 4, 8, 16, 32}) {
    const double single = median_real_time_factor<float>(module, options, factor);
    const double dual = median_real_time_factor<double>(module, options, factor);
    std::printf("%-13d %16.1f %16.1f\n", factor, single, dual);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace zhost
