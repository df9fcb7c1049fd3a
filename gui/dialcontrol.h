// What the SVG dial and the scroll dial share: their inner gauge and label, their skin pictures,
// and the mapping of a pointer position to a value.
//
// The pointer mapping spreads the range over 300 degrees, clockwise over the top: the minimum at
// 240 degrees (lower left), the middle straight up, the maximum at -60 degrees (lower right). With
// a the pointer's angle about the widget's centre in (-pi/2, 3pi/2] and the range shifted to start
// at lo >= 0:  v = trunc((hi - lo) * (4pi/3 - a) * 3/(5pi) + lo + 0.5), then shifted back and
// clamped. The dead zone straight below clamps to the nearer end.
#pragma once

#include <QPoint>
#include <QSize>

class QAbstractSlider;
class QLabel;
class QMouseEvent;
class QPicture;
class QString;
class QtBasicDialGauge;

namespace DialControl {

struct Innards {
  QtBasicDialGauge* gauge;
  QLabel* label;
};

// Hover repaints, a vertical layout with the gauge above the label, and the gauge tied to the
// dial's value and range. The label's own text connection is the dial's to make (its slot is private).
Innards build(QAbstractSlider* dial);

// The label's style sheet and both faces from the skin folder; missing files leave empty faces.
void applySkin(const QString& directory, QLabel* label, QPicture& background, QPicture& hoverBackground);

int valueAt(QPoint position, QSize size, int minimum, int maximum);

// Left button only, without a drag threshold; each accepts or ignores the event explicitly.
void press(QAbstractSlider& dial, QMouseEvent* event);
void move(QAbstractSlider& dial, QMouseEvent* event);
void release(QAbstractSlider& dial, QMouseEvent* event);

}  // namespace DialControl
