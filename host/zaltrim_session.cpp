#include "zaltrim_session.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace zhost {

std::vector<unsigned char> zaltrim_chunk(float gain, std::int32_t factor) {
  std::uint32_t gain_bits;
  std::memcpy(&gain_bits, &gain, sizeof(gain_bits));
  const auto factor_bits = static_cast<std::uint32_t>(factor);
  std::vector<unsigned char> chunk(8);
  for (int i = 0; i < 4; ++i) {
    chunk[static_cast<std::size_t>(i)] = static_cast<unsigned char>(gain_bits >> (8 * i));
    chunk[static_cast<std::size_t>(i) + 4] = static_cast<unsigned char>(factor_bits >> (8 * i));
  }
  return chunk;
}

float zaltrim_parameter_of_gain(float gain) {
  if (!(gain > 0.0f)) return 0.0f;
  return static_cast<float>(std::clamp((std::log10(static_cast<double>(gain)) + 2.0) / 4.0, 0.0, 1.0));
}

float zaltrim_gain_of_parameter(float value) {
  const double v = std::clamp(static_cast<double>(value), 0.0, 1.0);
  return static_cast<float>(std::pow(10.0, 4.0 * v - 2.0));
}

void start_effect(const Plugin& plugin, float sample_rate, VstInt32 block_size, float gain, std::int32_t factor) {
  plugin.open();
  plugin.set_sample_rate(sample_rate);
  plugin.set_block_size(block_size);
  plugin.set_active(true);
  if (!plugin.set_chunk(zaltrim_chunk(gain, factor)))
    throw HostError("the module refused oversampling " + std::to_string(factor));
  // The parameter cannot name every float gain, nor any outside -40..+40 dB; the module keeps
  // the chunk's gain when the value is the one that gain reads as.
  plugin.set_parameter(0, zaltrim_parameter_of_gain(gain));
}

void stop_effect(Plugin& plugin) {
  plugin.set_active(false);
  plugin.close();
}

}  // namespace zhost
