// The LV2 plug-in: the effect's chain behind LV2's ports.
//
// Only the port values are the adapter's own. The stages of every factor are designed when the
// instance is made (an instance's rate never changes), so a factor change is a swap at the start
// of the block that sees it, on the audio thread, with no worker: a host needs to offer nothing.
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "delayed_bypass.h"
#include "zaltrim_chain.h"
#include "zaltrim_ports.h"
#include "zaltrim_stage_bank.h"

namespace {

using zaltrim_lv2::Port;

constexpr int kDefaultFactor = 2;
constexpr double kFadeSeconds = 0.005;

// The factor a port value stands for: the nearest of 2, 4, 8, 16 and 32 in octaves; 0 for NaN.
int factor_of(float value) {
  if (std::isnan(value)) return 0;
  const double octaves = std::log2(std::clamp(static_cast<double>(value), 2.0, 32.0));
  return 1 << static_cast<int>(std::lround(octaves));
}

class Plugin {
 public:
  explicit Plugin(double rate) : chain(kDefaultFactor, static_cast<float>(rate)), bank(chain) {
    bypass.set_fade_length(static_cast<std::uint32_t>(std::lround(rate * kFadeSeconds)));
    bypass.set_delay(static_cast<std::uint32_t>(latency()));
  }

  void connect(std::uint32_t port, void* data) {
    if (port < zaltrim_lv2::kPortCount) ports[port] = static_cast<float*>(data);
  }

  // Hosts call this before the first block and after every pause: the chain starts anew.
  void activate() {
    const int factor = wanted_factor();
    select(factor ? factor : chain.factor());
    gain_db = NAN;
    bypass.set_processing(is_enabled());
    bypass.reset();
    report_latency();
  }

  void run(std::uint32_t count) {
    follow_gain();
    follow_factor();
    bypass.set_processing(is_enabled());
    report_latency();
    if (!ports[Port::kInput] || !ports[Port::kOutput]) return;
    bypass.run(ports[Port::kInput], ports[Port::kOutput], count,
               [this](const float* input, float* output, std::uint32_t part) { chain.process(input, output, part); });
  }

 private:
  int wanted_factor() const { return ports[Port::kOversampling] ? factor_of(*ports[Port::kOversampling]) : 0; }

  bool is_enabled() const { return !ports[Port::kEnabled] || *ports[Port::kEnabled] > 0.5f; }

  int latency() const { return bank.latency(chain.factor()); }

  void report_latency() {
    if (ports[Port::kLatency]) *ports[Port::kLatency] = static_cast<float>(latency());
  }

  void follow_gain() {
    if (!ports[Port::kGain]) return;
    const float db = *ports[Port::kGain];
    if (std::isnan(db) || db == gain_db) return;
    gain_db = db;
    chain.set_gain(ZaltrimChain::gain_of_db(std::clamp(db, zaltrim_lv2::kMinimumGainDb, zaltrim_lv2::kMaximumGainDb)));
  }

  void follow_factor() {
    const int factor = wanted_factor();
    if (factor && factor != chain.factor()) select(factor);
  }

  void select(int factor) {
    bank.select(chain, factor);
    bypass.set_delay(static_cast<std::uint32_t>(latency()));
  }

  ZaltrimChain chain;
  ZaltrimStageBank bank;
  DSP::DelayedBypass<float> bypass;
  float* ports[zaltrim_lv2::kPortCount] = {};
  float gain_db = NAN;
};

Plugin* plugin_of(LV2_Handle handle) { return static_cast<Plugin*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  if (!ZaltrimChain::is_valid_rate(static_cast<float>(rate))) return nullptr;
  return new Plugin(rate);
}

void connect_port(LV2_Handle handle, std::uint32_t port, void* data) { plugin_of(handle)->connect(port, data); }

void activate(LV2_Handle handle) { plugin_of(handle)->activate(); }

void run(LV2_Handle handle, std::uint32_t count) { plugin_of(handle)->run(count); }

void cleanup(LV2_Handle handle) { delete plugin_of(handle); }

// The plug-in offers no extension; some hosts call this without checking it for null.
const void* extension_data(const char*) { return nullptr; }

const LV2_Descriptor descriptor = {zaltrim_lv2::kPluginUri, instantiate, connect_port, activate, run, nullptr, cleanup,
                                   extension_data};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
  return index == 0 ? &descriptor : nullptr;
}
