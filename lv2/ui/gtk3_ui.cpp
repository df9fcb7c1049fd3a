// The panel as a GTK 3 UI: a widget the host puts into its own GTK 3 window, with the panel's X
// window inside the widget's.
//
// A GTK 3 host could show the X11 UI through suil's X11-in-GTK 3 module, but only where suil
// finds its modules: Debian's Audacity 3.2.4 points suil at an empty module folder, so it finds
// none and falls back to its generic controls. A UI of the host's own toolkit needs no module.
//
// GTK lays the widget out before it has a window, so the widget asks for the panel's size at once;
// the panel itself is made when the widget gets its window (realize) and goes before that window
// does (unrealize). Port events that come before the panel exists are kept and passed on to it.
#include <lv2/ui/ui.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "QZaltrim.h"
#include "gtk3_widget.h"
#include "qmfcapp.h"
#include "ui_descriptor.h"
#include "zaltrim_ports.h"
#include "zaltrim_ui.h"

namespace {

// How often the panel's Qt events run, whether or not the host calls idle: a frame at 30 Hz.
constexpr unsigned kEventIntervalMs = 30;

class GtkUi {
 public:
  GtkUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features)
      : write(write), controller(controller) {
    // The host's features, without its parent window and resize, which are the widget's business.
    for (; features && *features && (*features)->URI; ++features) {
      if (std::strcmp((*features)->URI, LV2_UI__parent) == 0 || std::strcmp((*features)->URI, LV2_UI__resize) == 0)
        continue;
      host_features.push_back(**features);
    }
    QMfcApp::addClient();
    const QSize size = QZaltrim::measure_device_size();
    area = zaltrim_gtk3::widget_new(size.width(), size.height(), events);
  }

  ~GtkUi() {
    // The panel first, while the window it lives in may still be there.
    ui.reset();
    zaltrim_gtk3::widget_free(area, events);
    QMfcApp::removeClient();
  }

  GtkUi(const GtkUi&) = delete;
  GtkUi& operator=(const GtkUi&) = delete;

  static std::unique_ptr<GtkUi> create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                       const LV2_Feature* const* features, LV2UI_Widget* widget) {
    // Without a display Qt would end the host's process.
    if (!write || !widget || !QMfcApp::pluginInstance()) return nullptr;
    auto ui = std::make_unique<GtkUi>(write, controller, features);
    *widget = ui->area;
    return ui;
  }

  void port_event(std::uint32_t port, std::uint32_t buffer_size, std::uint32_t format, const void* buffer) {
    if (ui) {
      ui->port_event(port, buffer_size, format, buffer);
      return;
    }
    if (format != 0 || buffer_size < sizeof(float) || !buffer || port >= pending.size()) return;
    float value;
    std::memcpy(&value, buffer, sizeof(value));
    pending[port] = value;
  }

 private:
  void open(std::uintptr_t parent) {
    std::vector<LV2_Feature> with_parent = host_features;
    with_parent.push_back({LV2_UI__parent, reinterpret_cast<void*>(parent)});
    std::vector<const LV2_Feature*> list;
    for (const LV2_Feature& feature : with_parent) list.push_back(&feature);
    list.push_back(nullptr);
    LV2UI_Widget panel_window = nullptr;
    ui = ZaltrimUi::create(write, controller, list.data(), &panel_window);
    if (!ui) return;
    for (std::uint32_t port = 0; port < pending.size(); ++port)
      if (pending[port]) ui->port_event(port, sizeof(float), 0, &*pending[port]);
  }

  LV2UI_Write_Function write;
  LV2UI_Controller controller;
  std::vector<LV2_Feature> host_features;
  const zaltrim_gtk3::WidgetEvents events{
      this, [](void* self, std::uintptr_t window) { static_cast<GtkUi*>(self)->open(window); },
      // The panel goes before the window it lives in.
      [](void* self) { static_cast<GtkUi*>(self)->ui.reset(); }, [](void*) { ZaltrimUi::idle(); }, kEventIntervalMs};
  void* area = nullptr;
  std::unique_ptr<ZaltrimUi> ui;
  std::array<std::optional<float>, zaltrim_lv2::kPortCount> pending{};
};

const LV2UI_Descriptor kDescriptor = zaltrim_lv2::UiDescriptor<GtkUi>::of(zaltrim_lv2::kGtk3UiUri);

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
