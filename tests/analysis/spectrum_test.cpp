// The spectrum figures on signals whose answers are known in closed form.
#include "spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace zanalysis {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kLength = 16384;
constexpr double kRate = 48000.0;

// A sine of peak 1 plus the listed harmonics, each as (order, level in dBc, phase in radians).
struct Partial {
  int order;
  double level_dbc;
  double phase;
};

std::vector<double> tone_with(double frequency, const std::vector<Partial>& partials) {
  std::vector<double> signal(kLength);
  for (std::size_t n = 0; n < kLength; ++n) {
    const double t = static_cast<double>(n) / kRate;
    signal[n] = std::sin(2.0 * kPi * frequency * t);
    for (const Partial& p : partials)
      signal[n] += std::pow(10.0, p.level_dbc / 20.0) * std::sin(2.0 * kPi * p.order * frequency * t + p.phase);
  }
  return signal;
}

HarmonicFigures figures_of(const std::vector<double>& signal, double frequency) {
  return harmonic_figures(power_spectrum(signal), frequency, kRate, kLength, 9);
}

TEST(Spectrum, BinCentredFrequencyCompletesWholePeriods) {
  const double f = bin_centred_frequency(1000.0, 44100.0, kLength);
  const double periods = f * static_cast<double>(kLength) / 44100.0;
  EXPECT_DOUBLE_EQ(periods, std::round(periods));
  EXPECT_NEAR(f, 1000.0, 44100.0 / kLength / 2.0);
  EXPECT_GT(bin_centred_frequency(0.001, 44100.0, kLength), 0.0) << "never DC";
}

TEST(Spectrum, PowerDbIsFlooredForSilence) {
  EXPECT_DOUBLE_EQ(power_db(0.01), -20.0);
  EXPECT_DOUBLE_EQ(power_db(0.0), kFloorDb);
  EXPECT_DOUBLE_EQ(power_db(1e-40), kFloorDb);
  EXPECT_DOUBLE_EQ(power_db(std::nan("")), kFloorDb);
}

TEST(Spectrum, PureSineHasNoHarmonicsAboveTheFloor) {
  // On a bin centre the tone leaks nowhere; halfway between two, the window's side lobes still
  // keep the harmonics' places 130 dB down.
  const double centred = bin_centred_frequency(1000.0, kRate, kLength);
  const struct {
    double frequency;
    double floor_dbc;
  } cases[] = {{centred, -190.0}, {centred + 0.5 * kRate / kLength, -130.0}};
  for (const auto& c : cases) {
    const HarmonicFigures figures = figures_of(tone_with(c.frequency, {}), c.frequency);
    ASSERT_EQ(figures.levels_dbc.size(), 8u);
    for (std::size_t i = 0; i < figures.levels_dbc.size(); ++i)
      EXPECT_LT(figures.levels_dbc[i], c.floor_dbc) << "H" << i + 2 << " at " << c.frequency << " Hz";
    EXPECT_LT(figures.thd_percent, 100.0 * std::pow(10.0, c.floor_dbc / 20.0) * 3.0);
    EXPECT_LT(figures.thdn_percent, 0.01);
  }
}

TEST(Spectrum, KnownHarmonicsAreMeasuredAtTheirLevels) {
  const double frequency = 997.0;  // off the bin centres on purpose
  const HarmonicFigures figures = figures_of(tone_with(frequency, {{2, -40.0, 0.3}, {5, -70.0, 1.9}}), frequency);
  EXPECT_NEAR(figures.levels_dbc[0], -40.0, 0.02) << "H2";
  EXPECT_NEAR(figures.levels_dbc[3], -70.0, 0.02) << "H5";
  for (int order : {3, 4, 6, 7, 8, 9}) EXPECT_LT(figures.levels_dbc[order - 2], -120.0) << "H" << order;
  const double expected = 100.0 * std::sqrt(1e-4 + 1e-7);
  EXPECT_NEAR(figures.thd_percent, expected, expected * 1e-3);
  EXPECT_NEAR(figures.thdn_percent, expected, expected * 1e-2);
}

TEST(Spectrum, HardClipHasTheOddHarmonicSeries) {
  // Clipped a thousand times over, a sine is a square wave: odd harmonics at 1/n, no even ones;
  // all but the fundamental carries sqrt(pi^2/8 - 1) of it, by Parseval. With a whole number of
  // samples a period (256) the clip's products above Nyquist fold back onto odd harmonics, which
  // they shift by less than 0.05 dB, instead of spreading between them; sampled half a sample off
  // the zero crossings, every sample is +1 or -1.
  const double frequency = kRate / 256.0;
  std::vector<double> signal(kLength);
  for (std::size_t n = 0; n < kLength; ++n)
    signal[n] = std::clamp(1000.0 * std::sin(2.0 * kPi * (static_cast<double>(n) + 0.5) / 256.0), -1.0, 1.0);
  const HarmonicFigures figures = figures_of(signal, frequency);
  for (int order = 2; order <= 9; ++order) {
    const double level = figures.levels_dbc[static_cast<std::size_t>(order - 2)];
    if (order % 2 == 0)
      EXPECT_LT(level, -100.0) << "even H" << order;
    else
      EXPECT_NEAR(level, -20.0 * std::log10(order), 0.05) << "odd H" << order;
  }
  EXPECT_NEAR(figures.thd_percent, 100.0 * std::sqrt(1.0 / 9 + 1.0 / 25 + 1.0 / 49 + 1.0 / 81), 0.1);
  EXPECT_NEAR(figures.thdn_percent, 100.0 * std::sqrt(kPi * kPi / 8.0 - 1.0), 0.1);
}

TEST(Spectrum, HarmonicsAboveNyquistAreNotMeasured) {
  const double frequency = bin_centred_frequency(3000.0, kRate, kLength);
  const HarmonicFigures figures = figures_of(tone_with(frequency, {{7, -30.0, 0.0}}), frequency);
  EXPECT_NEAR(figures.levels_dbc[5], -30.0, 0.02) << "H7 at 21 kHz is in the band";
  EXPECT_DOUBLE_EQ(figures.levels_dbc[6], kFloorDb) << "H8 at 24 kHz sits on Nyquist";
  EXPECT_DOUBLE_EQ(figures.levels_dbc[7], kFloorDb) << "H9 is beyond it";
}

TEST(Spectrum, NonHarmonicEnergyCountsOnlyWhatIsOffTheHarmonics) {
  const double frequency = bin_centred_frequency(7000.0, kRate, kLength);
  std::vector<double> clean = tone_with(frequency, {{2, -20.0, 0.4}, {3, -30.0, 1.0}});
  EXPECT_LT(non_harmonic_dbc(power_spectrum(clean), frequency, kRate, kLength), -150.0) << "harmonics are not aliasing";

  // A stray tone at 16.1 kHz, on no harmonic of 7 kHz, 80 dB down; and a DC offset, which is no
  // aliasing either.
  std::vector<double> folded = clean;
  const double stray = 16100.0;
  for (std::size_t n = 0; n < kLength; ++n)
    folded[n] += 1e-4 * std::sin(2.0 * kPi * stray * static_cast<double>(n) / kRate) + 0.01;
  EXPECT_NEAR(non_harmonic_dbc(power_spectrum(folded), frequency, kRate, kLength), -80.0, 0.05);
}

TEST(Spectrum, SilenceHasNoRatioToItsFundamental) {
  const std::vector<double> silence(kLength, 0.0);
  const std::vector<double> spectrum = power_spectrum(silence);
  EXPECT_TRUE(std::isnan(non_harmonic_dbc(spectrum, 1000.0, kRate, kLength)));
  EXPECT_TRUE(std::isnan(harmonic_figures(spectrum, 1000.0, kRate, kLength, 9).thd_percent));
  EXPECT_THROW(power_spectrum(std::vector<double>(4, 0.0)), std::invalid_argument);
}

}  // namespace
}  // namespace zanalysis
