// The SVG dial with a value pop-up: face, gauge, label, pointer mapping and mouse handling are the
// SVG dial's, but the label shows the value itself. A left double click opens the pop-up beside
// the dial, where a scroll wheel sets the value; the face stays lit while the pop-up is open.
#pragma once

#include <QAbstractSlider>
#include <QPicture>
#include <QPoint>
#include <QString>

class QLabel;
class QtBasicDialGauge;
class ScrollDialPopup;

class QtScrollDial : public QAbstractSlider {
  Q_OBJECT
  Q_PROPERTY(QString skin READ skin WRITE setSkin DESIGNABLE true SCRIPTABLE true STORED true)

 public:
  explicit QtScrollDial(QWidget* parent = nullptr);
  ~QtScrollDial() override;

  void setSkin(const QString& skin);
  QString skin() const;

  // Where the pop-up opens, in screen coordinates: right of the dial and 15 pixels above its top,
  // or left of it where the right side has no room, kept on the dial's screen.
  QPoint popupPosition() const;

  // Opens the pop-up with the dial's range and value at popupPosition().
  void showPopup();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private slots:
  void updateLabelValue();

 private:
  ScrollDialPopup* popup;
  QPicture background;
  QPicture hoverBackground;
  QtBasicDialGauge* gauge;
  QLabel* label;
  QString skinName;
};
