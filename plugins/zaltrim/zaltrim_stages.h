// The types of the chain's stages at each factor, and what every pass through them shares; for
// the chain's own sources only.
#pragma once

#include <type_traits>

#include "butterworth_filter.h"
#include "decimation_filter.h"
#include "newton_raphson_optimizer.h"
#include "oversampling_6points_5order.h"
#include "oversampling_filter.h"
#include "zaltrim.h"

namespace zaltrim_stages {

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
void with_factor(int factor, Action&& action) {
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

// NaN passes unchanged: the solver already answers it with its clamp.
inline double limit_input(double sample) {
  if (sample > kInputLimit) sample = kInputLimit;
  if (sample < -kInputLimit) sample = -kInputLimit;
  return sample;
}

}  // namespace zaltrim_stages
