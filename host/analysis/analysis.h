// What the overdrive does, measured through the host library as a DAW would drive it: the
// transfer curve, the harmonics of a settled sine, the aliasing left at each oversampling factor
// with the cost of that factor, and the latency against what the module reports.
//
// Everything is measured on double-precision blocks of the module's processing entries (float
// where the module has no double entry), so the figures describe the circuit, not the rounding
// of 32-bit samples. Signals are short, a fraction of a second each, so that a whole analysis takes
// a few seconds even under the sanitizers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "figures.h"
#include "vst_host.h"

namespace zanalysis {

// The oversampling factors the module offers, in the order the report lists them.
const std::vector<int>& oversampling_factors();

struct AnalysisRequest {
  float gain = 1.0f;
  float sample_rate = 44100.0f;
};

// An effect started as a host starts an insert, with the request's gain and rate, that renders
// test signals at one oversampling factor at a time.
class ChainDriver {
 public:
  static constexpr int kBlockSize = 512;

  // Starts the effect; throws zhost::HostError if the module is not mono in and out.
  ChainDriver(const zhost::Plugin& plugin, const AnalysisRequest& request);

  // Moves to `factor` through the state chunk, which also restarts the chain from rest; throws
  // zhost::HostError if the module does not take it.
  void select(int factor);
  // Runs `input` through the effect in blocks of kBlockSize frames; with `block_seconds`, also
  // the time each block spent inside the module.
  std::vector<double> render(const std::vector<double>& input, std::vector<double>* block_seconds = nullptr) const;

  float gain() const { return request.gain; }
  double sample_rate() const { return request.sample_rate; }
  int reported_delay() const { return plugin.record()->initialDelay; }

 private:
  const zhost::Plugin& plugin;
  AnalysisRequest request;
  bool doubles;
};

// Output peak (dBFS) of a continuous sine at `frequency` whose input peak steps through
// `input_dbfs` (before the gain), each level held long enough to settle before it is measured.
std::vector<TransferPoint> measure_transfer(ChainDriver& chain, int factor, double frequency,
                                            const std::vector<double>& input_dbfs);

struct ToneSpectrum {
  double frequency_hz;           // the tone, moved onto a bin centre
  std::vector<double> spectrum;  // power_spectrum of the settled output
  // Time inside the module for the whole render, as the median block's time times the blocks:
  // a block that the machine's other work preempted, or the first one's allocations, do not count.
  double processing_seconds;
  std::size_t frames;  // frames rendered, settling included
};

// A tone near `frequency` at input peak `amplitude`, rendered at `factor` from rest; the spectrum
// of its output once settled.
ToneSpectrum measure_tone(ChainDriver& chain, int factor, double frequency, double amplitude);

// Harmonics of the tone's spectrum, with the spectrum itself thinned for a plot (peaks kept).
void add_harmonics(const ToneSpectrum& tone, double sample_rate, Figures& figures);

AliasingFigure aliasing_figure(const ToneSpectrum& tone, int factor, double sample_rate);

// Delay of the output behind a white noise that reaches the circuit at -40 dBFS, where it is
// linear; the correlation over lags 0 to `max_lag` comes along for the plot.
LatencyFigure measure_latency(ChainDriver& chain, int factor, std::size_t max_lag,
                              std::vector<CorrelationPoint>& correlation);

// The whole analysis: every measure, at every factor.
Figures analyze(ChainDriver& chain, const std::string& effect_name);

}  // namespace zanalysis
