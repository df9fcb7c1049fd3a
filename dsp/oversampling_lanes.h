// OversamplingLanes: L copies of one OversamplingFilter run side by side. Each lane's history,
// polynomial and high-rate samples are that filter's own, computed with the same operations in
// the same order; the lanes sit next to each other in memory, so that every operation is one
// vector instruction across them.
#pragma once

#include <array>

#include "lane_vector.h"
#include "oversampling_filter.h"

namespace DSP {

template <int N, typename Interpolator, int L>
class OversamplingLanes {
 public:
  using Filter = OversamplingFilter<N, Interpolator>;
  using Lanes = std::array<double, L>;

  // Every lane starts as `filter`.
  explicit OversamplingLanes(const Filter& filter) : interpolator(filter) {
    for (int k = 0; k < points; ++k) history[k].lanes.fill(filter.get_history()[k]);
  }

  // One input sample of every lane: the histories advance, and the newest intervals' polynomials
  // become the ones that at() reads.
  void step(const Lanes& input) {
    for (int k = 0; k < points - 1; ++k) history[k] = history[k + 1];
    history[points - 1].lanes = input;
    interpolator.polynomial(history, coefficients);
  }

  // Every lane's polynomial at the j-th high-rate position, by Segment::at's Horner pass.
  void at(int j, Lanes& output) const {
    const double z = Filter::position(j);
    Lanes y = coefficients[order].lanes;
    for (int r = order - 1; r >= 0; --r)
      for (int l = 0; l < L; ++l) y[l] = y[l] * z + coefficients[r].lanes[l];
    output = y;
  }

 private:
  static constexpr int points = Interpolator::points;
  static constexpr int order = Interpolator::order;

  Interpolator interpolator;
  LaneVector<L> history[points];  // oldest first, as the filter's
  LaneVector<L> coefficients[order + 1];
};

}  // namespace DSP
