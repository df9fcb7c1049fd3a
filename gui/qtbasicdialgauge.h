// A display-only needle gauge: a white 270-degree arc, open at the bottom, with a needle that
// points at the value within [minimum, maximum]. The minimum points to 225 degrees (lower left),
// the maximum to -45 degrees (lower right), angles counter-clockwise from the positive x axis.
#pragma once

#include <QWidget>
#include <optional>

class QtBasicDialGauge : public QWidget {
  Q_OBJECT

 public:
  explicit QtBasicDialGauge(QWidget* parent = nullptr);
  ~QtBasicDialGauge() override;

  int value() const { return value_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }

  // The needle's direction in degrees; none while minimum equals maximum, where the value has no
  // place on the arc and no needle is drawn.
  std::optional<double> needleDegrees() const;

  QSize sizeHint() const override;

 signals:
  void valueChanged(int value);

 public slots:
  void setValue(int value);
  void setMaximum(int maximum);
  void setMinimum(int minimum);
  void setRange(int minimum, int maximum);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int value_ = 0;
  int minimum_ = 0;
  int maximum_ = 100;
};
