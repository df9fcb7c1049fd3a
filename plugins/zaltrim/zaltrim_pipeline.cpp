// The audio path of the effect: gain at the host rate, up-sampling by N, the diode clipper at
// N times the rate, then the 22 kHz low-pass and decimation back to the host rate.
//
// One lock serialises blocks and rebuilds. A rebuild designs its stages (the low-pass design
// allocates and runs trigonometry) before taking the lock and frees the old ones after releasing
// it, so the audio thread never waits longer than a pointer swap.
#include <algorithm>
#include <boost/thread/locks.hpp>
#include <cstdint>
#include <limits>
#include <new>

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
void make_stages_for(float rate, std::unique_ptr<DSP::MonoFilter<double>>& oversampling,
                     std::unique_ptr<DSP::MonoFilter<double>>& overdrive,
                     std::unique_ptr<DSP::MonoFilter<double>>& decimation) {
  oversampling = std::make_unique<DSP::OversamplingFilter<N, DSP::Oversampling6points5order<double>>>();

  const double dt = (1.0 / static_cast<double>(rate)) / static_cast<double>(N);
  overdrive = std::make_unique<DSP::NewtonRaphsonOptimizer<DSP::Zaltrim<double>>>(DSP::Zaltrim<double>(dt));

  auto decimator = std::make_unique<DSP::DecimationFilter<N, DSP::ButterworthFilter<double, 8>>>();
  // The product is formed in single precision, as the chain has always computed it.
  const double sampling_frequency = static_cast<double>(static_cast<float>(N) * rate);
  decimator->set_sampling_frequency(sampling_frequency);
  decimator->set_cutoff_frequency(std::max(kCutoffFrequency, sampling_frequency / kMaximumSamplingToCutoff));
  decimation = std::move(decimator);
}

// NaN passes unchanged: the solver already answers it with its clamp.
void limit_input(double* samples, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    if (samples[i] > kInputLimit) samples[i] = kInputLimit;
    if (samples[i] < -kInputLimit) samples[i] = -kInputLimit;
  }
}

template <typename Sample>
void write_silence(Sample* output, VstInt32 sampleFrames) {
  for (VstInt32 i = 0; i < sampleFrames; ++i) output[i] = Sample(0);
}

}  // namespace

ZaltrimEffect::Stages ZaltrimEffect::make_stages(VstInt32 factor, float rate) {
  Stages stages;
  switch (factor) {
    case 2:
      make_stages_for<2>(rate, stages.oversampling, stages.overdrive, stages.decimation);
      break;
    case 4:
      make_stages_for<4>(rate, stages.oversampling, stages.overdrive, stages.decimation);
      break;
    case 8:
      make_stages_for<8>(rate, stages.oversampling, stages.overdrive, stages.decimation);
      break;
    case 16:
      make_stages_for<16>(rate, stages.oversampling, stages.overdrive, stages.decimation);
      break;
    default:
      make_stages_for<32>(rate, stages.oversampling, stages.overdrive, stages.decimation);
      break;
  }
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
      buffer_capacity = 0;
    }
    return;  // the old stages, now in `fresh`, are freed here, outside the lock
  }
}

bool ZaltrimEffect::resize_buffers(VstInt32 n) {
  if (buffer_capacity >= n) return true;
  const std::uint64_t high_rate = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(oversampling.load());
  // The decimator's scratch counts samples in 32 bits and its byte size must fit them too.
  if (high_rate * sizeof(double) > std::numeric_limits<std::uint32_t>::max()) return false;
  buffer_gained.reset(new double[static_cast<std::size_t>(n)]);
  buffer_oversampled.reset(new double[high_rate]);
  buffer_overdriven.reset(new double[high_rate]);
  buffer_capacity = n;
  return true;
}

template <typename Sample>
void ZaltrimEffect::run_chain(const Sample* input, Sample* output, VstInt32 sampleFrames) {
  const auto n = static_cast<std::uint32_t>(sampleFrames);
  const auto high_rate = n * static_cast<std::uint32_t>(oversampling.load());
  gain_filter->process(input, buffer_gained.get(), n);
  limit_input(buffer_gained.get(), n);
  oversampling_filter->process(buffer_gained.get(), buffer_oversampled.get(), n);
  overdrive_filter->process(buffer_oversampled.get(), buffer_overdriven.get(), high_rate);
  decimation_filter->process(buffer_overdriven.get(), output, high_rate);
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
  try {
    if (!resize_buffers(sampleFrames)) {
      write_silence(output, sampleFrames);
      return;
    }
    run_chain(input, output, sampleFrames);
  } catch (const std::bad_alloc&) {
    // Arrays already replaced stay valid but too short; the next block sizes them afresh.
    buffer_capacity = 0;
    write_silence(output, sampleFrames);
  }
}

void ZaltrimEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (!inputs || !outputs) return;
  process_block(inputs[0], outputs[0], sampleFrames);
}

void ZaltrimEffect::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
  if (!inputs || !outputs) return;
  process_block(inputs[0], outputs[0], sampleFrames);
}
