// The kit's rotary control: an integer slider whose face is an SVG picture from the skin, with a
// needle gauge and a value label inside. The label shows the value divided by ten (the panel's
// gain is in tenths of a decibel). Pressing, dragging and releasing the left button around the
// centre sets the value; the wheel and the keyboard act as on any slider.
#pragma once

#include <QAbstractSlider>
#include <QPicture>
#include <QString>

class QLabel;
class QtBasicDialGauge;

class QtSVGDial : public QAbstractSlider {
  Q_OBJECT
  Q_PROPERTY(QString skin READ skin WRITE setSkin DESIGNABLE true SCRIPTABLE true STORED true)

 public:
  explicit QtSVGDial(QWidget* parent = nullptr);
  ~QtSVGDial() override;

  // Until the first call the dial has no face.
  void setSkin(const QString& skin);
  QString skin() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private slots:
  void updateLabelValue();

 private:
  QPicture background;
  QPicture hoverBackground;
  QtBasicDialGauge* gauge;
  QLabel* label;
  QString skinName;
};
