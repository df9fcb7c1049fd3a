// GUIZaltrim: the bridge between the host's editor opcodes and the Qt panel.
//
// The host opens the editor with its window; the bridge builds the panel inside it and fits the
// window to the panel. The effect's value changes come from any host thread, at any rate (a host
// may automate the gain once per sample). The bridge keeps only the latest gain and factor, in
// atomics written on the emitting thread, and hands them to the panel on the editor's thread at
// the editor's next idle call or timer tick: the panel needs the latest value, not every one, and
// nothing queues up however fast the host writes or however seldom it lets the editor run.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>

#include "aeff_editor.h"
#include "zaltrim_controls.h"

class QSize;
class QTimer;
class QZaltrim;
class ZaltrimEffect;

// The panel's controls in the effect: the gain and the factor as the host's parameters, with
// their edits.
class ZaltrimEffectControls : public ZaltrimControls {
 public:
  explicit ZaltrimEffectControls(ZaltrimEffect* effect) : effect(effect) {}

  float gain() const override;
  int oversampling() const override;
  void begin_gain_gesture() override;
  void change_gain(float linear_gain) override;
  void end_gain_gesture() override;
  void pick_oversampling(int factor) override;

 private:
  ZaltrimEffect* effect;
};

class GUIZaltrim : public QObject, public AEffEditor {
  Q_OBJECT

 public:
  explicit GUIZaltrim(ZaltrimEffect* effect);
  // Closes an open panel: nothing of the module's may outlive the effect.
  ~GUIZaltrim() override;

  // False when no editor can be shown here (no display): a host must not make a window for it.
  bool getRect(ERect** rect) override;
  bool open(void* window) override;
  void close() override;
  // A host without a Qt loop runs the editor's events in its idle calls.
  void idle() override;

 signals:
  void update_gain(float value);
  void update_oversampling(int oversampling);

 private:
  enum Pending : unsigned { kGain = 1, kOversampling = 2 };

  void close_panel();
  // The panel's size in the host window's pixels.
  void store_rect(const QSize& size);
  // Any thread: keeps the value for the next delivery.
  void note_gain(float value);
  void note_oversampling(int value);
  // The editor's thread: passes on what changed since the last delivery.
  void deliver();

  QPointer<QZaltrim> panel;
  // Lives on the editor's thread beside the panel, and goes before it: a delivery into a panel
  // half torn down would reach a widget that is no longer a panel.
  QTimer* delivery = nullptr;
  // The bridge's own typed pointer; the base's untyped one stays null.
  ZaltrimEffect* effect;
  ZaltrimEffectControls controls{effect};
  ERect rect{0, 0, 0, 0};
  std::atomic<float> latest_gain{1.0f};
  std::atomic<int> latest_oversampling{2};
  std::atomic<unsigned> pending{0};
};
