#include "zaltrim_session.h"

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

void start_effect(const Plugin& plugin, float sample_rate, VstInt32 block_size, float gain, std::int32_t factor) {
  plugin.open();
  plugin.set_sample_rate(sample_rate);
  plugin.set_block_size(block_size);
  plugin.set_active(true);
  plugin.set_parameter(0, gain);
  if (!plugin.set_chunk(zaltrim_chunk(gain, factor)))
    throw HostError("the module refused oversampling " + std::to_string(factor));
}

void stop_effect(Plugin& plugin) {
  plugin.set_active(false);
  plugin.close();
}

}  // namespace zhost
