// The LV2 plug-ins: the effect's chain behind LV2's ports, in a mono and a stereo edition. The
// stereo edition runs both channels as the lanes of one chain, with one set of controls.
//
// Only the port values are the adapter's own. The stages of every factor are designed when the
// instance is made (an instance's rate never changes), so a factor change is a swap at the start
// of the block that sees it, on the audio thread, with no worker: a host needs to offer nothing.
#include <lv2/core/lv2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "delayed_bypass.h"
#include "zaltrim_chain.h"
#include "zaltrim_lanes.h"
#include "zaltrim_ports.h"
#include "zaltrim_stage_bank.h"

namespace {

using zaltrim_lv2::Port;

constexpr int kDefaultFactor = 2;
constexpr double kFadeSeconds = 0.005;

// The mono edition's sound: one chain, exactly as before the lanes existed.
class MonoEngine {
 public:
  static constexpr int kChannels = 1;
  static constexpr Port kInputs[] = {Port::kInput};
  static constexpr Port kOutputs[] = {Port::kOutput};

  explicit MonoEngine(float rate) : chain(kDefaultFactor, rate), bank(chain) {}

  int factor() const { return chain.factor(); }
  int latency() const { return bank.latency(chain.factor()); }
  void select(int factor) { bank.select(chain, factor); }
  void set_gain(double gain) { chain.set_gain(gain); }
  void process(const float* const* inputs, float* const* outputs, std::uint32_t count) {
    chain.process(inputs[0], outputs[0], count);
  }

 private:
  ZaltrimChain chain;
  ZaltrimStageBank bank;
};

// The stereo edition's: both channels as lanes; the delay is every factor's, measured once.
class StereoEngine {
 public:
  static constexpr int kChannels = 2;
  static constexpr Port kInputs[] = {Port::kInput, Port::kInputRight};
  static constexpr Port kOutputs[] = {Port::kOutput, Port::kOutputRight};

  explicit StereoEngine(float rate) : lanes(kDefaultFactor, rate) {
    for (int i = 0; i < ZaltrimChain::kFactorCount; ++i) latencies[i] = ZaltrimChain::measure_latency(2 << i, rate);
  }

  int factor() const { return lanes.factor(); }
  int latency() const { return latencies[ZaltrimChain::index_of_factor(lanes.factor())]; }
  void select(int factor) { lanes.select(factor); }
  void set_gain(double gain) { lanes.set_gain(gain); }
  void process(const float* const* inputs, float* const* outputs, std::uint32_t count) {
    lanes.process(inputs, outputs, count);
  }

 private:
  ZaltrimLanes<2> lanes;
  std::array<int, ZaltrimChain::kFactorCount> latencies{};
};

template <typename Engine>
class Plugin {
 public:
  static constexpr int kChannels = Engine::kChannels;

  explicit Plugin(double rate) : engine(static_cast<float>(rate)) {
    bypass.set_fade_length(static_cast<std::uint32_t>(std::lround(rate * kFadeSeconds)));
    bypass.set_delay(static_cast<std::uint32_t>(engine.latency()));
  }

  void connect(std::uint32_t port, void* data) {
    if (port < zaltrim_lv2::kStereoPortCount) ports[port] = static_cast<float*>(data);
  }

  // Hosts call this before the first block and after every pause: the chain starts anew.
  void activate() {
    const int factor = wanted_factor();
    select(factor ? factor : engine.factor());
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
    std::array<const float*, kChannels> inputs;
    std::array<float*, kChannels> outputs;
    for (int c = 0; c < kChannels; ++c) {
      inputs[c] = ports[Engine::kInputs[c]];
      outputs[c] = ports[Engine::kOutputs[c]];
      if (!inputs[c] || !outputs[c]) return;
    }
    bypass.run(inputs.data(), outputs.data(), count,
               [this](const float* const* input, float* const* output, std::uint32_t part) {
                 engine.process(input, output, part);
               });
  }

 private:
  int wanted_factor() const { return ports[Port::kOversampling] ? zaltrim_lv2::factor_of_value(*ports[Port::kOversampling]) : 0; }

  bool is_enabled() const { return !ports[Port::kEnabled] || *ports[Port::kEnabled] > 0.5f; }

  void report_latency() {
    if (ports[Port::kLatency]) *ports[Port::kLatency] = static_cast<float>(engine.latency());
  }

  void follow_gain() {
    if (!ports[Port::kGain]) return;
    const float db = *ports[Port::kGain];
    if (std::isnan(db) || db == gain_db) return;
    gain_db = db;
    engine.set_gain(
        ZaltrimChain::gain_of_db(std::clamp(db, zaltrim_lv2::kMinimumGainDb, zaltrim_lv2::kMaximumGainDb)));
  }

  void follow_factor() {
    const int factor = wanted_factor();
    if (factor && factor != engine.factor()) select(factor);
  }

  void select(int factor) {
    engine.select(factor);
    bypass.set_delay(static_cast<std::uint32_t>(engine.latency()));
  }

  Engine engine;
  DSP::DelayedBypass<float, kChannels> bypass;
  float* ports[zaltrim_lv2::kStereoPortCount] = {};
  float gain_db = NAN;
};

template <typename Engine>
Plugin<Engine>* plugin_of(LV2_Handle handle) {
  return static_cast<Plugin<Engine>*>(handle);
}

template <typename Engine>
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  if (!ZaltrimChain::is_valid_rate(static_cast<float>(rate))) return nullptr;
  return new Plugin<Engine>(rate);
}

template <typename Engine>
void connect_port(LV2_Handle handle, std::uint32_t port, void* data) {
  plugin_of<Engine>(handle)->connect(port, data);
}

template <typename Engine>
void activate(LV2_Handle handle) {
  plugin_of<Engine>(handle)->activate();
}

template <typename Engine>
void run(LV2_Handle handle, std::uint32_t count) {
  plugin_of<Engine>(handle)->run(count);
}

template <typename Engine>
void cleanup(LV2_Handle handle) {
  delete plugin_of<Engine>(handle);
}

// The plug-ins offer no extension; some hosts call this without checking it for null.
const void* extension_data(const char*) { return nullptr; }

template <typename Engine>
constexpr LV2_Descriptor descriptor_of(const char* uri) {
  return {uri,           instantiate<Engine>, connect_port<Engine>, activate<Engine>, run<Engine>, nullptr,
          cleanup<Engine>, extension_data};
}

const LV2_Descriptor descriptors[] = {descriptor_of<MonoEngine>(zaltrim_lv2::kPluginUri),
                                      descriptor_of<StereoEngine>(zaltrim_lv2::kStereoPluginUri)};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
  return index < std::size(descriptors) ? &descriptors[index] : nullptr;
}
