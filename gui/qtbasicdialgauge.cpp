#include "qtbasicdialgauge.h"

#include <QPainter>
#include <QPen>
#include <cmath>

namespace {

constexpr double kStartDegrees = 225.0;
constexpr double kHalfSweepDegrees = 135.0;
constexpr double kRadiansPerDegree = M_PI * 0.005555555555555556;
// drawArc angles are in sixteenths of a degree: from -45 degrees, 270 degrees counter-clockwise.
constexpr int kArcStart = -720;
constexpr int kArcSpan = 4320;
constexpr int kInset = 5;

}  // namespace

QtBasicDialGauge::QtBasicDialGauge(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  update();
}

QtBasicDialGauge::~QtBasicDialGauge() = default;

std::optional<double> QtBasicDialGauge::needleDegrees() const {
  if (minimum_ == maximum_) return std::nullopt;
  // In double precision throughout: value - minimum can exceed the int range.
  const double fraction = (double(value_) - minimum_) / (double(maximum_) - minimum_);
  return kStartDegrees - fraction * 2 * kHalfSweepDegrees;
}

QSize QtBasicDialGauge::sizeHint() const { return QSize(50, 50); }

void QtBasicDialGauge::setValue(int value) {
  if (value < minimum_ || value > maximum_) return;
  value_ = value;
  emit valueChanged(value_);
  update();
}

void QtBasicDialGauge::setMaximum(int maximum) {
  maximum_ = maximum;
  if (minimum_ > maximum_) minimum_ = maximum_;
  update();
}

void QtBasicDialGauge::setMinimum(int minimum) {
  minimum_ = minimum;
  if (minimum_ > maximum_) maximum_ = minimum_;
  update();
}

void QtBasicDialGauge::setRange(int minimum, int maximum) {
  if (minimum >= maximum) return;
  setMinimum(minimum);
  setMaximum(maximum);
}

void QtBasicDialGauge::paintEvent(QPaintEvent*) {
  const QRectF bounds(kInset, kInset, width() - 2 * kInset, height() - 2 * kInset);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPen pen(Qt::white, width() * 0.06666666666666667 + 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(pen);
  painter.drawArc(bounds, kArcStart, kArcSpan);

  const std::optional<double> degrees = needleDegrees();
  if (!degrees) return;
  const double radians = *degrees * kRadiansPerDegree;
  const double length = (bounds.width() - 2.5) * 0.5;
  const QPointF centre(bounds.x() + bounds.width() * 0.5, bounds.y() + bounds.height() * 0.5);
  painter.drawLine(centre, QPointF(centre.x() + length * std::cos(radians), centre.y() - length * std::sin(radians)));
}
