// Any bytes and any byte count as a state chunk. The effect either refuses it and is left
// exactly as it was, or accepts it, hands the same eight bytes back and processes as a fresh
// effect given the same state does: the comparison is bit for bit, as both chains start empty.
// Applying the parameter value it then reads leaves the state as it was.
#include <cstring>
#include <limits>
#include <vector>

#include "drivers.h"
#include "effect_harness.h"

namespace zfuzz {

namespace {

constexpr VstInt32 kChunkSize = 8;
constexpr VstInt32 kProbeFrames = 64;

// The byte count a host hands over: the data's size, a shorter count, or a value that is no
// size at all (negative, beyond int32). Never more than the data, which the effect would read.
VstIntPtr byte_count(std::uint8_t mode, std::uint32_t extra, std::size_t size) {
  switch (mode % 4) {
    case 0:
      return static_cast<VstIntPtr>(extra % (size + 1));
    case 1:
      return -1 - static_cast<VstIntPtr>(extra);
    case 2:
      return static_cast<VstIntPtr>(std::numeric_limits<VstInt32>::max()) + 1 + extra;
    default:
      return static_cast<VstIntPtr>(size);
  }
}

std::vector<double> probe_block(AEffect* effect) {
  std::vector<double> input(kProbeFrames);
  std::vector<double> output(kProbeFrames);
  for (VstInt32 i = 0; i < kProbeFrames; ++i) input[static_cast<std::size_t>(i)] = 0.9 * ((i % 16) - 8) / 8.0;
  double* inputs[] = {input.data()};
  double* outputs[] = {output.data()};
  effect->processDoubleReplacing(effect, inputs, outputs, kProbeFrames);
  return output;
}

std::string compare_with(AEffect* effect, const std::vector<unsigned char>& state) {
  AEffect* reference = open_effect();
  std::vector<unsigned char> bytes = state;
  dispatch(reference, effSetChunk, 0, kChunkSize, bytes.data());
  const std::vector<double> expected = probe_block(reference);
  close_effect(reference);
  const std::vector<double> actual = probe_block(effect);
  if (std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(double)) != 0)
    return "the block after the chunk differs from a fresh effect's in the same state";
  return check_block(actual, kProbeFrames, kOutputBound);
}

}  // namespace

std::string replay_chunk(const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  const bool preset = (in.byte() & 1) != 0;
  const std::uint8_t mode = in.byte();
  const std::uint32_t extra = mode % 4 == 3 ? 0 : in.take<std::uint32_t>();
  std::vector<unsigned char> payload(in.remaining());
  in.copy_to(payload.data(), payload.size());
  const VstIntPtr count = byte_count(mode, extra, payload.size());

  AEffect* effect = open_effect();
  if (!effect) return "the entry point made no effect";
  const std::vector<unsigned char> before = chunk_of(effect);
  const VstIntPtr result = dispatch(effect, effSetChunk, preset ? 1 : 0, count, payload.data());
  const std::vector<unsigned char> after = chunk_of(effect);

  std::string fault;
  if (result == 0) {
    if (after != before) fault = "a refused chunk changed the state";
  } else if (result != kChunkSize || count < kChunkSize) {
    fault = "a chunk of " + std::to_string(count) + " bytes was answered with " + std::to_string(result);
  } else if (after != std::vector<unsigned char>(payload.begin(), payload.begin() + kChunkSize)) {
    fault = "an accepted chunk does not come back as it went in";
  }
  if (fault.empty()) fault = compare_with(effect, after);
  if (fault.empty()) {
    // A host reloading a project restores the chunk, then applies the parameter value it read
    // when it saved: whatever the chunk held must survive that.
    effect->setParameter(effect, 0, effect->getParameter(effect, 0));
    if (chunk_of(effect) != after) fault = "applying the parameter value read back changed the state";
  }
  close_effect(effect);
  return fault;
}

}  // namespace zfuzz
