#include "dialcontrol.h"

#include <QAbstractSlider>
#include <QLabel>
#include <QMouseEvent>
#include <QPicture>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "qtbasicdialgauge.h"
#include "skin.h"

namespace DialControl {

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFourPiOverThree = 4.1887902047863905;
constexpr double kThreeOverFivePi = 0.19098593171027442;
constexpr int kLabelMinimumWidth = 35;

int valueAtEvent(const QAbstractSlider& dial, const QMouseEvent* event) {
  return valueAt(event->position().toPoint(), dial.size(), dial.minimum(), dial.maximum());
}

}  // namespace

Innards build(QAbstractSlider* dial) {
  dial->setAttribute(Qt::WA_Hover);
  auto* layout = new QVBoxLayout(dial);
  layout->setSpacing(0);

  auto* gauge = new QtBasicDialGauge(dial);
  gauge->setRange(dial->minimum(), dial->maximum());
  gauge->setValue(dial->value());

  auto* label = new QLabel("0", dial);
  label->setAlignment(Qt::AlignHCenter);
  label->setMinimumWidth(kLabelMinimumWidth);
  label->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);

  layout->addWidget(gauge, 0, Qt::AlignHCenter);
  layout->addWidget(label, 0, Qt::AlignHCenter);

  QObject::connect(dial, &QAbstractSlider::valueChanged, gauge, &QtBasicDialGauge::setValue);
  QObject::connect(dial, &QAbstractSlider::rangeChanged, gauge, &QtBasicDialGauge::setRange);
  return {gauge, label};
}

void applySkin(const QString& directory, QLabel* label, QPicture& background, QPicture& hoverBackground) {
  label->setStyleSheet(Skin::labelStyleSheet(directory));
  QSvgRenderer renderer;
  Skin::record(renderer, directory + "background.svg", background);
  Skin::record(renderer, directory + "background_hover.svg", hoverBackground);
}

int valueAt(QPoint position, QSize size, int minimum, int maximum) {
  const double xx = position.x() - size.width() * 0.5;
  const double yy = size.height() * 0.5 - position.y();
  double a = (xx == 0 && yy == 0) ? 0 : std::atan2(yy, xx);
  if (a < -kHalfPi) a += kTwoPi;

  // Wide integers and a double result: a range near the int limits must not overflow.
  const long long dist = minimum < 0 ? -static_cast<long long>(minimum) : 0;
  const long long lo = minimum < 0 ? 0 : minimum;
  const long long hi = static_cast<long long>(maximum) + dist;
  const double v = std::trunc(double(hi - lo) * (kFourPiOverThree - a) * kThreeOverFivePi + (double(lo) + 0.5));
  return static_cast<int>(std::clamp(v - double(dist), double(minimum), double(maximum)));
}

void press(QAbstractSlider& dial, QMouseEvent* event) {
  const bool onlyLeft = event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton;
  if (dial.minimum() == dial.maximum() || !onlyLeft) {
    event->ignore();
    return;
  }
  event->accept();
  dial.setSliderPosition(valueAtEvent(dial, event));
  dial.setSliderDown(true);
}

void move(QAbstractSlider& dial, QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) {
    event->ignore();
    return;
  }
  event->accept();
  dial.setSliderPosition(valueAtEvent(dial, event));
}

void release(QAbstractSlider& dial, QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->buttons() != Qt::NoButton) {
    event->ignore();
    return;
  }
  event->accept();
  dial.setValue(valueAtEvent(dial, event));
  dial.setSliderDown(false);
}

}  // namespace DialControl
