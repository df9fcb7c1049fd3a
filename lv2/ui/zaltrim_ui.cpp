#include "zaltrim_ui.h"

#include <cmath>
#include <cstring>

#include "QZaltrim.h"
#include "host_window.h"
#include "lv2_features.h"
#include "qmfcapp.h"
#include "zaltrim_chain.h"
#include "zaltrim_ports.h"

namespace {

// The factor the bundle declares as the port's default; the host's port events follow at once.
constexpr int kDefaultFactor = 2;

// The dB a linear gain stands for, computed in double and narrowed once.
float db_of_gain(float linear_gain) { return static_cast<float>(20.0 * std::log10(static_cast<double>(linear_gain))); }

}  // namespace

std::unique_ptr<ZaltrimUi> ZaltrimUi::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                             const LV2_Feature* const* features, LV2UI_Widget* widget) {
  const auto parent = reinterpret_cast<WId>(zaltrim_lv2::find_feature(features, LV2_UI__parent));
  // Without a window of the host's there is nowhere to embed; without a display Qt would end the
  // host's process.
  if (!parent || !write || !widget || !QMfcApp::pluginInstance()) return nullptr;
  std::unique_ptr<ZaltrimUi> ui(new ZaltrimUi(
      write, controller, static_cast<const LV2UI_Touch*>(zaltrim_lv2::find_feature(features, LV2_UI__touch))));
  ui->open(parent, static_cast<const LV2UI_Resize*>(zaltrim_lv2::find_feature(features, LV2_UI__resize)));
  *widget = reinterpret_cast<LV2UI_Widget>(ui->panel->winId());
  return ui;
}

ZaltrimUi::ZaltrimUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
    : write_function(write), controller(controller), touch(touch) {
  QMfcApp::addClient();
}

ZaltrimUi::~ZaltrimUi() {
  delete panel;
  // The last UI takes the module's application with it, here on its own thread.
  QMfcApp::removeClient();
}

void ZaltrimUi::open(WId parent, const LV2UI_Resize* resize) {
  panel = new QZaltrim(this, parent);
  panel->move(0, 0);
  panel->adjustSize();
  // Also the size hints a GTK host's wrapper reads from the panel's window: it sizes the window to
  // its own allocation within them, and would stretch the panel to the width of the host's.
  panel->setFixedSize(panel->size());
  panel->show();
  if (!resize) return;
  // The host's window is in device pixels, which differ from Qt's at a scale above 1.
  const QSize size = platform::device_size(*panel);
  resize->ui_resize(resize->handle, size.width(), size.height());
}

void ZaltrimUi::port_event(std::uint32_t port, std::uint32_t buffer_size, std::uint32_t format, const void* buffer) {
  // Format 0 is a control port's float; any other is no value of ours.
  if (format != 0 || buffer_size < sizeof(float) || !buffer || !panel) return;
  float value;
  std::memcpy(&value, buffer, sizeof(value));
  if (port == zaltrim_lv2::kGain) follow_gain(value);
  if (port == zaltrim_lv2::kOversampling) follow_oversampling(value);
}

void ZaltrimUi::follow_gain(float db) {
  if (in_gesture || !std::isfinite(db)) return;
  panel->update_gain(ZaltrimChain::gain_of_db(db));
}

void ZaltrimUi::follow_oversampling(float value) {
  // The factor the plug-in runs for the value, which a host's generic slider may have left between
  // two factors; the panel keeps its factor for NaN.
  const int factor = zaltrim_lv2::factor_of_value(value);
  if (factor) panel->update_oversampling(factor);
}

int ZaltrimUi::idle() {
  QMfcApp::processEvents();
  return 0;
}

// 0 dB, the port's default.
float ZaltrimUi::gain() const { return 1.0f; }

int ZaltrimUi::oversampling() const { return kDefaultFactor; }

void ZaltrimUi::begin_gain_gesture() {
  in_gesture = true;
  if (touch) touch->touch(touch->handle, zaltrim_lv2::kGain, true);
}

void ZaltrimUi::change_gain(float linear_gain) { write(zaltrim_lv2::kGain, db_of_gain(linear_gain)); }

void ZaltrimUi::end_gain_gesture() {
  in_gesture = false;
  if (touch) touch->touch(touch->handle, zaltrim_lv2::kGain, false);
}

void ZaltrimUi::pick_oversampling(int factor) { write(zaltrim_lv2::kOversampling, static_cast<float>(factor)); }

void ZaltrimUi::write(std::uint32_t port, float value) const {
  write_function(controller, port, sizeof(value), 0, &value);
}
