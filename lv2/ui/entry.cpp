// The UI module's one entry point and the calls a host makes through its descriptor.
#include <lv2/ui/ui.h>

#include <cstring>

#include "zaltrim_ports.h"
#include "zaltrim_ui.h"

namespace {

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  return ZaltrimUi::create(write, controller, features, widget).release();
}

void cleanup(LV2UI_Handle handle) { delete static_cast<ZaltrimUi*>(handle); }

void port_event(LV2UI_Handle handle, uint32_t port, uint32_t buffer_size, uint32_t format, const void* buffer) {
  static_cast<ZaltrimUi*>(handle)->port_event(port, buffer_size, format, buffer);
}

int idle(LV2UI_Handle) { return ZaltrimUi::idle(); }

const LV2UI_Idle_Interface kIdleInterface{idle};

const void* extension_data(const char* uri) {
  return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor{zaltrim_lv2::kUiUri, instantiate, cleanup, port_event, extension_data};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
