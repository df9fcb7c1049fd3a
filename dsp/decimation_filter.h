// DecimationFilter: low-pass every high-rate sample, then keep one in N.
//
//   output[i] = filter(input)[N * i],  i = 0 .. count / N - 1
// The filter runs at N times the output rate (set its sampling frequency in Hz to that) and must
// see every sample, the discarded ones included, because its recursion needs them. The kept
// sample is the first of each group of N, counted from the first sample of each call.
// Trade-off: filtering into a scratch block and then picking is simple and keeps the filter's own
// loop tight; the scratch array grows to the largest block seen (an allocation only when a block
// is longer than any before) and is never shrunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "mono_filter.h"

namespace DSP {

template <int N, typename Filter>
class DecimationFilter final : public MonoFilter<double> {
  static_assert(N == 2 || N == 4 || N == 8 || N == 16 || N == 32, "the factor is a power of two from 2 to 32");

 public:
  DecimationFilter() = default;

  void set_sampling_frequency(double frequency) { filter.set_sampling_frequency(frequency); }
  void set_cutoff_frequency(double frequency) { filter.set_cutoff_frequency(frequency); }
  const Filter& get_filter() const { return filter; }
  // For a caller that steps the filter one sample at a time and keeps the first of each N itself.
  Filter& get_filter() { return filter; }
  std::uint32_t get_buffer_size() const { return buffer_size; }

  void process(const double* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const double* input, float* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, float* output, std::uint32_t count) override { run(input, output, count); }

 private:
  template <typename In, typename Out>
  void run(const In* input, Out* output, std::uint32_t count) {
    reserve(count);
    double* filtered = buffer.get();
    filter.process(input, filtered, count);
    const std::uint32_t kept = count / N;
    for (std::uint32_t i = 0; i < kept; ++i) output[i] = static_cast<Out>(filtered[static_cast<std::size_t>(i) * N]);
  }

  // The new array is obtained before the old one goes, so a failed allocation leaves the
  // decimator exactly as it was. Sizes whose byte count needs more than 32 bits are refused as
  // allocation failures, the same on every platform.
  void reserve(std::uint32_t count) {
    if (count <= buffer_size) return;
    if (count > std::numeric_limits<std::uint32_t>::max() / sizeof(double)) throw std::bad_alloc();
    buffer.reset(new double[count]);
    buffer_size = count;
  }

  Filter filter;
  std::unique_ptr<double[]> buffer;
  std::uint32_t buffer_size = 0;
};

}  // namespace DSP
