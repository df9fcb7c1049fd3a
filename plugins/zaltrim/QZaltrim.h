// QZaltrim: the editor's control panel. A "Gain" dial in tenths of a decibel (-40 dB to +40 dB)
// and an "Oversampling" factor list, written straight into the effect, and following the effect
// through two slots that the editor bridge drives.
//
// Dial position p (tenths of a dB) and linear gain g:
//   gain(p)     = float(10^(p * 0.005))                         (double pow, narrowed once)
//   position(g) = trunc(float(ln g) / float(ln 10) * 200.0f)   (single-precision, toward zero)
// The round trip position(gain(p)) is p for 621 of the 801 positions and one step nearer to 0
// for the rest; the dial and the effect settle by themselves on a position that maps onto itself.
#pragma once

#include <QPointer>

#include "qwinwidget.h"

class QComboBox;
class QMessageBox;
class QtSVGDial;
class ZaltrimEffect;

class QZaltrim : public QWinWidget {
  Q_OBJECT

 public:
  // Without an effect the panel only shows its layout (so its size can be measured).
  QZaltrim(ZaltrimEffect* effect, WId hostWindow);
  ~QZaltrim() override;

  // Linear gain of a dial position.
  static float gain(int position);
  // Dial position of a linear gain, limited to the dial's -400..400; no gain, or NaN, is -400.
  static int position(float gain);
  // Combo index of an oversampling factor: its significant bits minus 2. Ends for every integer.
  static int index(int factor);

 public slots:
  void update_gain(int value);
  void update_gain(float value);
  void update_oversampling(int value);
  void update_oversampling_log(int value);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool is_on_control(const QPoint& position) const;
  void show_about_box();

  ZaltrimEffect* effect;
  QtSVGDial* dial;
  QComboBox* combo;
  // One at a time, and never outliving the panel, whose module code it runs.
  QPointer<QMessageBox> about_box;
};
