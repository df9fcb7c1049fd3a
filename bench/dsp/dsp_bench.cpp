// Cost of each DSP stage at every oversampling factor, measured beside a hand-written loop that
// does the same arithmetic in the same order, so that the ratio stage / reference comes out of
// one run. Every benchmark processes one host block of 512 frames (512 * N high-rate samples)
// per iteration and reports nanoseconds per host-rate and per high-rate sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "butterworth_filter.h"
#include "decimation_filter.h"
#include "newton_raphson_optimizer.h"
#include "oversampling_6points_5order.h"
#include "oversampling_filter.h"
#include "ratio_reporter.h"
#include "zaltrim.h"

namespace {

constexpr std::uint32_t kHostFrames = 512;
constexpr double kHostRate = 44100.0;
constexpr double kPi = 3.141592653589793;

std::vector<double> sine(std::size_t length, double rate, double amplitude) {
  std::vector<double> samples(length);
  for (std::size_t n = 0; n < length; ++n) samples[n] = amplitude * std::sin(2.0 * kPi * 1000.0 * n / rate);
  return samples;
}

void count_samples(benchmark::State& state, int factor) {
  using benchmark::Counter;
  const double host = static_cast<double>(kHostFrames);
  state.counters["s/host"] = Counter(host, Counter::kIsIterationInvariantRate | Counter::kInvert);
  state.counters["s/high"] = Counter(host * factor, Counter::kIsIterationInvariantRate | Counter::kInvert);
}

// --- Up-sampler: 18 multiply-adds per input sample, then N Horner evaluations. ---

template <int N>
void upsampler(benchmark::State& state) {
  DSP::OversamplingFilter<N, DSP::Oversampling6points5order<double>> filter;
  DSP::MonoFilter<double>& stage = filter;
  const std::vector<double> input = sine(kHostFrames, kHostRate, 0.8);
  std::vector<double> output(kHostFrames * N);
  for (auto _ : state) {
    stage.process(input.data(), output.data(), kHostFrames);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  count_samples(state, N);
}

template <int N>
void upsampler_reference(benchmark::State& state) {
  const DSP::Oversampling6points5order<double> table;
  const double* k = table.coefficients;
  double z[N];
  for (int j = 0; j < N; ++j) z[j] = j * (1.0 / N) - 0.5;
  const std::vector<double> input = sine(kHostFrames, kHostRate, 0.8);
  std::vector<double> output(kHostFrames * N);
  double h0 = 0.0, h1 = 0.0, h2 = 0.0, h3 = 0.0, h4 = 0.0, h5 = 0.0;
  for (auto _ : state) {
    double* out = output.data();
    for (std::uint32_t i = 0; i < kHostFrames; ++i) {
      h0 = h1;
      h1 = h2;
      h2 = h3;
      h3 = h4;
      h4 = h5;
      h5 = input[i];
      const double e1 = h3 + h2, e2 = h4 + h1, e3 = h5 + h0;
      const double o1 = h3 - h2, o2 = h4 - h1, o3 = h5 - h0;
      const double c0 = 0.0 + k[0] * e1 + k[1] * e2 + k[2] * e3;
      const double c1 = 0.0 + k[3] * o1 + k[4] * o2 + k[5] * o3;
      const double c2 = 0.0 + k[6] * e1 + k[7] * e2 + k[8] * e3;
      const double c3 = 0.0 + k[9] * o1 + k[10] * o2 + k[11] * o3;
      const double c4 = 0.0 + k[12] * e1 + k[13] * e2 + k[14] * e3;
      const double c5 = 0.0 + k[15] * o1 + k[16] * o2 + k[17] * o3;
      for (int j = 0; j < N; ++j) *out++ = ((((c5 * z[j] + c4) * z[j] + c3) * z[j] + c2) * z[j] + c1) * z[j] + c0;
    }
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  count_samples(state, N);
}

// --- Low-pass and decimation: 9 + 8 multiply-adds per high-rate sample, then one in N kept. ---

template <int N>
void decimator(benchmark::State& state) {
  DSP::DecimationFilter<N, DSP::ButterworthFilter<double, 8>> filter;
  filter.set_sampling_frequency(N * kHostRate);
  filter.set_cutoff_frequency(22000.0);
  DSP::MonoFilter<double>& stage = filter;
  const std::vector<double> input = sine(kHostFrames * N, N * kHostRate, 0.5);
  std::vector<double> output(kHostFrames);
  for (auto _ : state) {
    stage.process(input.data(), output.data(), kHostFrames * N);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  count_samples(state, N);
}

template <int N>
void decimator_reference(benchmark::State& state) {
  DSP::ButterworthFilter<double, 8> design;
  design.set_sampling_frequency(N * kHostRate);
  design.set_cutoff_frequency(22000.0);
  const double* b = design.get_coefficients_in();
  const double* a = design.get_coefficients_out();
  const double b0 = b[0], b1 = b[1], b2 = b[2], b3 = b[3], b4 = b[4], b5 = b[5], b6 = b[6], b7 = b[7], b8 = b[8];
  const double a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3], a4 = a[4], a5 = a[5], a6 = a[6], a7 = a[7];
  const std::vector<double> input = sine(kHostFrames * N, N * kHostRate, 0.5);
  std::vector<double> scratch(kHostFrames * N);
  std::vector<double> output(kHostFrames);
  double x0 = 0, x1 = 0, x2 = 0, x3 = 0, x4 = 0, x5 = 0, x6 = 0, x7 = 0, x8 = 0;
  double y0 = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0, y5 = 0, y6 = 0, y7 = 0, y8 = 0;
  for (auto _ : state) {
    for (std::uint32_t n = 0; n < kHostFrames * N; ++n) {
      x0 = x1, x1 = x2, x2 = x3, x3 = x4, x4 = x5, x5 = x6, x6 = x7, x7 = x8, x8 = input[n];
      y0 = y1, y1 = y2, y2 = y3, y3 = y4, y4 = y5, y5 = y6, y6 = y7, y7 = y8;
      double acc = x0 * b0;
      acc += b1 * x1;
      acc += b2 * x2;
      acc += b3 * x3;
      acc += b4 * x4;
      acc += b5 * x5;
      acc += b6 * x6;
      acc += b7 * x7;
      acc += b8 * x8;
      acc -= a0 * y0;
      acc -= a1 * y1;
      acc -= a2 * y2;
      acc -= a3 * y3;
      acc -= a4 * y4;
      acc -= a5 * y5;
      acc -= a6 * y6;
      acc -= a7 * y7;
      scratch[n] = acc;
      y8 = acc;
    }
    for (std::uint32_t i = 0; i < kHostFrames; ++i) output[i] = scratch[std::size_t{i} * N];
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  count_samples(state, N);
}

// --- Solver: Newton-Raphson with one exponential per step, from the previous output. ---

using Solver = DSP::NewtonRaphsonOptimizer<DSP::Zaltrim<double>>;

double dt_for(int factor) { return (1.0 / kHostRate) / factor; }

std::vector<double> solver_input(int factor, double amplitude) {
  if (std::isnan(amplitude)) return std::vector<double>(kHostFrames * factor, amplitude);
  return sine(kHostFrames * factor, factor * kHostRate, amplitude);
}

template <int N>
void solver(benchmark::State& state, double amplitude) {
  Solver filter{DSP::Zaltrim<double>(dt_for(N))};
  DSP::MonoFilter<double>& stage = filter;
  const std::vector<double> input = solver_input(N, amplitude);
  std::vector<double> output(input.size());
  for (auto _ : state) {
    stage.process(input.data(), output.data(), kHostFrames * N);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  count_samples(state, N);
}

double sign(double v) {
  if (v == 0.0) return 0.0;
  return std::signbit(v) ? -1.0 : 1.0;
}

template <int N>
void solver_reference(benchmark::State& state, double amplitude) {
  const DSP::Zaltrim<double> circuit(dt_for(N));
  const double B = circuit.B, Is = circuit.diodes.Is, Vt = circuit.diodes.Vt;
  const double inverse_A = 1.0 / circuit.A, inverse_Vt = 1.0 / Vt;
  const std::vector<double> input = solver_input(N, amplitude);
  std::vector<double> output(input.size());
  double x_prev = 0.0, y_prev = 0.0;
  for (auto _ : state) {
    for (std::uint32_t n = 0; n < kHostFrames * N; ++n) {
      const double x = input[n];
      const double term = (x_prev - x) + B * (Is * sign(y_prev) * (std::exp(std::fabs(y_prev) / Vt) - 1.0)) - y_prev;
      double y = y_prev;
      for (std::uint32_t k = 0;;) {
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
      const double written = (y >= 1.0 || std::isnan(y)) ? 1.0 : (y <= -1.0 ? -1.0 : y);
      output[n] = written;
      x_prev = x;
      y_prev = written;
    }
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  count_samples(state, N);
}

constexpr char kNaNBlock[] = "solver NaN N=2";
constexpr char kLoudBlock[] = "solver sine 10 N=2";

// Prints, after each reference row, the ratio of the stage's CPU time to the reference's, and
// after the NaN block its ratio to the loud sine (per aggregate when repetitions are asked for).
class StageRatioReporter : public RatioReporter {
 protected:
  void compare(const Run& run) override {
    const std::string& name = run.run_name.function_name;
    const std::string::size_type marker = name.rfind(" reference");
    if (marker != std::string::npos) {
      print(run, "stage/reference", ratio_to(name.substr(0, marker), run), true);
    } else if (name == kNaNBlock) {
      print(run, "NaN/loud sine", ratio_to(kLoudBlock, run), false);
    } else {
      remember(name, run);
    }
  }

 private:
  static void print(const Run& run, const char* what, double ratio, bool inverse) {
    if (ratio == 0.0) return;
    std::printf("%-44s %-8s ratio %s %.3f\n", run.run_name.function_name.c_str(), run.aggregate_name.c_str(), what,
                inverse ? 1.0 / ratio : ratio);
  }
};

template <int N>
void register_factor() {
  const std::string factor = "N=" + std::to_string(N);
  benchmark::RegisterBenchmark(("upsampler " + factor).c_str(), upsampler<N>);
  benchmark::RegisterBenchmark(("upsampler " + factor + " reference").c_str(), upsampler_reference<N>);
  benchmark::RegisterBenchmark(("decimator " + factor).c_str(), decimator<N>);
  benchmark::RegisterBenchmark(("decimator " + factor + " reference").c_str(), decimator_reference<N>);
  for (const double amplitude : {1.0, 10.0}) {
    const std::string name = "solver sine " + std::to_string(static_cast<int>(amplitude)) + " " + factor;
    benchmark::RegisterBenchmark(name.c_str(), solver<N>, amplitude);
    benchmark::RegisterBenchmark((name + " reference").c_str(), solver_reference<N>, amplitude);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_factor<2>();
  register_factor<4>();
  register_factor<8>();
  register_factor<16>();
  register_factor<32>();
  // A block of NaN against a block of a loud sine: the stage must not run 10000 steps per sample.
  benchmark::RegisterBenchmark(kNaNBlock, solver<2>, std::numeric_limits<double>::quiet_NaN());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  StageRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
