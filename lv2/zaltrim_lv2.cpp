// The LV2 plug-in: the effect's chain behind LV2's ports.
//
// Only the port values are the adapter's own. A factor change needs new stages, which allocate:
// run() asks the host's worker for them, the worker designs them and measures their latency, and
// they go in at the start of a later block; the stages they replaced go back to the worker to be
// freed. One request is in flight at a time; a factor that changes again meanwhile is asked for
// when the answer is in. A host without a worker (the offline tools) gets its stages designed in
// activate() for the factor it set, and in run() when it changes it later.
#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "delayed_bypass.h"
#include "lv2_features.h"
#include "zaltrim_chain.h"
#include "zaltrim_ports.h"

namespace {

using zaltrim_lv2::Port;

constexpr int kDefaultFactor = 2;
constexpr double kFadeSeconds = 0.005;

// Stages designed by the worker for the audio thread, or handed back by it to be freed.
struct Delivery {
  ZaltrimChain::Stages stages;
  int latency = 0;
};

// Worker messages are copied by the host, so they carry plain values and pointers.
struct Message {
  enum Kind : std::uint32_t { kDesign, kFree } kind;
  int factor;
  Delivery* delivery;
};

// The factor a port value stands for: the nearest of 2, 4, 8, 16 and 32 in octaves; 0 for NaN.
int factor_of(float value) {
  if (std::isnan(value)) return 0;
  const double octaves = std::log2(std::clamp(static_cast<double>(value), 2.0, 32.0));
  return 1 << static_cast<int>(std::lround(octaves));
}

class Plugin {
 public:
  Plugin(double rate, const LV2_Worker_Schedule* schedule)
      : rate(static_cast<float>(rate)), schedule(schedule), chain(kDefaultFactor, this->rate) {
    latency = ZaltrimChain::measure_latency(kDefaultFactor, this->rate);
    bypass.set_fade_length(static_cast<std::uint32_t>(std::lround(rate * kFadeSeconds)));
    bypass.set_delay(static_cast<std::uint32_t>(latency));
  }

  ~Plugin() { delete retired; }

  void connect(std::uint32_t port, void* data) {
    if (port < zaltrim_lv2::kPortCount) ports[port] = static_cast<float*>(data);
  }

  // Hosts call this before the first block and after every pause: the chain starts anew.
  void activate() {
    const int factor = wanted_factor();
    install_now(factor ? factor : chain.factor());
    gain_db = NAN;
    bypass.set_processing(is_enabled());
    bypass.reset();
  }

  void run(std::uint32_t count) {
    retire_pending();
    follow_gain();
    follow_factor();
    bypass.set_processing(is_enabled());
    if (ports[Port::kLatency]) *ports[Port::kLatency] = static_cast<float>(latency);
    if (!ports[Port::kInput] || !ports[Port::kOutput]) return;
    bypass.run(ports[Port::kInput], ports[Port::kOutput], count,
               [this](const float* input, float* output, std::uint32_t part) { chain.process(input, output, part); });
  }

  // The worker's thread: designs, or frees what the audio thread is done with.
  LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                         const Message& message) {
    if (message.kind == Message::kFree) {
      delete message.delivery;
      return LV2_WORKER_SUCCESS;
    }
    auto* delivery =
        new Delivery{ZaltrimChain::design(message.factor, rate), ZaltrimChain::measure_latency(message.factor, rate)};
    const Message answer{Message::kDesign, message.factor, delivery};
    if (respond(handle, sizeof(answer), &answer) != LV2_WORKER_SUCCESS) {
      delete delivery;
      factor_in_flight.store(0);  // asked again at the next block
      return LV2_WORKER_ERR_NO_SPACE;
    }
    return LV2_WORKER_SUCCESS;
  }

  // The audio thread, between blocks: the new stages go in, the old ones back to the worker.
  void take(const Message& answer) {
    install(*answer.delivery);
    factor_in_flight.store(0);
    retired = answer.delivery;
    retire_pending();
  }

 private:
  int wanted_factor() const { return ports[Port::kOversampling] ? factor_of(*ports[Port::kOversampling]) : 0; }

  bool is_enabled() const { return !ports[Port::kEnabled] || *ports[Port::kEnabled] > 0.5f; }

  void follow_gain() {
    if (!ports[Port::kGain]) return;
    const float db = *ports[Port::kGain];
    if (std::isnan(db) || db == gain_db) return;
    gain_db = db;
    chain.set_gain(ZaltrimChain::gain_of_db(std::clamp(db, zaltrim_lv2::kMinimumGainDb, zaltrim_lv2::kMaximumGainDb)));
  }

  void follow_factor() {
    const int factor = wanted_factor();
    // One request at a time, and none while the last stages replaced still wait to be freed.
    if (!factor || factor == chain.factor() || factor_in_flight.load() || retired) return;
    if (!schedule) {
      install_now(factor);
      return;
    }
    const Message request{Message::kDesign, factor, nullptr};
    if (schedule->schedule_work(schedule->handle, sizeof(request), &request) == LV2_WORKER_SUCCESS)
      factor_in_flight.store(factor);
  }

  void install_now(int factor) {
    Delivery fresh{ZaltrimChain::design(factor, rate), ZaltrimChain::measure_latency(factor, rate)};
    install(fresh);
  }

  void install(Delivery& delivery) {
    chain.install(delivery.stages);
    std::swap(latency, delivery.latency);
    bypass.set_delay(static_cast<std::uint32_t>(latency));
  }

  // Stages the audio thread replaced go to the worker; if its queue is full, at the next block.
  void retire_pending() {
    if (!retired || !schedule) return;
    const Message request{Message::kFree, 0, retired};
    if (schedule->schedule_work(schedule->handle, sizeof(request), &request) == LV2_WORKER_SUCCESS) retired = nullptr;
  }

  const float rate;
  const LV2_Worker_Schedule* schedule;
  ZaltrimChain chain;
  DSP::DelayedBypass<float> bypass;
  float* ports[zaltrim_lv2::kPortCount] = {};
  float gain_db = NAN;
  int latency = 0;
  // Cleared by the worker too, when the host had no room for its answer.
  std::atomic<int> factor_in_flight{0};
  Delivery* retired = nullptr;
};

Plugin* plugin_of(LV2_Handle handle) { return static_cast<Plugin*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  if (!ZaltrimChain::is_valid_rate(static_cast<float>(rate))) return nullptr;
  return new Plugin(rate,
                    static_cast<const LV2_Worker_Schedule*>(zaltrim_lv2::find_feature(features, LV2_WORKER__schedule)));
}

void connect_port(LV2_Handle handle, std::uint32_t port, void* data) { plugin_of(handle)->connect(port, data); }

void activate(LV2_Handle handle) { plugin_of(handle)->activate(); }

void run(LV2_Handle handle, std::uint32_t count) { plugin_of(handle)->run(count); }

void cleanup(LV2_Handle handle) { delete plugin_of(handle); }

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle respond_handle,
                       std::uint32_t size, const void* data) {
  if (size != sizeof(Message)) return LV2_WORKER_ERR_UNKNOWN;
  Message message;
  std::memcpy(&message, data, sizeof(message));
  return plugin_of(handle)->work(respond, respond_handle, message);
}

LV2_Worker_Status work_response(LV2_Handle handle, std::uint32_t size, const void* data) {
  if (size != sizeof(Message)) return LV2_WORKER_ERR_UNKNOWN;
  Message answer;
  std::memcpy(&answer, data, sizeof(answer));
  plugin_of(handle)->take(answer);
  return LV2_WORKER_SUCCESS;
}

const void* extension_data(const char* uri) {
  static const LV2_Worker_Interface worker{work, work_response, nullptr};
  return std::strcmp(uri, LV2_WORKER__interface) == 0 ? &worker : nullptr;
}

const LV2_Descriptor descriptor = {zaltrim_lv2::kPluginUri, instantiate, connect_port, activate, run, nullptr, cleanup,
                                   extension_data};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
  return index == 0 ? &descriptor : nullptr;
}
