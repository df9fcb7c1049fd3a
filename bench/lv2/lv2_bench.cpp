// What the LV2 adapter adds to the chain: the plug-in's run() through dlopen (ports, sub-blocks,
// the bypass's dry path) against the chain's own process(), at the same factor and block size,
// enabled and bypassed, with the ratio of each LV2 row to its chain row.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "zaltrim_chain.h"
#include "zaltrim_ports.h"

namespace {

constexpr double kRate = 44100.0;
constexpr std::uint32_t kBlock = 512;

std::vector<float> guitar_like(std::size_t frames) {
  std::vector<float> samples(frames);
  for (std::size_t i = 0; i < frames; ++i)
    samples[i] = static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * 196.0 * static_cast<double>(i) / kRate));
  return samples;
}

void report_per_sample(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBlock);
}

void Chain(benchmark::State& state, int factor) {
  ZaltrimChain chain(factor, static_cast<float>(kRate));
  chain.set_gain(ZaltrimChain::gain_of_db(12.0));
  const auto input = guitar_like(kBlock);
  std::vector<float> output(kBlock);
  for (auto _ : state) {
    chain.process(input.data(), output.data(), kBlock);
    benchmark::DoNotOptimize(output.data());
  }
  report_per_sample(state);
}

void Lv2(benchmark::State& state, int factor, float enabled) {
  const char* build = std::getenv("ZALTRIM_BUILD_DIR");
  const std::string path = std::string(build ? build : ".") + "/zaltrim.lv2/zaltrim.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    state.SkipWithError(dlerror());
    return;
  }
  const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
  const LV2_Descriptor* descriptor = entry(0);
  const LV2_Feature* none[] = {nullptr};
  LV2_Handle plugin = descriptor->instantiate(descriptor, kRate, "", none);
  float controls[zaltrim_lv2::kPortCount] = {};
  controls[zaltrim_lv2::kGain] = 12.0f;
  controls[zaltrim_lv2::kOversampling] = static_cast<float>(factor);
  controls[zaltrim_lv2::kEnabled] = enabled;
  const auto input = guitar_like(kBlock);
  std::vector<float> output(kBlock);
  for (std::uint32_t port = zaltrim_lv2::kGain; port < zaltrim_lv2::kPortCount; ++port)
    descriptor->connect_port(plugin, port, &controls[port]);
  descriptor->connect_port(plugin, zaltrim_lv2::kInput, const_cast<float*>(input.data()));
  descriptor->connect_port(plugin, zaltrim_lv2::kOutput, output.data());
  descriptor->activate(plugin);
  for (auto _ : state) {
    descriptor->run(plugin, kBlock);
    benchmark::DoNotOptimize(output.data());
  }
  report_per_sample(state);
  descriptor->cleanup(plugin);
  dlclose(library);
}

BENCHMARK_CAPTURE(Chain, 2, 2)->Name("chain N=2");
BENCHMARK_CAPTURE(Lv2, 2, 2, 1.0f)->Name("lv2 N=2");
BENCHMARK_CAPTURE(Lv2, 2 bypassed, 2, 0.0f)->Name("lv2 bypassed N=2");
BENCHMARK_CAPTURE(Chain, 32, 32)->Name("chain N=32");
BENCHMARK_CAPTURE(Lv2, 32, 32, 1.0f)->Name("lv2 N=32");
BENCHMARK_CAPTURE(Lv2, 32 bypassed, 32, 0.0f)->Name("lv2 bypassed N=32");

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // After each LV2 row, its ratio to the chain row of the same factor.
  BaseRatioReporter reporter(" N=", "chain", "lv2/chain");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
