// The effect under its three kinds of host thread at once, for several seconds: an audio thread
// processing blocks, an automation thread setting the gain (as host values and as the panel's
// linear gains) and restoring chunks, and a thread changing the factor and the sample rate. Built
// with ThreadSanitizer in CI, where any race fails the run; here every block must come out sound,
// the threads must finish (no deadlock), and at the end the effect must report the last gain,
// factor and rate set and run a chain built for them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zaltrim_effect.h"

namespace {

constexpr VstInt32 kFrames = 256;
constexpr VstInt32 kFactors[] = {2, 4, 8, 16, 32};
constexpr float kRates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f};

double run_seconds() {
  const char* seconds = std::getenv("ZALTRIM_THREAD_SECONDS");
  return seconds ? std::atof(seconds) : 4.0;
}

std::vector<unsigned char> chunk_of(float gain, VstInt32 factor) {
  std::vector<unsigned char> chunk(8);
  std::memcpy(chunk.data(), &gain, 4);
  std::memcpy(chunk.data() + 4, &factor, 4);
  return chunk;
}

// What the audio thread saw.
struct AudioReport {
  long blocks = 0;
  std::string fault;
};

template <typename Sample>
std::string process_checked(ZaltrimEffect& effect, long block) {
  std::vector<Sample> input(kFrames);
  std::vector<Sample> output(kFrames);
  for (VstInt32 i = 0; i < kFrames; ++i)
    input[static_cast<std::size_t>(i)] = static_cast<Sample>(0.9 * std::sin(0.07 * (block * kFrames + i)));
  Sample* inputs[] = {input.data()};
  Sample* outputs[] = {output.data()};
  if constexpr (std::is_same_v<Sample, float>)
    effect.processReplacing(inputs, outputs, kFrames);
  else
    effect.processDoubleReplacing(inputs, outputs, kFrames);
  for (Sample y : output)
    if (!std::isfinite(y) || std::fabs(y) > 2.0) return "block " + std::to_string(block) + " gave " + std::to_string(y);
  return {};
}

void audio_thread(ZaltrimEffect& effect, const std::atomic<bool>& stop, AudioReport& report) {
  while (!stop.load() && report.fault.empty()) {
    report.fault = report.blocks % 2 ? process_checked<float>(effect, report.blocks)
                                     : process_checked<double>(effect, report.blocks);
    ++report.blocks;
  }
}

struct Automation {
  float last_gain = 1.0f;
  VstInt32 last_chunk_factor = 0;
  long calls = 0;
};

void automation_thread(ZaltrimEffect& effect, const std::atomic<bool>& stop, Automation& done) {
  for (long i = 0; !stop.load(); ++i, ++done.calls) {
    const float gain = 0.05f + 0.01f * static_cast<float>(i % 997);
    if (i % 7 == 0) {
      std::vector<unsigned char> chunk = chunk_of(gain, kFactors[(i / 7) % 5]);
      effect.setChunk(chunk.data(), 8, false);
      done.last_chunk_factor = kFactors[(i / 7) % 5];
      done.last_gain = gain;
    } else if (i % 2) {
      effect.set_gain(gain);
      done.last_gain = gain;
    } else {
      // The value the gain in force reads as leaves that gain; any other sets the value's gain.
      const float value = 0.3f + 0.0005f * static_cast<float>(i % 997);
      effect.setParameter(0, value);
      if (value != ZaltrimEffect::normalized_of_gain(done.last_gain))
        done.last_gain = ZaltrimEffect::gain_of_normalized(value);
    }
    void* data = nullptr;
    effect.getChunk(&data, false);
  }
}

struct Rebuilds {
  VstInt32 last_factor = 0;
  float last_rate = 44100.0f;
  long calls = 0;
};

void rebuild_thread(ZaltrimEffect& effect, const std::atomic<bool>& stop, Rebuilds& done) {
  for (long i = 0; !stop.load(); ++i, ++done.calls) {
    if (i % 2) {
      done.last_factor = kFactors[(i * 3) % 5];
      effect.set_oversampling(done.last_factor);
    } else {
      done.last_rate = kRates[(i / 2) % 4];
      effect.setSampleRate(done.last_rate);
    }
  }
}

// The largest difference between the outputs of two effects given the same signal, once their
// states have been brought as close as they can be. A swing between the input limit's two ends
// makes the clipper answer with its clamp, and the solver keeps only its last input and output;
// the up-sampler's short history is flushed by the same samples. The low-pass is another matter:
// its single 8th-order recursion amplifies its own rounding so much at high oversampled rates
// that two instances with different pasts never agree to the last bit again. Their difference
// falls to a floor set by the chain (none at 2 x 44.1 kHz, 2e-9 at 16 x 44.1 kHz, 3e-7 at
// 32 x 44.1 kHz, 1e-4 at 32 x 96 kHz) and stays there however long the signal runs. The probe is a
// hard-driven 7 kHz tone, whose aliasing and clipping differ between neighbouring factors ten
// times more than that floor at every rate.
double distance_after_sync(ZaltrimEffect& a, ZaltrimEffect& b) {
  std::vector<double> swing(64);
  for (std::size_t i = 0; i < swing.size(); ++i) swing[i] = i < 32 ? -1e30 : 1e30;
  std::vector<double> out_a(kFrames);
  std::vector<double> out_b(kFrames);
  double* in[] = {swing.data()};
  double* outs_a[] = {out_a.data()};
  double* outs_b[] = {out_b.data()};
  a.processDoubleReplacing(in, outs_a, 64);
  b.processDoubleReplacing(in, outs_b, 64);
  std::vector<double> tone(kFrames);
  in[0] = tone.data();
  const double step = 2.0 * M_PI * 7000.0 / static_cast<double>(a.getSampleRate());
  const double amplitude = 2.0 / static_cast<double>(a.get_gain());  // twice full scale at the clipper
  double distance = 0.0;
  for (long block = 0; block < 40; ++block) {
    for (VstInt32 i = 0; i < kFrames; ++i)
      tone[static_cast<std::size_t>(i)] = amplitude * std::sin(step * static_cast<double>(block * kFrames + i));
    a.processDoubleReplacing(in, outs_a, kFrames);
    b.processDoubleReplacing(in, outs_b, kFrames);
    if (block < 30) continue;
    for (VstInt32 i = 0; i < kFrames; ++i)
      distance =
          std::fmax(distance, std::fabs(out_a[static_cast<std::size_t>(i)] - out_b[static_cast<std::size_t>(i)]));
  }
  return distance;
}

std::unique_ptr<ZaltrimEffect> effect_for(float rate, VstInt32 factor, float gain) {
  auto effect = std::make_unique<ZaltrimEffect>(nullptr);
  effect->setSampleRate(rate);
  effect->set_oversampling(factor);
  effect->set_gain(gain);
  return effect;
}

TEST(Threads, AudioAutomationAndRebuildsAtOnce) {
  ZaltrimEffect effect(nullptr);
  std::atomic<bool> stop{false};
  AudioReport audio;
  Automation automation;
  Rebuilds rebuilds;

  const auto start = std::chrono::steady_clock::now();
  std::thread audio_worker(audio_thread, std::ref(effect), std::cref(stop), std::ref(audio));
  std::thread automation_worker(automation_thread, std::ref(effect), std::cref(stop), std::ref(automation));
  std::thread rebuild_worker(rebuild_thread, std::ref(effect), std::cref(stop), std::ref(rebuilds));
  std::this_thread::sleep_for(std::chrono::duration<double>(run_seconds()));
  stop.store(true);
  audio_worker.join();
  automation_worker.join();
  rebuild_worker.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f s: %ld blocks, %ld gain and chunk calls, %ld factor and rate changes\n", seconds, audio.blocks,
              automation.calls, rebuilds.calls);

  EXPECT_EQ(audio.fault, "");
  ASSERT_GT(audio.blocks, 0);
  ASSERT_GT(automation.calls, 0);
  ASSERT_GT(rebuilds.calls, 1);
  EXPECT_EQ(effect.get_gain(), automation.last_gain);
  EXPECT_EQ(effect.getParameter(0), ZaltrimEffect::normalized_of_gain(automation.last_gain));
  EXPECT_EQ(effect.getSampleRate(), rebuilds.last_rate);
  const VstInt32 factor = effect.get_oversampling();
  EXPECT_TRUE(factor == rebuilds.last_factor || factor == automation.last_chunk_factor) << factor;

  // What a chain built for the reported state does, and how far two such chains with different
  // pasts still differ: the effect must lie within that spread, and a chain for the neighbouring
  // factor well outside it.
  const float rate = effect.getSampleRate();
  const float gain = effect.get_gain();
  auto reference = effect_for(rate, factor, gain);
  auto control = effect_for(rate, factor, gain);
  for (long block = 0; block < 8; ++block) process_checked<double>(*control, block);
  const double floor = distance_after_sync(*control, *reference);
  const double allowed = std::fmax(1e-9, 3.0 * floor);
  const double distance = distance_after_sync(effect, *reference);
  auto neighbour = effect_for(rate, factor == 32 ? 16 : factor * 2, gain);
  const double neighbour_distance = distance_after_sync(*neighbour, *reference);
  std::printf("%d x %.0f Hz: distance %.3g, floor %.3g, neighbouring factor %.3g\n", factor,
              static_cast<double>(rate), distance, floor, neighbour_distance);
  EXPECT_LE(distance, allowed) << "the chain in force is not the one reported";
  EXPECT_GT(neighbour_distance, allowed) << "the comparison cannot tell the factors apart";
}

}  // namespace
