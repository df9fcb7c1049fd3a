#include "report_painter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "plot.h"
#include "spectrum.h"

namespace zreport {

namespace {

using zanalysis::Figures;

constexpr double kHeaderHeight = 96.0;
constexpr double kGap = 16.0;
// The harmonic panel's scale: as deep as a double-precision chain can usefully show.
constexpr double kSpectrumFloorDbc = -180.0, kSpectrumTopDbc = 10.0;
// Harmonics below this are lost in the chain's rounding noise: listed as such, not marked.
constexpr double kHarmonicNoiseDbc = -150.0;
constexpr double kHarmonicTableWidth = 170.0;
const QColor kInk(30, 30, 36);
const QColor kReference(130, 130, 140);

// One colour per oversampling factor, the same in every panel.
QColor factor_colour(int factor) {
  static const std::map<int, QColor> colours = {{2, QColor(31, 119, 180)},
                                                {4, QColor(255, 127, 14)},
                                                {8, QColor(44, 160, 44)},
                                                {16, QColor(214, 39, 40)},
                                                {32, QColor(148, 103, 189)}};
  const auto found = colours.find(factor);
  return found == colours.end() ? QColor(90, 90, 90) : found->second;
}

// Three significant digits; what rounding error leaves of a clean signal reads as "< 0.001 %".
QString percent_text(double percent) {
  if (!std::isfinite(percent)) return QStringLiteral("n/a");
  if (percent < 0.001) return QStringLiteral("< 0.001 %");
  return QString::number(percent, 'g', 3) + QStringLiteral(" %");
}

QString times(int factor) { return QString(QChar(0x00D7)) + QString::number(factor); }

Range finite_range(const std::vector<double>& values) {
  Range range{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (double value : values)
    if (std::isfinite(value)) range = {std::min(range.low, value), std::max(range.high, value)};
  return range;
}

bool empty_range(Range range) { return !(range.low <= range.high); }

std::vector<int> factors_of(const std::vector<zanalysis::TransferPoint>& points) {
  std::vector<int> factors;
  for (const auto& point : points)
    if (std::find(factors.begin(), factors.end(), point.factor) == factors.end()) factors.push_back(point.factor);
  return factors;
}

void draw_header(QPainter& painter, const Figures& figures) {
  painter.setPen(kInk);
  painter.setFont(report_font(30, true));
  const QString effect = figures.effect.empty() ? QStringLiteral("The module") : QString::fromStdString(figures.effect);
  painter.drawText(QRectF(28, 14, kReportWidth - 56, 42), Qt::AlignLeft | Qt::AlignVCenter,
                   effect + QStringLiteral(": what the overdrive does"));
  painter.setFont(report_font(18));
  const QString settings =
      QStringLiteral(
          "gain %1 (%2 dB)   \u00B7   host rate %3 Hz   \u00B7   mono, 64-bit processing, blocks of %4 frames")
          .arg(QString::number(figures.gain, 'g', 4))
          .arg(number_text(20.0 * std::log10(figures.gain), 1))
          .arg(QString::number(figures.sample_rate, 'f', 0))
          .arg(figures.block_size);
  painter.drawText(QRectF(28, 56, kReportWidth - 56, 30), Qt::AlignLeft | Qt::AlignVCenter, settings);
}

void draw_transfer(QPainter& painter, const QRectF& frame, const Figures& figures) {
  std::vector<double> inputs, outputs;
  for (const auto& point : figures.transfer) {
    inputs.push_back(point.input_dbfs);
    outputs.push_back(point.output_dbfs);
  }
  const Range x_range = empty_range(finite_range(inputs)) ? Range{-40, 40} : finite_range(inputs);
  const Range y_data = finite_range(outputs);
  const Range y_range = empty_range(y_data) ? Range{-60, 0} : rounded_out({y_data.low, std::max(0.0, y_data.high)}, 10);
  const Plot plot(painter, frame,
                  QStringLiteral("Transfer curve: %1 Hz sine, output peak against input peak").arg(figures.transfer_hz),
                  {QStringLiteral("input peak before the gain (dBFS)"), x_range, 8},
                  {QStringLiteral("output peak (dBFS)"), y_range, 8});
  plot.draw_axes();
  if (figures.transfer.empty()) return plot.draw_empty(QStringLiteral("no transfer figures"));

  std::vector<std::pair<QString, QPen>> legend;
  const double gain_db = 20.0 * std::log10(figures.gain);
  const QPen linear(kReference, 1.6, Qt::DashLine);
  plot.draw_curve({x_range.low, x_range.high}, {x_range.low + gain_db, x_range.high + gain_db}, linear);
  const QPen full_scale(kReference, 1.2, Qt::DotLine);
  plot.draw_curve({x_range.low, x_range.high}, {0.0, 0.0}, full_scale);
  // The largest factor first, so that the common case, all curves on one line, leaves ×2 on top.
  std::vector<int> factors = factors_of(figures.transfer);
  std::sort(factors.rbegin(), factors.rend());
  for (int factor : factors) {
    std::vector<double> xs, ys;
    for (const auto& point : figures.transfer)
      if (point.factor == factor) {
        xs.push_back(point.input_dbfs);
        ys.push_back(point.output_dbfs);
      }
    const QPen pen(factor_colour(factor), factor == factors.back() ? 2.6 : 2.2);
    plot.draw_curve(xs, ys, pen);
  }
  std::sort(factors.begin(), factors.end());
  for (int factor : factors)
    legend.emplace_back(QStringLiteral("oversampling ") + times(factor), QPen(factor_colour(factor), 2.4));
  legend.emplace_back(QStringLiteral("linear: input + gain"), linear);
  legend.emplace_back(QStringLiteral("0 dBFS"), full_scale);
  // The curves rise from the lower left to a ceiling: the lower right is always free.
  plot.draw_legend(legend, Plot::Corner::BottomRight);
}

// The figures beside the spectrum, where they cover none of it.
void draw_harmonic_table(QPainter& painter, const QRectF& strip, const Figures& figures) {
  painter.save();
  painter.setPen(kInk);
  double y = strip.top();
  const auto row = [&](const QString& name, const QString& value, bool bold) {
    painter.setFont(report_font(16, bold));
    painter.drawText(QRectF(strip.left(), y, 64, 24), Qt::AlignLeft | Qt::AlignVCenter, name);
    painter.drawText(QRectF(strip.left() + 64, y, strip.width() - 64, 24), Qt::AlignRight | Qt::AlignVCenter, value);
    y += 25;
  };
  row(QStringLiteral("THD"), percent_text(figures.thd_percent), true);
  row(QStringLiteral("THD+N"), percent_text(figures.thdn_percent), true);
  y += 8;
  painter.setFont(report_font(14));
  painter.drawText(QRectF(strip.left(), y, strip.width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("THD counts H2\u2013H9"));
  y += 30;
  for (const auto& harmonic : figures.harmonics)
    row(QStringLiteral("H%1").arg(harmonic.order),
        harmonic.level_dbc > kHarmonicNoiseDbc ? number_text(harmonic.level_dbc, 1)
                                               : QStringLiteral("< ") + number_text(kHarmonicNoiseDbc, 0),
        false);
  painter.setFont(report_font(14));
  painter.drawText(QRectF(strip.left(), y, strip.width(), 20), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("dBc"));
  painter.restore();
}

void draw_harmonics(QPainter& painter, const QRectF& panel, const Figures& figures) {
  const double nyquist_khz = figures.sample_rate / 2000.0;
  const QRectF frame = panel.adjusted(0, 0, -kHarmonicTableWidth, 0);
  draw_harmonic_table(painter, QRectF(frame.right(), panel.top() + 70, kHarmonicTableWidth - 20, panel.height() - 90),
                      figures);
  draw_title(painter, panel,
             QStringLiteral("Harmonics: %1 Hz sine at %2 dBFS, oversampling %3")
                 .arg(QString::number(figures.harmonic_hz, 'f', 1), number_text(figures.level_dbfs, 0),
                      times(figures.harmonic_factor)));
  const Plot plot(
      painter, frame, QString(), {QStringLiteral("frequency (kHz)"), {0.0, nyquist_khz}, 11},
      {QStringLiteral("level relative to the fundamental (dBc)"), {kSpectrumFloorDbc, kSpectrumTopDbc}, 10});
  plot.draw_axes();
  if (figures.spectrum.empty()) return plot.draw_empty(QStringLiteral("no spectrum"));

  std::vector<double> xs, ys;
  for (const auto& point : figures.spectrum) {
    xs.push_back(point.frequency_hz / 1000.0);
    ys.push_back(std::max(point.level_dbc, kSpectrumFloorDbc));
  }
  plot.draw_curve(xs, ys, QPen(QColor(31, 119, 180), 1.3));

  painter.save();
  painter.setFont(report_font(13, true));
  std::vector<QRectF> labels;
  for (const auto& harmonic : figures.harmonics) {
    if (!(harmonic.level_dbc > kHarmonicNoiseDbc)) continue;
    const QPointF at = plot.map(harmonic.frequency_hz / 1000.0, harmonic.level_dbc);
    painter.setPen(QPen(QColor(214, 39, 40), 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 5.0, 5.0);
    // Crowded harmonics (a high rate squeezes them together) keep their marker; the table names them.
    const QRectF label(at.x() - 14, at.y() - 25, 28, 18);
    if (std::any_of(labels.begin(), labels.end(), [&](const QRectF& other) { return other.intersects(label); }))
      continue;
    labels.push_back(label);
    painter.setPen(kInk);
    painter.drawText(label, Qt::AlignCenter, QStringLiteral("H%1").arg(harmonic.order));
  }
  painter.restore();
}

void draw_aliasing(QPainter& painter, const QRectF& frame, const Figures& figures) {
  std::vector<double> levels;
  for (const auto& aliasing : figures.aliasing) levels.push_back(aliasing.non_harmonic_dbc);
  const Range data = finite_range(levels);
  const Range y_range = empty_range(data) ? Range{-120, 0} : rounded_out({std::min(data.low, -20.0), 0.0}, 20);
  const double count = static_cast<double>(std::max<std::size_t>(1, figures.aliasing.size()));
  std::vector<std::pair<double, QString>> categories;
  for (std::size_t i = 0; i < figures.aliasing.size(); ++i) {
    const auto& aliasing = figures.aliasing[i];
    categories.emplace_back(
        static_cast<double>(i) + 0.5,
        times(aliasing.factor) +
            QStringLiteral("\n%1\u00D7 real time").arg(QString::number(aliasing.realtime_factor, 'f', 1)));
  }
  const Plot plot(
      painter, frame,
      QStringLiteral("Aliasing: energy off the harmonics of a %1 Hz sine at %2 dBFS")
          .arg(QString::number(figures.alias_hz, 'f', 0), number_text(figures.level_dbfs, 0)),
      {QStringLiteral("oversampling factor, and its speed (audio time / processing time)"), {0.0, count}, 1},
      {QStringLiteral("folded-back energy (dBc), lower is cleaner"), y_range, 8});
  plot.draw_axes(categories);
  if (figures.aliasing.empty()) return plot.draw_empty(QStringLiteral("no aliasing figures"));

  painter.save();
  painter.setFont(report_font(15, true));
  for (std::size_t i = 0; i < figures.aliasing.size(); ++i) {
    const auto& aliasing = figures.aliasing[i];
    const double middle = static_cast<double>(i) + 0.5;
    if (!std::isfinite(aliasing.non_harmonic_dbc)) continue;
    const double level = std::clamp(aliasing.non_harmonic_dbc, y_range.low, y_range.high);
    const QPointF top = plot.map(middle - 0.3, level), bottom = plot.map(middle + 0.3, y_range.low);
    painter.setPen(Qt::NoPen);
    painter.setBrush(factor_colour(aliasing.factor));
    painter.drawRect(QRectF(top, bottom));
    painter.setPen(kInk);
    const QPointF label = plot.map(middle, level);
    painter.drawText(QRectF(label.x() - 60, label.y() - 24, 120, 20), Qt::AlignCenter,
                     number_text(aliasing.non_harmonic_dbc, 1) + QStringLiteral(" dBc"));
  }
  painter.restore();
}

void draw_latency(QPainter& painter, const QRectF& frame, const Figures& figures) {
  std::vector<double> values;
  int longest_lag = 0;
  for (const auto& point : figures.correlation) {
    values.push_back(point.value);
    longest_lag = std::max(longest_lag, point.lag);
  }
  double furthest = figures.reported_delay;
  for (const auto& latency : figures.latency)
    if (std::isfinite(latency.measured_samples)) furthest = std::max(furthest, latency.measured_samples);
  // Enough lags to show the peaks and the tails around them, not the whole flat remainder.
  const double shown = std::clamp(std::ceil(furthest * 2.0 + 8.0), 8.0, std::max(8.0, double(longest_lag)));
  const Range data = finite_range(values);
  const Range y_range =
      empty_range(data) ? Range{0, 1} : rounded_out({std::min(0.0, data.low), std::max(1.0, data.high)}, 0.2);
  const Plot plot(painter, frame, QStringLiteral("Latency: where the output best matches the input noise"),
                  {QStringLiteral("lag of the output behind the input (samples at the host rate)"), {0.0, shown}, 12},
                  {QStringLiteral("normalised correlation"), y_range, 6});
  plot.draw_axes();
  if (figures.correlation.empty()) return plot.draw_empty(QStringLiteral("no latency figures"));

  const QPen reported(kReference, 2.0, Qt::DashLine);
  plot.draw_curve({double(figures.reported_delay), double(figures.reported_delay)}, {y_range.low, y_range.high},
                  reported);
  std::vector<std::pair<QString, QPen>> legend;
  for (const auto& latency : figures.latency) {
    std::vector<double> xs, ys;
    for (const auto& point : figures.correlation)
      if (point.factor == latency.factor) {
        xs.push_back(point.lag);
        ys.push_back(point.value);
      }
    const QPen pen(factor_colour(latency.factor), 2.0);
    plot.draw_curve(xs, ys, pen);
    plot.draw_curve({latency.measured_samples, latency.measured_samples}, {y_range.low, latency.peak_correlation},
                    QPen(factor_colour(latency.factor), 1.2, Qt::DotLine));
    legend.emplace_back(
        times(latency.factor) +
            QStringLiteral(": measured %1 samples").arg(QString::number(latency.measured_samples, 'f', 2)),
        pen);
  }
  legend.emplace_back(QStringLiteral("reported by the module: %1").arg(figures.reported_delay), reported);
  plot.draw_legend(legend, Plot::Corner::TopRight);
}

}  // namespace

QImage draw_report(const Figures& figures) {
  QImage image(kReportWidth, kReportHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  draw_header(painter, figures);

  const double width = (kReportWidth - 3 * kGap) / 2.0;
  const double height = (kReportHeight - kHeaderHeight - 3 * kGap) / 2.0;
  const auto panel = [&](int column, int row) {
    return QRectF(kGap + column * (width + kGap), kHeaderHeight + kGap + row * (height + kGap), width, height);
  };
  for (int column = 0; column < 2; ++column)
    for (int row = 0; row < 2; ++row) {
      painter.setPen(QPen(QColor(200, 203, 210), 1));
      painter.setBrush(QColor(250, 250, 252));
      painter.drawRoundedRect(panel(column, row), 8, 8);
    }
  draw_transfer(painter, panel(0, 0), figures);
  draw_harmonics(painter, panel(1, 0), figures);
  draw_aliasing(painter, panel(0, 1), figures);
  draw_latency(painter, panel(1, 1), figures);
  painter.end();
  return image;
}

}  // namespace zreport
