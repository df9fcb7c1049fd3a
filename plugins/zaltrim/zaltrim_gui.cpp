#include "zaltrim_gui.h"

#include <QCoreApplication>

#include "QZaltrim.h"
#include "host_window.h"
#include "qmfcapp.h"
#include "zaltrim_effect.h"

GUIZaltrim::GUIZaltrim(ZaltrimEffect* effect) : QObject(nullptr), AEffEditor(nullptr), effect(effect) {}

GUIZaltrim::~GUIZaltrim() { close(); }

bool GUIZaltrim::getRect(ERect** out) {
  // Hosts size their window from this before they open the editor, so an unopened editor
  // reports the size its panel will have, measured on a panel that touches no effect.
  if (rect.right == 0 && rect.bottom == 0 && QMfcApp::pluginInstance()) {
    QZaltrim probe(nullptr, 0);
    probe.adjustSize();
    store_rect(probe.geometry());
  }
  *out = &rect;
  return true;
}

bool GUIZaltrim::open(void* window) {
  if (!window || !QMfcApp::pluginInstance()) return false;
  close();  // a second open replaces the first panel
  systemWindow = window;
  // Before the panel exists: its first write into the effect must come back to it to settle.
  connect_effect();

  const auto host_window = reinterpret_cast<WId>(window);
  panel = new QZaltrim(effect, host_window);
  panel->move(0, 0);
  panel->adjustSize();
  store_rect(panel->geometry());
  panel->setMinimumSize(rect.right, rect.bottom);
  panel->show();
  platform::fit_client_area(host_window, panel->size());

  connect(this, &GUIZaltrim::update_gain, panel, qOverload<float>(&QZaltrim::update_gain));
  connect(this, &GUIZaltrim::update_oversampling, panel, &QZaltrim::update_oversampling);
  return true;
}

void GUIZaltrim::close() {
  disconnect_effect();
  delete panel;  // ends the panel's connections too
  systemWindow = nullptr;
}

void GUIZaltrim::idle() { QMfcApp::processEvents(); }

void GUIZaltrim::store_rect(const QRect& geometry) {
  rect.top = 0;
  rect.left = 0;
  rect.bottom = static_cast<VstInt16>(geometry.bottom() - geometry.top() + 1);
  rect.right = static_cast<VstInt16>(geometry.right() - geometry.left() + 1);
}

void GUIZaltrim::connect_effect() {
  gain_link = connect(effect, &ZaltrimEffect::update_gain, this, &GUIZaltrim::update_gain, Qt::QueuedConnection);
  oversampling_link = connect(effect, &ZaltrimEffect::update_oversampling, this, &GUIZaltrim::update_oversampling,
                              Qt::QueuedConnection);
}

void GUIZaltrim::disconnect_effect() {
  disconnect(gain_link);
  disconnect(oversampling_link);
  // What is still queued belongs to the panel being closed; a new one starts from the effect.
  if (QCoreApplication::instance()) QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}
