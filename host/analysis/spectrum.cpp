#include "spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

namespace zanalysis {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct FftwFree {
  void operator()(void* memory) const { fftw_free(memory); }
};

struct PlanDestroy {
  void operator()(fftw_plan_s* plan) const { fftw_destroy_plan(plan); }
};

double blackman_harris(std::size_t n, std::size_t length) {
  const double phase = 2.0 * kPi * static_cast<double>(n) / static_cast<double>(length);
  return 0.35875 - 0.48829 * std::cos(phase) + 0.14128 * std::cos(2.0 * phase) - 0.01168 * std::cos(3.0 * phase);
}

// The spectrum's bins as [first, last] around the fractional bin position `centre`, inside [0, N/2].
struct BinRange {
  std::size_t first;
  std::size_t last;
};

BinRange lobe_around(double centre, std::size_t bins) {
  const auto middle = static_cast<long>(std::lround(centre));
  const long lobe = static_cast<long>(kLobeBins);
  const long first = std::min(static_cast<long>(bins) - 1, std::max(0L, middle - lobe));
  const long last = std::min(static_cast<long>(bins) - 1, middle + lobe);
  return {static_cast<std::size_t>(first), static_cast<std::size_t>(std::max(first, last))};
}

double energy(const std::vector<double>& spectrum, BinRange range) {
  double sum = 0.0;
  for (std::size_t k = range.first; k <= range.last && k < spectrum.size(); ++k) sum += spectrum[k];
  return sum;
}

double bin_of(double frequency, double sample_rate, std::size_t length) {
  return frequency * static_cast<double>(length) / sample_rate;
}

}  // namespace

double power_db(double ratio) {
  if (!(ratio > 0.0)) return kFloorDb;
  return std::max(kFloorDb, 10.0 * std::log10(ratio));
}

double bin_centred_frequency(double frequency, double sample_rate, std::size_t length) {
  const double bin = std::max(1.0, std::round(bin_of(frequency, sample_rate, length)));
  return bin * sample_rate / static_cast<double>(length);
}

std::vector<double> power_spectrum(const std::vector<double>& signal) {
  const std::size_t length = signal.size();
  if (length < 2 * kLobeBins + 2) throw std::invalid_argument("a spectrum needs more samples");
  std::unique_ptr<double, FftwFree> in(static_cast<double*>(fftw_malloc(sizeof(double) * length)));
  std::unique_ptr<fftw_complex, FftwFree> out(
      static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (length / 2 + 1))));
  if (!in || !out) throw std::bad_alloc();
  const std::unique_ptr<fftw_plan_s, PlanDestroy> plan(
      fftw_plan_dft_r2c_1d(static_cast<int>(length), in.get(), out.get(), FFTW_ESTIMATE));
  for (std::size_t n = 0; n < length; ++n) in.get()[n] = signal[n] * blackman_harris(n, length);
  fftw_execute(plan.get());

  std::vector<double> spectrum(length / 2 + 1);
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    const double re = out.get()[k][0], im = out.get()[k][1];
    // Bins strictly between DC and Nyquist stand for their negative-frequency twin as well.
    const double twins = (k == 0 || 2 * k == length) ? 1.0 : 2.0;
    spectrum[k] = twins * (re * re + im * im);
  }
  return spectrum;
}

HarmonicFigures harmonic_figures(const std::vector<double>& spectrum, double frequency, double sample_rate,
                                 std::size_t length, int highest_order) {
  const double fundamental_bin = bin_of(frequency, sample_rate, length);
  const double fundamental = energy(spectrum, lobe_around(fundamental_bin, spectrum.size()));
  const double nyquist_bin = static_cast<double>(spectrum.size() - 1);

  HarmonicFigures figures;
  double harmonics = 0.0;
  for (int order = 2; order <= highest_order; ++order) {
    const double bin = fundamental_bin * order;
    if (bin + static_cast<double>(kLobeBins) > nyquist_bin) {
      figures.levels_dbc.push_back(kFloorDb);
      continue;
    }
    const double power = energy(spectrum, lobe_around(bin, spectrum.size()));
    harmonics += power;
    figures.levels_dbc.push_back(power_db(power / fundamental));
  }
  const double dc = energy(spectrum, lobe_around(0.0, spectrum.size()));
  double total = 0.0;
  for (double bin : spectrum) total += bin;
  const double rest = std::max(0.0, total - dc - fundamental);
  figures.thd_percent = fundamental > 0.0 ? 100.0 * std::sqrt(harmonics / fundamental) : kNaN;
  figures.thdn_percent = fundamental > 0.0 ? 100.0 * std::sqrt(rest / fundamental) : kNaN;
  return figures;
}

double non_harmonic_dbc(const std::vector<double>& spectrum, double frequency, double sample_rate, std::size_t length) {
  const double fundamental_bin = bin_of(frequency, sample_rate, length);
  const double nyquist_bin = static_cast<double>(spectrum.size() - 1);
  std::vector<bool> harmonic(spectrum.size(), false);
  const auto mark = [&](BinRange range) {
    std::fill(harmonic.begin() + static_cast<long>(range.first), harmonic.begin() + static_cast<long>(range.last) + 1,
              true);
  };
  mark(lobe_around(0.0, spectrum.size()));
  for (int order = 1; fundamental_bin * order - static_cast<double>(kLobeBins) <= nyquist_bin; ++order)
    mark(lobe_around(fundamental_bin * order, spectrum.size()));

  double rest = 0.0;
  for (std::size_t k = 0; k < spectrum.size(); ++k)
    if (!harmonic[k]) rest += spectrum[k];
  const double fundamental = energy(spectrum, lobe_around(fundamental_bin, spectrum.size()));
  return fundamental > 0.0 ? power_db(rest / fundamental) : kNaN;
}

}  // namespace zanalysis
