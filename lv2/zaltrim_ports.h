// What the plug-ins and their UI agree on: the URIs the bundle's Turtle files give, and the ports
// by index. The UI reaches a plug-in only through these ports, so a host may run it anywhere. The
// stereo edition has the mono one's ports at the same indices, its right channel after them, so
// that one UI serves both.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zaltrim_lv2 {

constexpr const char* kPluginUri = "https://orvendel.example/plugins/zaltrim";
constexpr const char* kStereoPluginUri = "https://orvendel.example/plugins/zaltrim-stereo";
constexpr const char* kUiUri = "https://orvendel.example/plugins/zaltrim#ui";
// The same panel as a GTK 3 widget. Hosts that take the first UI they can show in the order lilv
// lists them (by URI) meet this one before the X11 UI: "#gtk3-ui" sorts before "#ui".
constexpr const char* kGtk3UiUri = "https://orvendel.example/plugins/zaltrim#gtk3-ui";

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

// The factor an oversampling port value stands for: the nearest of 2, 4, 8, 16 and 32 in octaves
// (a host's generic slider may stop anywhere in the range); 0 for NaN. The plug-in runs it, the
// UI shows it.
inline int factor_of_value(float value) {
  if (std::isnan(value)) return 0;
  const double octaves = std::log2(std::clamp(static_cast<double>(value), 2.0, 32.0));
  return 1 << static_cast<int>(std::lround(octaves));
}

}  // namespace zaltrim_lv2
