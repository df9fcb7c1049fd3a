// Starting an effect the way a DAW starts a track's insert, and the module's 8-byte state:
// float32 gain, then int32 oversampling factor, little-endian.
#pragma once

#include <cstdint>
#include <vector>

#include "vst_host.h"

namespace zhost {

std::vector<unsigned char> zaltrim_chunk(float gain, std::int32_t factor);

// effOpen, the rate, the block size, resume; then the gain as a parameter and the factor through
// the state chunk, since the factor is no host parameter. Throws if the module refuses the state.
void start_effect(const Plugin& plugin, float sample_rate, VstInt32 block_size, float gain, std::int32_t factor);

// Suspends and closes, as a host does when a track's insert is removed.
void stop_effect(Plugin& plugin);

}  // namespace zhost
