#include "oversampling_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "allocation_counter.h"
#include "oversampling_6points_5order.h"
#include "signals.h"

namespace {

using dsp_test::count_of;
using Table = DSP::Oversampling6points5order<double>;

template <int N>
using Upsampler = DSP::OversamplingFilter<N, Table>;

template <int N>
std::vector<double> upsample(const std::vector<double>& input) {
  Upsampler<N> filter;
  std::vector<double> output(input.size() * N);
  filter.process(input.data(), output.data(), count_of(input));
  return output;
}

TEST(Oversampling6points5order, HoldsTheTableRowByRow) {
  const Table table;
  EXPECT_EQ(table.coefficients[0], 0.40513396007145713);
  EXPECT_EQ(table.coefficients[5], 0.01309294748731515);
  EXPECT_EQ(table.coefficients[9], -0.16471626390554542);
  EXPECT_EQ(table.coefficients[17], 0.00152170021558204);
}

TEST(OversamplingFilter, ImpulseResponseAtFactorTwo) {
  std::vector<double> impulse(10, 0.0);
  impulse[0] = 1.0;
  const std::vector<double> out = upsample<2>(impulse);
  const Table table;
  const double* row0 = table.coefficients;
  // At z = 0 the polynomial is c0 alone, so the impulse walks through the even weights of row 0.
  const double expected_centre[6] = {row0[2], row0[1], row0[0], row0[0], row0[1], row0[2]};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(out[2 * i + 1], expected_centre[i]) << "input sample " << i;
  EXPECT_NEAR(out[0], 4e-05, 1e-05);
  EXPECT_NEAR(out[6], 0.48, 0.005);
  for (int i = 1; i < 4; ++i) EXPECT_GT(out[2 * i], out[2 * (i - 1)]) << "rising at input sample " << i;
  for (int i = 4; i < 6; ++i) EXPECT_LT(out[2 * i], out[2 * (i - 1)]) << "falling at input sample " << i;
  for (std::size_t k = 12; k < out.size(); ++k) EXPECT_EQ(out[k], 0.0) << "output " << k;
}

TEST(OversamplingFilter, ConstantInputMissesOneByPositionDependentAmounts) {
  const std::vector<double> ones(12, 1.0);
  const std::vector<double> by2 = upsample<2>(ones);
  for (std::size_t k = 5 * 2; k < by2.size(); ++k) {
    EXPECT_LT(by2[k], 1.0) << "N = 2, output " << k;
    EXPECT_GT(by2[k], 1.0 - 1e-7) << "N = 2, output " << k;
  }
  const std::vector<double> by4 = upsample<4>(ones);
  for (std::size_t k = 5 * 4; k < by4.size(); ++k) {
    EXPECT_LT(std::fabs(by4[k] - 1.0), 1e-7) << "N = 4, output " << k;
    // Positions z = -0.25 and z = 0.25 are phases 1 and 3; z = -0.5 and z = 0 lie below one.
    if (k % 2 == 1) {
      EXPECT_GT(by4[k], 1.0) << "N = 4, output " << k;
    } else {
      EXPECT_LT(by4[k], 1.0) << "N = 4, output " << k;
    }
  }
}

template <typename T>
class OversamplingFactor : public ::testing::Test {};

template <int N>
struct Factor {
  static constexpr int value = N;
};
using Factors = ::testing::Types<Factor<2>, Factor<4>, Factor<8>, Factor<16>, Factor<32>>;
TYPED_TEST_SUITE(OversamplingFactor, Factors);

TYPED_TEST(OversamplingFactor, SplitBlocksEqualOneCall) {
  constexpr int N = TypeParam::value;
  const std::vector<double> input = dsp_test::noise(203);
  const std::vector<double> whole = upsample<N>(input);
  Upsampler<N> filter;
  std::vector<double> pieces(whole.size());
  const std::uint32_t splits[] = {0, 1, 7, 0, 64, 2, 129};
  std::uint32_t at = 0;
  for (std::uint32_t length : splits) {
    filter.process(input.data() + at, pieces.data() + std::size_t{at} * N, length);
    at += length;
  }
  ASSERT_EQ(at, input.size());
  EXPECT_EQ(pieces, whole);
}

// The chain takes one input sample's polynomial and reads it at each position as it goes.
TYPED_TEST(OversamplingFactor, EachStepGivesTheGroupOfItsInputSample) {
  constexpr int N = TypeParam::value;
  const std::vector<double> input = dsp_test::noise(60);
  const std::vector<double> whole = upsample<N>(input);
  Upsampler<N> stepped;
  for (std::size_t i = 0; i + 10 < input.size(); ++i) {
    const auto segment = stepped.step(input[i]);
    for (int j = 0; j < N; ++j) ASSERT_EQ(segment.at(j), whole[i * N + j]) << "input " << i << ", position " << j;
  }
  std::vector<double> rest(10 * N);
  stepped.process(input.data() + input.size() - 10, rest.data(), 10);
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), whole.end() - 10 * N)) << "the history continues alike";
}

TYPED_TEST(OversamplingFactor, FloatFormsRoundTheDoubleResults) {
  constexpr int N = TypeParam::value;
  const std::vector<float> input = dsp_test::to_float(dsp_test::noise(97));
  const std::vector<double> reference = upsample<N>(dsp_test::to_double(input));
  std::vector<float> rounded(reference.size());
  for (std::size_t k = 0; k < reference.size(); ++k) rounded[k] = static_cast<float>(reference[k]);

  Upsampler<N> float_to_float;
  std::vector<float> ff(reference.size());
  float_to_float.process(input.data(), ff.data(), count_of(input));
  EXPECT_EQ(ff, rounded);

  Upsampler<N> float_to_double;
  std::vector<double> fd(reference.size());
  float_to_double.process(input.data(), fd.data(), count_of(input));
  EXPECT_EQ(fd, reference);

  Upsampler<N> double_to_float;
  const std::vector<double> widened = dsp_test::to_double(input);
  std::vector<float> df(reference.size());
  double_to_float.process(widened.data(), df.data(), count_of(widened));
  EXPECT_EQ(df, rounded);
}

TYPED_TEST(OversamplingFactor, WritesExactlyCountTimesNAndAllocatesNothing) {
  constexpr int N = TypeParam::value;
  const std::vector<double> input = dsp_test::noise(9);
  const double sentinel = 12345.0;
  std::vector<double> output(input.size() * N + 4, sentinel);
  Upsampler<N> filter;
  const dsp_test::AllocationCounter allocations;
  filter.process(input.data(), output.data(), 0);
  EXPECT_EQ(output[0], sentinel) << "a count of 0 writes nothing";
  filter.process(input.data(), output.data(), count_of(input));
  EXPECT_EQ(allocations.count(), 0u);
  for (std::size_t k = input.size() * N; k < output.size(); ++k) EXPECT_EQ(output[k], sentinel) << "index " << k;
  EXPECT_NE(output[input.size() * N - 1], sentinel);
  // The empty call left the history alone: the result is that of a single call.
  output.resize(input.size() * N);
  EXPECT_EQ(output, upsample<N>(input));
}

}  // namespace
