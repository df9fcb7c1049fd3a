// What a block costs by the magnitude of what reaches the solver: the effect's processing entry,
// whose input is limited before the solver, beside the up-sampler and solver alone, which are not.
// A full-scale square wave scaled to each magnitude, blocks of 512 at 44.1 kHz; the counter
// "x_real_time" is the block's duration over its processing time (below 1: a dropout).
//
//   Effect<N>/magnitude   the whole chain as a host drives it
//   Solver<N>/magnitude   the same signal up-sampled and solved without the input limit
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "newton_raphson_optimizer.h"
#include "oversampling_6points_5order.h"
#include "oversampling_filter.h"
#include "zaltrim.h"
#include "zaltrim_effect.h"

namespace {

constexpr int kBlock = 512;
constexpr double kRate = 44100.0;

std::vector<double> square(double magnitude) {
  std::vector<double> samples(kBlock);
  for (int i = 0; i < kBlock; ++i) samples[static_cast<std::size_t>(i)] = (i / 8) % 2 ? magnitude : -magnitude;
  return samples;
}

double magnitude_of(const benchmark::State& state) { return std::pow(10.0, static_cast<double>(state.range(0))); }

void report(benchmark::State& state) {
  state.counters["x_real_time"] = benchmark::Counter(kBlock / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

template <int N>
void Effect(benchmark::State& state) {
  ZaltrimEffect effect(nullptr);
  effect.setSampleRate(static_cast<float>(kRate));
  effect.set_oversampling(N);
  std::vector<double> input = square(magnitude_of(state));
  std::vector<double> output(kBlock);
  double* inputs[] = {input.data()};
  double* outputs[] = {output.data()};
  for (auto _ : state) {
    effect.processDoubleReplacing(inputs, outputs, kBlock);
    benchmark::DoNotOptimize(output.data());
  }
  report(state);
}

template <int N>
void Solver(benchmark::State& state) {
  DSP::OversamplingFilter<N, DSP::Oversampling6points5order<double>> upsampler;
  DSP::NewtonRaphsonOptimizer<DSP::Zaltrim<double>> solver(DSP::Zaltrim<double>((1.0 / kRate) / N));
  std::vector<double> input = square(magnitude_of(state));
  std::vector<double> upsampled(kBlock * N);
  std::vector<double> output(kBlock * N);
  for (auto _ : state) {
    upsampler.process(input.data(), upsampled.data(), kBlock);
    solver.process(upsampled.data(), output.data(), kBlock * N);
    benchmark::DoNotOptimize(output.data());
  }
  report(state);
}

// Magnitudes as powers of ten: full scale, the editor's +40 dB, the input limit, and beyond it.
void magnitudes(benchmark::internal::Benchmark* b) {
  for (int exponent : {0, 2, 9, 30, 300}) b->Arg(exponent);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(Effect, 2)->Apply(magnitudes);
BENCHMARK_TEMPLATE(Effect, 32)->Apply(magnitudes);
BENCHMARK_TEMPLATE(Solver, 2)->Apply(magnitudes);
BENCHMARK_TEMPLATE(Solver, 32)->Apply(magnitudes);

}  // namespace

BENCHMARK_MAIN();
