// The calls a host makes through an LV2 UI descriptor, for a UI class with
//   static std::unique_ptr<Ui> create(write, controller, features, widget)   (null: no UI)
//   void port_event(port, buffer_size, format, buffer)
// Both UIs of the bundle run the module's own Qt events in the host's idle calls.
#pragma once

#include <lv2/ui/ui.h>

#include <cstring>

#include "zaltrim_ui.h"

namespace zaltrim_lv2 {

template <typename Ui>
struct UiDescriptor {
  static LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                                  LV2UI_Controller controller, LV2UI_Widget* widget,
                                  const LV2_Feature* const* features) {
    return Ui::create(write, controller, features, widget).release();
  }

  static void cleanup(LV2UI_Handle handle) { delete static_cast<Ui*>(handle); }

  static void port_event(LV2UI_Handle handle, uint32_t port, uint32_t buffer_size, uint32_t format,
                         const void* buffer) {
    static_cast<Ui*>(handle)->port_event(port, buffer_size, format, buffer);
  }

  static int idle(LV2UI_Handle) { return ZaltrimUi::idle(); }

  static const void* extension_data(const char* uri) {
    static const LV2UI_Idle_Interface idle_interface{idle};
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idle_interface : nullptr;
  }

  static constexpr LV2UI_Descriptor of(const char* uri) {
    return {uri, instantiate, cleanup, port_event, extension_data};
  }
};

}  // namespace zaltrim_lv2
