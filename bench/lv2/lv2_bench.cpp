// What the LV2 adapter adds to the chain: the plug-in's run() through dlopen (ports, sub-blocks,
// the bypass's dry path) against the chain's own process(), at the same factor and block size,
// enabled and bypassed, with the ratio of each LV2 row to its chain row. And the stereo edition's
// run() against two mono instances on the same two channels, the ratio after each stereo row.
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

// One instance of a bundle's plug-in, its controls set, its channels on the given buffers.
class Instance {
 public:
  Instance(benchmark::State& state, std::uint32_t index, int factor, float enabled) {
    const char* build = std::getenv("ZALTRIM_BUILD_DIR");
    const std::string path = std::string(build ? build : ".") + "/zaltrim.lv2/zaltrim.so";
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      state.SkipWithError(dlerror());
      return;
    }
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    descriptor = entry(index);
    const LV2_Feature* none[] = {nullptr};
    plugin = descriptor->instantiate(descriptor, kRate, "", none);
    controls[zaltrim_lv2::kGain] = 12.0f;
    controls[zaltrim_lv2::kOversampling] = static_cast<float>(factor);
    controls[zaltrim_lv2::kEnabled] = enabled;
    for (std::uint32_t port = zaltrim_lv2::kGain; port < zaltrim_lv2::kPortCount; ++port)
      descriptor->connect_port(plugin, port, &controls[port]);
  }
  ~Instance() {
    if (plugin) descriptor->cleanup(plugin);
    if (library) dlclose(library);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool loaded() const { return plugin != nullptr; }
  void connect(zaltrim_lv2::Port port, const float* data) { descriptor->connect_port(plugin, port, const_cast<float*>(data)); }
  void activate() { descriptor->activate(plugin); }
  void run() { descriptor->run(plugin, kBlock); }

 private:
  void* library = nullptr;
  const LV2_Descriptor* descriptor = nullptr;
  LV2_Handle plugin = nullptr;
  float controls[zaltrim_lv2::kPortCount] = {};
};

void Lv2(benchmark::State& state, int factor, float enabled) {
  Instance instance(state, 0, factor, enabled);
  if (!instance.loaded()) return;
  const auto input = guitar_like(kBlock);
  std::vector<float> output(kBlock);
  instance.connect(zaltrim_lv2::kInput, input.data());
  instance.connect(zaltrim_lv2::kOutput, output.data());
  instance.activate();
  for (auto _ : state) {
    instance.run();
    benchmark::DoNotOptimize(output.data());
  }
  report_per_sample(state);
}

// The two channels differ a little, as a stereo recording's do.
std::vector<float> right_of(const std::vector<float>& left) {
  std::vector<float> right(left.rbegin(), left.rend());
  for (float& sample : right) sample *= 0.8f;
  return right;
}

void TwoMono(benchmark::State& state, int factor) {
  Instance left(state, 0, factor, 1.0f), right(state, 0, factor, 1.0f);
  if (!left.loaded() || !right.loaded()) return;
  const auto input_left = guitar_like(kBlock), input_right = right_of(input_left);
  std::vector<float> output_left(kBlock), output_right(kBlock);
  left.connect(zaltrim_lv2::kInput, input_left.data());
  left.connect(zaltrim_lv2::kOutput, output_left.data());
  right.connect(zaltrim_lv2::kInput, input_right.data());
  right.connect(zaltrim_lv2::kOutput, output_right.data());
  left.activate();
  right.activate();
  for (auto _ : state) {
    left.run();
    right.run();
    benchmark::DoNotOptimize(output_right.data());
  }
  report_per_sample(state);
}

void Stereo(benchmark::State& state, int factor) {
  Instance stereo(state, 1, factor, 1.0f);
  if (!stereo.loaded()) return;
  const auto input_left = guitar_like(kBlock), input_right = right_of(input_left);
  std::vector<float> output_left(kBlock), output_right(kBlock);
  stereo.connect(zaltrim_lv2::kInput, input_left.data());
  stereo.connect(zaltrim_lv2::kOutput, output_left.data());
  stereo.connect(zaltrim_lv2::kInputRight, input_right.data());
  stereo.connect(zaltrim_lv2::kOutputRight, output_right.data());
  stereo.activate();
  for (auto _ : state) {
    stereo.run();
    benchmark::DoNotOptimize(output_right.data());
  }
  report_per_sample(state);
}

// "lv2 …" rows against "chain N=F", "stereo N=F" against "two mono N=F".
class Lv2RatioReporter : public RatioReporter {
 protected:
  void compare(const Run& run) override {
    const std::string& name = run.run_name.function_name;
    const std::string::size_type factor = name.find(" N=");
    if (factor == std::string::npos) return;
    const std::string rest = name.substr(factor);
    if (name.rfind("chain", 0) == 0 || name.rfind("two mono", 0) == 0) {
      remember(name, run);
      return;
    }
    const bool stereo = name.rfind("stereo", 0) == 0;
    const double ratio = ratio_to((stereo ? "two mono" : "chain") + rest, run);
    if (ratio != 0.0)
      std::printf("%-40s %-8s ratio %s %.3f\n", name.c_str(), run.aggregate_name.c_str(),
                  stereo ? "stereo/two mono" : "lv2/chain", ratio);
  }
};

BENCHMARK_CAPTURE(Chain, 2, 2)->Name("chain N=2");
BENCHMARK_CAPTURE(Lv2, 2, 2, 1.0f)->Name("lv2 N=2");
BENCHMARK_CAPTURE(Lv2, 2 bypassed, 2, 0.0f)->Name("lv2 bypassed N=2");
BENCHMARK_CAPTURE(Chain, 32, 32)->Name("chain N=32");
BENCHMARK_CAPTURE(Lv2, 32, 32, 1.0f)->Name("lv2 N=32");
BENCHMARK_CAPTURE(Lv2, 32 bypassed, 32, 0.0f)->Name("lv2 bypassed N=32");
BENCHMARK_CAPTURE(TwoMono, 2, 2)->Name("two mono N=2");
BENCHMARK_CAPTURE(Stereo, 2, 2)->Name("stereo N=2");
BENCHMARK_CAPTURE(TwoMono, 8, 8)->Name("two mono N=8");
BENCHMARK_CAPTURE(Stereo, 8, 8)->Name("stereo N=8");
BENCHMARK_CAPTURE(TwoMono, 32, 32)->Name("two mono N=32");
BENCHMARK_CAPTURE(Stereo, 32, 32)->Name("stereo N=32");

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Lv2RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
