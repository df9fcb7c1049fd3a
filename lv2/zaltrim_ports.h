// What the plug-ins and their UI agree on: the URIs the bundle's Turtle files give, and the ports
// by index. The UI reaches a plug-in only through these ports, so a host may run it anywhere. The
// stereo edition has the mono one's ports at the same indices, its right channel after them, so
// that one UI serves both.
#pragma once

#include <cstdint>

namespace zaltrim_lv2 {

constexpr const char* kPluginUri = "https://orvendel.example/plugins/zaltrim";
constexpr const char* kStereoPluginUri = "https://orvendel.example/plugins/zaltrim-stereo";
constexpr const char* kUiUri = "https://orvendel.example/plugins/zaltrim#ui";

enum Port : std::uint32_t {
  kInput = 0,   // the stereo edition's left channel
  kOutput = 1,
  kGain = 2,          // dB, -40 to +40
  kOversampling = 3,  // 2, 4, 8, 16 or 32
  kEnabled = 4,       // above 0.5: the chain; otherwise the input, delayed by the latency
  kLatency = 5,       // output: the chain's delay in samples at this rate and factor
  kPortCount = 6,
  kInputRight = 6,  // the stereo edition only
  kOutputRight = 7,
  kStereoPortCount = 8
};

}  // namespace zaltrim_lv2
