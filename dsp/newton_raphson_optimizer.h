// NewtonRaphsonOptimizer: solves the model's implicit equation F(x_prev, x, y_prev, y) = 0 for
// the output y of every sample by Newton-Raphson, y <- y - F(y) / F'(y), starting from the
// previous output. Samples are in the model's units (volts for the overdrive circuit). The model
// supplies loop_term(x_prev, x, y_prev), the part of F fixed within a sample, computed once, and
// evaluate(term, y), giving F and F' at an estimate.
//
// A sample stops when a step is smaller than 1e-5 (absolute), when |F'| falls below the double
// epsilon, or after 10000 steps, and the result is clamped to [-1, +1] (NaN gives +1). The only
// state is the previous input and the previous written output.
// Trade-off: starting from the previous output makes typical audio converge in a few steps, and
// a fixed absolute tolerance keeps the cost bounded and the result the same on every build; a
// non-finite estimate can never come back (NaN is absorbing, and infinity turns into NaN on the
// next step), so the iteration stops there with the result the remaining steps would give (+1).
// A finite input whose first step lands beyond the exponential's range (a jump of more than
// about 18.4 in one sample) is not such a case: the overshoot is halved until the model is finite
// again, and the sample converges to its true, sign-correct solution.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "mono_filter.h"

namespace DSP {

template <typename Model>
class NewtonRaphsonOptimizer final : public MonoFilter<double> {
 public:
  static constexpr double tolerance = 1e-05;
  static constexpr double derivative_floor = 2.220446049250313e-16;
  static constexpr std::uint32_t max_steps = 10000;

  // One sample's iteration, a Newton step at a time, so that a caller can interleave the
  // iterations of independent channels; every solver of this model steps through it.
  struct Iteration {
    Iteration(const Model& model, double previous_input, double x, double previous_output)
        : term(model.loop_term(previous_input, x, previous_output)),
          y(previous_output),
          y_evaluable(previous_output) {}

    // One step; true once the sample is solved, its unclamped solution then in y.
    bool advance(const Model& model) {
      const auto f = model.evaluate(term, y);
      double y_new;
      if (std::isinf(f.derivative)) {
        // A step overshot the range of the exponential. Newton's next step would be NaN and end
        // the sample at +1 whatever the input's sign; halve the overshoot instead and go on.
        y_new = y_evaluable + (y - y_evaluable) * 0.5;
      } else {
        if (std::fabs(f.derivative) < derivative_floor) return true;
        y_evaluable = y;
        y_new = y - f.value / f.derivative;
        if (std::fabs(y_new - y) < tolerance) {
          y = y_new;
          return true;
        }
      }
      y = y_new;
      if (++steps == max_steps) return true;
      if (std::isfinite(y)) return false;
      y = std::numeric_limits<double>::quiet_NaN();
      return true;
    }

    double term;  // the part of F fixed within the sample
    double y;
    double y_evaluable;  // the last estimate at which the model stayed finite
    std::uint32_t steps = 0;
  };

  explicit NewtonRaphsonOptimizer(const Model& circuit) : model(circuit) {}

  const Model& get_model() const { return model; }
  double get_previous_input() const { return x_prev; }
  double get_previous_output() const { return y_prev; }

  // The written output of a solution: clamped to [-1, +1], NaN to +1.
  static double clamp(double y) {
    if (y >= 1.0 || std::isnan(y)) return 1.0;
    if (y <= -1.0) return -1.0;
    return y;
  }

  void process(const double* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, double* output, std::uint32_t count) override { run(input, output, count); }
  void process(const double* input, float* output, std::uint32_t count) override { run(input, output, count); }
  void process(const float* input, float* output, std::uint32_t count) override { run(input, output, count); }

  // One sample: the clamped solution, as the caller will write it. The next sample starts from
  // what was written, rounded for a float output.
  template <typename Out>
  Out step(double x) {
    const Out written = clamp(static_cast<Out>(solve(x_prev, x, y_prev)));
    x_prev = x;
    y_prev = static_cast<double>(written);
    return written;
  }

 private:
  // The unclamped solution for input x, from the given previous input and output.
  double solve(double previous_input, double x, double previous_output) const {
    Iteration iteration(model, previous_input, x, previous_output);
    while (!iteration.advance(model)) {
    }
    return iteration.y;
  }

  static float clamp(float y) {
    if (y >= 1.0f || std::isnan(y)) return 1.0f;
    if (y <= -1.0f) return -1.0f;
    return y;
  }

  // The block runs on a local copy: the output could alias the members, the copy cannot, so the
  // model's constants and the state stay in registers.
  template <typename In, typename Out>
  void run(const In* input, Out* output, std::uint32_t count) {
    NewtonRaphsonOptimizer solver(*this);
    for (std::uint32_t n = 0; n < count; ++n) output[n] = solver.template step<Out>(static_cast<double>(input[n]));
    *this = solver;
  }

  Model model;
  double x_prev = 0.0;  // the input of the preceding sample
  double y_prev = 0.0;  // the output last written, after clamping (and rounding, for float output)
};

}  // namespace DSP
