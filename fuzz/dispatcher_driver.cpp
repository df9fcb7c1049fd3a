// Decodes a byte string into the calls a host makes on one effect and checks what the effect
// hands back: texts end within the host's buffer, chunks are readable and describe a valid
// state, parameter reads stay in [0, 1] and match what was set, applying the value read back
// changes nothing, and every processed block is sound.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "drivers.h"
#include "effect_harness.h"

namespace zfuzz {

namespace {

constexpr std::size_t kMaxSteps = 512;
constexpr std::size_t kMaxBuffer = 256;
constexpr VstInt32 kMaxBlock = 512;
constexpr unsigned char kUnwritten = 0x7F;

// Without an editor these answer 0 in the frame; with one they are driven with no display.
bool is_editor_opcode(VstInt32 opcode) {
  return (opcode >= effEditGetRect && opcode <= effEditSleep) ||
         (opcode >= effEditKeyDown && opcode <= effSetEditKnobMode);
}

// The text the opcode writes through ptr: its named maximum length plus the terminating zero.
std::size_t text_out_size(VstInt32 opcode) {
  switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed:
      return kVstMaxProgNameLen + 1;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
      return kVstMaxParamStrLen + 1;
    case effGetEffectName:
      return kVstMaxEffectNameLen + 1;
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
      return kVstMaxVendorStrLen + 1;
    default:
      return 0;
  }
}

bool reads_text(VstInt32 opcode) {
  return opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo;
}

bool is_valid_factor(std::int32_t factor) {
  return factor == 2 || factor == 4 || factor == 8 || factor == 16 || factor == 32;
}

std::uint32_t bits_of(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

class Sequence {
 public:
  Sequence(AEffect* effect, ByteReader& in) : effect(effect), in(in) {}

  std::string run() {
    for (std::size_t step = 0; step < kMaxSteps && !in.empty() && !closing; ++step) {
      std::string fault = next_step();
      if (!fault.empty()) return "step " + std::to_string(step) + ": " + fault;
    }
    return {};
  }

 private:
  std::string next_step() {
    switch (in.pick(8)) {
      case 0:
        return set_parameter();
      case 1:
        return get_parameter();
      case 2:
        return process_block<float>();
      case 3:
        return process_block<double>();
      default:
        return call_opcode();
    }
  }

  std::string set_parameter() {
    const VstInt32 index = any_int(in);
    const float value = any_float(in);
    const float before = effect->getParameter(effect, 0);
    effect->setParameter(effect, index, value);
    if (index != 0 || std::isnan(value)) return {};
    const float normalized = std::clamp(value, 0.0f, 1.0f);
    // The value the gain in force already reads as leaves that gain as it is.
    if (normalized == before) return {};
    gain_from_parameter = true;
    expected_parameter = normalized;
    return {};
  }

  std::string get_parameter() {
    const VstInt32 index = any_int(in);
    const float value = effect->getParameter(effect, index);
    if (index == 1) return factor_parameter(value);
    if (index != 0) return value == 0.0f ? std::string() : "getParameter(" + std::to_string(index) + ") is not 0";
    if (!(value >= 0.0f && value <= 1.0f)) return "getParameter(0) gives " + std::to_string(value) + ", outside [0, 1]";
    // gain -> float value -> gain moves the value by a few parts in 1e8 at most.
    if (gain_from_parameter && std::fabs(value - expected_parameter) > 1e-7f)
      return "getParameter(0) gives " + std::to_string(value) + " after " + std::to_string(expected_parameter) +
             " was set";
    // What a host does on reload: the value it read, applied again, must leave the state as saved.
    const std::vector<unsigned char> saved = chunk_of(effect);
    effect->setParameter(effect, 0, value);
    if (chunk_of(effect) != saved) return "applying the value getParameter(0) gave changed the state";
    return {};
  }

  // The factor's value is the step of the factor the state holds, and applying it again keeps the state.
  std::string factor_parameter(float value) {
    const std::vector<unsigned char> saved = chunk_of(effect);
    std::int32_t factor = 0;
    if (saved.size() == 8) factor = static_cast<std::int32_t>(saved[4] | saved[5] << 8 | saved[6] << 16 | saved[7] << 24);
    float expected = -1.0f;
    for (int step = 0; step < 5; ++step)
      if (factor == 2 << step) expected = static_cast<float>(step) / 4.0f;
    if (value != expected)
      return "getParameter(1) gives " + std::to_string(value) + " for factor " + std::to_string(factor);
    effect->setParameter(effect, 1, value);
    if (chunk_of(effect) != saved) return "applying the value getParameter(1) gave changed the state";
    return {};
  }

  VstInt32 block_frames() {
    const VstInt32 table[] = {0, 1, 2, 3, 16, 63, 64, 128, kMaxBlock, -1, std::numeric_limits<VstInt32>::min()};
    const std::uint8_t selector = in.byte();
    if (selector & 0x80) return selector & 0x7F;
    return table[selector % (sizeof(table) / sizeof(table[0]))];
  }

  template <typename Sample>
  Sample any_sample() {
    if constexpr (std::is_same_v<Sample, float>)
      return any_float(in);
    else
      return any_double(in);
  }

  template <typename Sample>
  std::string process_block() {
    const VstInt32 frames = block_frames();
    // A block of no frames or a negative count still gets real buffers: nothing may be written.
    const std::size_t length = frames > 0 ? static_cast<std::size_t>(frames) : 1;
    std::vector<Sample> input(length, Sample(0));
    std::vector<Sample> output(length, Sample(7));
    const bool constant = (in.byte() & 1) != 0;
    const Sample level = any_sample<Sample>();
    for (std::size_t i = 0; i < length && frames > 0; ++i) input[i] = constant ? level : any_sample<Sample>();

    Sample* inputs[] = {input.data()};
    Sample* outputs[] = {output.data()};
    if constexpr (std::is_same_v<Sample, float>)
      effect->processReplacing(effect, inputs, outputs, frames);
    else
      effect->processDoubleReplacing(effect, inputs, outputs, frames);

    if (frames <= 0) return output[0] == Sample(7) ? std::string() : "a block of no frames wrote output";
    return check_block(output, frames, kAnyRateBound);
  }

  std::string call_opcode() {
    const VstInt32 opcode = in.byte();
    if (opcode == effClose) {
      closing = true;
      return {};
    }
    if (is_editor_opcode(opcode) && !(effect->flags & effFlagsHasEditor)) return {};
    const VstInt32 index = any_int(in);
    const VstIntPtr value = any_value(in);
    const float opt = any_float(in);
    switch (opcode) {
      case effGetChunk:
        return get_chunk(index, value, opt);
      case effSetChunk:
        return set_chunk(index, opt);
      case effEditGetRect:
        return get_rect(index, value, opt);
      case effSetSpeakerArrangement:
        return set_arrangement(index, opt);
      case effGetSpeakerArrangement:
        return get_arrangement(index, opt);
      default:
        break;
    }
    if (const std::size_t size = text_out_size(opcode)) return write_text(opcode, index, value, opt, size);
    if (reads_text(opcode)) return read_text(opcode, index, value, opt);
    return any_buffer(opcode, index, value, opt);
  }

  // Hosts pass at least the named length plus one; the text must end inside that.
  std::string write_text(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt, std::size_t required) {
    if (in.pick(16) == 0) return null_pointer(opcode, index, value, opt);
    const std::size_t size = required + in.pick(kMaxBuffer - required + 1);
    std::vector<char> text(size, static_cast<char>(kUnwritten));
    dispatch(effect, opcode, index, value, text.data(), opt);
    bool written = false;
    for (char c : text) written = written || c != static_cast<char>(kUnwritten);
    if (written && std::memchr(text.data(), 0, required) == nullptr)
      return "opcode " + std::to_string(opcode) + " wrote a text that does not end within " + std::to_string(required) +
             " bytes";
    return {};
  }

  std::string read_text(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt) {
    if (in.pick(16) == 0) return null_pointer(opcode, index, value, opt);
    std::vector<char> text(1 + in.pick(kMaxBuffer));
    in.copy_to(text.data(), text.size() - 1);
    text.back() = 0;
    dispatch(effect, opcode, index, value, text.data(), opt);
    return {};
  }

  std::string null_pointer(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt) {
    dispatch(effect, opcode, index, value, nullptr, opt);
    return {};
  }

  std::string any_buffer(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt) {
    if (in.pick(4) == 0) return null_pointer(opcode, index, value, opt);
    std::vector<unsigned char> buffer(kMaxBuffer);
    in.copy_to(buffer.data(), in.pick(2) == 0 ? 0 : buffer.size());
    dispatch(effect, opcode, index, value, buffer.data(), opt);
    return {};
  }

  std::string get_chunk(VstInt32 index, VstIntPtr value, float opt) {
    if (in.pick(16) == 0) return null_pointer(effGetChunk, index, value, opt);
    void* data = nullptr;
    const VstIntPtr size = dispatch(effect, effGetChunk, index, value, &data, opt);
    if (size != 8 || !data) return "effGetChunk gave " + std::to_string(size) + " bytes";
    std::int32_t factor;
    float gain;
    std::memcpy(&gain, data, 4);
    std::memcpy(&factor, static_cast<unsigned char*>(data) + 4, 4);
    if (!is_valid_factor(factor)) return "the chunk holds the factor " + std::to_string(factor);
    if (!gain_from_parameter) {
      if (bits_of(gain) != bits_of(expected_gain)) return "the chunk's gain is not the gain last restored";
      return {};
    }
    const double db = 20.0 * std::log10(static_cast<double>(gain));
    if (!(std::fabs(db - (-40.0 + 80.0 * static_cast<double>(expected_parameter))) <= 1e-4))
      return "the chunk's gain " + std::to_string(gain) + " is not the gain of the value " +
             std::to_string(expected_parameter);
    return {};
  }

  std::string set_chunk(VstInt32 index, float opt) {
    std::vector<unsigned char> payload(in.pick(17));
    if (payload.size() >= 8 && in.pick(2) == 0) {
      // Mostly well-formed: a gain of any kind and a factor near the valid ones.
      const float gain = any_float(in);
      const std::int32_t factor = std::int32_t{1} << in.pick(7);
      std::memcpy(payload.data(), &gain, 4);
      std::memcpy(payload.data() + 4, &factor, 4);
    } else {
      in.copy_to(payload.data(), payload.size());
    }
    const VstIntPtr count = chunk_count(payload.size());
    const VstIntPtr result = dispatch(effect, effSetChunk, index, count, payload.data(), opt);
    if (result == 0) return {};
    if (result != 8 || count < 8)
      return "effSetChunk of " + std::to_string(count) + " bytes answered " + std::to_string(result);
    std::memcpy(&expected_gain, payload.data(), 4);
    gain_from_parameter = false;
    return {};
  }

  // What hosts put in `value`: the buffer's size, a shorter count, or nonsense that is no size
  // (negative, beyond int32). Never a count beyond the buffer that the effect could believe.
  VstIntPtr chunk_count(std::size_t size) {
    switch (in.pick(4)) {
      case 0:
        return static_cast<VstIntPtr>(in.pick(size + 1));
      case 1:
        return -1 - static_cast<VstIntPtr>(in.byte());
      case 2:
        return static_cast<VstIntPtr>(std::numeric_limits<VstInt32>::max()) + 1 + in.byte();
      default:
        return static_cast<VstIntPtr>(size);
    }
  }

  std::string get_rect(VstInt32 index, VstIntPtr value, float opt) {
    ERect* rect = nullptr;
    if (dispatch(effect, effEditGetRect, index, value, &rect, opt) == 1) {
      if (!rect) return "effEditGetRect answered 1 without a rectangle";
      const ERect copy = *rect;
      if (copy.bottom < copy.top || copy.right < copy.left) return "effEditGetRect gave an inverted rectangle";
    }
    return {};
  }

  std::vector<unsigned char> arrangement() {
    const VstInt32 channels = static_cast<VstInt32>(in.pick(3));
    std::vector<unsigned char> block(8 + sizeof(VstSpeakerProperties) * static_cast<std::size_t>(channels));
    in.copy_to(block.data(), block.size());
    std::memcpy(block.data() + 4, &channels, 4);
    return block;
  }

  std::string set_arrangement(VstInt32 index, float opt) {
    std::vector<unsigned char> inputs = arrangement();
    std::vector<unsigned char> outputs = arrangement();
    const bool given = in.pick(4) != 0;
    dispatch(effect, effSetSpeakerArrangement, index, given ? reinterpret_cast<VstIntPtr>(inputs.data()) : 0,
             given ? outputs.data() : nullptr, opt);
    return {};
  }

  std::string get_arrangement(VstInt32 index, float opt) {
    VstSpeakerArrangement* inputs = nullptr;
    VstSpeakerArrangement* outputs = nullptr;
    const bool given = in.pick(4) != 0;
    if (dispatch(effect, effGetSpeakerArrangement, index, given ? reinterpret_cast<VstIntPtr>(&inputs) : 0,
                 given ? &outputs : nullptr, opt) != 0 &&
        (!inputs || !outputs))
      return "effGetSpeakerArrangement answered 1 without arrangements";
    return {};
  }

  AEffect* effect;
  ByteReader& in;
  // The gain last restored from a chunk, exactly; or, once a parameter value moved it since, that
  // value (clamped to [0, 1]).
  float expected_gain = 1.0f;
  bool gain_from_parameter = false;
  float expected_parameter = 0.5f;
  bool closing = false;
};

}  // namespace

std::string replay_dispatcher(const std::uint8_t* data, std::size_t size) {
  return replay_on_fresh_effect<Sequence>(data, size);
}

}  // namespace zfuzz
