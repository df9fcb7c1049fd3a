#include "zaltrim_gui.h"

#include <QTimer>

#include "QZaltrim.h"
#include "host_window.h"
#include "qmfcapp.h"
#include "zaltrim_effect.h"

namespace {

// How often a panel in a host's Qt loop looks for new values; hosts without one deliver in their
// idle calls, which come about as often.
constexpr int kDeliveryIntervalMs = 30;

}  // namespace

float ZaltrimEffectControls::gain() const { return effect->get_gain(); }

int ZaltrimEffectControls::oversampling() const { return effect->get_oversampling(); }

void ZaltrimEffectControls::begin_gain_gesture() { effect->beginEdit(0); }

void ZaltrimEffectControls::change_gain(float linear_gain) {
  effect->set_gain(linear_gain);
  effect->automate_gain();
}

void ZaltrimEffectControls::end_gain_gesture() { effect->endEdit(0); }

void ZaltrimEffectControls::pick_oversampling(int factor) {
  effect->set_oversampling(factor);
  // As a parameter change the pick reaches the settings hosts keep beside the chunk; the display
  // update is for hosts that look at the state again on it.
  effect->automate_oversampling();
  effect->updateDisplay();
}

GUIZaltrim::GUIZaltrim(ZaltrimEffect* effect) : QObject(nullptr), AEffEditor(nullptr), effect(effect) {
  // Direct: the slots only store atomics, on whatever thread the effect emitted from.
  connect(effect, &ZaltrimEffect::update_gain, this, &GUIZaltrim::note_gain, Qt::DirectConnection);
  connect(effect, &ZaltrimEffect::update_oversampling, this, &GUIZaltrim::note_oversampling, Qt::DirectConnection);
}

GUIZaltrim::~GUIZaltrim() { close(); }

bool GUIZaltrim::getRect(ERect** out) {
  // Hosts size their window from this before they open the editor, so an unopened editor
  // reports the size its panel will have, measured on a panel that touches no effect.
  if (rect.right == 0 && rect.bottom == 0) {
    if (!QMfcApp::pluginInstance()) {
      *out = nullptr;
      return false;
    }
    store_rect(QZaltrim::measure_device_size());
  }
  *out = &rect;
  return true;
}

bool GUIZaltrim::open(void* window) {
  if (!window || !QMfcApp::pluginInstance()) return false;
  if (systemWindow) {
    close_panel();  // a second open replaces the first panel
  } else {
    QMfcApp::addClient();
  }
  systemWindow = window;
  pending.store(0);  // the new panel starts from the effect's state itself

  const auto host_window = reinterpret_cast<WId>(window);
  panel = new QZaltrim(&controls, host_window);
  panel->move(0, 0);
  panel->adjustSize();
  store_rect(platform::device_size(*panel));
  panel->setMinimumSize(panel->size());
  panel->show();
  platform::fit_client_area(host_window, QSize(rect.right, rect.bottom));

  connect(this, &GUIZaltrim::update_gain, panel, qOverload<float>(&QZaltrim::update_gain));
  connect(this, &GUIZaltrim::update_oversampling, panel, &QZaltrim::update_oversampling);
  delivery = new QTimer();
  // The timer is the context, not the bridge: the bridge belongs to the thread that created the
  // effect, which may not be this one and may run no Qt loop, where a queued call would wait forever.
  connect(delivery, &QTimer::timeout, delivery, [this] { deliver(); });
  delivery->start(kDeliveryIntervalMs);
  return true;
}

void GUIZaltrim::close() {
  if (!systemWindow) return;
  close_panel();
  systemWindow = nullptr;
  QMfcApp::removeClient();
}

void GUIZaltrim::close_panel() {
  delete delivery;
  delivery = nullptr;
  if (panel) disconnect(this, nullptr, panel, nullptr);
  delete panel;
}

void GUIZaltrim::idle() {
  if (panel) deliver();
  QMfcApp::processEvents();
}

void GUIZaltrim::store_rect(const QSize& size) {
  rect.top = 0;
  rect.left = 0;
  rect.bottom = static_cast<VstInt16>(size.height());
  rect.right = static_cast<VstInt16>(size.width());
}

void GUIZaltrim::note_gain(float value) {
  latest_gain.store(value);
  pending.fetch_or(kGain);
}

void GUIZaltrim::note_oversampling(int value) {
  latest_oversampling.store(value);
  pending.fetch_or(kOversampling);
}

void GUIZaltrim::deliver() {
  const unsigned changed = pending.exchange(0);
  if (changed & kGain) emit update_gain(latest_gain.load());
  if (changed & kOversampling) emit update_oversampling(latest_oversampling.load());
}
