// The four stages run in one pass per block, each host sample carried through all of them before
// the next: the low-pass's work then fits into the time the clipper waits on its exponentials,
// and no array holds the block at the high rate. Every stage does its own arithmetic through its
// per-sample step, in the order its block form does, so the output is that of the stages run one
// after the other, to the last bit.
#include "zaltrim_chain.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "denormal_guard.h"
#include "zaltrim_stages.h"

using namespace zaltrim_stages;

namespace {

constexpr double kCutoffFrequency = 22000.0;
// The single 8th-order recursion loses stability when the cut-off falls below about 1/300 of its
// sampling frequency (32 x 384 kHz diverges). Above 32 x 192 kHz the cut-off therefore rises with
// the rate, keeping the ratio of 32 x 192 kHz; it stays far below the host's Nyquist frequency.
constexpr double kMaximumSamplingToCutoff = 32.0 * 192000.0 / kCutoffFrequency;

template <int N>
void make_stages_for(float rate, std::unique_ptr<DSP::MonoFilter<double>>& oversampling,
                     std::unique_ptr<DSP::MonoFilter<double>>& overdrive,
                     std::unique_ptr<DSP::MonoFilter<double>>& decimation) {
  oversampling = std::make_unique<Upsampler<N>>();

  const double dt = (1.0 / static_cast<double>(rate)) / static_cast<double>(N);
  overdrive = std::make_unique<Clipper>(DSP::Zaltrim<double>(dt));

  auto decimator = std::make_unique<Decimator<N>>();
  // The product is formed in single precision, as the chain has always computed it.
  const double sampling_frequency = static_cast<double>(static_cast<float>(N) * rate);
  decimator->set_sampling_frequency(sampling_frequency);
  decimator->set_cutoff_frequency(std::max(kCutoffFrequency, sampling_frequency / kMaximumSamplingToCutoff));
  decimation = std::move(decimator);
}

// One block through the stages make_stages_for<N> built. They run on local copies, written back
// after the block: the output could alias the stages, the copies cannot, so no store to the output
// forces their state to be read again. Hosts may process in place: each input sample is read
// before its output is written.
template <int N, typename Sample>
void run_fused(const DSP::GainFilter<double>& gain, DSP::MonoFilter<double>& oversampling,
               DSP::MonoFilter<double>& overdrive, DSP::MonoFilter<double>& decimation, const Sample* input,
               Sample* output, std::uint32_t count) {
  auto& upsampler_stage = static_cast<Upsampler<N>&>(oversampling);
  auto& clipper_stage = static_cast<Clipper&>(overdrive);
  Lowpass& lowpass_stage = static_cast<Decimator<N>&>(decimation).get_filter();
  Upsampler<N> upsampler(upsampler_stage);
  Clipper clipper(clipper_stage);
  Lowpass lowpass(lowpass_stage);
  const double g = gain.get_gain();
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto segment = upsampler.step(limit_input(DSP::GainFilter<double>::step(static_cast<double>(input[i]), g)));
    // The decimator keeps the first high-rate sample of each host sample; the other N - 1 only
    // advance the low-pass.
    output[i] = static_cast<Sample>(lowpass.step<double>(clipper.step<double>(segment.at(0))));
    for (int j = 1; j < N; ++j) lowpass.step<double>(clipper.step<double>(segment.at(j)));
  }
  upsampler_stage = upsampler;
  clipper_stage = clipper;
  lowpass_stage = lowpass;
}

}  // namespace

namespace {

// The latency measurement: white noise at -40 dBFS, where the diodes barely conduct and the
// circuit passes its input; the first samples let the filters settle and are not compared.
constexpr std::uint32_t kProbeLength = 4096;
constexpr std::uint32_t kProbeSettling = 256;
constexpr int kLongestLatency = 64;
constexpr double kProbeLevel = 0.01;

std::vector<float> quiet_noise(std::uint32_t length) {
  std::vector<float> noise(length);
  std::uint32_t state = 0x2545F491u;
  for (float& sample : noise) {
    state = state * 1664525u + 1013904223u;  // the classic 32-bit LCG: repeatable on every platform
    sample = static_cast<float>(kProbeLevel * (static_cast<double>(state) / 2147483648.0 - 1.0));
  }
  return noise;
}

double misalignment(const std::vector<float>& input, const std::vector<float>& output, int lag) {
  double error = 0.0;
  for (std::size_t i = kProbeSettling; i < output.size(); ++i) {
    const double difference = static_cast<double>(output[i]) - static_cast<double>(input[i - lag]);
    error += difference * difference;
  }
  return error;
}

}  // namespace

bool ZaltrimChain::is_valid_factor(int factor) {
  return factor == 2 || factor == 4 || factor == 8 || factor == 16 || factor == 32;
}

int ZaltrimChain::index_of_factor(int factor) {
  int index = 0;
  while ((2 << index) < factor) ++index;
  return index;
}

bool ZaltrimChain::is_valid_rate(float rate) { return rate >= 1000.0f && rate <= 1000000.0f; }

float ZaltrimChain::gain_of_db(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

ZaltrimChain::Stages ZaltrimChain::design(int factor, float rate) {
  Stages fresh;
  fresh.factor = factor;
  fresh.rate = rate;
  with_factor(factor, [&](auto n) {
    make_stages_for<decltype(n)::value>(rate, fresh.oversampling, fresh.overdrive, fresh.decimation);
  });
  return fresh;
}

int ZaltrimChain::measure_latency(int factor, float rate) {
  ZaltrimChain probe(factor, rate);
  probe.set_gain(1.0);
  const std::vector<float> input = quiet_noise(kProbeLength);
  std::vector<float> output(input.size());
  probe.process(input.data(), output.data(), kProbeLength);
  int best_lag = 0;
  double least_error = misalignment(input, output, 0);
  for (int lag = 1; lag <= kLongestLatency; ++lag) {
    const double error = misalignment(input, output, lag);
    if (error < least_error) {
      least_error = error;
      best_lag = lag;
    }
  }
  return best_lag;
}

std::array<int, ZaltrimChain::kFactorCount> ZaltrimChain::measure_latencies(float rate) {
  std::array<int, kFactorCount> latencies{};
  for (int i = 0; i < kFactorCount; ++i) latencies[i] = measure_latency(2 << i, rate);
  return latencies;
}

ZaltrimChain::ZaltrimChain(int factor, float rate) : stages(design(factor, rate)) { gain_filter.set_gain(1.0); }

// Only the low-pass of the decimator holds state; its buffer is for the block form, which the
// chain never runs.
void ZaltrimChain::restore(Stages& target, const Stages& designed) {
  with_factor(designed.factor, [&](auto n) {
    constexpr int N = decltype(n)::value;
    static_cast<Upsampler<N>&>(*target.oversampling) = static_cast<const Upsampler<N>&>(*designed.oversampling);
    static_cast<Clipper&>(*target.overdrive) = static_cast<const Clipper&>(*designed.overdrive);
    static_cast<Decimator<N>&>(*target.decimation).get_filter() =
        static_cast<const Decimator<N>&>(*designed.decimation).get_filter();
  });
}

void ZaltrimChain::install(Stages& fresh) { std::swap(stages, fresh); }

void ZaltrimChain::process(const float* input, float* output, std::uint32_t count) { run(input, output, count); }

void ZaltrimChain::process(const double* input, double* output, std::uint32_t count) { run(input, output, count); }

// The stages' factor names their types.
template <typename Sample>
void ZaltrimChain::run(const Sample* input, Sample* output, std::uint32_t count) {
  DenormalGuard flush_denormals;
  with_factor(stages.factor, [&](auto n) {
    run_fused<decltype(n)::value>(gain_filter, *stages.oversampling, *stages.overdrive, *stages.decimation, input,
                                  output, count);
  });
}
