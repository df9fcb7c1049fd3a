// QZaltrim: the editor's control panel. A "Gain" dial in tenths of a decibel (-40 dB to +40 dB)
// and an "Oversampling" factor list, whose user changes go to the plug-in format's controls, and
// which follow the host through two slots that the format's bridge drives.
//
// Dial position p (tenths of a dB) and linear gain g:
//   gain(p)     = float(10^(p * 0.005))                         (double pow, narrowed once)
//   position(g) = round(200 * log10 g)                          (the nearest tenth of a dB)
//
// Only the user's own gestures go to the controls and on to the host: a press and drag is one edit
// (begin, a change per step, end), a wheel step or a key one edit of its own. A gain that comes
// from the host (automation, a restored state) moves the dial and stays as the host set it: it is
// neither written back nor rounded to the dial's tenths of a dB.
#pragma once

#include <QPointer>

#include "qwinwidget.h"

class QComboBox;
class QMessageBox;
class QtSVGDial;
class ZaltrimControls;

class QZaltrim : public QWinWidget {
  Q_OBJECT

 public:
  // Without controls the panel only shows its layout (so its size can be measured).
  QZaltrim(ZaltrimControls* controls, WId hostWindow);
  ~QZaltrim() override;

  // Linear gain of a dial position.
  static float gain(int position);
  // Dial position of a linear gain, the nearest tenth of a dB, limited to the dial's -400..400;
  // no gain, or NaN, is -400.
  static int position(float gain);
  // Combo index of an oversampling factor: its significant bits minus 2. Ends for every integer.
  static int index(int factor);
  // The size a panel has in a host window's pixels, which differ from Qt's at a scale above 1,
  // measured on a panel without controls: what a host asks before the panel exists. Builds a
  // whole panel, so callers keep the answer.
  static QSize measure_device_size();

 public slots:
  void update_gain(int value);
  void update_gain(float value);
  void update_oversampling(int value);
  void update_oversampling_log(int value);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  // Picks the entry a click in the opened factor list lands on.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void end_gesture();
  bool is_on_control(const QPoint& position) const;
  void show_about_box();

  ZaltrimControls* controls;
  QtSVGDial* dial;
  QComboBox* combo;
  // One at a time, and never outliving the panel, whose module code it runs.
  QPointer<QMessageBox> about_box;
  // True while the dial shows a gain the host set, so that the change is not taken as the user's.
  bool following_host = false;
  // True from the first change of a press on the dial until its release.
  bool gesture = false;
  // True from a press inside the opened factor list until its release.
  bool pressed_in_list = false;
};
