// What the plug-in and its UI agree on: the URIs the bundle's Turtle files give, and the ports by
// index. The UI reaches the plug-in only through these ports, so a host may run it anywhere.
#pragma once

#include <cstdint>

namespace zaltrim_lv2 {

constexpr const char* kPluginUri = "https://orvendel.example/plugins/zaltrim";
constexpr const char* kUiUri = "https://orvendel.example/plugins/zaltrim#ui";

enum Port : std::uint32_t {
  kInput = 0,
  kOutput = 1,
  kGain = 2,          // dB, -40 to +40
  kOversampling = 3,  // 2, 4, 8, 16 or 32
  kEnabled = 4,       // above 0.5: the chain; otherwise the input, delayed by the latency
  kLatency = 5,       // output: the chain's delay in samples at this rate and factor
  kPortCount = 6
};

constexpr float kMinimumGainDb = -40.0f;
constexpr float kMaximumGainDb = 40.0f;

}  // namespace zaltrim_lv2
