// ZaltrimProcessor: what a plug-in format puts behind its own controls, in a mono and a stereo
// edition. The mono edition's sound is one ZaltrimChain; the stereo edition runs both channels as
// the lanes of one chain, with one set of controls. Behind a bypass that passes the input delayed
// by the chain's latency and fades between the two over 5 ms.
//
// The stages of every factor are designed when the processor is made (its rate never changes), so
// a factor change is a swap at the start of the block that sees it, on the audio thread: process()
// and select() never allocate, lock or wait.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "delayed_bypass.h"
#include "zaltrim_chain.h"
#include "zaltrim_lanes.h"
#include "zaltrim_stage_bank.h"

// One chain, exactly as before the lanes existed.
class ZaltrimMonoEngine {
 public:
  static constexpr int kChannels = 1;

  explicit ZaltrimMonoEngine(float rate) : chain(kDefaultFactor, rate), bank(chain) {}

  int factor() const { return chain.factor(); }
  int latency() const { return bank.latency(chain.factor()); }
  void select(int factor) { bank.select(chain, factor); }
  void set_gain(double gain) { chain.set_gain(gain); }
  void process(const float* const* inputs, float* const* outputs, std::uint32_t count) {
    chain.process(inputs[0], outputs[0], count);
  }

  static constexpr int kDefaultFactor = 2;

 private:
  ZaltrimChain chain;
  ZaltrimStageBank bank;
};

// Both channels as lanes; the delay is every factor's, measured once.
class ZaltrimStereoEngine {
 public:
  static constexpr int kChannels = 2;

  explicit ZaltrimStereoEngine(float rate)
      : lanes(ZaltrimMonoEngine::kDefaultFactor, rate), latencies(ZaltrimChain::measure_latencies(rate)) {}

  int factor() const { return lanes.factor(); }
  int latency() const { return latencies[ZaltrimChain::index_of_factor(lanes.factor())]; }
  void select(int factor) { lanes.select(factor); }
  void set_gain(double gain) { lanes.set_gain(gain); }
  void process(const float* const* inputs, float* const* outputs, std::uint32_t count) {
    lanes.process(inputs, outputs, count);
  }

 private:
  ZaltrimLanes<2> lanes;
  std::array<int, ZaltrimChain::kFactorCount> latencies;
};

template <typename Engine>
class ZaltrimProcessor {
 public:
  static constexpr int kChannels = Engine::kChannels;
  static constexpr double kFadeSeconds = 0.005;

  // A rate that ZaltrimChain::is_valid_rate accepts. Allocates.
  explicit ZaltrimProcessor(double rate) : engine(static_cast<float>(rate)) {
    bypass.set_fade_length(static_cast<std::uint32_t>(std::lround(rate * kFadeSeconds)));
    bypass.set_delay(static_cast<std::uint32_t>(engine.latency()));
  }

  int factor() const { return engine.factor(); }
  // The chain's delay in samples at this rate and factor, which the bypass matches.
  int latency() const { return engine.latency(); }

  // Puts a valid factor's stages in force, starting from silence.
  void select(int factor) {
    engine.select(factor);
    bypass.set_delay(static_cast<std::uint32_t>(engine.latency()));
  }

  // The gain of the next block, in dB, -40 to +40 (clamped there).
  void set_gain_db(double db) {
    engine.set_gain(ZaltrimChain::gain_of_db(std::fmin(std::fmax(db, kMinimumGainDb), kMaximumGainDb)));
  }

  // The chain (true) or the delayed input: a change fades over 5 ms.
  void set_enabled(bool enabled) { bypass.set_processing(enabled); }

  // Before the first block and after a pause: the chain starts from silence at the factor in force,
  // and the bypass settles where it is heading, with an empty dry path.
  void restart() {
    select(engine.factor());
    bypass.reset();
  }

  // One block of every channel; inputs[c] and outputs[c] may be one buffer.
  void process(const float* const* inputs, float* const* outputs, std::uint32_t count) {
    bypass.run(inputs, outputs, count, [this](const float* const* input, float* const* output, std::uint32_t part) {
      engine.process(input, output, part);
    });
  }

  static constexpr double kMinimumGainDb = -40.0;
  static constexpr double kMaximumGainDb = 40.0;

 private:
  Engine engine;
  DSP::DelayedBypass<float, kChannels> bypass;
};
