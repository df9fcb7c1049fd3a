#include "measures.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include "spectrum.h"

namespace zanalysis {

namespace {

constexpr double kPi = 3.14159265358979323846;

double correlation_at(const std::vector<double>& input, const std::vector<double>& output, std::size_t lag) {
  double sum = 0.0;
  for (std::size_t n = 0; n + lag < output.size() && n < input.size(); ++n) sum += input[n] * output[n + lag];
  return sum;
}

double energy(const std::vector<double>& signal) {
  double sum = 0.0;
  for (double sample : signal) sum += sample * sample;
  return sum;
}

// Offset of the vertex of the parabola through (-1, left), (0, centre), (1, right).
double vertex_offset(double left, double centre, double right) {
  const double curvature = left - 2.0 * centre + right;
  if (curvature == 0.0) return 0.0;
  return std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
}

}  // namespace

SineSource::SineSource(double frequency, double sample_rate) : step(2.0 * kPi * frequency / sample_rate) {}

std::vector<double> SineSource::next(double amplitude, std::size_t length) {
  std::vector<double> samples(length);
  // The phase comes from the sample count, not from summed steps, so it never drifts.
  for (double& sample : samples) sample = amplitude * std::sin(step * static_cast<double>(position++));
  return samples;
}

std::vector<double> white_noise(double amplitude, std::size_t length, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
  std::vector<double> samples(length);
  for (double& sample : samples) sample = uniform(generator);
  return samples;
}

double peak_from(const std::vector<double>& signal, std::size_t first) {
  double peak = 0.0;
  for (std::size_t n = first; n < signal.size(); ++n) peak = std::max(peak, std::abs(signal[n]));
  return peak;
}

double amplitude_db(double amplitude) { return power_db(amplitude * amplitude); }

DelayFigures measure_delay(const std::vector<double>& input, const std::vector<double>& output, std::size_t max_lag) {
  if (input.empty() || output.size() <= max_lag) throw std::invalid_argument("too short to measure a delay");
  const double scale = std::sqrt(energy(input) * energy(output));
  DelayFigures figures;
  for (std::size_t lag = 0; lag <= max_lag; ++lag)
    figures.correlation.push_back(scale > 0.0 ? correlation_at(input, output, lag) / scale : 0.0);

  const auto& r = figures.correlation;
  const auto best = static_cast<std::size_t>(
      std::max_element(r.begin(), r.end(), [](double a, double b) { return std::abs(a) < std::abs(b); }) - r.begin());
  figures.peak_correlation = r[best];
  figures.samples = static_cast<double>(best);
  if (best > 0 && best < max_lag) figures.samples += vertex_offset(r[best - 1], r[best], r[best + 1]);
  return figures;
}

}  // namespace zanalysis
