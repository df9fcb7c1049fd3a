#include "plot.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zreport {

namespace {

constexpr double kLeftMargin = 88.0, kRightMargin = 24.0, kTopMargin = 52.0, kBottomMargin = 86.0;
const QColor kInk(30, 30, 36);
const QColor kGrid(222, 224, 230);
const QColor kFrame(120, 124, 135);

double nice_step(double span, int most) {
  const double raw = span / std::max(1, most);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double multiple : {1.0, 2.0, 5.0, 10.0})
    if (multiple * power >= raw) return multiple * power;
  return 10.0 * power;
}

}  // namespace

std::vector<double> ticks(Range range, int most) {
  std::vector<double> values;
  const double span = range.high - range.low;
  if (!(span > 0.0) || !std::isfinite(span)) return values;
  const double step = nice_step(span, most);
  for (double value = std::ceil(range.low / step - 1e-9) * step; value <= range.high + step * 1e-9; value += step)
    values.push_back(std::abs(value) < step * 1e-9 ? 0.0 : value);
  return values;
}

Range rounded_out(Range range, double step) {
  Range out{std::floor(range.low / step) * step, std::ceil(range.high / step) * step};
  if (out.high - out.low < step) out.high = out.low + step;
  return out;
}

QFont report_font(int pixels, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QString number_text(double value, int decimals) {
  if (!std::isfinite(value)) return QStringLiteral("n/a");
  // A true minus sign reads better than a hyphen next to digits.
  QString text = QString::number(value, 'f', decimals);
  // Rounding may leave "-0.0"; a negative zero is just zero to a reader.
  if (text.toDouble() == 0.0) text.remove(QLatin1Char('-'));
  return text.replace(QLatin1Char('-'), QChar(0x2212));
}

void draw_title(QPainter& painter, const QRectF& panel, const QString& title) {
  painter.save();
  painter.setPen(kInk);
  painter.setFont(report_font(19, true));
  painter.drawText(QRectF(panel.left() + 12, panel.top() + 8, panel.width() - 24, kTopMargin - 14),
                   Qt::AlignLeft | Qt::AlignVCenter, title);
  painter.restore();
}

Plot::Plot(QPainter& painter, const QRectF& frame, const QString& title, Axis x, Axis y)
    : painter(painter),
      frame(frame),
      data_area(frame.adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin)),
      title(title),
      x(std::move(x)),
      y(std::move(y)) {}

QPointF Plot::map(double x_value, double y_value) const {
  const double fx = (x_value - x.range.low) / (x.range.high - x.range.low);
  const double fy = (y_value - y.range.low) / (y.range.high - y.range.low);
  return {data_area.left() + fx * data_area.width(), data_area.bottom() - fy * data_area.height()};
}

void Plot::draw_axes(const std::vector<std::pair<double, QString>>& x_ticks) const {
  if (!title.isEmpty()) draw_title(painter, frame, title);
  painter.save();

  painter.setFont(report_font(14));
  for (double value : ticks(y.range, y.most_ticks)) {
    const double py = map(x.range.low, value).y();
    painter.setPen(QPen(kGrid, 1));
    painter.drawLine(QPointF(data_area.left(), py), QPointF(data_area.right(), py));
    painter.setPen(kInk);
    painter.drawText(QRectF(frame.left(), py - 10, kLeftMargin - 10, 20), Qt::AlignRight | Qt::AlignVCenter,
                     number_text(value, std::abs(value - std::round(value)) > 1e-9 ? 1 : 0));
  }
  std::vector<std::pair<double, QString>> labels = x_ticks;
  if (labels.empty())
    for (double value : ticks(x.range, x.most_ticks))
      labels.emplace_back(value, number_text(value, std::abs(value - std::round(value)) > 1e-9 ? 1 : 0));
  for (const auto& [value, text] : labels) {
    const double px = map(value, y.range.low).x();
    if (x_ticks.empty()) {
      painter.setPen(QPen(kGrid, 1));
      painter.drawLine(QPointF(px, data_area.top()), QPointF(px, data_area.bottom()));
    }
    painter.setPen(kInk);
    painter.drawText(QRectF(px - 80, data_area.bottom() + 6, 160, 40), Qt::AlignHCenter | Qt::AlignTop, text);
  }

  painter.setPen(QPen(kFrame, 1.2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(data_area);

  painter.setPen(kInk);
  painter.setFont(report_font(16));
  painter.drawText(QRectF(data_area.left(), frame.bottom() - 32, data_area.width(), 28), Qt::AlignCenter, x.label);
  painter.translate(frame.left() + 18, data_area.center().y());
  painter.rotate(-90.0);
  painter.drawText(QRectF(-data_area.height() / 2, -14, data_area.height(), 28), Qt::AlignCenter, y.label);
  painter.restore();
}

void Plot::draw_curve(const std::vector<double>& xs, const std::vector<double>& ys, const QPen& pen) const {
  painter.save();
  painter.setClipRect(data_area);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  QPainterPath path;
  bool drawing = false;
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
      drawing = false;
      continue;
    }
    // Far outside values would overflow the pixel maths; the clip hides the edge anyway.
    const double value =
        std::clamp(ys[i], y.range.low - (y.range.high - y.range.low), y.range.high + (y.range.high - y.range.low));
    const QPointF point = map(xs[i], value);
    if (drawing)
      path.lineTo(point);
    else
      path.moveTo(point);
    drawing = true;
  }
  painter.drawPath(path);
  painter.restore();
}

void Plot::draw_legend(const std::vector<std::pair<QString, QPen>>& entries, Corner corner) const {
  if (entries.empty()) return;
  painter.save();
  painter.setFont(report_font(15));
  const QFontMetricsF metrics(painter.font());
  double text_width = 0.0;
  for (const auto& entry : entries) text_width = std::max(text_width, metrics.horizontalAdvance(entry.first));
  const double row = metrics.height() + 4, width = text_width + 56, height = row * entries.size() + 12;
  const double left = corner == Corner::TopLeft ? data_area.left() + 10 : data_area.right() - width - 10;
  const double top = corner == Corner::BottomRight ? data_area.bottom() - height - 10 : data_area.top() + 10;
  const QRectF box(left, top, width, height);
  painter.setPen(QPen(kFrame, 1));
  painter.setBrush(QColor(255, 255, 255, 235));
  painter.drawRect(box);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const double middle = box.top() + 6 + row * (i + 0.5);
    painter.setPen(entries[i].second);
    painter.drawLine(QPointF(box.left() + 8, middle), QPointF(box.left() + 40, middle));
    painter.setPen(kInk);
    painter.drawText(QRectF(box.left() + 48, middle - row / 2, text_width + 4, row), Qt::AlignLeft | Qt::AlignVCenter,
                     entries[i].first);
  }
  painter.restore();
}

void Plot::draw_empty(const QString& text) const {
  painter.save();
  painter.setPen(kFrame);
  painter.setFont(report_font(18));
  painter.drawText(data_area, Qt::AlignCenter, text);
  painter.restore();
}

}  // namespace zreport
