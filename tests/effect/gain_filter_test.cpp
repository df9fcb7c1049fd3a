#include "gain_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

TEST(GainFilter, UnityGainCopiesBitForBit) {
  DSP::GainFilter<double> gain;
  gain.set_gain(1.0);
  const std::vector<double> in = {0.1, -3.5e-300, 1e300, -0.0, std::numeric_limits<double>::denorm_min()};
  std::vector<double> out(in.size());
  gain.process(in.data(), out.data(), static_cast<std::uint32_t>(in.size()));
  EXPECT_EQ(std::memcmp(in.data(), out.data(), in.size() * sizeof(double)), 0);

  const std::vector<float> fin = {0.1f, -1e-40f, 3e38f};
  std::vector<float> fout(fin.size());
  gain.process(fin.data(), fout.data(), static_cast<std::uint32_t>(fin.size()));
  EXPECT_EQ(std::memcmp(fin.data(), fout.data(), fin.size() * sizeof(float)), 0);
}

TEST(GainFilter, StartsAtZeroAndKeepsTheSignOfZero) {
  DSP::GainFilter<double> gain;
  const double in[] = {-2.0, 3.0};
  double out[2] = {7.0, 7.0};
  gain.process(in, out, 2);
  EXPECT_EQ(out[1], 0.0);
  EXPECT_TRUE(std::signbit(out[0]));
}

TEST(GainFilter, WideningAndNarrowingForms) {
  DSP::GainFilter<double> gain;
  gain.set_gain(1.0);
  const float tenth = 0.1f;
  double widened = 0.0;
  gain.process(&tenth, &widened, 1);
  EXPECT_EQ(widened, 0.10000000149011612);
  const double huge = 1e39;
  float narrowed = 0.0f;
  gain.process(&huge, &narrowed, 1);
  EXPECT_EQ(narrowed, std::numeric_limits<float>::infinity());
  gain.set_gain(0.5);
  double in_place[] = {2.0, -4.0};
  gain.process(in_place, in_place, 2);
  EXPECT_EQ(in_place[0], 1.0);
  EXPECT_EQ(in_place[1], -2.0);
}

TEST(GainFilter, ZeroCountWritesNothing) {
  DSP::GainFilter<double> gain;
  gain.set_gain(2.0);
  const double in = 1.0;
  double out = 42.0;
  gain.process(&in, &out, 0);
  EXPECT_EQ(out, 42.0);
}

}  // namespace
