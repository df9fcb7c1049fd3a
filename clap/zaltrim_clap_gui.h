// ZaltrimClapGui: the panel inside a window of a CLAP host's, on the host's main thread.
//
// The panel reads the parameters and writes the user's gestures into them, announcing each to the
// host (gesture begin, values, end) through the outbox and a flush request, and marking the state
// dirty at a gesture's end: a host that neither processes nor flushes while its transport stands
// (Qtractor) would otherwise not know that there is anything to save. Values the host sets
// (automation, a restored state) move the panel on the next timer tick and are never announced
// back. The host's timer runs the module's own Qt events too, when the host has no Qt loop; a
// host with neither a timer nor a Qt loop gets no panel, since nothing would ever draw it.
#pragma once

#include <QPointer>
#include <QSize>
#include <memory>

#include "clap_abi.h"
#include "zaltrim_clap_parameters.h"
#include "zaltrim_controls.h"

class QTimer;
class QZaltrim;

class ZaltrimClapGui : public ZaltrimControls {
 public:
  static constexpr std::uint32_t kTickMs = 30;

  // A panel's owner for this host, or null where it cannot show or could never be drawn.
  static std::unique_ptr<ZaltrimClapGui> create(const clap_host_t* host, zaltrim_clap::Parameters& parameters,
                                                zaltrim_clap::Outbox& outbox);
  ~ZaltrimClapGui() override;
  ZaltrimClapGui(const ZaltrimClapGui&) = delete;
  ZaltrimClapGui& operator=(const ZaltrimClapGui&) = delete;

  // The panel's size in the host window's (device) pixels, before and after it is embedded. Hosts
  // ask on every resize event: before the panel exists, the size is measured once and kept.
  bool size(std::uint32_t* width, std::uint32_t* height);
  bool set_parent(unsigned long window);
  bool show();
  bool hide();
  void on_timer(clap_id timer);

  float gain() const override;
  int oversampling() const override;
  void begin_gain_gesture() override;
  void change_gain(float linear_gain) override;
  void end_gain_gesture() override;
  void pick_oversampling(int factor) override;

 private:
  ZaltrimClapGui(const clap_host_t* host, zaltrim_clap::Parameters& parameters, zaltrim_clap::Outbox& outbox);
  void tick();
  void follow_host();
  void announce(std::uint16_t type, clap_id id, double value = 0.0);
  void mark_dirty();

  const clap_host_t* host;
  const clap_host_params_t* host_params;
  const clap_host_state_t* host_state;
  const clap_host_timer_support_t* host_timers;
  zaltrim_clap::Parameters& parameters;
  zaltrim_clap::Outbox& outbox;
  QPointer<QZaltrim> panel;
  // The size measured before there was a panel; empty until a host first asks for it.
  QSize unembedded_size;
  QTimer* qt_timer = nullptr;  // where the host's own Qt loop runs the panel instead
  clap_id timer = CLAP_INVALID_ID;
  double shown_gain_db;
  int shown_factor;
  bool in_gesture = false;
};
