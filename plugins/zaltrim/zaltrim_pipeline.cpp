// The audio path of the effect: gain at the host rate, up-sampling by N, the diode clipper at
// N times the rate, then the 22 kHz low-pass and decimation back to the host rate.
//
// The four stages run in one pass per block, each host sample carried through all of them before
// the next: the low-pass's work then fits into the time the clipper waits on its exponentials,
// and no array holds the block at the high rate. Every stage does its own arithmetic through its
// per-sample step, in the order its block form does, so the output is that of the stages run one
// after the other, to the last bit.
//
// One lock serialises blocks and rebuilds. A rebuild designs its stages (the low-pass design
// allocates and runs trigonometry) before taking the lock and frees the old ones after releasing
// it, so the audio thread never waits longer than a pointer swap.
#include <algorithm>
#include <boost/thread/locks.hpp>
#include <cstdint>
#include <type_traits>

#include "butterworth_filter.h"
#include "decimation_filter.h"
#include "denormal_guard.h"
#include "newton_raphson_optimizer.h"
#include "oversampling_6points_5order.h"
#include "oversampling_filter.h"
#include "zaltrim.h"
#include "zaltrim_effect.h"

namespace {

constexpr double kCutoffFrequency = 22000.0;
// The single 8th-order recursion loses stability when the cut-off falls below about 1/300 of its
// sampling frequency (32 x 384 kHz diverges). Above 32 x 192 kHz the cut-off therefore rises with
// the rate, keeping the ratio of 32 x 192 kHz; it stays far below the host's Nyquist frequency.
constexpr double kMaximumSamplingToCutoff = 32.0 * 192000.0 / kCutoffFrequency;
// Beyond this the clipper's output sits at its clamp whatever the input, but Newton takes
// hundreds of steps per sample to get there (7 for a full-scale signal), and all 10000 at 1e300.
constexpr double kInputLimit = 1e9;

template <int N>
using Upsampler = DSP::OversamplingFilter<N, DSP::Oversampling6points5order<double>>;
using Clipper = DSP::NewtonRaphsonOptimizer<DSP::Zaltrim<double>>;
using Lowpass = DSP::ButterworthFilter<double, 8>;
template <int N>
using Decimator = DSP::DecimationFilter<N, Lowpass>;

// Calls action with the factor as a compile-time constant; 32 stands for any factor not below it.
template <typename Action>
void with_factor(VstInt32 factor, Action&& action) {
  switch (factor) {
    case 2:
      action(std::integral_constant<int, 2>());
      break;
    case 4:
      action(std::integral_constant<int, 4>());
      break;
    case 8:
      action(std::integral_constant<int, 8>());
      break;
    case 16:
      action(std::integral_constant<int, 16>());
      break;
    default:
      action(std::integral_constant<int, 32>());
      break;
  }
}

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

// NaN passes unchanged: the solver already answers it with its clamp.
double limit_input(double sample) {
  if (sample > kInputLimit) sample = kInputLimit;
  if (sample < -kInputLimit) sample = -kInputLimit;
  return sample;
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

template <typename Sample>
void write_silence(Sample* output, VstInt32 sampleFrames) {
  for (VstInt32 i = 0; i < sampleFrames; ++i) output[i] = Sample(0);
}

}  // namespace

ZaltrimEffect::Stages ZaltrimEffect::make_stages(VstInt32 factor, float rate) {
  Stages stages;
  with_factor(factor, [&](auto n) {
    make_stages_for<decltype(n)::value>(rate, stages.oversampling, stages.overdrive, stages.decimation);
  });
  return stages;
}

bool ZaltrimEffect::build_pipeline(VstInt32 factor) {
  if (!is_valid_factor(factor)) return false;
  install_stages(factor);
  return true;
}

void ZaltrimEffect::rebuild_pipeline() { install_stages(0); }

void ZaltrimEffect::install_stages(VstInt32 requested_factor) {
  for (;;) {
    const VstInt32 factor = requested_factor ? requested_factor : oversampling.load();
    const float rate = sample_rate.load();
    Stages fresh = make_stages(factor, rate);
    {
      boost::mutex::scoped_lock guard(lock);
      // Another thread changed the rate (or, for a plain rebuild, the factor) while these
      // stages were being designed: design again, so the chain always matches what is reported.
      if (rate != sample_rate.load() || (!requested_factor && factor != oversampling.load())) continue;
      oversampling_filter.swap(fresh.oversampling);
      overdrive_filter.swap(fresh.overdrive);
      decimation_filter.swap(fresh.decimation);
      oversampling.store(factor);
    }
    return;  // the old stages, now in `fresh`, are freed here, outside the lock
  }
}

// The factor and the stages are swapped together under the lock, which the block holds, so the
// factor names the stages' types.
template <typename Sample>
void ZaltrimEffect::run_chain(const Sample* input, Sample* output, VstInt32 sampleFrames) {
  const auto count = static_cast<std::uint32_t>(sampleFrames);
  with_factor(oversampling.load(), [&](auto n) {
    run_fused<decltype(n)::value>(*gain_filter, *oversampling_filter, *overdrive_filter, *decimation_filter, input,
                                  output, count);
  });
}

template <typename Sample>
void ZaltrimEffect::process_block(const Sample* input, Sample* output, VstInt32 sampleFrames) {
  if (sampleFrames <= 0 || !output) return;
  if (!input) {
    write_silence(output, sampleFrames);
    return;
  }
  DenormalGuard flush_denormals;
  boost::mutex::scoped_lock guard(lock);
  run_chain(input, output, sampleFrames);
}

void ZaltrimEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (!inputs || !outputs) return;
  process_block(inputs[0], outputs[0], sampleFrames);
}

void ZaltrimEffect::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
  if (!inputs || !outputs) return;
  process_block(inputs[0], outputs[0], sampleFrames);
}
