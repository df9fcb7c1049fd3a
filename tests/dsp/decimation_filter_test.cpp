#include "decimation_filter.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "allocation_counter.h"
#include "butterworth_filter.h"
#include "signals.h"

namespace {

using dsp_test::count_of;
using Lowpass = DSP::ButterworthFilter<double, 8>;

template <int N>
using Decimator = DSP::DecimationFilter<N, Lowpass>;

template <int N>
void tune(Decimator<N>& decimator) {
  decimator.set_sampling_frequency(static_cast<double>(static_cast<float>(N) * 44100.0f));
  decimator.set_cutoff_frequency(22000.0);
}

Lowpass reference_filter(double sampling_frequency) {
  Lowpass filter;
  filter.set_sampling_frequency(sampling_frequency);
  filter.set_cutoff_frequency(22000.0);
  return filter;
}

TEST(DecimationFilter, KeepsTheFirstOfEachGroupAndFiltersTheRest) {
  Decimator<4> decimator;
  tune(decimator);
  EXPECT_EQ(decimator.get_filter().get_sampling_frequency(), 176400.0);
  EXPECT_EQ(decimator.get_filter().get_cutoff_frequency(), 22000.0);

  const std::vector<double> input = dsp_test::noise(20);
  Lowpass reference = reference_filter(176400.0);
  std::vector<double> filtered(input.size());
  reference.process(input.data(), filtered.data(), count_of(input));

  double out[3] = {0.0, 0.0, 99.0};
  decimator.process(input.data(), out, 10);
  EXPECT_EQ(out[0], filtered[0]);
  EXPECT_EQ(out[1], filtered[4]);
  EXPECT_EQ(out[2], 99.0) << "10 samples give 2 outputs";
  // Samples 8 and 9 advanced the filter: the next call starts a group at sample 10.
  decimator.process(input.data() + 10, out, 10);
  EXPECT_EQ(out[0], filtered[10]);
  EXPECT_EQ(out[1], filtered[14]);
}

TEST(DecimationFilter, ScratchGrowsOnlyForLongerBlocks) {
  Decimator<2> decimator;
  tune(decimator);
  const std::vector<double> input = dsp_test::noise(128);
  std::vector<double> out(64);
  const dsp_test::AllocationCounter allocations;
  decimator.process(input.data(), out.data(), 0);
  EXPECT_EQ(allocations.count(), 0u) << "a count of 0 allocates nothing";
  decimator.process(input.data(), out.data(), 64);
  decimator.process(input.data(), out.data(), 32);
  decimator.process(input.data(), out.data(), 64);
  EXPECT_EQ(allocations.count(), 1u);
  EXPECT_EQ(decimator.get_buffer_size(), 64u);
  decimator.process(input.data(), out.data(), 128);
  EXPECT_EQ(allocations.count(), 2u);
  EXPECT_EQ(decimator.get_buffer_size(), 128u);
}

TEST(DecimationFilter, RefusedScratchLeavesTheDecimatorAsItWas) {
  Decimator<2> decimator;
  tune(decimator);
  Decimator<2> untouched;
  tune(untouched);
  const std::vector<double> input = dsp_test::noise(64);
  std::vector<double> out(32);
  std::vector<double> expected(32);
  decimator.process(input.data(), out.data(), 32);
  untouched.process(input.data(), expected.data(), 32);
  // 2^29 doubles need 2^32 bytes: refused before anything is read or written.
  EXPECT_THROW(decimator.process(input.data(), out.data(), 1u << 29), std::bad_alloc);
  EXPECT_EQ(decimator.get_buffer_size(), 32u);
  decimator.process(input.data() + 32, out.data(), 32);
  untouched.process(input.data() + 32, expected.data(), 32);
  EXPECT_EQ(out, expected);
}

template <typename T>
class DecimationFactor : public ::testing::Test {};

template <int N>
struct Factor {
  static constexpr int value = N;
};
using Factors = ::testing::Types<Factor<2>, Factor<4>, Factor<8>, Factor<16>, Factor<32>>;
TYPED_TEST_SUITE(DecimationFactor, Factors);

TYPED_TEST(DecimationFactor, SplitBlocksEqualOneCallAndFloatFormsRound) {
  constexpr int N = TypeParam::value;
  const std::vector<double> input = dsp_test::noise(N * 24);
  Decimator<N> whole;
  tune(whole);
  std::vector<double> reference(24);
  whole.process(input.data(), reference.data(), count_of(input));

  Decimator<N> split;
  tune(split);
  std::vector<double> pieces(24);
  split.process(input.data(), pieces.data(), N * 5);
  split.process(input.data() + N * 5, pieces.data() + 5, N * 19);
  EXPECT_EQ(pieces, reference);

  // The kept samples are rounded; the filter itself runs on doubles.
  Decimator<N> narrowing;
  tune(narrowing);
  std::vector<float> narrowed(24);
  narrowing.process(input.data(), narrowed.data(), count_of(input));
  for (std::size_t i = 0; i < reference.size(); ++i) EXPECT_EQ(narrowed[i], static_cast<float>(reference[i]));

  const std::vector<float> single = dsp_test::to_float(input);
  Decimator<N> widening;
  tune(widening);
  Decimator<N> widened_reference;
  tune(widened_reference);
  std::vector<double> from_float(24);
  std::vector<double> from_widened(24);
  widening.process(single.data(), from_float.data(), count_of(single));
  const std::vector<double> widened = dsp_test::to_double(single);
  widened_reference.process(widened.data(), from_widened.data(), count_of(widened));
  EXPECT_EQ(from_float, from_widened);

  Decimator<N> single_precision;
  tune(single_precision);
  std::vector<float> float_to_float(24);
  single_precision.process(single.data(), float_to_float.data(), count_of(single));
  for (std::size_t i = 0; i < from_widened.size(); ++i)
    EXPECT_EQ(float_to_float[i], static_cast<float>(from_widened[i]));
}

// The chain steps the decimator's filter itself and keeps the first sample of each group: the same
// output as the block form, without its scratch.
TYPED_TEST(DecimationFactor, SteppingTheFilterAndKeepingEachGroupsFirstIsTheBlock) {
  constexpr int N = TypeParam::value;
  const std::vector<double> input = dsp_test::noise(N * 24);
  Decimator<N> block;
  tune(block);
  std::vector<double> reference(24);
  block.process(input.data(), reference.data(), count_of(input));

  Decimator<N> stepped;
  tune(stepped);
  for (std::size_t i = 0; i < reference.size(); ++i) {
    for (int j = 0; j < N; ++j) {
      const double filtered = stepped.get_filter().template step<double>(input[i * N + j]);
      if (j == 0) {
        ASSERT_EQ(filtered, reference[i]) << "output " << i;
      }
    }
  }
  EXPECT_EQ(stepped.get_buffer_size(), 0u);
  std::vector<double> next(2), next_reference(2);
  stepped.process(input.data(), next.data(), 2 * N);
  block.process(input.data(), next_reference.data(), 2 * N);
  EXPECT_EQ(next, next_reference) << "the filter's histories continue alike";
}

}  // namespace
