// The figures of one analysis, and their CSV form: what `zaltrim-host analyze --csv` writes and
// what `zaltrim-report` reads to draw the report.
//
// One record a line, its kind first; numbers in C locale, "nan" where a figure cannot exist:
//   setting,<name>,<value>                          effect, gain, sample_rate, level_dbfs, block_size,
//                                                   transfer_hz, harmonic_hz, harmonic_factor, alias_hz,
//                                                   reported_delay
//   transfer,<factor>,<input_dbfs>,<output_dbfs>    output peak against input peak of the sine
//   harmonic,<order>,<frequency_hz>,<level_dbc>     H2 ... H9
//   distortion,<thd_percent>,<thdn_percent>
//   spectrum,<frequency_hz>,<level_dbc>             the harmonic tone's spectrum, for the plot
//   aliasing,<factor>,<non_harmonic_dbc>,<realtime_factor>
//   latency,<factor>,<measured_samples>,<peak_correlation>
//   correlation,<factor>,<lag_samples>,<value>
// A header line "record,..." comes first and is skipped on reading.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace zanalysis {

struct TransferPoint {
  int factor;
  double input_dbfs;
  double output_dbfs;
};

struct HarmonicLevel {
  int order;
  double frequency_hz;
  double level_dbc;
};

struct SpectrumPoint {
  double frequency_hz;
  double level_dbc;
};

struct AliasingFigure {
  int factor;
  double non_harmonic_dbc;
  double realtime_factor;  // audio time over processing time: 10 means ten times faster than real time
};

struct LatencyFigure {
  int factor;
  double measured_samples;
  double peak_correlation;
};

struct CorrelationPoint {
  int factor;
  int lag;
  double value;
};

struct Figures {
  std::string effect;
  double gain = 1.0;
  double sample_rate = 44100.0;
  double level_dbfs = 0.0;  // input peak of the harmonic and aliasing tones, before the gain
  int block_size = 512;
  double transfer_hz = 1000.0;
  double harmonic_hz = 1000.0;
  int harmonic_factor = 32;
  double alias_hz = 7000.0;
  int reported_delay = 0;

  std::vector<TransferPoint> transfer;
  std::vector<HarmonicLevel> harmonics;
  double thd_percent = 0.0;
  double thdn_percent = 0.0;
  std::vector<SpectrumPoint> spectrum;
  std::vector<AliasingFigure> aliasing;
  std::vector<LatencyFigure> latency;
  std::vector<CorrelationPoint> correlation;
};

class FiguresError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void write_figures(std::ostream& out, const Figures& figures);
// Throws FiguresError naming the line of the first record it cannot read.
Figures read_figures(std::istream& in);

}  // namespace zanalysis
