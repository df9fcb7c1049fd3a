// OversamplingFilter: up-sampling by N with a polynomial interpolator, no separate low-pass.
//
// For each input sample the history advances by one and the interpolator's polynomial y(z) is
// read at the N positions z_j = j/N - 0.5 (j = 0..N-1), by Horner's rule from the highest
// coefficient down: count samples in, count * N out, at N times the input rate. The output lags
// the input by three input samples (z = -0.5 is the time of h[2]).
// Trade-off: one set of coefficients per input sample is shared by its N outputs, so the cost is
// one polynomial evaluation per output sample; the price is the interpolator's own gentle
// roll-off of the top of the host band.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "mono_filter.h"

namespace DSP {

namespace detail {

// z_j = j * (1/N) - 0.5 is exact in double, since 1/N is a power of two.
template <int N>
constexpr std::array<double, N> upsampling_positions() {
  std::array<double, N> z{};
  for (int j = 0; j < N; ++j) z[j] = j * (1.0 / N) - 0.5;
  return z;
}

}  // namespace detail

template <int N, typename Interpolator>
class OversamplingFilter final : public Interpolator, public MonoFilter<double> {
  static_assert(N == 2 || N == 4 || N == 8 || N == 16 || N == 32, "the factor is a power of two from 2 to 32");

 public:
  // The interpolator's polynomial over one input interval, read at the N high-rate positions.
  struct Segment {
    double c[Interpolator::order + 1];

    // y(z_j) by Horner's rule from the highest coefficient down.
    double at(int j) const {
      const double z = position(j);
      double y = c[order];
      for (int r = order - 1; r >= 0; --r) y = y * z + c[r];
      return y;
    }
  };

  OversamplingFilter() = default;

  // Oldest first; the newest input sits at the end.
  const double* get_history() const { return history; }

  // Where the j-th high-rate sample of an interval sits on the polynomial's axis.
  static constexpr double position(int j) { return positions[j]; }

  void process(const double* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const double* input, float* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, float* output, std::uint32_t count) override { run(input, output, count); }

  // One input sample: the history advances by it, and the newest interval's polynomial comes back.
  Segment step(double input) {
    for (int k = 0; k < points - 1; ++k) history[k] = history[k + 1];
    history[points - 1] = input;
    Segment segment;
    this->polynomial(history, segment.c);
    return segment;
  }

 private:
  static constexpr int points = Interpolator::points;
  static constexpr int order = Interpolator::order;

  static constexpr std::array<double, N> positions = detail::upsampling_positions<N>();

  // The block runs on a local copy: the output could alias the members, the copy cannot, so the
  // table's weights and the history stay in registers across the stores.
  template <typename In, typename Out>
  void run(const In* input, Out* output, std::uint32_t count) {
    OversamplingFilter filter(*this);
    for (std::uint32_t i = 0; i < count; ++i) {
      const Segment segment = filter.step(static_cast<double>(input[i]));
      Out* group = output + static_cast<std::size_t>(i) * N;
      for (int j = 0; j < N; ++j) group[j] = static_cast<Out>(segment.at(j));
    }
    *this = filter;
  }

  double history[points] = {};  // oldest first; the newest input sits at the end
};

}  // namespace DSP
