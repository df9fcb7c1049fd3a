// ZaltrimUi: the panel as the plug-in's X11 UI, inside a window of the host's.
//
// The UI reaches the plug-in only through its ports: the host tells it the gain (in dB) and the
// factor with port events, and the user's gestures go out as port writes, a drag bracketed by
// touch calls when the host offers them. Every call comes on the host's UI thread; the module's
// own Qt application (when the host has none) runs its events in the host's idle calls.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <qwindowdefs.h>

#include <QPointer>
#include <cstdint>
#include <memory>

#include "zaltrim_controls.h"

class QZaltrim;

class ZaltrimUi : public ZaltrimControls {
 public:
  // A UI inside the host's ui:parent window, or null without one, or without a display to show
  // it on. `widget` receives the panel's own X window.
  static std::unique_ptr<ZaltrimUi> create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                           const LV2_Feature* const* features, LV2UI_Widget* widget);
  ~ZaltrimUi() override;
  ZaltrimUi(const ZaltrimUi&) = delete;
  ZaltrimUi& operator=(const ZaltrimUi&) = delete;

  void port_event(std::uint32_t port, std::uint32_t buffer_size, std::uint32_t format, const void* buffer);
  // The host's idle call: runs the module's own Qt events. Always 0, the UI stays open.
  static int idle();

  float gain() const override;
  int oversampling() const override;
  void begin_gain_gesture() override;
  void change_gain(float linear_gain) override;
  void end_gain_gesture() override;
  void pick_oversampling(int factor) override;

 private:
  ZaltrimUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);
  void open(WId parent, const LV2UI_Resize* resize);
  void follow_gain(float db);
  void follow_oversampling(float value);
  void write(std::uint32_t port, float value) const;

  LV2UI_Write_Function write_function;
  LV2UI_Controller controller;
  const LV2UI_Touch* touch;
  QPointer<QZaltrim> panel;
  // True from a gesture's begin to its end: the host's echoes of the gesture's earlier steps
  // would pull the dial back under the user's hand.
  bool in_gesture = false;
};
