// The measurements driven through the built module, as analyze drives it. They hold for any
// mono module that takes the 8-byte state: they check the plumbing and what no circuit changes
// (a quiet sine passes unchanged, the factors agree, the delay is short and clear).
#include "analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "spectrum.h"
#include "zaltrim_session.h"

namespace zanalysis {
namespace {

std::string module_path() {
  const char* folder = std::getenv("ZALTRIM_BUILD_DIR");
  return std::string(folder ? folder : ".") + "/QtZaltrim.so";
}

class ModuleAnalysis : public ::testing::Test {
 protected:
  zhost::Module module{module_path()};
  zhost::Host host;
  zhost::Plugin plugin{module, host};
};

TEST_F(ModuleAnalysis, SelectingAFactorReachesTheModuleState) {
  ChainDriver chain(plugin, {0.5f, 48000.0f});
  for (int factor : oversampling_factors()) {
    chain.select(factor);
    EXPECT_EQ(plugin.get_chunk(), zhost::zaltrim_chunk(0.5f, factor));
  }
  EXPECT_THROW(chain.select(3), zhost::HostError) << "the module has no factor 3";
}

TEST_F(ModuleAnalysis, RenderGivesOneOutputPerInputAcrossBlocks) {
  ChainDriver chain(plugin, {1.0f, 44100.0f});
  const std::vector<double> input(ChainDriver::kBlockSize * 2 + 37, 0.0);
  const std::vector<double> output = chain.render(input);
  ASSERT_EQ(output.size(), input.size());
  for (double sample : output) EXPECT_EQ(sample, 0.0) << "silence stays silent";
}

TEST_F(ModuleAnalysis, QuietSinePassesAtTheGainAndTheFactorsAgree) {
  // At -40 dBFS into the circuit the diodes barely conduct: the output peak is the input's times
  // the gain, whatever the factor.
  const float gain = 2.0f;
  ChainDriver chain(plugin, {gain, 44100.0f});
  std::vector<std::vector<TransferPoint>> curves;
  for (int factor : oversampling_factors()) curves.push_back(measure_transfer(chain, factor, 1000.0, {-46.0, 0.0}));
  for (const auto& curve : curves) {
    ASSERT_EQ(curve.size(), 2u);
    EXPECT_NEAR(curve[0].output_dbfs, -46.0 + 20.0 * std::log10(gain), 0.3) << "factor " << curve[0].factor;
    EXPECT_NEAR(curve[1].output_dbfs, curves[0][1].output_dbfs, 1.0) << "factor " << curve[1].factor << " at 0 dBFS";
  }
}

TEST_F(ModuleAnalysis, LatencyIsShortAndTheCorrelationClear) {
  ChainDriver chain(plugin, {1.0f, 44100.0f});
  std::vector<CorrelationPoint> correlation;
  const LatencyFigure latency = measure_latency(chain, 2, 24, correlation);
  EXPECT_GE(latency.measured_samples, 0.0);
  EXPECT_LE(latency.measured_samples, 2.0 * chain.reported_delay() + 4.0);
  // The low-pass right below Nyquist smears white noise over a few lags, but the peak stands out.
  EXPECT_GT(latency.peak_correlation, 0.5);
  EXPECT_EQ(correlation.size(), 25u);
}

TEST_F(ModuleAnalysis, QuietToneHasNoAliasing) {
  ChainDriver chain(plugin, {1.0f, 44100.0f});
  const ToneSpectrum tone = measure_tone(chain, 8, 7000.0, 0.01);
  const AliasingFigure aliasing = aliasing_figure(tone, 8, 44100.0);
  EXPECT_LT(aliasing.non_harmonic_dbc, -100.0);
  EXPECT_GT(aliasing.realtime_factor, 0.0);
  Figures figures;
  add_harmonics(tone, 44100.0, figures);
  ASSERT_EQ(figures.harmonics.size(), 8u);
  EXPECT_DOUBLE_EQ(figures.harmonics[1].frequency_hz, 3 * tone.frequency_hz);
  EXPECT_DOUBLE_EQ(figures.harmonics[2].level_dbc, kFloorDb) << "H4 of 7 kHz is above Nyquist";
  EXPECT_LE(figures.spectrum.size(), 2100u) << "the plot's spectrum is thinned";
}

TEST(ForeignModule, WiderThanMonoIsRefused) {
  const std::string stereo = "/usr/lib/vst/ZamCompX2-vst.so";
  if (!std::ifstream(stereo)) GTEST_SKIP() << "zam-plugins is not installed; no stereo module to load";
  zhost::Module module(stereo);
  zhost::Host host;
  zhost::Plugin plugin(module, host);
  if (plugin.record()->numInputs == 1 && plugin.record()->numOutputs == 1) GTEST_SKIP() << "it is mono after all";
  try {
    ChainDriver chain(plugin, {});
    FAIL() << "a stereo module was accepted";
  } catch (const zhost::HostError& error) {
    EXPECT_NE(std::string(error.what()).find("needs a mono effect"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace zanalysis
