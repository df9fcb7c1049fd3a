// The faults the fuzzers found, each stated directly on the effect: what the host sent, and what
// the effect must do with it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "zaltrim_effect.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The largest magnitude in `blocks` blocks of a full-scale sine at a fifth of the host rate's
// Nyquist frequency, after the effect has been set to the rate and factor.
double loudest_output(float rate, VstInt32 factor, double amplitude, int blocks) {
  ZaltrimEffect effect(nullptr);
  effect.setSampleRate(rate);
  effect.set_oversampling(factor);
  constexpr VstInt32 frames = 512;
  std::vector<double> input(frames);
  std::vector<double> output(frames);
  double* inputs[] = {input.data()};
  double* outputs[] = {output.data()};
  double loudest = 0.0;
  for (int block = 0; block < blocks; ++block) {
    for (VstInt32 i = 0; i < frames; ++i)
      input[static_cast<std::size_t>(i)] = amplitude * std::sin(0.314 * (block * frames + i));
    effect.processDoubleReplacing(inputs, outputs, frames);
    for (double y : output) loudest = std::isfinite(y) ? std::fmax(loudest, std::fabs(y)) : INFINITY;
  }
  return loudest;
}

// A NaN gain from the host reached the display text's digit conversion, undefined for NaN, and
// the chunk saved after it no longer loaded. A NaN value now leaves the gain as it was.
TEST(FuzzRegressions, ANaNFromTheHostNeverReachesTheGain) {
  ZaltrimEffect effect(nullptr);
  char text[kVstMaxParamStrLen + 1];
  for (float value : {kNaN, -kNaN}) {
    effect.setParameter(0, value);
    effect.getParameterDisplay(0, text);
    EXPECT_STREQ(text, "0.0");
    EXPECT_EQ(effect.get_gain(), 1.0f);
  }
  void* saved = nullptr;
  ASSERT_EQ(effect.getChunk(&saved, false), 8);
  ZaltrimEffect reloaded(nullptr);
  EXPECT_EQ(reloaded.setChunk(saved, 8, false), 8);
}

// A rate of FLT_MAX was accepted: the low-pass's sampling frequency overflowed and every sample
// came out NaN. 200 Hz made the low-pass diverge. Rates outside 1 kHz to 1 MHz are refused.
TEST(FuzzRegressions, RatesOutsideTheChainsRangeAreRefused) {
  ZaltrimEffect effect(nullptr);
  for (float rate : {1000.0f, 1000000.0f, 8000.0f}) {
    effect.setSampleRate(rate);
    EXPECT_EQ(effect.getSampleRate(), rate);
  }
  for (float rate : {999.0f, 200.0f, 1.0f, 1e-30f, 1000001.0f, std::numeric_limits<float>::max(), -8000.0f, kNaN})
    effect.setSampleRate(rate);
  EXPECT_EQ(effect.getSampleRate(), 8000.0f);
  EXPECT_LE(loudest_output(1000.0f, 2, 1.0, 40), 4.5);
}

// At 32 x 352.8 kHz and above, the 22 kHz low-pass's recursion diverged to infinity within
// seconds of a plain sine; the cut-off now keeps a ratio to the sampling frequency it is stable at.
TEST(FuzzRegressions, TheHighestRatesStayBoundedAtEveryFactor) {
  for (float rate : {352800.0f, 384000.0f, 768000.0f})
    for (VstInt32 factor : {16, 32}) EXPECT_LE(loudest_output(rate, factor, 1.0, 20), 2.0) << rate << " x " << factor;
}

// Samples of 1e30 drove Newton to hundreds of steps per sample, and 1e300 to its full 10000,
// for an output that sits at the clipper's clamp anyway: such input is limited before the solver,
// so it sounds exactly as the largest input that is not.
TEST(FuzzRegressions, HugeInputsSoundAsTheLimitDoes) {
  for (VstInt32 factor : {2, 32}) {
    ZaltrimEffect limited(nullptr);
    ZaltrimEffect huge(nullptr);
    limited.set_oversampling(factor);
    huge.set_oversampling(factor);
    std::vector<double> at_limit(256);
    std::vector<double> beyond(256);
    for (std::size_t i = 0; i < at_limit.size(); ++i) {
      const double sign = (i / 3) % 2 ? 1.0 : -1.0;
      at_limit[i] = sign * 1e9;
      beyond[i] = sign * (i % 2 ? 1e300 : 1e30);
    }
    std::vector<double> expected(256);
    std::vector<double> actual(256);
    double* in_limit[] = {at_limit.data()};
    double* in_beyond[] = {beyond.data()};
    double* out_expected[] = {expected.data()};
    double* out_actual[] = {actual.data()};
    limited.processDoubleReplacing(in_limit, out_expected, 256);
    huge.processDoubleReplacing(in_beyond, out_actual, 256);
    EXPECT_EQ(std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(double)), 0) << factor;
  }
}

}  // namespace
