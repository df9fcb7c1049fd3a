// Starting an effect the way a DAW starts a track's insert, the module's 8-byte state (float32
// linear gain, then int32 oversampling factor, little-endian) and its parameter's scale: the host
// value v in [0, 1] is -40 + 80 v dB, that is a linear gain of 10^(4 v - 2).
#pragma once

#include <cstdint>
#include <vector>

#include "vst_host.h"

namespace zhost {

std::vector<unsigned char> zaltrim_chunk(float gain, std::int32_t factor);

// The parameter value of a linear gain, clamped to [0, 1] (0 for gains of 0 and below).
float zaltrim_parameter_of_gain(float gain);
// The linear gain of a parameter value, clamped to [0, 1] first.
float zaltrim_gain_of_parameter(float value);

// effOpen, the rate, the block size, resume; then the state chunk, which carries the factor and the
// exact gain, and the gain's parameter value, as a DAW restores a project.
// Throws if the module refuses the state.
void start_effect(const Plugin& plugin, float sample_rate, VstInt32 block_size, float gain, std::int32_t factor);

// Suspends and closes, as a host does when a track's insert is removed.
void stop_effect(Plugin& plugin);

}  // namespace zhost
