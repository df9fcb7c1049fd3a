#include "butterworth_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "signals.h"

namespace {

using dsp_test::count_of;
using Lowpass = DSP::ButterworthFilter<double, 8>;

Lowpass designed(double sampling_frequency, double cutoff_frequency = 22000.0) {
  Lowpass filter;
  filter.set_sampling_frequency(sampling_frequency);
  filter.set_cutoff_frequency(cutoff_frequency);
  return filter;
}

std::vector<double> run(Lowpass& filter, const std::vector<double>& input) {
  std::vector<double> output(input.size());
  filter.process(input.data(), output.data(), count_of(input));
  return output;
}

// Magnitude in dB of the designed transfer function at frequency f, from its coefficients.
double response_db(const Lowpass& filter, double f) {
  const double omega = 2.0 * 3.141592653589793 * f / filter.get_sampling_frequency();
  std::complex<double> numerator = 0.0;
  std::complex<double> denominator = 0.0;
  for (int k = 0; k < Lowpass::size; ++k) {
    const std::complex<double> delay = std::polar(1.0, -omega * (8 - k));
    numerator += filter.get_coefficients_in()[k] * delay;
    denominator += filter.get_coefficients_out()[k] * delay;
  }
  return 20.0 * std::log10(std::abs(numerator / denominator));
}

TEST(ButterworthFilter, DesignAtTwiceTheHostRate) {
  const Lowpass filter = designed(88200.0);
  const double* b = filter.get_coefficients_in();
  const double* a = filter.get_coefficients_out();
  const double binomial[9] = {1, 8, 28, 56, 70, 56, 28, 8, 1};
  const double a0 = 1.0 / b[0];  // A[0], the product of the sections' constant terms
  EXPECT_NEAR(a0, 308.0, 1.0);
  const double m = 88200.0 / (22000.0 * 3.141592653589793);
  EXPECT_NEAR(m, 1.28, 0.01);
  for (int k = 0; k < 9; ++k) {
    EXPECT_NEAR(b[k] * a0, binomial[k], 1e-12) << "numerator entry " << k;
    EXPECT_EQ(b[k], b[8 - k]) << "the numerator is symmetric, entry " << k;
  }
  EXPECT_NEAR(b[4], 0.227, 0.0005);
  EXPECT_EQ(a[8], 1.0);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(a[k] < 0.0, k % 2 == 1) << "the feedback signs alternate, entry " << k;
  }
  double numerator_sum = 0.0;
  double denominator_sum = 0.0;
  for (int k = 0; k < 9; ++k) {
    numerator_sum += b[k];
    denominator_sum += a[k];
  }
  EXPECT_NEAR(numerator_sum, denominator_sum, 1e-15) << "unity gain at DC";
}

TEST(ButterworthFilter, ResponseWithoutPrewarping) {
  const Lowpass filter = designed(88200.0);
  // -3 dB at (fs/pi) atan(pi fc / fs), not at fc.
  const double corner = 88200.0 / 3.141592653589793 * std::atan(3.141592653589793 * 22000.0 / 88200.0);
  EXPECT_NEAR(corner, 18700.0, 100.0);
  EXPECT_NEAR(response_db(filter, 10.0), 0.0, 1e-9) << "pass band";
  EXPECT_NEAR(response_db(filter, corner), -3.0103, 0.01) << "corner";
  EXPECT_NEAR(response_db(filter, 22000.0), -16.8, 0.1) << "design cutoff";
  EXPECT_LT(response_db(filter, 40000.0), -80.0) << "stop band";
  // At a high rate the corner approaches the design cutoff.
  const Lowpass fast = designed(32 * 44100.0);
  EXPECT_NEAR(response_db(fast, 22000.0), -3.0103, 0.05);
}

TEST(ButterworthFilter, ImpulseEntersNewestWeightFirst) {
  Lowpass filter = designed(88200.0);
  std::vector<double> impulse(5, 0.0);
  impulse[0] = 1.0;
  const std::vector<double> out = run(filter, impulse);
  EXPECT_EQ(out[0], filter.get_coefficients_in()[8]);
  EXPECT_NEAR(out[0], 0.0032, 0.0001);
  EXPECT_NEAR(out[1], 0.030, 0.001);
  EXPECT_NEAR(out[2], 0.12, 0.005);
  EXPECT_NEAR(out[3], 0.28, 0.005);
}

TEST(ButterworthFilter, StepSettlesToUnity) {
  Lowpass filter = designed(88200.0);
  const std::vector<double> out = run(filter, std::vector<double>(4000, 1.0));
  EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 1.19, 0.005) << "overshoot";
  for (std::size_t n = 1000; n < out.size(); ++n) ASSERT_NEAR(out[n], 1.0, 1e-15) << "sample " << n;
}

TEST(ButterworthFilter, AtThirtyTwoTimesTheRateUnityIsMissedByRounding) {
  // The pipeline forms the rate in single precision.
  Lowpass filter = designed(static_cast<double>(32.0f * 44100.0f));
  EXPECT_LT(filter.get_coefficients_in()[0], 1e-10) << "numerator terms of the order of 1e-11";
  const std::vector<double> out = run(filter, std::vector<double>(100000, 1.0));
  const double shortfall = 1.0 - out.back();
  EXPECT_GT(shortfall, 2e-7);
  EXPECT_LT(shortfall, 5e-6);
}

TEST(ButterworthFilter, SplitBlocksAndFloatForms) {
  const std::vector<float> input = dsp_test::to_float(dsp_test::noise(301));
  const std::vector<double> widened = dsp_test::to_double(input);
  Lowpass whole = designed(176400.0);
  const std::vector<double> reference = run(whole, widened);

  Lowpass split = designed(176400.0);
  std::vector<double> pieces(widened.size());
  split.process(input.data(), pieces.data(), 100);
  split.process(input.data() + 100, pieces.data() + 100, 0);
  split.process(input.data() + 100, pieces.data() + 100, 201);
  EXPECT_EQ(pieces, reference) << "float in, double out, in pieces";

  // Float output feeds its rounded values back, so compare with a recursion that does the same.
  Lowpass rounded = designed(176400.0);
  std::vector<float> out(input.size());
  rounded.process(input.data(), out.data(), count_of(input));
  for (int k = 0; k < Lowpass::size; ++k) {
    const double kept = rounded.get_output_history()[k];
    EXPECT_EQ(kept, static_cast<double>(static_cast<float>(kept))) << "history entry " << k;
  }
  EXPECT_EQ(static_cast<double>(out.back()), rounded.get_output_history()[8]);
  Lowpass rounded_from_double = designed(176400.0);
  std::vector<float> out_from_double(input.size());
  rounded_from_double.process(widened.data(), out_from_double.data(), count_of(widened));
  EXPECT_EQ(out_from_double, out);
  for (std::size_t n = 0; n < out.size(); ++n) ASSERT_NEAR(out[n], reference[n], 1e-5) << "sample " << n;
}

// The chain steps the filter one sample at a time; it must match both output forms, and leave
// the histories where the block would, so that blocks and steps can follow one another.
TEST(ButterworthFilter, StepsAsTheBlockFormsDo) {
  const std::vector<double> input = dsp_test::noise(301, 3.0);
  const std::vector<double> more = dsp_test::noise(40, 3.0, 777);
  Lowpass block = designed(176400.0);
  Lowpass stepped = designed(176400.0);
  const std::vector<double> reference = run(block, input);
  for (std::size_t n = 0; n < input.size(); ++n) ASSERT_EQ(stepped.step<double>(input[n]), reference[n]) << n;
  EXPECT_EQ(run(stepped, more), run(block, more)) << "the histories continue alike";

  Lowpass block_float = designed(176400.0);
  Lowpass stepped_float = designed(176400.0);
  std::vector<float> rounded(input.size());
  block_float.process(input.data(), rounded.data(), count_of(input));
  for (std::size_t n = 0; n < input.size(); ++n) ASSERT_EQ(stepped_float.step<float>(input[n]), rounded[n]) << n;
  for (int k = 0; k < Lowpass::size; ++k)
    EXPECT_EQ(stepped_float.get_output_history()[k], block_float.get_output_history()[k]) << "entry " << k;
}

TEST(ButterworthFilter, ZeroCountLeavesEverythingAlone) {
  Lowpass filter = designed(88200.0);
  const std::vector<double> input = dsp_test::noise(16);
  run(filter, input);
  const Lowpass before = filter;
  double output = 7.0;
  filter.process(input.data(), &output, 0);
  EXPECT_EQ(output, 7.0);
  Lowpass continued = before;
  EXPECT_EQ(run(filter, input), run(continued, input));
}

}  // namespace
