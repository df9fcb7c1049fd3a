// The LV2 plug-ins: the effect's processor behind LV2's ports, in a mono and a stereo edition.
//
// Only the port values are the adapter's own. A factor change is a swap at the start of the block
// that sees it, on the audio thread, with no worker: a host needs to offer nothing.
#include <lv2/core/lv2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "zaltrim_ports.h"
#include "zaltrim_processor.h"

namespace {

using zaltrim_lv2::Port;

// Each edition's audio ports, in channel order.
template <typename Engine>
struct AudioPorts;

template <>
struct AudioPorts<ZaltrimMonoEngine> {
  static constexpr Port kInputs[] = {Port::kInput};
  static constexpr Port kOutputs[] = {Port::kOutput};
};

template <>
struct AudioPorts<ZaltrimStereoEngine> {
  static constexpr Port kInputs[] = {Port::kInput, Port::kInputRight};
  static constexpr Port kOutputs[] = {Port::kOutput, Port::kOutputRight};
};

template <typename Engine>
class Plugin {
 public:
  static constexpr int kChannels = Engine::kChannels;

  explicit Plugin(double rate) : processor(rate) {}

  void connect(std::uint32_t port, void* data) {
    if (port < zaltrim_lv2::kStereoPortCount) ports[port] = static_cast<float*>(data);
  }

  // Hosts call this before the first block and after every pause: the chain starts anew.
  void activate() {
    follow_factor();
    gain_db = NAN;
    processor.set_enabled(is_enabled());
    processor.restart();
    report_latency();
  }

  void run(std::uint32_t count) {
    follow_gain();
    follow_factor();
    processor.set_enabled(is_enabled());
    report_latency();
    std::array<const float*, kChannels> inputs;
    std::array<float*, kChannels> outputs;
    for (int c = 0; c < kChannels; ++c) {
      inputs[c] = ports[AudioPorts<Engine>::kInputs[c]];
      outputs[c] = ports[AudioPorts<Engine>::kOutputs[c]];
      if (!inputs[c] || !outputs[c]) return;
    }
    processor.process(inputs.data(), outputs.data(), count);
  }

 private:
  int wanted_factor() const { return ports[Port::kOversampling] ? zaltrim_lv2::factor_of_value(*ports[Port::kOversampling]) : 0; }

  bool is_enabled() const { return !ports[Port::kEnabled] || *ports[Port::kEnabled] > 0.5f; }

  void report_latency() {
    if (ports[Port::kLatency]) *ports[Port::kLatency] = static_cast<float>(processor.latency());
  }

  void follow_gain() {
    if (!ports[Port::kGain]) return;
    const float db = *ports[Port::kGain];
    if (std::isnan(db) || db == gain_db) return;
    gain_db = db;
    processor.set_gain_db(db);
  }

  void follow_factor() {
    const int factor = wanted_factor();
    if (factor && factor != processor.factor()) processor.select(factor);
  }

  ZaltrimProcessor<Engine> processor;
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

const LV2_Descriptor descriptors[] = {descriptor_of<ZaltrimMonoEngine>(zaltrim_lv2::kPluginUri),
                                      descriptor_of<ZaltrimStereoEngine>(zaltrim_lv2::kStereoPluginUri)};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
  return index < std::size(descriptors) ? &descriptors[index] : nullptr;
}
