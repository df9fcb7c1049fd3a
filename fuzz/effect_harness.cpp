#include "effect_harness.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "audio_effect.h"

namespace zfuzz {

namespace {

VstIntPtr VSTCALLBACK host_callback(AEffect* /*effect*/, VstInt32 opcode, VstInt32 /*index*/, VstIntPtr /*value*/,
                                    void* /*ptr*/, float /*opt*/) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

template <typename Real>
Real special_value(std::size_t which) {
  using limits = std::numeric_limits<Real>;
  const Real table[] = {Real(0),
                        -Real(0),
                        Real(1),
                        Real(-1),
                        Real(0.5),
                        limits::quiet_NaN(),
                        -limits::quiet_NaN(),
                        limits::infinity(),
                        -limits::infinity(),
                        limits::denorm_min(),
                        -limits::min() / Real(4),
                        Real(1e30),
                        Real(-1e30),
                        limits::max(),
                        limits::lowest(),
                        Real(1e-30),
                        Real(44100),
                        Real(100)};
  return table[which % (sizeof(table) / sizeof(table[0]))];
}

}  // namespace

AEffect* open_effect() {
  if (host_callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  AudioEffect* effect = createEffectInstance(host_callback);
  return effect ? effect->getAeffect() : nullptr;
}

void close_effect(AEffect* effect) { dispatch(effect, effClose); }

VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::vector<unsigned char> chunk_of(AEffect* effect) {
  void* data = nullptr;
  const VstIntPtr size = dispatch(effect, effGetChunk, 0, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return {bytes, bytes + size};
}

float any_float(ByteReader& in) {
  const std::uint8_t selector = in.byte();
  if (selector & 0x80) return in.take<float>();
  return special_value<float>(selector);
}

double any_double(ByteReader& in) {
  const std::uint8_t selector = in.byte();
  if (selector & 0x80) return in.take<double>();
  return special_value<double>(selector);
}

VstInt32 any_int(ByteReader& in) {
  const std::uint8_t selector = in.byte();
  if (selector & 0x80) return in.take<VstInt32>();
  const VstInt32 table[] = {0,
                            1,
                            -1,
                            2,
                            4,
                            7,
                            8,
                            16,
                            32,
                            64,
                            255,
                            256,
                            65536,
                            std::numeric_limits<VstInt32>::max(),
                            std::numeric_limits<VstInt32>::min()};
  return table[selector % (sizeof(table) / sizeof(table[0]))];
}

VstIntPtr any_value(ByteReader& in) {
  const std::uint8_t selector = in.byte();
  if (selector & 0x80) return in.take<VstIntPtr>();
  const VstIntPtr table[] = {0,
                             1,
                             -1,
                             2,
                             8,
                             9,
                             1024,
                             static_cast<VstIntPtr>(std::numeric_limits<VstInt32>::max()) + 1,
                             std::numeric_limits<VstIntPtr>::max(),
                             std::numeric_limits<VstIntPtr>::min()};
  return table[selector % (sizeof(table) / sizeof(table[0]))];
}

template <typename Sample>
std::string check_block(const std::vector<Sample>& output, VstInt32 frames, double bound) {
  for (VstInt32 i = 0; i < frames; ++i) {
    const double y = static_cast<double>(output[static_cast<std::size_t>(i)]);
    if (!std::isfinite(y) || std::fabs(y) > bound)
      return "output sample " + std::to_string(i) + " of " + std::to_string(frames) + " is " + std::to_string(y);
  }
  return {};
}

template std::string check_block(const std::vector<float>&, VstInt32, double);
template std::string check_block(const std::vector<double>&, VstInt32, double);

}  // namespace zfuzz
