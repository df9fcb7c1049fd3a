// LaneVector: L doubles side by side with the arithmetic of one double, done lane by lane. A
// formula written for double, given LaneVectors, computes every lane with that double's very
// operations in the same order (each lane's result is the scalar one to the last bit), and the
// compiler turns each of them into vector instructions across the lanes.
#pragma once

#include <array>

namespace DSP {

template <int L>
struct LaneVector {
  std::array<double, L> lanes;

  friend LaneVector operator+(const LaneVector& a, const LaneVector& b) {
    LaneVector sum;
    for (int l = 0; l < L; ++l) sum.lanes[l] = a.lanes[l] + b.lanes[l];
    return sum;
  }
  friend LaneVector operator-(const LaneVector& a, const LaneVector& b) {
    LaneVector difference;
    for (int l = 0; l < L; ++l) difference.lanes[l] = a.lanes[l] - b.lanes[l];
    return difference;
  }
  friend LaneVector operator+(double a, const LaneVector& b) {
    LaneVector sum;
    for (int l = 0; l < L; ++l) sum.lanes[l] = a + b.lanes[l];
    return sum;
  }
  friend LaneVector operator*(double a, const LaneVector& b) {
    LaneVector product;
    for (int l = 0; l < L; ++l) product.lanes[l] = a * b.lanes[l];
    return product;
  }
};

}  // namespace DSP
