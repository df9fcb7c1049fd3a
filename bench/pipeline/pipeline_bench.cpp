// The whole chain as the host drives it, beside hand-written loops that do the stages' arithmetic
// in the same order, so that the chain's overhead is read as a ratio measured in one run.
//
//   Chain<Sample, N>            the effect's processing entry, 1 kHz sine of amplitude 1, blocks of 512
//   StagesReference<N>          gain, up-sampler, Newton solver and low-pass written out as plain loops
//   chain / floor, per signal   the entry against the clipper's Newton iteration alone on the same
//                               high-rate samples (its dependent latency), ratio printed per pair
//   InstanceMemory              bytes one instance holds at factor 32 after a block of 4096 frames
//   SilenceAfterLoud<Sample, N> blocks of silence after a loud signal (the decaying tails go subnormal)
//   RebuildsDuringBlocks<N>     block times while another thread rebuilds the chain at the same factor
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "butterworth_filter.h"
#include "newton_raphson_optimizer.h"
#include "oversampling_6points_5order.h"
#include "oversampling_filter.h"
#include "ratio_reporter.h"
#include "zaltrim.h"
#include "zaltrim_effect.h"

// Bytes obtained from operator new and not yet returned, by anything in this program.
namespace {
std::atomic<std::int64_t> live_bytes{0};
}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  live_bytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
  return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
  if (!block) return;
  live_bytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
  std::free(block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }

namespace {

constexpr int kBlock = 512;
constexpr float kRate = 44100.0f;
constexpr double kPi = 3.141592653589793;

VstIntPtr VSTCALLBACK quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

template <typename Sample>
std::vector<Sample> sine(std::size_t frames, double amplitude) {
  std::vector<Sample> samples(frames);
  for (std::size_t i = 0; i < frames; ++i)
    samples[i] = static_cast<Sample>(amplitude * std::sin(2.0 * kPi * 1000.0 * static_cast<double>(i) / kRate));
  return samples;
}

template <typename Sample>
void process(ZaltrimEffect& effect, Sample* input, Sample* output, int frames) {
  Sample* inputs[] = {input};
  Sample* outputs[] = {output};
  if constexpr (sizeof(Sample) == sizeof(float))
    effect.processReplacing(inputs, outputs, frames);
  else
    effect.processDoubleReplacing(inputs, outputs, frames);
}

void report_per_sample(benchmark::State& state, int factor) {
  const double samples = static_cast<double>(state.iterations()) * kBlock;
  state.counters["ns_per_host_sample"] =
      benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["ns_per_high_rate_sample"] =
      benchmark::Counter(samples * factor, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] = benchmark::Counter(samples / kRate, benchmark::Counter::kIsRate);
}

// A 1 kHz sine of the given amplitude, driven at the given gain.
struct Signal {
  const char* name;
  double amplitude;
  float gain;
};

constexpr Signal kUnitSine = {"sine 1.0", 1.0, 1.0f};
// The unit sine clips; at -40 dBFS the diodes barely conduct (the fewest Newton steps, so the least
// time to hide the other stages in); +24 dB (10^(24/20) as a float) squares the sine off.
constexpr Signal kSignals[] = {kUnitSine, {"tone -40 dBFS", 0.01, 1.0f}, {"drive +24 dB", 1.0, 15.848932f}};

// A whole second of signal, walked block by block, so the solver sees a running sine; 86 blocks.
constexpr std::size_t kSignalFrames = 44032;

// Gain and factor through the state chunk (float32 linear gain, int32 factor, little-endian, as
// this machine stores them), which sets both at once.
void set_state(ZaltrimEffect& effect, float gain, std::int32_t factor) {
  unsigned char chunk[8];
  std::memcpy(chunk, &gain, sizeof(gain));
  std::memcpy(chunk + 4, &factor, sizeof(factor));
  effect.setChunk(chunk, sizeof(chunk), false);
}

template <typename Sample, int N>
void ChainOnSignal(benchmark::State& state, Signal signal) {
  ZaltrimEffect effect(quiet_host);
  set_state(effect, signal.gain, N);
  auto input = sine<Sample>(kSignalFrames, signal.amplitude);
  std::vector<Sample> output(kBlock);
  std::size_t at = 0;
  for (auto _ : state) {
    process(effect, input.data() + at, output.data(), kBlock);
    benchmark::DoNotOptimize(output.data());
    at = (at + kBlock) % input.size();
  }
  report_per_sample(state, N);
}

template <typename Sample, int N>
void Chain(benchmark::State& state) {
  ChainOnSignal<Sample, N>(state, kUnitSine);
}

// The chain's dependent-latency floor: the clipper's Newton iteration written out, as the solver
// does it, with the state in locals. Per sample the loop term's exponential, then per step one
// exponential and one division, each waiting on the one before; the next sample waits on the
// result. Nothing else in the chain feeds a later sample, so a chain that hides the gain, the
// up-sampler and the low-pass in those waits costs exactly this.
class ClipperFloor {
 public:
  explicit ClipperFloor(int factor) {
    const DSP::Zaltrim<double> circuit((1.0 / static_cast<double>(kRate)) / factor);
    B = circuit.B;
    Is = circuit.diodes.Is;
    Vt = circuit.diodes.Vt;
    inverse_A = 1.0 / circuit.A;
    inverse_Vt = 1.0 / Vt;
  }

  double solve(double x) {
    const double term = (x_prev - x) + B * (Is * sign(y_prev) * (std::exp(std::fabs(y_prev) / Vt) - 1.0)) - y_prev;
    double y = y_prev;
    for (int k = 0;;) {
      const double e = std::exp(std::fabs(y) * inverse_Vt);
      const double derivative = inverse_A + Is * e * inverse_Vt;
      const double value = (term + y) * inverse_A + sign(y) * Is * (e - 1.0);
      if (std::fabs(derivative) < 2.220446049250313e-16) break;
      const double y_new = y - value / derivative;
      if (std::fabs(y_new - y) < 1e-05) {
        y = y_new;
        break;
      }
      y = y_new;
      if (++k == 10000) break;
    }
    x_prev = x;
    y_prev = (y >= 1.0 || std::isnan(y)) ? 1.0 : (y <= -1.0 ? -1.0 : y);
    return y_prev;
  }

 private:
  static double sign(double v) {
    if (v == 0.0) return 0.0;
    return std::signbit(v) ? -1.0 : 1.0;
  }

  double B, Is, Vt, inverse_A, inverse_Vt;
  double x_prev = 0.0, y_prev = 0.0;
};

// What the chain's clipper sees for the signal: the float samples widened, the gain, the
// up-sampler, computed once outside the timing.
template <int N>
std::vector<double> clipper_input(const Signal& signal) {
  const auto host = sine<float>(kSignalFrames, signal.amplitude);
  std::vector<double> gained(host.size());
  for (std::size_t i = 0; i < host.size(); ++i) gained[i] = static_cast<double>(host[i]) * signal.gain;
  DSP::OversamplingFilter<N, DSP::Oversampling6points5order<double>> upsampler;
  std::vector<double> high_rate(host.size() * N);
  upsampler.process(gained.data(), high_rate.data(), static_cast<std::uint32_t>(host.size()));
  return high_rate;
}

template <int N>
void Floor(benchmark::State& state, Signal signal) {
  const std::vector<double> input = clipper_input<N>(signal);
  // The floor must do the clipper's work exactly: same results, hence the same steps.
  DSP::NewtonRaphsonOptimizer<DSP::Zaltrim<double>> clipper(
      DSP::Zaltrim<double>((1.0 / static_cast<double>(kRate)) / N));
  std::vector<double> expected(input.size());
  clipper.process(input.data(), expected.data(), static_cast<std::uint32_t>(input.size()));
  ClipperFloor check(N);
  for (std::size_t k = 0; k < input.size(); ++k) {
    if (check.solve(input[k]) != expected[k]) {
      state.SkipWithError("the floor does not solve as the clipper does");
      return;
    }
  }
  ClipperFloor floor(N);
  std::size_t at = 0;
  for (auto _ : state) {
    const double* block = input.data() + at * N;
    double y = 0.0;
    for (int k = 0; k < kBlock * N; ++k) y = floor.solve(block[k]);
    benchmark::DoNotOptimize(y);
    at = (at + kBlock) % kSignalFrames;
  }
  report_per_sample(state, N);
}

// The stages' arithmetic written out: per host sample one multiply, 18 multiply-adds and N fifth-
// order Horner evaluations; per high-rate sample Newton steps with one exp each, then the 9 + 8
// multiply-adds of the direct form I with its history moves; one sample in N kept.
template <int N>
class StagesReference {
 public:
  StagesReference() {
    DSP::ButterworthFilter<double, 8> design;
    design.set_sampling_frequency(static_cast<double>(static_cast<float>(N) * kRate));
    design.set_cutoff_frequency(22000.0);
    for (int k = 0; k < 9; ++k) {
      b[k] = design.get_coefficients_in()[k];
      a[k] = design.get_coefficients_out()[k];
    }
    const DSP::Oversampling6points5order<double> table;
    for (int k = 0; k < 18; ++k) K[k] = table.coefficients[k];
    const double dt = (1.0 / static_cast<double>(kRate)) / N;
    A = dt * 22727272.72727273 + 10000.0;
    B = dt * 22727272.72727273 - 10000.0;
  }

  void process(const double* input, double* output, double gain, int frames) {
    for (int i = 0; i < frames; ++i) {
      for (int k = 0; k < 5; ++k) h[k] = h[k + 1];
      h[5] = input[i] * gain;
      const double e1 = h[3] + h[2], e2 = h[4] + h[1], e3 = h[5] + h[0];
      const double o1 = h[3] - h[2], o2 = h[4] - h[1], o3 = h[5] - h[0];
      const double c0 = 0.0 + K[0] * e1 + K[1] * e2 + K[2] * e3;
      const double c1 = 0.0 + K[3] * o1 + K[4] * o2 + K[5] * o3;
      const double c2 = 0.0 + K[6] * e1 + K[7] * e2 + K[8] * e3;
      const double c3 = 0.0 + K[9] * o1 + K[10] * o2 + K[11] * o3;
      const double c4 = 0.0 + K[12] * e1 + K[13] * e2 + K[14] * e3;
      const double c5 = 0.0 + K[15] * o1 + K[16] * o2 + K[17] * o3;
      for (int j = 0; j < N; ++j) {
        const double z = j * (1.0 / N) - 0.5;
        const double up = ((((c5 * z + c4) * z + c3) * z + c2) * z + c1) * z + c0;
        const double filtered = low_pass(solve(up));
        if (j == 0) output[i] = filtered;
      }
    }
  }

 private:
  double current(double v) const {
    const double sign = v == 0.0 ? 0.0 : (std::signbit(v) ? -1.0 : 1.0);
    return 1e-12 * sign * (std::exp(std::fabs(v) / 0.026) - 1.0);
  }

  double solve(double x) {
    const double term = (x_prev - x) + B * current(y_prev) - y_prev;
    double y = y_prev;
    for (int k = 0; k < 10000; ++k) {
      const double e = std::exp(std::fabs(y) * (1.0 / 0.026));
      const double sign = y == 0.0 ? 0.0 : (std::signbit(y) ? -1.0 : 1.0);
      const double f = (term + y) * (1.0 / A) + sign * 1e-12 * (e - 1.0);
      const double df = 1.0 / A + 1e-12 * e * (1.0 / 0.026);
      const double y_new = y - f / df;
      const bool done = std::fabs(y_new - y) < 1e-05;
      y = y_new;
      if (done) break;
    }
    y = y >= 1.0 ? 1.0 : (y <= -1.0 ? -1.0 : y);
    x_prev = x;
    y_prev = y;
    return y;
  }

  double low_pass(double x) {
    for (int k = 0; k < 8; ++k) {
      xs[k] = xs[k + 1];
      ys[k] = ys[k + 1];
    }
    xs[8] = x;
    double acc = xs[0] * b[0];
    for (int k = 1; k < 9; ++k) acc += b[k] * xs[k];
    for (int k = 0; k < 8; ++k) acc -= a[k] * ys[k];
    ys[8] = acc;
    return acc;
  }

  double K[18];
  double h[6] = {};
  double b[9], a[9];
  double xs[9] = {}, ys[9] = {};
  double A, B;
  double x_prev = 0.0, y_prev = 0.0;
};

template <int N>
void Reference(benchmark::State& state) {
  StagesReference<N> reference;
  const auto input = sine<double>(44032, 1.0);
  std::vector<double> output(kBlock);
  std::size_t at = 0;
  for (auto _ : state) {
    reference.process(input.data() + at, output.data(), 1.0, kBlock);
    benchmark::DoNotOptimize(output.data());
    at = (at + kBlock) % input.size();
  }
  report_per_sample(state, N);
}

// What one instance holds at factor 32 once the host has sent a block of 4096 frames through each
// entry: the bytes it obtained from operator new (counted at the top of this file) and still holds. A
// first instance is made and closed before, so the libraries' one-time set-up is not counted.
void InstanceMemory(benchmark::State& state) {
  constexpr int kFrames = 4096;
  std::vector<float> single(kFrames, 0.5f), single_out(kFrames);
  std::vector<double> dual(kFrames, 0.5), dual_out(kFrames);
  { ZaltrimEffect first(quiet_host); }
  for (auto _ : state) {
    const std::int64_t before = live_bytes.load();
    auto effect = std::make_unique<ZaltrimEffect>(quiet_host);
    set_state(*effect, 1.0f, 32);
    process(*effect, single.data(), single_out.data(), kFrames);
    process(*effect, dual.data(), dual_out.data(), kFrames);
    state.counters["KiB"] = static_cast<double>(live_bytes.load() - before) / 1024.0;
  }
}

// A loud burst, then silence: the clipper's and the low-pass's tails decay towards zero through
// the subnormal range, which must cost no more than the steady signal.
template <typename Sample, int N>
void SilenceAfterLoud(benchmark::State& state) {
  ZaltrimEffect effect(quiet_host);
  effect.set_oversampling(N);
  auto loud = sine<Sample>(kBlock, 10.0);
  std::vector<Sample> silence(kBlock, Sample(0)), output(kBlock);
  for (auto _ : state) {
    state.PauseTiming();
    effect.set_oversampling(N);
    process(effect, loud.data(), output.data(), kBlock);
    state.ResumeTiming();
    for (int block = 0; block < 8; ++block) process(effect, silence.data(), output.data(), kBlock);
    benchmark::DoNotOptimize(output.data());
  }
  state.counters["ns_per_host_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * 8 * kBlock,
                                                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The audio thread's block times while another thread keeps rebuilding the chain at the same
// factor, against the same blocks with no rebuilds; figures are the median and the worst block.
// Argument: 0 no rebuilds, 1 rebuilds back to back, 2 one rebuild every 2 ms (an editor or a host
// automating the state: the lock without a second thread that never sleeps).
template <int N>
void RebuildsDuringBlocks(benchmark::State& state) {
  const bool rebuilding = state.range(0) != 0;
  const bool pausing = state.range(0) == 2;
  ZaltrimEffect effect(quiet_host);
  effect.set_oversampling(N);
  auto input = sine<float>(kBlock, 1.0);
  std::vector<float> output(kBlock);
  std::atomic<bool> stop{false};
  std::thread editor([&] {
    while (rebuilding && !stop.load()) {
      effect.set_oversampling(N);
      if (pausing) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  std::vector<double> times;
  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    process(effect, input.data(), output.data(), kBlock);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count());
  }
  stop = true;
  editor.join();
  std::sort(times.begin(), times.end());
  state.counters["median_block_us"] = times[times.size() / 2];
  state.counters["p999_block_us"] = times[std::min(times.size() - 1, times.size() * 999 / 1000)];
  state.counters["worst_block_us"] = times.back();
}

}  // namespace

BENCHMARK_TEMPLATE(Chain, float, 2);
BENCHMARK_TEMPLATE(Chain, float, 4);
BENCHMARK_TEMPLATE(Chain, float, 8);
BENCHMARK_TEMPLATE(Chain, float, 16);
BENCHMARK_TEMPLATE(Chain, float, 32);
BENCHMARK_TEMPLATE(Chain, double, 2);
BENCHMARK_TEMPLATE(Chain, double, 4);
BENCHMARK_TEMPLATE(Chain, double, 8);
BENCHMARK_TEMPLATE(Chain, double, 16);
BENCHMARK_TEMPLATE(Chain, double, 32);
BENCHMARK_TEMPLATE(Reference, 2);
BENCHMARK_TEMPLATE(Reference, 4);
BENCHMARK_TEMPLATE(Reference, 8);
BENCHMARK_TEMPLATE(Reference, 16);
BENCHMARK_TEMPLATE(Reference, 32);
BENCHMARK_TEMPLATE(SilenceAfterLoud, float, 2);
BENCHMARK_TEMPLATE(SilenceAfterLoud, float, 32);
BENCHMARK_TEMPLATE(SilenceAfterLoud, double, 2);
BENCHMARK_TEMPLATE(SilenceAfterLoud, double, 32);
BENCHMARK_TEMPLATE(RebuildsDuringBlocks, 8)->Arg(0)->Arg(1)->Arg(2)->Iterations(4000)->UseRealTime();
BENCHMARK(InstanceMemory)->Iterations(1);

namespace {

// Each floor beside the two entries on the same signal, so that each ratio comes from neighbours.
template <int N>
void register_floor_comparisons() {
  for (const Signal& signal : kSignals) {
    const std::string suffix = " N=" + std::to_string(N) + " " + signal.name;
    benchmark::RegisterBenchmark(("floor" + suffix).c_str(), Floor<N>, signal);
    benchmark::RegisterBenchmark(("chain float" + suffix).c_str(), ChainOnSignal<float, N>, signal);
    benchmark::RegisterBenchmark(("chain double" + suffix).c_str(), ChainOnSignal<double, N>, signal);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_floor_comparisons<2>();
  register_floor_comparisons<8>();
  register_floor_comparisons<32>();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // After each chain row, its ratio to the floor of the same factor and signal.
  BaseRatioReporter reporter(" N=", "floor", "chain/floor");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
