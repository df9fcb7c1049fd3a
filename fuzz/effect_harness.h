// What every fuzz driver shares: an effect made as a host gets it, typed values that favour the
// numbers hosts get wrong, and the check that a processed block is sound.
#pragma once

#include <string>
#include <vector>

#include "byte_reader.h"
#include "vst2.h"

namespace zfuzz {

// The entry point's semantics: the host is asked for its version, then the one effect is made.
// Null when the entry refuses.
AEffect* open_effect();
void close_effect(AEffect* effect);

// Runs one driver (constructed from the effect and the input, with run() giving the first fault,
// or an empty text) over a fresh effect, which is closed afterwards.
template <typename Driver>
std::string replay_on_fresh_effect(const std::uint8_t* data, std::size_t size) {
  AEffect* effect = open_effect();
  if (!effect) return "the entry point made no effect";
  ByteReader in(data, size);
  std::string fault = Driver(effect, in).run();
  close_effect(effect);
  return fault;
}

VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f);

// The effect's state as it hands it out: the 8 chunk bytes, or fewer when the request fails.
std::vector<unsigned char> chunk_of(AEffect* effect);

// A float from the input: raw bits, or one of the values that break arithmetic (NaN,
// infinities, subnormals, huge and tiny magnitudes, signed zeros).
float any_float(ByteReader& in);
double any_double(ByteReader& in);
VstInt32 any_int(ByteReader& in);
VstIntPtr any_value(ByteReader& in);

// Every sample finite and within [-bound, bound]; otherwise a description of the first that is not.
template <typename Sample>
std::string check_block(const std::vector<Sample>& output, VstInt32 frames, double bound);

// The widest an output sample may swing: the solver holds its output within [-1, 1] and the
// decimator's low-pass overshoots by at most the sum of its impulse response magnitudes, 1.93 at
// 2 x 44.1 kHz and less at every higher oversampled rate.
constexpr double kOutputBound = 2.0;
// Below 44.1 kHz the 22 kHz cut-off nears the oversampled Nyquist frequency and the low-pass rings
// more: the sum reaches 3.0 at 2 x 8 kHz and 4.1 at 2 x 1 kHz, the lowest rate the effect takes.
constexpr double kAnyRateBound = 4.5;

}  // namespace zfuzz
