#include "zaltrim_clap_gui.h"

#include <QTimer>
#include <cmath>

#include "QZaltrim.h"
#include "host_window.h"
#include "qmfcapp.h"

using namespace zaltrim_clap;

namespace {

template <typename Extension>
const Extension* host_extension(const clap_host_t* host, const char* id) {
  return host && host->get_extension ? static_cast<const Extension*>(host->get_extension(host, id)) : nullptr;
}

}  // namespace

std::unique_ptr<ZaltrimClapGui> ZaltrimClapGui::create(const clap_host_t* host, Parameters& parameters,
                                                       Outbox& outbox) {
  if (!QMfcApp::pluginInstance()) return nullptr;
  const auto* timers = host_extension<clap_host_timer_support_t>(host, CLAP_EXT_TIMER_SUPPORT);
  const bool has_timer = timers && timers->register_timer && timers->unregister_timer;
  if (!has_timer && QMfcApp::ownsInstance()) return nullptr;
  return std::unique_ptr<ZaltrimClapGui>(new ZaltrimClapGui(host, parameters, outbox));
}

ZaltrimClapGui::ZaltrimClapGui(const clap_host_t* host, Parameters& parameters, Outbox& outbox)
    : host(host),
      host_params(host_extension<clap_host_params_t>(host, CLAP_EXT_PARAMS)),
      host_state(host_extension<clap_host_state_t>(host, CLAP_EXT_STATE)),
      host_timers(host_extension<clap_host_timer_support_t>(host, CLAP_EXT_TIMER_SUPPORT)),
      parameters(parameters),
      outbox(outbox),
      shown_gain_db(parameters.get(kGain)),
      shown_factor(factor_of_index(parameters.get(kOversampling))) {
  QMfcApp::addClient();
  if (host_timers && host_timers->register_timer && host_timers->register_timer(host, kTickMs, &timer)) return;
  timer = CLAP_INVALID_ID;
  qt_timer = new QTimer();
  QObject::connect(qt_timer, &QTimer::timeout, qt_timer, [this] { follow_host(); });
  qt_timer->start(static_cast<int>(kTickMs));
}

ZaltrimClapGui::~ZaltrimClapGui() {
  if (timer != CLAP_INVALID_ID) host_timers->unregister_timer(host, timer);
  delete qt_timer;
  delete panel;
  // The last panel of the module takes the module's application with it, here on its own thread.
  QMfcApp::removeClient();
}

bool ZaltrimClapGui::size(std::uint32_t* width, std::uint32_t* height) {
  if (!width || !height) return false;
  if (!panel && unembedded_size.isEmpty()) unembedded_size = QZaltrim::measure_device_size();
  const QSize size = panel ? platform::device_size(*panel) : unembedded_size;
  *width = static_cast<std::uint32_t>(size.width());
  *height = static_cast<std::uint32_t>(size.height());
  return true;
}

bool ZaltrimClapGui::set_parent(unsigned long window) {
  if (!window) return false;
  delete panel;
  panel = new QZaltrim(this, static_cast<WId>(window));
  panel->move(0, 0);
  panel->adjustSize();
  panel->setFixedSize(panel->size());
  return true;
}

bool ZaltrimClapGui::show() {
  if (!panel) return false;
  panel->show();
  return true;
}

bool ZaltrimClapGui::hide() {
  if (!panel) return false;
  panel->hide();
  return true;
}

void ZaltrimClapGui::on_timer(clap_id id) {
  if (id != timer) return;
  follow_host();
  QMfcApp::processEvents();
}

void ZaltrimClapGui::follow_host() {
  if (!panel) return;
  const double db = parameters.get(kGain);
  if (!in_gesture && db != shown_gain_db) {
    shown_gain_db = db;
    panel->update_gain(ZaltrimChain::gain_of_db(db));
  }
  const int factor = factor_of_index(parameters.get(kOversampling));
  if (factor != shown_factor) {
    shown_factor = factor;
    panel->update_oversampling(factor);
  }
}

float ZaltrimClapGui::gain() const { return ZaltrimChain::gain_of_db(parameters.get(kGain)); }

int ZaltrimClapGui::oversampling() const { return factor_of_index(parameters.get(kOversampling)); }

void ZaltrimClapGui::begin_gain_gesture() {
  in_gesture = true;
  announce(CLAP_EVENT_PARAM_GESTURE_BEGIN, kGain);
}

void ZaltrimClapGui::change_gain(float linear_gain) {
  const double db = 20.0 * std::log10(static_cast<double>(linear_gain));
  parameters.set(kGain, db);
  shown_gain_db = parameters.get(kGain);
  announce(CLAP_EVENT_PARAM_VALUE, kGain, shown_gain_db);
}

void ZaltrimClapGui::end_gain_gesture() {
  in_gesture = false;
  announce(CLAP_EVENT_PARAM_GESTURE_END, kGain);
  mark_dirty();
}

void ZaltrimClapGui::pick_oversampling(int factor) {
  shown_factor = factor;
  parameters.set(kOversampling, index_of_factor(factor));
  announce(CLAP_EVENT_PARAM_GESTURE_BEGIN, kOversampling);
  announce(CLAP_EVENT_PARAM_VALUE, kOversampling, parameters.get(kOversampling));
  announce(CLAP_EVENT_PARAM_GESTURE_END, kOversampling);
  mark_dirty();
}

void ZaltrimClapGui::announce(std::uint16_t type, clap_id id, double value) {
  outbox.push({type, id, value});
  if (host_params && host_params->request_flush) host_params->request_flush(host);
}

void ZaltrimClapGui::mark_dirty() {
  if (host_state && host_state->mark_dirty) host_state->mark_dirty(host);
}
