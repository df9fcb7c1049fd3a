// ButterworthLanes: L copies of one ButterworthFilter<double, order> run side by side. Each lane
// does the filter's own arithmetic in the filter's own order, so it gives that filter's output to
// the last bit; only the memory layout differs. A history entry holds all lanes next to each
// other, so every multiply and add of the recursion is one vector operation across the lanes, and
// the lanes' long chains of dependent additions run in the same registers instead of one after
// the other.
#pragma once

#include <array>

#include "butterworth_filter.h"

namespace DSP {

template <int order, int L>
class ButterworthLanes {
 public:
  using Filter = ButterworthFilter<double, order>;
  using Lanes = std::array<double, L>;
  static constexpr int size = Filter::size;

  // Every lane starts as `filter`: its coefficients and its histories.
  explicit ButterworthLanes(const Filter& filter) {
    for (int k = 0; k < size; ++k) {
      coefficients_in[k] = filter.get_coefficients_in()[k];
      coefficients_out[k] = filter.get_coefficients_out()[k];
      input_history[k].fill(filter.get_input_history()[k]);
      output_history[k].fill(filter.get_output_history()[k]);
    }
  }

  // One sample of every lane: what Filter::step<double> gives for each lane's input.
  void step(const Lanes& input, Lanes& output) {
    for (int k = 0; k < order; ++k) {
      input_history[k] = input_history[k + 1];
      output_history[k] = output_history[k + 1];
    }
    input_history[order] = input;
    Lanes acc;
    for (int l = 0; l < L; ++l) acc[l] = input_history[0][l] * coefficients_in[0];
    for (int k = 1; k < size; ++k)
      for (int l = 0; l < L; ++l) acc[l] += coefficients_in[k] * input_history[k][l];
    for (int k = 0; k < order; ++k)
      for (int l = 0; l < L; ++l) acc[l] -= coefficients_out[k] * output_history[k][l];
    output_history[order] = acc;
    output = acc;
  }

 private:
  double coefficients_in[size];
  double coefficients_out[size];
  Lanes input_history[size];  // oldest first, as the filter's
  Lanes output_history[size];
};

}  // namespace DSP
