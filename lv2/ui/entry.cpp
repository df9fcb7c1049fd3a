// The UI module's one entry point.
#include "ui_descriptor.h"
#include "zaltrim_ports.h"
#include "zaltrim_ui.h"

namespace {

const LV2UI_Descriptor kDescriptor = zaltrim_lv2::UiDescriptor<ZaltrimUi>::of(zaltrim_lv2::kUiUri);

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
