// Test signals and the time-domain measures: sines that keep their phase across calls, white
// noise, peaks, and the delay between an input and its output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zanalysis {

// A sine of fixed frequency whose phase runs on from one call to the next, so that a level sweep
// is one continuous tone.
class SineSource {
 public:
  SineSource(double frequency, double sample_rate);
  // The next `length` samples at peak `amplitude`.
  std::vector<double> next(double amplitude, std::size_t length);

 private:
  double step;  // radians per sample
  std::uint64_t position = 0;
};

// Uniform white noise in [-amplitude, amplitude], the same for the same seed.
std::vector<double> white_noise(double amplitude, std::size_t length, std::uint32_t seed);

// The largest magnitude among signal[first ...].
double peak_from(const std::vector<double>& signal, std::size_t first);

// 20 log10(amplitude), floored at kFloorDb.
double amplitude_db(double amplitude);

struct DelayFigures {
  double samples = 0.0;             // lag of the correlation peak, refined between samples
  double peak_correlation = 0.0;    // normalised: 1 is a perfect (delayed) copy
  std::vector<double> correlation;  // normalised, for lags 0 to max_lag
};

// How many samples `output` lags `input`: the peak of their normalised cross-correlation over
// lags 0 to max_lag (by magnitude, so an inverting module is measured too), refined by a parabola
// through the peak and its neighbours.
DelayFigures measure_delay(const std::vector<double>& input, const std::vector<double>& output, std::size_t max_lag);

}  // namespace zanalysis
