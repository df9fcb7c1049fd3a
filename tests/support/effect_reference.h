// What the plug-in format tests compare against: the VST 2 effect itself, made with a host that
// answers only its version, and the signal they play through both.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "zaltrim_effect.h"

namespace test_support {

inline VstIntPtr VSTCALLBACK quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// Two tones (the lower one starting at `phase`) and a little noise, loud enough to drive the
// clipper hard at +12 dB; the same samples on every run.
inline std::vector<float> phrase(std::size_t frames, double amplitude, double rate = 44100.0, double phase = 0.0) {
  constexpr double kPi = 3.141592653589793;
  std::vector<float> samples(frames);
  unsigned state = 12345;
  for (std::size_t i = 0; i < frames; ++i) {
    state = state * 1103515245u + 12345u;
    const double noise = (static_cast<double>(state >> 8) / 8388608.0 - 1.0) * 0.05;
    const double t = static_cast<double>(i) / rate;
    samples[i] = static_cast<float>(
        amplitude * (0.7 * std::sin(2 * kPi * 220.0 * t + phase) + 0.3 * std::sin(2 * kPi * 3300.0 * t) + noise));
  }
  return samples;
}

// Samples [from, to) of `input` through the effect, as one block.
inline std::vector<float> run_effect(ZaltrimEffect& effect, const std::vector<float>& input, std::size_t from,
                                     std::size_t to) {
  std::vector<float> output(to - from);
  float* ins[] = {const_cast<float*>(input.data() + from)};
  float* outs[] = {output.data()};
  effect.processReplacing(ins, outs, static_cast<VstInt32>(to - from));
  return output;
}

}  // namespace test_support
