// A vertical thumb wheel: an integer slider drawn as a wheel seen from the side. Each step shows
// the next (or previous) of three skin frames, so the ridges appear to roll with the value. The
// mouse wheel and vertical dragging step it; dragging up increases the value.
#pragma once

#include <QAbstractSlider>
#include <QPoint>
#include <QString>

#include "qtsvgpixmapcache.h"

class QtScrollWheel : public QAbstractSlider {
  Q_OBJECT
  Q_PROPERTY(QString skin READ skin WRITE setSkin DESIGNABLE true SCRIPTABLE true STORED true)

 public:
  explicit QtScrollWheel(QWidget* parent = nullptr);
  ~QtScrollWheel() override;

  void setSkin(const QString& skin);
  QString skin() const;

  // The index (0, 1 or 2) of the frame shown.
  int currentFrame() const { return frame; }

  QSize sizeHint() const override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int kFrameCount = 3;

  // Moves by d and shows the neighbouring frame; nothing at all when the value cannot move that way.
  void step(int d);

  QtSvgPixmapCache frames[kFrameCount];
  int frame = 0;
  QPoint lastPos;
  QString skinName;
};
