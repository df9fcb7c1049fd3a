// L channels through L chains one after the other, against the same L channels as the lanes of
// one ZaltrimLanes<L>, so that each ratio is CPU time measured side by side in one run. Every row
// processes L channels of 512 frames per iteration: the ratio is the CPU time per channel-sample
// of the lanes over that of separate chains (targets: 0.70 for 2 lanes, 0.50 for 4).
//
//   chains xL N=F   L ZaltrimChains at factor F, one block each in turn
//   lanes xL N=F    one ZaltrimLanes<L> at factor F
//
// The channels carry one guitar-like signal each, a 1 kHz sine at amplitude 1 with a different
// phase and a little noise: a stereo track's two sides are alike but never equal.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "zaltrim_chain.h"
#include "zaltrim_lanes.h"

namespace {

constexpr std::uint32_t kBlock = 512;
constexpr float kRate = 44100.0f;

std::vector<float> channel(int index) {
  std::vector<float> samples(kBlock * 64);
  unsigned state = 977u * static_cast<unsigned>(index + 1);
  for (std::size_t n = 0; n < samples.size(); ++n) {
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / 8388608.0 - 1.0) * 0.01;
    samples[n] = static_cast<float>(std::sin(2.0 * 3.141592653589793 * 1000.0 * static_cast<double>(n) / kRate +
                                             0.7 * index) + noise);
  }
  return samples;
}

template <int L>
struct Channels {
  Channels() {
    for (int l = 0; l < L; ++l) inputs[l] = channel(l);
    for (auto& output : outputs) output.resize(kBlock);
  }
  std::array<std::vector<float>, L> inputs;
  std::array<std::vector<float>, L> outputs;
  std::size_t position = 0;

  // The next block's start in the inputs, going round.
  std::size_t next() {
    const std::size_t at = position;
    position = (position + kBlock) % inputs[0].size();
    return at;
  }
};

template <int L>
void SeparateChains(benchmark::State& state, int factor) {
  Channels<L> channels;
  std::vector<std::unique_ptr<ZaltrimChain>> chains;
  for (int l = 0; l < L; ++l) chains.push_back(std::make_unique<ZaltrimChain>(factor, kRate));
  for (auto _ : state) {
    const std::size_t at = channels.next();
    for (int l = 0; l < L; ++l) chains[l]->process(channels.inputs[l].data() + at, channels.outputs[l].data(), kBlock);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock * L);
}

template <int L>
void Lanes(benchmark::State& state, int factor) {
  Channels<L> channels;
  ZaltrimLanes<L> lanes(factor, kRate);
  for (auto _ : state) {
    const std::size_t at = channels.next();
    std::array<const float*, L> inputs;
    std::array<float*, L> outputs;
    for (int l = 0; l < L; ++l) {
      inputs[l] = channels.inputs[l].data() + at;
      outputs[l] = channels.outputs[l].data();
    }
    lanes.process(inputs.data(), outputs.data(), kBlock);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock * L);
}

template <int L>
void register_comparison(int factor) {
  const std::string suffix = " x" + std::to_string(L) + " N=" + std::to_string(factor);
  benchmark::RegisterBenchmark(("chains" + suffix).c_str(), SeparateChains<L>, factor);
  benchmark::RegisterBenchmark(("lanes" + suffix).c_str(), Lanes<L>, factor);
}

}  // namespace

int main(int argc, char** argv) {
  for (const int factor : {2, 8, 32}) {
    register_comparison<1>(factor);
    register_comparison<2>(factor);
    register_comparison<4>(factor);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  BaseRatioReporter reporter(" x", "chains", "lanes/chains");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
