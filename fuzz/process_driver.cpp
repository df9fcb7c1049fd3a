// Any samples through both processing entries, at any factor and every host rate from 44.1 kHz up, with the
// gain moved between blocks: NaN, infinities, subnormals and huge values included. Whatever
// comes in, every sample that goes out is finite and within the chain's bound.
#include <cmath>
#include <cstring>
#include <vector>

#include "drivers.h"
#include "effect_harness.h"

namespace zfuzz {

namespace {

constexpr std::size_t kMaxBlocks = 16;
constexpr std::size_t kMaxFrames = 1024;
constexpr std::int32_t kFactors[] = {2, 4, 8, 16, 32};
// The host rates the bound of every output sample is claimed for; the dispatcher fuzzer drives
// every other rate.
constexpr float kRates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 352800.0f, 384000.0f};

void set_state(AEffect* effect, float gain, std::int32_t factor) {
  unsigned char chunk[8];
  std::memcpy(chunk, &gain, 4);
  std::memcpy(chunk + 4, &factor, 4);
  dispatch(effect, effSetChunk, 0, sizeof(chunk), chunk);
}

class Stream {
 public:
  Stream(AEffect* effect, ByteReader& in) : effect(effect), in(in) {}

  std::string run() {
    for (std::size_t block = 0; block < kMaxBlocks && !in.empty(); ++block) {
      change_settings();
      std::string fault = (in.byte() & 1) ? process<double>() : process<float>();
      if (!fault.empty()) return "block " + std::to_string(block) + ": " + fault;
    }
    return {};
  }

 private:
  void change_settings() {
    const std::uint8_t what = in.byte();
    if (what & 0x01) dispatch(effect, effSetSampleRate, 0, 0, nullptr, kRates[in.pick(8)]);
    if (what & 0x02) {
      const float gain = any_float(in);
      set_state(effect, std::isfinite(gain) ? gain : 1.0f, kFactors[in.pick(5)]);
    }
    if (what & 0x04) effect->setParameter(effect, 0, any_float(in));
  }

  template <typename Sample>
  Sample any_sample() {
    if constexpr (std::is_same_v<Sample, float>)
      return any_float(in);
    else
      return any_double(in);
  }

  // Raw samples, or a steady level with special values dropped in: both shapes reach the
  // solver's worst cases with short inputs.
  template <typename Sample>
  void fill(std::vector<Sample>& input) {
    if (in.byte() & 1) {
      for (Sample& x : input) x = any_sample<Sample>();
      return;
    }
    const Sample level = any_sample<Sample>();
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = (i & 1) ? -level : level;
    for (std::size_t spikes = in.pick(8); spikes > 0 && !input.empty(); --spikes)
      input[in.take<std::uint16_t>() % input.size()] = any_sample<Sample>();
  }

  template <typename Sample>
  std::string process() {
    const auto frames = static_cast<VstInt32>(in.take<std::uint16_t>() % (kMaxFrames + 1));
    std::vector<Sample> input(static_cast<std::size_t>(frames));
    std::vector<Sample> output(static_cast<std::size_t>(frames) + 1, Sample(7));
    fill(input);
    Sample* inputs[] = {input.data()};
    Sample* outputs[] = {output.data()};
    if constexpr (std::is_same_v<Sample, float>)
      effect->processReplacing(effect, inputs, outputs, frames);
    else
      effect->processDoubleReplacing(effect, inputs, outputs, frames);
    if (output.back() != Sample(7)) return "the block wrote past its last frame";
    return check_block(output, frames, kOutputBound);
  }

  AEffect* effect;
  ByteReader& in;
};

}  // namespace

std::string replay_process(const std::uint8_t* data, std::size_t size) {
  return replay_on_fresh_effect<Stream>(data, size);
}

}  // namespace zfuzz
