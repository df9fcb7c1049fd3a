// One chart of the report: a framed area with a title, value axes with units, grid lines, and
// the mapping from data values to pixels.
#pragma once

#include <QPainter>
#include <QRectF>
#include <QString>
#include <vector>

namespace zreport {

struct Range {
  double low;
  double high;
};

// Tick values for `range`: steps of 1, 2 or 5 times a power of ten, at most about `most` of them.
std::vector<double> ticks(Range range, int most);

// `range` widened outward to whole multiples of `step`, and to at least `step` wide.
Range rounded_out(Range range, double step);

struct Axis {
  QString label;  // with its unit, e.g. "input peak (dBFS)"
  Range range;
  int most_ticks;
};

class Plot {
 public:
  // The data area is what `frame` leaves inside the margins for the title and the tick labels; an
  // empty title leaves the title to the caller.
  Plot(QPainter& painter, const QRectF& frame, const QString& title, Axis x, Axis y);

  QPointF map(double x, double y) const;
  const QRectF& area() const { return data_area; }
  const Axis& x_axis() const { return x; }
  const Axis& y_axis() const { return y; }

  // Title, frame, grid, tick labels and axis labels; `x_ticks` replaces the numeric x labels
  // (for categories) when it is not empty.
  void draw_axes(const std::vector<std::pair<double, QString>>& x_ticks = {}) const;
  // Joins the finite points of (xs, ys) inside the area; a non-finite value breaks the line.
  void draw_curve(const std::vector<double>& xs, const std::vector<double>& ys, const QPen& pen) const;
  enum class Corner { TopLeft, TopRight, BottomRight };
  // A legend box in a corner of the area.
  void draw_legend(const std::vector<std::pair<QString, QPen>>& entries, Corner corner) const;
  // Centred in the area, for a panel without data.
  void draw_empty(const QString& text) const;

 private:
  QPainter& painter;
  QRectF frame;
  QRectF data_area;
  QString title;
  Axis x;
  Axis y;
};

QFont report_font(int pixels, bool bold = false);
// A panel's title along the top of `panel`.
void draw_title(QPainter& painter, const QRectF& panel, const QString& title);
QString number_text(double value, int decimals);

}  // namespace zreport
