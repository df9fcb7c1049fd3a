// Spectra of settled test signals, and the figures read from them.
//
// The signal is weighted by a periodic 4-term Blackman-Harris window
//   w[n] = a0 - a1 cos(2 pi n / N) + a2 cos(4 pi n / N) - a3 cos(6 pi n / N),
// (a0..a3 = 0.35875, 0.48829, 0.14128, 0.01168), whose side lobes lie 92 dB down, and transformed
// by FFTW. A tone whose frequency sits on a bin centre (see `bin_centred_frequency`) then spreads
// over exactly 7 bins and leaks nowhere else, so harmonics and folded products 200 dB below the
// tone stay measurable; a tone off the bin centres still keeps more than 99.9 % of its energy
// within +-4 bins (the main lobe), which is the band every component is summed over.
//
// Levels are power ratios in dB relative to the fundamental (dBc), floored at kFloorDb so that an
// exact zero prints as a number. Where the fundamental is missing altogether (a silent output),
// ratios to it mean nothing and come out as NaN.
#pragma once

#include <cstddef>
#include <vector>

namespace zanalysis {

constexpr double kFloorDb = -200.0;
// Half-width of the main lobe of the window, in bins: every component is summed over +-kLobeBins.
constexpr std::size_t kLobeBins = 4;

// 10 log10(ratio), floored at kFloorDb.
double power_db(double ratio);

// The frequency nearest to `frequency` (Hz) that completes a whole number of periods in `length`
// samples at `sample_rate`: its harmonics and their fold-backs then all fall on bin centres.
double bin_centred_frequency(double frequency, double sample_rate, std::size_t length);

// The one-sided power spectrum (bins 0 to N/2) of the windowed signal, in arbitrary units.
std::vector<double> power_spectrum(const std::vector<double>& signal);

// What a tone's spectrum says about the harmonics it grew.
struct HarmonicFigures {
  std::vector<double> levels_dbc;  // H2, H3, ... up to the highest order asked for
  double thd_percent = 0.0;        // the listed harmonics, as an amplitude ratio
  double thdn_percent = 0.0;       // everything but DC and the fundamental, up to Nyquist
};

// Harmonics 2 to `highest_order` of the tone at `frequency` (Hz) in `spectrum` (from a signal of
// `length` samples at `sample_rate`). A harmonic above Nyquist is reported at kFloorDb.
HarmonicFigures harmonic_figures(const std::vector<double>& spectrum, double frequency, double sample_rate,
                                 std::size_t length, int highest_order);

// The energy that lies at no harmonic of the tone (nor at DC), in dBc: what the circuit's
// products above Nyquist folded back into the band, plus noise.
double non_harmonic_dbc(const std::vector<double>& spectrum, double frequency, double sample_rate, std::size_t length);

}  // namespace zanalysis
