// The time-domain measures: continuous sines, peaks, and delays of known length.
#include "measures.h"

#include <gtest/gtest.h>

#include <cmath>

#include "spectrum.h"

namespace zanalysis {
namespace {

std::vector<double> delayed(const std::vector<double>& signal, std::size_t delay, double scale = 1.0) {
  std::vector<double> out(signal.size(), 0.0);
  for (std::size_t n = delay; n < signal.size(); ++n) out[n] = scale * signal[n - delay];
  return out;
}

TEST(Measures, SineRunsOnAcrossCalls) {
  SineSource split(1000.0, 44100.0), whole(1000.0, 44100.0);
  std::vector<double> joined = split.next(0.5, 97);
  const std::vector<double> rest = split.next(0.5, 103);
  joined.insert(joined.end(), rest.begin(), rest.end());
  const std::vector<double> reference = whole.next(0.5, 200);
  for (std::size_t n = 0; n < reference.size(); ++n) ASSERT_DOUBLE_EQ(joined[n], reference[n]) << "sample " << n;
  EXPECT_NEAR(peak_from(reference, 0), 0.5, 1e-3);
}

TEST(Measures, PeakLooksOnlyFromTheFirstSampleOn) {
  const std::vector<double> signal = {-3.0, 0.5, -0.75, 0.25};
  EXPECT_DOUBLE_EQ(peak_from(signal, 0), 3.0);
  EXPECT_DOUBLE_EQ(peak_from(signal, 1), 0.75);
  EXPECT_DOUBLE_EQ(peak_from(signal, 4), 0.0);
  EXPECT_DOUBLE_EQ(amplitude_db(0.1), -20.0);
  EXPECT_DOUBLE_EQ(amplitude_db(0.0), kFloorDb);
}

TEST(Measures, NoiseIsRepeatableAndBounded) {
  const std::vector<double> a = white_noise(0.25, 1000, 7), b = white_noise(0.25, 1000, 7);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, white_noise(0.25, 1000, 8));
  EXPECT_LE(peak_from(a, 0), 0.25);
}

TEST(Measures, KnownDelayIsMeasuredToTheSample) {
  const std::vector<double> input = white_noise(0.1, 4096, 1);
  for (std::size_t delay : {0u, 1u, 3u, 17u, 47u}) {
    const DelayFigures figures = measure_delay(input, delayed(input, delay), 48);
    EXPECT_NEAR(figures.samples, static_cast<double>(delay), 0.05) << "delay " << delay;
    EXPECT_GT(figures.peak_correlation, 0.98) << "delay " << delay;
    EXPECT_EQ(figures.correlation.size(), 49u);
  }
}

TEST(Measures, InvertedCopyIsFoundByItsMagnitude) {
  const std::vector<double> input = white_noise(0.1, 4096, 2);
  const DelayFigures figures = measure_delay(input, delayed(input, 5, -0.5), 16);
  EXPECT_NEAR(figures.samples, 5.0, 0.05);
  EXPECT_LT(figures.peak_correlation, -0.98);
}

TEST(Measures, HalfSampleDelayLandsBetweenTheTwoSamples) {
  // The mean of a delay of 2 and of 3 samples peaks equally at both: the parabola puts it midway.
  const std::vector<double> input = white_noise(0.1, 4096, 3);
  const std::vector<double> two = delayed(input, 2), three = delayed(input, 3);
  std::vector<double> output(input.size());
  for (std::size_t n = 0; n < output.size(); ++n) output[n] = 0.5 * (two[n] + three[n]);
  EXPECT_NEAR(measure_delay(input, output, 16).samples, 2.5, 0.05);
}

TEST(Measures, SilentOutputHasNoCorrelation) {
  const std::vector<double> input = white_noise(0.1, 256, 4);
  const DelayFigures figures = measure_delay(input, std::vector<double>(256, 0.0), 8);
  EXPECT_DOUBLE_EQ(figures.peak_correlation, 0.0);
  EXPECT_THROW(measure_delay(input, std::vector<double>(8, 0.0), 8), std::invalid_argument);
}

}  // namespace
}  // namespace zanalysis
