// What a user does with the plug-in's X11 UI, played in hosts of the threading models its hosts
// use: a plain Xlib host, a GTK 2 host that, as a GTK wrapper does, makes, idles and closes the UI
// from its GLib loop on the main thread, and a Qt 6 host that runs it in its own loop.
//
// The scenario loads the built UI module as a host does (dlopen, lv2ui_descriptor), gives it the
// host's window, ui:resize and ui:touch, and records every call the UI makes back to the host.
#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>
#include <string>
#include <vector>

#include "editor_scenario.h"

namespace host_model {

// What the UI told the host, in order.
struct UiCall {
  enum Kind { kWrite, kTouch, kRelease, kMalformedWrite };
  Kind kind;
  std::uint32_t port;
  float value;
};

class UiHostModel;

// The built UI module and one UI of it at a time, with the host's side of its features.
class UiHost {
 public:
  // Loads ${ZALTRIM_BUILD_DIR}/zaltrim.lv2/zaltrim_ui.so; a null descriptor on failure.
  UiHost();
  ~UiHost();
  UiHost(const UiHost&) = delete;
  UiHost& operator=(const UiHost&) = delete;

  const LV2UI_Descriptor* descriptor() const { return ui_descriptor; }

  // Makes a UI inside `parent` (none when 0), whose size requests `model` applies to it; false
  // when the module refused it.
  bool instantiate(UiHostModel& model, unsigned long parent);
  void cleanup();
  bool is_open() const { return handle != nullptr; }
  unsigned long widget() const { return reinterpret_cast<unsigned long>(ui_widget); }

  void port_event(std::uint32_t port, float value, std::uint32_t format = 0) const;
  // The UI's idle call, when one is open.
  void idle();

  std::vector<UiCall> calls;
  // The last size the UI asked for.
  int requested_width = 0, requested_height = 0;
  // Idle calls made, and those that did not return 0 (the UI asking to be closed).
  int idle_calls = 0, idle_refusals = 0;

 private:
  static void write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                    const void* buffer);
  static int resize(LV2UI_Feature_Handle host, int width, int height);
  static void touch(LV2UI_Feature_Handle host, std::uint32_t port, bool grabbed);

  void* module = nullptr;
  const LV2UI_Descriptor* ui_descriptor = nullptr;
  const LV2UI_Idle_Interface* idle_interface = nullptr;
  LV2UI_Handle handle = nullptr;
  LV2UI_Widget ui_widget = nullptr;
  UiHostModel* model = nullptr;
  unsigned long parent = 0;
  LV2UI_Resize resize_feature{this, resize};
  LV2UI_Touch touch_feature{this, touch};
};

// A host model that can also resize the window it made, as a host does on the UI's request.
class UiHostModel : public HostModel {
 public:
  virtual void resize_window(unsigned long window, int width, int height) = 0;
  // True for a host with its own Qt application and loop, which the UI's widgets join, and which
  // sends no idle calls.
  virtual bool runs_qt() const { return false; }
  // False where the module already has an application on an open display before the UI is made
  // (a Qt 6 host's own, or the module's, kept in a Qt 5 host's process): losing DISPLAY then
  // changes nothing.
  virtual bool needs_display_for_ui() const { return !runs_qt(); }
};

// Plays the whole scenario from the calling thread, the host's UI thread.
Results play_ui_scenario(UiHost& host, UiHostModel& model);

}  // namespace host_model
