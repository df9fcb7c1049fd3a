#include "zaltrim_effect.h"

#include <algorithm>
#include <boost/thread/locks.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "vst_strings.h"
#include "zaltrim_gui.h"

namespace {

constexpr VstInt32 kChunkSize = 8;

void write_le32(unsigned char* out, std::uint32_t bits) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

std::uint32_t read_le32(const unsigned char* in) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return bits;
}

// The gain in dB to a tenth, as hosts show the parameter: "+12.0", "-40.0", "0.0". Gains from
// chunks can lie far outside the dial (-898.5 dB for the smallest float, +770.6 for the largest),
// which still fits the 8 characters. No dB value exists for 0 or for a polarity inversion.
void format_gain(float gain, char* text) {
  if (gain == 0.0f) {
    vst_strncpy(text, "-inf", kVstMaxParamStrLen);
    return;
  }
  if (gain < 0.0f) {
    vst_strncpy(text, "inverted", kVstMaxParamStrLen);
    return;
  }
  char digits[32];
  std::snprintf(digits, sizeof(digits), "%+.1f", 20.0 * std::log10(static_cast<double>(gain)));
  // Unity and anything rounding to it reads without a sign, and never as "-0.0".
  if (std::strcmp(digits + 1, "0.0") == 0) std::strcpy(digits, "0.0");
  vst_strncpy(text, digits, kVstMaxParamStrLen);
}

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) { return new ZaltrimEffect(audioMaster); }

ZaltrimEffect::ZaltrimEffect(audioMasterCallback audioMaster)
    : QObject(nullptr), AudioEffectX(audioMaster, 1, kParameterCount), chain(2, sampleRate), sample_rate(sampleRate) {
  setNumInputs(1);
  setNumOutputs(1);
  setUniqueID(0x5A74526D);  // 'ZtRm'
  canProcessReplacing(true);
  canDoubleReplacing(true);
  programsAreChunks(true);
  setInitialDelay(3);
  vst_strncpy(program_name, "Default", kVstMaxProgNameLen);
  setEditor(new GUIZaltrim(this));
}

ZaltrimEffect::~ZaltrimEffect() = default;

bool ZaltrimEffect::is_valid_factor(VstInt32 factor) { return ZaltrimChain::is_valid_factor(factor); }

float ZaltrimEffect::gain_of_normalized(float value) {
  // -40 + 80 v dB is 10^(4 v - 2): 4 v - 2 is exact in double, so v = 0.5 gives unity exactly.
  const double v = std::clamp(static_cast<double>(value), 0.0, 1.0);
  return static_cast<float>(std::pow(10.0, 4.0 * v - 2.0));
}

float ZaltrimEffect::normalized_of_gain(float linear_gain) {
  if (!(linear_gain > 0.0f)) return 0.0f;
  const double v = (std::log10(static_cast<double>(linear_gain)) + 2.0) / 4.0;
  return static_cast<float>(std::clamp(v, 0.0, 1.0));
}

VstInt32 ZaltrimEffect::factor_of_normalized(float value) {
  if (std::isnan(value)) return 0;
  // Step s (0..4) is factor 2^(s + 1); a value rounds to the nearest step.
  const long step = std::lround(std::clamp(value, 0.0f, 1.0f) * 4.0f);
  return VstInt32{2} << step;
}

float ZaltrimEffect::normalized_of_factor(VstInt32 factor) {
  if (!is_valid_factor(factor)) return 0.0f;
  return static_cast<float>(ZaltrimChain::index_of_factor(factor)) / 4.0f;
}

void ZaltrimEffect::setSampleRate(float rate) {
  // Hosts run between 8 kHz and 768 kHz; zero, negative and non-finite rates have no sampling
  // period at all.
  if (!ZaltrimChain::is_valid_rate(rate)) return;
  sample_rate.store(rate);
  rebuild_pipeline();
}

float ZaltrimEffect::getSampleRate() { return sample_rate.load(); }

// A fresh effect reports 3 samples, what hosts have always read before the first resume. The chain
// lags by more (5 at 44.1 kHz): a host that compensated 3 would leave the effect's track late
// against its dry copy. The delay depends on the rate alone, so it is measured once per rate.
void ZaltrimEffect::resume() {
  AudioEffectX::resume();
  const float rate = sample_rate.load();
  if (rate == delay_rate) return;
  delay_rate = rate;
  const VstInt32 delay = ZaltrimChain::measure_latency(oversampling.load(), rate);
  if (delay == cEffect.initialDelay) return;
  setInitialDelay(delay);
  ioChanged();
}

void ZaltrimEffect::apply_gain(float new_gain) {
  chain.set_gain(static_cast<double>(new_gain));
  gain.store(new_gain, std::memory_order_relaxed);
}

void ZaltrimEffect::set_gain(float new_gain) {
  // A NaN or infinite gain would be saved in the chunk, which then no longer loads.
  if (!std::isfinite(new_gain)) return;
  apply_gain(new_gain);
  emit update_gain(new_gain);
}

void ZaltrimEffect::setParameter(VstInt32 index, float value) {
  if (std::isnan(value)) return;
  if (index == kFactorParameter) {
    const VstInt32 factor = factor_of_normalized(value);
    // The factor in force is kept as it is: a rebuild would reset the chain's state for nothing.
    if (factor != oversampling.load()) set_oversampling(factor);
    return;
  }
  if (index != kGainParameter) return;
  const float normalized = std::clamp(value, 0.0f, 1.0f);
  // A float in [0, 1] cannot name every float gain: gain -> value -> gain lands up to 5 ulps
  // away. Hosts that restore the chunk and then apply the value they read before saving would
  // move the gain a little on every reload; the value of the gain in force keeps it instead.
  // This also keeps restored gains outside -40..+40 dB, which read as 0 or 1.
  if (normalized == normalized_of_gain(gain.load(std::memory_order_relaxed))) return;
  set_gain(gain_of_normalized(normalized));
}

float ZaltrimEffect::getParameter(VstInt32 index) {
  if (index == kFactorParameter) return normalized_of_factor(oversampling.load());
  return index == kGainParameter ? normalized_of_gain(gain.load(std::memory_order_relaxed)) : 0.0f;
}

void ZaltrimEffect::setProgramName(char* name) { vst_strncpy(program_name, name, kVstMaxProgNameLen); }

void ZaltrimEffect::getProgramName(char* name) { vst_strncpy(name, program_name, kVstMaxProgNameLen); }

void ZaltrimEffect::getParameterLabel(VstInt32 index, char* label) {
  if (index == kGainParameter) vst_strncpy(label, "dB", kVstMaxParamStrLen);
  if (index == kFactorParameter) vst_strncpy(label, "x", kVstMaxParamStrLen);
}

void ZaltrimEffect::getParameterDisplay(VstInt32 index, char* text) {
  if (index == kGainParameter) format_gain(gain.load(std::memory_order_relaxed), text);
  if (index == kFactorParameter)
    std::snprintf(text, kVstMaxParamStrLen + 1, "%d", static_cast<int>(oversampling.load()));
}

void ZaltrimEffect::getParameterName(VstInt32 index, char* text) {
  if (index == kGainParameter) vst_strncpy(text, "Gain", kVstMaxParamStrLen);
  // Parameter names hold 8 characters: "Oversampling" would be cut.
  if (index == kFactorParameter) vst_strncpy(text, "Factor", kVstMaxParamStrLen);
}

VstInt32 ZaltrimEffect::getChunk(void** data, bool /*isPreset*/) {
  // Hosts save from threads of their own, sometimes two at once, and read the bytes after the
  // call. The bytes are only rewritten when the state changed, so a save that reads them while
  // another save of the same state runs reads memory nobody writes.
  unsigned char state[kChunkSize];
  boost::mutex::scoped_lock guard(chunk_lock);
  std::uint32_t gain_bits;
  const float current_gain = gain.load(std::memory_order_relaxed);
  std::memcpy(&gain_bits, &current_gain, sizeof(gain_bits));
  write_le32(state, gain_bits);
  write_le32(state + 4, static_cast<std::uint32_t>(oversampling.load()));
  if (std::memcmp(chunk_bytes, state, kChunkSize) != 0) std::memcpy(chunk_bytes, state, kChunkSize);
  *data = chunk_bytes;
  return kChunkSize;
}

VstInt32 ZaltrimEffect::setChunk(void* data, VstInt32 byteSize, bool /*isPreset*/) {
  // Everything is checked before anything is applied: a refused chunk changes nothing.
  if (!data || byteSize < kChunkSize) return 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  const std::uint32_t gain_bits = read_le32(bytes);
  float new_gain;
  std::memcpy(&new_gain, &gain_bits, sizeof(new_gain));
  const auto factor = static_cast<VstInt32>(read_le32(bytes + 4));
  if (!std::isfinite(new_gain) || !is_valid_factor(factor)) return 0;

  {
    boost::mutex::scoped_lock guard(chunk_lock);
    apply_gain(new_gain);
    build_pipeline(factor);
  }
  // Outside the lock: whoever listens may save the state in return. An open editor shows the
  // restored state whole, the factor as well as the gain.
  emit update_gain(new_gain);
  emit update_oversampling(factor);
  return kChunkSize;
}

bool ZaltrimEffect::getEffectName(char* name) {
  vst_strncpy(name, "Zaltrim", kVstMaxEffectNameLen);
  return true;
}

bool ZaltrimEffect::getVendorString(char* text) {
  vst_strncpy(text, "Orvendel", kVstMaxVendorStrLen);
  return true;
}

bool ZaltrimEffect::getProductString(char* text) {
  vst_strncpy(text, "Zaltrim", kVstMaxProductStrLen);
  return true;
}

VstInt32 ZaltrimEffect::getVendorVersion() { return 1000; }

void ZaltrimEffect::automate_gain() {
  callHost(audioMasterAutomate, kGainParameter, 0, nullptr, getParameter(kGainParameter));
}

void ZaltrimEffect::automate_oversampling() {
  beginEdit(kFactorParameter);
  callHost(audioMasterAutomate, kFactorParameter, 0, nullptr, getParameter(kFactorParameter));
  endEdit(kFactorParameter);
}

void ZaltrimEffect::set_oversampling(VstInt32 factor) {
  if (!build_pipeline(factor)) return;
  emit update_oversampling(factor);
}

bool ZaltrimEffect::build_pipeline(VstInt32 factor) {
  if (!is_valid_factor(factor)) return false;
  install_stages(factor);
  return true;
}

void ZaltrimEffect::rebuild_pipeline() { install_stages(0); }

// A rebuild designs its stages before taking the lock and frees the old ones after releasing it,
// so the audio thread never waits longer than a pointer swap.
void ZaltrimEffect::install_stages(VstInt32 requested_factor) {
  for (;;) {
    const VstInt32 factor = requested_factor ? requested_factor : oversampling.load();
    const float rate = sample_rate.load();
    ZaltrimChain::Stages fresh = ZaltrimChain::design(factor, rate);
    {
      boost::mutex::scoped_lock guard(lock);
      // Another thread changed the rate (or, for a plain rebuild, the factor) while these
      // stages were being designed: design again, so the chain always matches what is reported.
      if (rate != sample_rate.load() || (!requested_factor && factor != oversampling.load())) continue;
      chain.install(fresh);
      oversampling.store(factor);
    }
    return;  // the old stages, now in `fresh`, are freed here, outside the lock
  }
}

template <typename Sample>
void ZaltrimEffect::process_block(const Sample* input, Sample* output, VstInt32 sampleFrames) {
  if (sampleFrames <= 0 || !output) return;
  if (!input) {
    std::fill(output, output + sampleFrames, Sample(0));
    return;
  }
  boost::mutex::scoped_lock guard(lock);
  chain.process(input, output, static_cast<std::uint32_t>(sampleFrames));
}

void ZaltrimEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (!inputs || !outputs) return;
  process_block(inputs[0], outputs[0], sampleFrames);
}

void ZaltrimEffect::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
  if (!inputs || !outputs) return;
  process_block(inputs[0], outputs[0], sampleFrames);
}
