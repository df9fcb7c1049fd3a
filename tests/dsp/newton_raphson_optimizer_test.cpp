#include "newton_raphson_optimizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "allocation_counter.h"
#include "signals.h"
#include "zaltrim.h"

namespace {

using dsp_test::count_of;
using Circuit = DSP::Zaltrim<double>;
using Solver = DSP::NewtonRaphsonOptimizer<Circuit>;

constexpr double kDtAtFactorTwo = 1.0 / 88200.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The circuit with a count of its evaluations: each one is a Newton step.
struct CountingCircuit {
  explicit CountingCircuit(double dt, std::uint64_t* counter) : circuit(dt), steps(counter) {}
  double loop_term(double x_prev, double x, double y_prev) const { return circuit.loop_term(x_prev, x, y_prev); }
  Circuit::Evaluation evaluate(double term, double y) const {
    ++*steps;
    return circuit.evaluate(term, y);
  }
  Circuit circuit;
  std::uint64_t* steps;
};

// The iteration exactly as described, step by step, with no shortcut: every step evaluates the
// full equation, up to 10000 of them.
struct Literal {
  double y;
  std::uint32_t steps;
};

Literal literal_solve(const Circuit& circuit, double x_prev, double x, double y_prev) {
  double y = y_prev;
  std::uint32_t k = 0;
  for (std::uint32_t evaluations = 1;; ++evaluations) {
    const Circuit::Evaluation f = circuit.evaluate(x_prev, x, y_prev, y);
    if (std::fabs(f.derivative) < 2.220446049250313e-16) return {y, evaluations};
    const double y_new = y - f.value / f.derivative;
    if (std::fabs(y_new - y) < 1e-05) return {y_new, evaluations};
    k = k + 1;
    y = y_new;
    if (k == 10000) return {y, evaluations};
  }
}

double literal_clamp(double y) { return (y >= 1.0 || std::isnan(y)) ? 1.0 : (y <= -1.0 ? -1.0 : y); }

std::vector<double> run(Solver& solver, const std::vector<double>& input) {
  std::vector<double> output(input.size());
  solver.process(input.data(), output.data(), count_of(input));
  return output;
}

std::vector<double> run_from_rest(const std::vector<double>& input, double dt = kDtAtFactorTwo) {
  Solver solver{Circuit(dt)};
  return run(solver, input);
}

TEST(Zaltrim, ModelConstants) {
  const Circuit circuit(kDtAtFactorTwo);
  EXPECT_NEAR(circuit.A, 10257.68, 0.01);
  EXPECT_NEAR(circuit.B, -9742.32, 0.01);
  EXPECT_EQ(circuit.A, kDtAtFactorTwo * 22727272.72727273 + 10000.0);
  EXPECT_EQ(circuit.diodes.Is, 1e-12);
  EXPECT_EQ(circuit.diodes.Vt, 0.026);
}

TEST(Zaltrim, DiodeCurrentSignFollowsTheSignBit) {
  const Circuit::DiodePair diodes{1e-12, 0.026};
  EXPECT_EQ(diodes.current(0.0), 0.0);
  EXPECT_EQ(diodes.current(-0.0), 0.0);
  EXPECT_EQ(diodes.current(-0.3), -diodes.current(0.3));
  EXPECT_NEAR(diodes.current(0.5), 1e-12 * (std::exp(0.5 / 0.026) - 1.0), 1e-18);
  EXPECT_EQ(Circuit::DiodePair::sign(kNaN), 1.0);
  EXPECT_EQ(Circuit::DiodePair::sign(-kNaN), -1.0);
}

TEST(NewtonRaphsonOptimizer, SilenceFromRestIsExactZeros) {
  std::uint64_t steps = 0;
  DSP::NewtonRaphsonOptimizer<CountingCircuit> solver{CountingCircuit(kDtAtFactorTwo, &steps)};
  const std::vector<double> zeros(32, 0.0);
  std::vector<double> out(zeros.size(), 5.0);
  solver.process(zeros.data(), out.data(), count_of(zeros));
  for (double y : out) EXPECT_EQ(y, 0.0);
  EXPECT_EQ(steps, zeros.size()) << "one evaluation per sample, accepting the first estimate";
}

TEST(NewtonRaphsonOptimizer, UnitStepAtFactorTwo) {
  std::uint64_t steps = 0;
  DSP::NewtonRaphsonOptimizer<CountingCircuit> solver{CountingCircuit(kDtAtFactorTwo, &steps)};
  const double one = 1.0;
  double previous = 0.0;
  for (int n = 0; n < 8; ++n) {
    steps = 0;
    double y = 0.0;
    solver.process(&one, &y, 1);
    if (n == 0) {
      EXPECT_NEAR(y, 0.46, 0.005);
      EXPECT_EQ(steps, 26u);
    } else {
      EXPECT_LT(y, previous) << "decaying, sample " << n;
      EXPECT_GT(y, 0.44) << "slowly, sample " << n;
      EXPECT_EQ(steps, 3u) << "sample " << n;
    }
    previous = y;
  }
  const double zero = 0.0;
  double back = 0.0;
  solver.process(&zero, &back, 1);
  EXPECT_NEAR(back, -0.18, 0.005) << "the charged capacitor pulls the output below zero";
}

TEST(NewtonRaphsonOptimizer, JumpsFromRest) {
  std::uint64_t steps = 0;
  DSP::NewtonRaphsonOptimizer<CountingCircuit> loud{CountingCircuit(kDtAtFactorTwo, &steps)};
  const double ten = 10.0;
  double y = 0.0;
  loud.process(&ten, &y, 1);
  EXPECT_NEAR(y, 0.54, 0.005);
  EXPECT_GT(steps, 200u);
  EXPECT_LT(steps, 1000u);

  const std::vector<double> quiet = run_from_rest(std::vector<double>(64, 0.1));
  for (double q : quiet) EXPECT_NEAR(q, 0.1, 1e-4) << "the diodes barely conduct";
}

TEST(NewtonRaphsonOptimizer, SinePeaksDoNotDependOnTheFactor) {
  struct Case {
    double amplitude;
    double peak;
    double tolerance;
  };
  const Case cases[] = {{0.1, 0.1, 1e-4}, {0.5, 0.41, 0.005}, {1.0, 0.46, 0.005}, {10.0, 0.53, 0.005}};
  for (const int factor : {2, 32}) {
    const double rate = 44100.0 * factor;
    for (const Case& c : cases) {
      const std::vector<double> out =
          run_from_rest(dsp_test::sine(441 * factor, 1000.0, rate, c.amplitude), (1.0 / 44100.0) / factor);
      // The last five periods, after the capacitor has settled.
      const auto settled = out.begin() + 221 * factor;
      const double high = *std::max_element(settled, out.end());
      const double low = *std::min_element(settled, out.end());
      EXPECT_NEAR(high, c.peak, c.tolerance) << "amplitude " << c.amplitude << ", factor " << factor;
      EXPECT_NEAR(low, -c.peak, c.tolerance) << "amplitude " << c.amplitude << ", factor " << factor;
    }
  }
}

TEST(NewtonRaphsonOptimizer, OddSymmetricBoundedAndFinite) {
  for (const double amplitude : {0.01, 0.3, 3.0, 30.0, 300.0}) {
    const std::vector<double> input = dsp_test::sine(2000, 3000.0, 88200.0, amplitude);
    std::vector<double> negated(input.size());
    std::transform(input.begin(), input.end(), negated.begin(), [](double x) { return -x; });
    const std::vector<double> out = run_from_rest(input);
    const std::vector<double> mirrored = run_from_rest(negated);
    for (std::size_t n = 0; n < out.size(); ++n) {
      ASSERT_TRUE(std::isfinite(out[n])) << "amplitude " << amplitude << ", sample " << n;
      ASSERT_LE(std::fabs(out[n]), 1.0) << "amplitude " << amplitude << ", sample " << n;
      ASSERT_EQ(mirrored[n], -out[n]) << "amplitude " << amplitude << ", sample " << n;
    }
  }
}

TEST(NewtonRaphsonOptimizer, NaNGivesPlusOneTwiceThenRecovers) {
  const Circuit circuit(kDtAtFactorTwo);
  EXPECT_EQ(literal_solve(circuit, 0.0, kNaN, 0.0).steps, 10000u) << "the iteration itself runs to the cap";

  const std::vector<double> out = run_from_rest({0.2, kNaN, 0.2, 0.2, 0.2});
  EXPECT_EQ(out[1], 1.0);
  EXPECT_EQ(out[2], 1.0) << "its previous input is NaN";
  EXPECT_LT(out[3], 1.0);
  EXPECT_GT(out[3], -1.0);
  EXPECT_TRUE(std::isfinite(out[4]));
}

TEST(NewtonRaphsonOptimizer, SameResultsAsTheStepByStepIteration) {
  // Non-finite inputs (which end the literal iteration at +1 after 10000 steps), jumps just short
  // of the exponential's range and ordinary audio, with the literal iteration carried along
  // sample by sample as the reference.
  std::vector<double> input = {0.0,  kNaN, -kNaN, 0.5,  kInfinity, 0.0,     -kInfinity, -0.5, 18.0,
                               -0.4, 18.0, 0.0,   -0.0, 1e-300,    -1e-300, kNaN,       2.0,  -2.0};
  const std::vector<double> audio = dsp_test::noise(200, 4.0);
  input.insert(input.end(), audio.begin(), audio.end());

  const Circuit circuit(kDtAtFactorTwo);
  Solver solver{circuit};
  const std::vector<double> out = run(solver, input);
  double x_prev = 0.0;
  double y_prev = 0.0;
  for (std::size_t n = 0; n < input.size(); ++n) {
    const double expected = literal_clamp(literal_solve(circuit, x_prev, input[n], y_prev).y);
    ASSERT_EQ(out[n], expected) << "sample " << n << ", input " << input[n];
    ASSERT_EQ(std::signbit(out[n]), std::signbit(expected)) << "sample " << n;
    x_prev = input[n];
    y_prev = expected;
  }
}

TEST(NewtonRaphsonOptimizer, JumpsBeyondTheExponentialsRangeKeepTheirSign) {
  const Circuit circuit(kDtAtFactorTwo);
  EXPECT_EQ(literal_clamp(literal_solve(circuit, 0.0, -100.0, 0.0).y), 1.0) << "what the bare iteration gives";
  for (const double jump : {30.0, 100.0, 1e4}) {
    std::uint64_t steps = 0;
    DSP::NewtonRaphsonOptimizer<CountingCircuit> solver{CountingCircuit(kDtAtFactorTwo, &steps)};
    const double x[2] = {jump, -jump};
    double y[2];
    solver.process(x, y, 2);
    // From rest the diodes carry (x - y) / A: y = Vt ln(1 + (x - y) / (A Is)), by fixed point.
    double settled = 0.5;
    for (int i = 0; i < 20; ++i) settled = 0.026 * std::log1p((jump - settled) / (circuit.A * 1e-12));
    EXPECT_NEAR(y[0], settled, 1e-4) << "jump " << jump;
    EXPECT_LT(y[1], -0.5) << "jump " << jump;
    EXPECT_LT(steps, 3000u) << "jump " << jump;
    const std::vector<double> mirrored = run_from_rest({-jump, jump});
    EXPECT_EQ(mirrored[0], -y[0]) << "jump " << jump;
    EXPECT_EQ(mirrored[1], -y[1]) << "jump " << jump;
  }
}

TEST(NewtonRaphsonOptimizer, FloatOutputClampsAndKeepsTheRoundedValue) {
  Solver solver{Circuit(kDtAtFactorTwo)};
  const double nan_input = kNaN;
  float y = 0.0f;
  solver.process(&nan_input, &y, 1);
  EXPECT_EQ(y, 1.0f);
  EXPECT_EQ(solver.get_previous_output(), 1.0);

  const float x[3] = {0.3f, 0.3f, 0.1f};
  float out[3];
  solver.process(x, out, 3);
  EXPECT_EQ(solver.get_previous_input(), static_cast<double>(0.1f));
  EXPECT_EQ(solver.get_previous_output(), static_cast<double>(out[2]));

  // The float-output recursion follows the rounded values, which a double-output run does not.
  const std::vector<double> input = dsp_test::noise(300, 2.0);
  Solver rounded{Circuit(kDtAtFactorTwo)};
  std::vector<float> narrow(input.size());
  rounded.process(input.data(), narrow.data(), count_of(input));
  double x_prev = 0.0;
  double y_prev = 0.0;
  const Circuit circuit(kDtAtFactorTwo);
  for (std::size_t n = 0; n < input.size(); ++n) {
    const float expected = static_cast<float>(literal_solve(circuit, x_prev, input[n], y_prev).y);
    ASSERT_EQ(narrow[n], expected) << "sample " << n;
    x_prev = input[n];
    y_prev = static_cast<double>(expected);
  }
}

// The chain steps the solver one sample at a time, through jumps, non-finite samples and audio.
TEST(NewtonRaphsonOptimizer, StepsAsTheBlockFormsDo) {
  std::vector<double> input = {0.5, kNaN, 0.2, 30.0, -30.0, kInfinity, 0.0, -0.0, 1e-300};
  const std::vector<double> audio = dsp_test::noise(300, 4.0);
  input.insert(input.end(), audio.begin(), audio.end());

  Solver block{Circuit(kDtAtFactorTwo)};
  Solver stepped{Circuit(kDtAtFactorTwo)};
  const std::vector<double> reference = run(block, input);
  for (std::size_t n = 0; n < input.size(); ++n) {
    const double y = stepped.step<double>(input[n]);
    ASSERT_EQ(y, reference[n]) << "sample " << n;
    ASSERT_EQ(std::signbit(y), std::signbit(reference[n])) << "sample " << n;
  }
  EXPECT_EQ(stepped.get_previous_input(), block.get_previous_input());
  EXPECT_EQ(stepped.get_previous_output(), block.get_previous_output());

  // A float output is clamped after rounding, and the next sample starts from the rounded value.
  Solver block_float{Circuit(kDtAtFactorTwo)};
  Solver stepped_float{Circuit(kDtAtFactorTwo)};
  std::vector<float> narrow(input.size());
  block_float.process(input.data(), narrow.data(), count_of(input));
  for (std::size_t n = 0; n < input.size(); ++n) ASSERT_EQ(stepped_float.step<float>(input[n]), narrow[n]) << n;
  EXPECT_EQ(stepped_float.get_previous_output(), block_float.get_previous_output());
}

TEST(NewtonRaphsonOptimizer, FloatInputIsWidenedAndBlocksJoin) {
  const std::vector<float> single = dsp_test::to_float(dsp_test::noise(256, 3.0));
  const std::vector<double> reference = run_from_rest(dsp_test::to_double(single));

  Solver solver{Circuit(kDtAtFactorTwo)};
  std::vector<double> out(single.size(), 0.0);
  const dsp_test::AllocationCounter allocations;
  solver.process(single.data(), out.data(), 100);
  solver.process(single.data() + 100, out.data() + 100, 0);
  EXPECT_EQ(solver.get_previous_input(), static_cast<double>(single[99])) << "a count of 0 changes nothing";
  solver.process(single.data() + 100, out.data() + 100, 156);
  EXPECT_EQ(allocations.count(), 0u);
  EXPECT_EQ(out, reference);

  Solver narrowing{Circuit(kDtAtFactorTwo)};
  std::vector<float> both_float(single.size());
  narrowing.process(single.data(), both_float.data(), count_of(single));
  Solver widened{Circuit(kDtAtFactorTwo)};
  const std::vector<double> wide = dsp_test::to_double(single);
  std::vector<float> double_in(single.size());
  widened.process(wide.data(), double_in.data(), count_of(wide));
  EXPECT_EQ(both_float, double_in);
}

}  // namespace
