// ButterworthFilter: the Butterworth low-pass of even order, designed at run time, run as one
// direct form I recursion in double precision:
//   y[n] = sum_{k=0..order} b_k x[n-k] - sum_{k=1..order} a_k y[n-k]
// Design: the analogue prototype's pole pairs s^2 - 2 cos(theta_i) s + 1, theta_i =
// (2i + order - 1) pi / (2 order), through s = m (1 - z^-1) / (1 + z^-1) with
// m = sampling_frequency / (pi * cutoff_frequency) (both in Hz), without pre-warping: the response
// is 3 dB down at (fs/pi) atan(pi fc / fs), a little below fc at low oversampling factors.
// Trade-off: a single high-order direct form is cheap (order + 1 + order multiply-adds per sample,
// no branches) and sounds the same on every build, at the price of coefficient sensitivity at high
// sampling rates (numerator terms near 1e-11 at 1.4 MHz), which shows as a DC gain a part in a
// million below unity there.
#pragma once

#include <boost/math/special_functions/binomial.hpp>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "mono_filter.h"
#include "polynomial.h"

namespace DSP {

template <typename T, int order>
class ButterworthFilter final : public MonoFilter<double> {
  static_assert(std::is_same<T, double>::value, "the filter runs in double precision");
  static_assert(order > 0 && order % 2 == 0, "the design is built from pole pairs");

 public:
  static constexpr int size = order + 1;

  // Designed at once for a factor of 2 at 44100 Hz, so that a filter nobody has tuned yet still
  // passes sound; owners set both frequencies anyway.
  ButterworthFilter() { compute_coefficients(); }

  void set_sampling_frequency(double frequency) {
    sampling_frequency = frequency;
    compute_coefficients();
  }

  void set_cutoff_frequency(double frequency) {
    cutoff_frequency = frequency;
    compute_coefficients();
  }

  double get_sampling_frequency() const { return sampling_frequency; }
  double get_cutoff_frequency() const { return cutoff_frequency; }
  // Oldest first: entry k weighs the sample order - k steps in the past.
  const double* get_coefficients_in() const { return coefficients_in; }
  const double* get_coefficients_out() const { return coefficients_out; }
  const double* get_input_history() const { return input_history; }
  const double* get_output_history() const { return output_history; }

  void process(const double* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const double* input, float* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, float* output, std::uint32_t count) override { run(input, output, count); }

  // One sample through the recursion, returned as the caller will write it. A float output feeds
  // the rounded value back, so the recursion follows what was written.
  template <typename Out>
  Out step(double input) {
    for (int k = 0; k < order; ++k) {
      input_history[k] = input_history[k + 1];
      output_history[k] = output_history[k + 1];
    }
    input_history[order] = input;
    double acc = input_history[0] * coefficients_in[0];
    for (int k = 1; k < size; ++k) acc += coefficients_in[k] * input_history[k];
    for (int k = 0; k < order; ++k) acc -= coefficients_out[k] * output_history[k];
    const Out written = static_cast<Out>(acc);
    output_history[order] = static_cast<double>(written);
    return written;
  }

 private:
  static constexpr double pi = 3.141592653589793;

  void compute_coefficients() {
    const double m = sampling_frequency / (cutoff_frequency * pi);
    const Polynomial p = {1.0, -1.0};  // 1 - z^-1
    const Polynomial q = {1.0, 1.0};   // 1 + z^-1
    for (int k = 0; k < size; ++k) {
      coefficients_in[k] = boost::math::binomial_coefficient<double>(order, static_cast<unsigned>(k));
    }
    Polynomial a = {1.0};
    const double m2 = m * m;
    const double two_m = m * 2.0;
    for (int i = 1; i <= order / 2; ++i) {
      const double theta = ((2.0 * i + order) - 1.0) * (1.0 / (2 * order)) * pi;
      Polynomial section = product(scaled(p, m2), p);
      subtract_from(section, product(scaled(p, std::cos(theta) * two_m), q));
      add_to(section, product(q, q));
      a = product(a, section);
    }
    for (int k = 0; k < size; ++k) coefficients_out[order - k] = a[k] / a[0];
    for (int k = 0; k < size; ++k) coefficients_in[k] = coefficients_in[k] / a[0];
  }

  // The block runs on a local copy: the output could alias the members, the copy cannot, so its
  // histories stay in registers and the fixed-size shifts become register moves.
  template <typename In, typename Out>
  void run(const In* input, Out* output, std::uint32_t count) {
    ButterworthFilter filter(*this);
    for (std::uint32_t n = 0; n < count; ++n) output[n] = filter.template step<Out>(static_cast<double>(input[n]));
    *this = filter;
  }

  double input_history[size] = {};   // oldest first; entry order is the current input
  double output_history[size] = {};  // oldest first; entry order is the output just written
  double sampling_frequency = 88200.0;
  double cutoff_frequency = 22000.0;
  double coefficients_in[size] = {};
  double coefficients_out[size] = {};
};

}  // namespace DSP
