// GainFilter: y[i] = gain * x[i], in double precision, one linear factor per block.
//
// The factor is written by the host's parameter thread while the audio thread runs a block, so
// it is an atomic double read once per block (relaxed: only the value matters, not ordering).
// No ramp: a new gain applies in full from the next block. Stateless, so it may run in place.
#pragma once

#include <atomic>
#include <cstdint>

#include "mono_filter.h"

namespace DSP {

template <typename T>
class GainFilter;

template <>
class GainFilter<double> final : public MonoFilter<double> {
 public:
  GainFilter() = default;

  void set_gain(double new_gain) { gain.store(new_gain, std::memory_order_relaxed); }
  double get_gain() const { return gain.load(std::memory_order_relaxed); }

  void process(const double* input, double* output, std::uint32_t count) override { apply(input, output, count); }
  void process(const float* input, double* output, std::uint32_t count) override { apply(input, output, count); }
  void process(const double* input, float* output, std::uint32_t count) override { apply(input, output, count); }
  void process(const float* input, float* output, std::uint32_t count) override { apply(input, output, count); }

  // One sample at the factor the caller read for its block with get_gain.
  static double step(double input, double g) { return input * g; }

 private:
  template <typename In, typename Out>
  void apply(const In* input, Out* output, std::uint32_t count) const {
    const double g = get_gain();
    for (std::uint32_t i = 0; i < count; ++i) output[i] = static_cast<Out>(step(static_cast<double>(input[i]), g));
  }

  std::atomic<double> gain{0.0};
  static_assert(std::atomic<double>::is_always_lock_free, "the gain must be one lock-free 64-bit store");
};

}  // namespace DSP
