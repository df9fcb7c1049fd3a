// The scroll dial's value pop-up: a skin-shaped window with a gauge, a value label, a scroll wheel
// and a round close button over its top-right corner. Turning the wheel moves the gauge and the
// label; only a click on the close button commits the wheel's value to the dial. Hidden any other
// way (a click outside, Escape), it leaves the dial's value alone.
#pragma once

#include <QAbstractButton>
#include <QPicture>
#include <QString>
#include <QWidget>

class QAbstractSlider;
class QLabel;
class QtBasicDialGauge;
class QtScrollWheel;

class PopupCloseButton : public QAbstractButton {
  Q_OBJECT
  Q_PROPERTY(QString skin READ skin WRITE setSkin DESIGNABLE true SCRIPTABLE true STORED true)

 public:
  explicit PopupCloseButton(QWidget* parent = nullptr);
  ~PopupCloseButton() override;

  void setSkin(const QString& skin);
  QString skin() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPicture normalPicture;
  QPicture hoveredPicture;
  QPicture pressedPicture;
  QString skinName;
};

class ScrollDialPopup : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString skin READ skin WRITE setSkin DESIGNABLE true SCRIPTABLE true STORED true)

 public:
  // The parent is the dial that receives the committed value.
  explicit ScrollDialPopup(QWidget* parent = nullptr);
  ~ScrollDialPopup() override;

  void setSkin(const QString& skin);
  QString skin() const;
  void setRange(int minimum, int maximum);
  void setValue(int value);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private slots:
  void updateLabelValue();
  void commitValue();

 private:
  // Half the close button, less a pixel: the background is inset by it on the left, the top and
  // the right, so the round button sits centred on the background's top-right corner.
  double inset() const;
  // The window's shape: the background artwork plus the close button.
  void updateMask();

  QAbstractSlider* dial;
  QtScrollWheel* wheel;
  QLabel* label;
  QtBasicDialGauge* gauge;
  PopupCloseButton* closeButton;
  QPicture background;
  QString skinName;
  bool inResize = false;
};
