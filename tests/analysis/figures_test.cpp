// The figures' CSV form: what analyze writes, the report reads back unchanged.
#include "figures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <sstream>

#include "spectrum.h"
#include "summary.h"

namespace zanalysis {
namespace {

Figures sample_figures() {
  Figures figures;
  figures.effect = "Zaltrim, test\nbuild";
  figures.gain = 2.5;
  figures.sample_rate = 48000.0;
  figures.harmonic_hz = 1001.29395;
  figures.alias_hz = 7000.98267;
  figures.reported_delay = 3;
  figures.transfer = {{2, -40.0, -40.0}, {2, 0.0, -6.25}, {32, -40.0, -39.9}};
  figures.harmonics = {{2, 2002.6, kFloorDb}, {3, 3003.9, -17.125}};
  figures.thd_percent = 12.5;
  figures.thdn_percent = std::nan("");
  figures.spectrum = {{0.0, -200.0}, {1001.3, 0.0}};
  figures.aliasing = {{2, -45.5, 812.25}, {32, -130.0, 40.5}};
  figures.latency = {{2, 3.4, 0.997}};
  figures.correlation = {{2, 0, 0.125}, {2, 1, -0.0625}};
  return figures;
}

Figures round_trip(const Figures& figures) {
  std::stringstream csv;
  write_figures(csv, figures);
  return read_figures(csv);
}

TEST(Figures, RoundTripKeepsEveryRecord) {
  const Figures in = sample_figures();
  const Figures out = round_trip(in);
  EXPECT_EQ(out.effect, "Zaltrim  test build") << "separators in a name cannot split a record";
  EXPECT_DOUBLE_EQ(out.gain, in.gain);
  EXPECT_DOUBLE_EQ(out.sample_rate, in.sample_rate);
  EXPECT_DOUBLE_EQ(out.harmonic_hz, in.harmonic_hz);
  EXPECT_EQ(out.reported_delay, 3);
  ASSERT_EQ(out.transfer.size(), 3u);
  EXPECT_EQ(out.transfer[2].factor, 32);
  EXPECT_DOUBLE_EQ(out.transfer[1].output_dbfs, -6.25);
  ASSERT_EQ(out.harmonics.size(), 2u);
  EXPECT_DOUBLE_EQ(out.harmonics[1].level_dbc, -17.125);
  EXPECT_DOUBLE_EQ(out.thd_percent, 12.5);
  EXPECT_TRUE(std::isnan(out.thdn_percent));
  EXPECT_EQ(out.spectrum.size(), 2u);
  ASSERT_EQ(out.aliasing.size(), 2u);
  EXPECT_DOUBLE_EQ(out.aliasing[0].realtime_factor, 812.25);
  ASSERT_EQ(out.latency.size(), 1u);
  EXPECT_DOUBLE_EQ(out.latency[0].measured_samples, 3.4);
  ASSERT_EQ(out.correlation.size(), 2u);
  EXPECT_EQ(out.correlation[1].lag, 1);
  EXPECT_DOUBLE_EQ(out.correlation[1].value, -0.0625);
}

// A locale that writes 4096 as "4.096" and 2.5 as "2,5".
struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(Figures, NumbersIgnoreTheStreamLocale) {
  Figures in = sample_figures();
  in.block_size = 4096;
  in.transfer[0].factor = 1024;
  std::stringstream csv;
  csv.imbue(std::locale(std::locale::classic(), new CommaDecimals));
  write_figures(csv, in);
  const Figures out = read_figures(csv);
  EXPECT_EQ(out.block_size, 4096);
  EXPECT_EQ(out.transfer[0].factor, 1024);
  EXPECT_DOUBLE_EQ(out.gain, 2.5);
}

TEST(Figures, BadRecordsAreRefusedWithTheirLine) {
  const auto error_of = [](const std::string& text) {
    std::istringstream csv(text);
    try {
      read_figures(csv);
    } catch (const FiguresError& error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(error_of("record,a\nsetting,gain,2\ntransfer,2,-40\n"),
            "figures line 3: a 'transfer' record has 3 values, this one 2");
  EXPECT_EQ(error_of("transfer,2,-40,loud\n"), "figures line 1: 'loud' is not a number");
  EXPECT_EQ(error_of("latency,2.5,3,1\n"), "figures line 1: '2.5' is not a whole number");
  EXPECT_EQ(error_of("setting,colour,red\n"), "figures line 1: unknown setting 'colour'");
  EXPECT_EQ(error_of("\nspectrum,1,2\nnoise,1\n"), "figures line 3: unknown record 'noise'");
  EXPECT_EQ(error_of("spectrum,1,2\r\n\r\n"), "accepted") << "CRLF line ends are fine";
}

TEST(Figures, SummaryQuotesEverySection) {
  const std::string text = summary_text(sample_figures());
  EXPECT_NE(text.find("at gain 2.5 (+8.0 dB), 48000 Hz"), std::string::npos) << text;
  EXPECT_NE(text.find("  x2     -40.0       -    -6.3       -       -"), std::string::npos)
      << "levels that were not measured show as '-'\n"
      << text;
  EXPECT_NE(text.find("H3 -17.1"), std::string::npos) << text;
  EXPECT_NE(text.find("THD 12.5 %, THD+N nan %"), std::string::npos) << text;
  EXPECT_NE(text.find("  x32   -130.0 dBc      40.5 x real time (2.5 % of one core)"), std::string::npos) << text;
  EXPECT_NE(text.find("reports 3 samples"), std::string::npos) << text;
  EXPECT_NE(text.find("  x2     3.40 samples (correlation 0.997)"), std::string::npos) << text;
}

}  // namespace
}  // namespace zanalysis
