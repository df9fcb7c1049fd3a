// Oversampling6points5order: the 6-point, 5th-order polynomial interpolator for audio that is
// already oversampled by 2, in its even/odd form, centred on the middle of the interval.
//
// From the six newest samples h[0..5] (oldest first) it forms e_k = h[2+k] + h[3-k] and
// o_k = h[2+k] - h[3-k] (k = 1..3, paired around the centre) and the polynomial coefficients
//   c_r = K[r][0]*e1 + K[r][1]*e2 + K[r][2]*e3   (r even)
//   c_r = K[r][0]*o1 + K[r][1]*o2 + K[r][2]*o3   (r odd)
// of y(z) = sum c_r z^r, with z in [-0.5, 0.5) spanning h[2] .. h[3] (unitless, in input samples).
// Trade-off: the polynomial is not forced through the samples; it is optimised for flat response
// and low aliasing, so it softly rolls off the top of the band (-3 dB near 0.16 of the input rate)
// instead of needing a separate anti-imaging filter.
#pragma once

namespace DSP {

template <typename T>
class Oversampling6points5order;

template <>
class Oversampling6points5order<double> {
 public:
  static constexpr int points = 6;
  static constexpr int order = 5;

  Oversampling6points5order()
      : coefficients{0.40513396007145713,  0.09251794438424393,  0.0023480660357067,   //
                     0.2834280633890669,   0.217032770240549,    0.01309294748731515,  //
                     -0.19133768254035194, 0.16187844487943592,  0.02946017143111912,  //
                     -0.16471626390554542, -0.00154547203542499, 0.03399271444851909,  //
                     0.03845798729588149,  -0.05712936104242644, 0.0186675092992107,   //
                     0.04317950185225609,  -0.01802814255926417, 0.00152170021558204} {}

  // The six polynomial coefficients c0..c5 for the history h (oldest first). Each sum starts
  // from 0.0 and runs left to right, so results are the same on every build. V is double, or a
  // type that does double's arithmetic for several channels at once.
  template <typename V>
  void polynomial(const V (&h)[points], V (&c)[order + 1]) const {
    const V even[3] = {h[3] + h[2], h[4] + h[1], h[5] + h[0]};
    const V odd[3] = {h[3] - h[2], h[4] - h[1], h[5] - h[0]};
    for (int r = 0; r <= order; ++r) {
      const V* terms = (r % 2 == 0) ? even : odd;
      const double* k = coefficients + 3 * r;
      c[r] = 0.0 + k[0] * terms[0] + k[1] * terms[1] + k[2] * terms[2];
    }
  }

  // Rows of three weights, row r giving c_r; copied into each instance so that an instance reads
  // only its own memory.
  double coefficients[18];
};

}  // namespace DSP
