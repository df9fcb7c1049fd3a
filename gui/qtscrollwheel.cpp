#include "qtscrollwheel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "skin.h"

QtScrollWheel::QtScrollWheel(QWidget* parent) : QAbstractSlider(parent) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QtScrollWheel::~QtScrollWheel() = default;

void QtScrollWheel::setSkin(const QString& skin) {
  skinName = skin;
  for (int n = 0; n < kFrameCount; ++n) frames[n].load(Skin::wheelFramePath(skinName, n + 1));
  updateGeometry();
  update();
}

QString QtScrollWheel::skin() const { return skinName; }

QSize QtScrollWheel::sizeHint() const { return QSize(80, 200); }

void QtScrollWheel::step(int d) {
  if (d < 0 && value() > minimum()) {
    frame = (frame + 2) % kFrameCount;
  } else if (d > 0 && value() < maximum()) {
    frame = (frame + 1) % kFrameCount;
  } else {
    return;
  }
  // In wide integers: value + d can pass the int limits; the slider clamps to its range anyway.
  const long long target = static_cast<long long>(value()) + d;
  setValue(static_cast<int>(std::clamp<long long>(target, minimum(), maximum())));
  update();
}

void QtScrollWheel::mousePressEvent(QMouseEvent* event) {
  lastPos = event->position().toPoint();
  QWidget::mousePressEvent(event);
}

void QtScrollWheel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  const int dy = position.y() - lastPos.y();
  if (std::abs(dy) <= QApplication::startDragDistance()) return;
  step(dy <= 0 ? 1 : -1);
  lastPos = position;
}

void QtScrollWheel::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  // A purely horizontal scroll says nothing about this vertical wheel; let the parent have it.
  if (delta == 0) {
    event->ignore();
    return;
  }
  const int lines = QApplication::wheelScrollLines();
  step(delta > 0 ? lines : -lines);
}

void QtScrollWheel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  frames[frame].render(&painter, QRectF(0, 0, width(), height()));
}
