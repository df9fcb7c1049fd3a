#include "summary.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace zanalysis {

namespace {

// The drive levels the summary quotes from the transfer curve.
constexpr double kQuotedLevels[] = {-40.0, -20.0, 0.0, 20.0, 40.0};

void append(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

void append(std::string& text, const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  text += line;
}

// Rounded as printed, so that -0.00005 reads as 0.0 rather than -0.0.
double tenths(double value) {
  const double rounded = std::round(value * 10.0) / 10.0;
  return rounded == 0.0 ? 0.0 : rounded;
}

const TransferPoint* transfer_at(const Figures& figures, int factor, double level) {
  for (const TransferPoint& point : figures.transfer)
    if (point.factor == factor && std::abs(point.input_dbfs - level) < 1e-6) return &point;
  return nullptr;
}

std::vector<int> transfer_factors(const Figures& figures) {
  std::vector<int> factors;
  for (const TransferPoint& point : figures.transfer)
    if (factors.empty() || factors.back() != point.factor) factors.push_back(point.factor);
  return factors;
}

void append_transfer(std::string& text, const Figures& figures) {
  append(text, "transfer of a %.0f Hz sine: output peak (dBFS) at input peak", figures.transfer_hz);
  for (double level : kQuotedLevels) append(text, " %+.0f", level);
  text += " dBFS\n";
  for (int factor : transfer_factors(figures)) {
    append(text, "  x%-3d", factor);
    for (double level : kQuotedLevels) {
      const TransferPoint* point = transfer_at(figures, factor, level);
      if (point)
        append(text, " %7.1f", tenths(point->output_dbfs));
      else
        text += "       -";
    }
    text += '\n';
  }
}

void append_harmonics(std::string& text, const Figures& figures) {
  append(text, "harmonics of a %.1f Hz sine at %+.0f dBFS, oversampling %d (dBc):\n ", figures.harmonic_hz,
         figures.level_dbfs, figures.harmonic_factor);
  for (const HarmonicLevel& harmonic : figures.harmonics)
    append(text, " H%d %.1f", harmonic.order, tenths(harmonic.level_dbc));
  append(text, "\n  THD %.3g %%, THD+N %.3g %%\n", figures.thd_percent, figures.thdn_percent);
}

void append_aliasing(std::string& text, const Figures& figures) {
  append(text, "aliasing of a %.1f Hz sine at %+.0f dBFS (energy at no harmonic) and cost:\n", figures.alias_hz,
         figures.level_dbfs);
  for (const AliasingFigure& aliasing : figures.aliasing)
    append(text, "  x%-3d %7.1f dBc   %7.1f x real time (%.2g %% of one core)\n", aliasing.factor,
           tenths(aliasing.non_harmonic_dbc), aliasing.realtime_factor,
           aliasing.realtime_factor > 0.0 ? 100.0 / aliasing.realtime_factor : 0.0);
}

void append_latency(std::string& text, const Figures& figures) {
  append(text, "latency: the module reports %d samples; measured by cross-correlation:\n", figures.reported_delay);
  for (const LatencyFigure& latency : figures.latency)
    append(text, "  x%-3d %6.2f samples (correlation %.3f)\n", latency.factor, latency.measured_samples,
           latency.peak_correlation);
}

}  // namespace

std::string summary_text(const Figures& figures) {
  std::string text;
  append(text, "%s at gain %.4g (%+.1f dB), %.0f Hz, blocks of %d frames\n", figures.effect.c_str(), figures.gain,
         20.0 * std::log10(figures.gain), figures.sample_rate, figures.block_size);
  append_transfer(text, figures);
  append_harmonics(text, figures);
  append_aliasing(text, figures);
  append_latency(text, figures);
  return text;
}

}  // namespace zanalysis
