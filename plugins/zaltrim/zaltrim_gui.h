// GUIZaltrim: the bridge between the host's editor opcodes and the Qt panel.
//
// The host opens the editor with its window; the bridge builds the panel inside it, fits the
// window to the panel, and relays the effect's value changes to the panel through queued
// connections, so that the panel is only touched on the user-interface thread. The relay exists
// only while the editor is open: with no loop to drain them, queued notifications would pile up
// for as long as a host automates the gain with the editor closed.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include "aeff_editor.h"

class QZaltrim;
class ZaltrimEffect;

class GUIZaltrim : public QObject, public AEffEditor {
  Q_OBJECT

 public:
  explicit GUIZaltrim(ZaltrimEffect* effect);
  // Closes an open panel: nothing of the module's may outlive the effect.
  ~GUIZaltrim() override;

  bool getRect(ERect** rect) override;
  bool open(void* window) override;
  void close() override;
  // A plain Xlib host runs no Qt loop: its idle calls run the module's events.
  void idle() override;

 signals:
  void update_gain(float value);
  void update_oversampling(int oversampling);

 private:
  void store_rect(const QRect& geometry);
  void connect_effect();
  void disconnect_effect();

  QPointer<QZaltrim> panel;
  // The bridge's own typed pointer; the base's untyped one stays null.
  ZaltrimEffect* effect;
  ERect rect{0, 0, 0, 0};
  QMetaObject::Connection gain_link;
  QMetaObject::Connection oversampling_link;
};
