#include "zaltrim_effect.h"

#include <cmath>
#include <cstring>

#include "vst_strings.h"
#include "zaltrim_gui.h"

namespace {

constexpr VstInt32 kChunkSize = 8;
constexpr float kMinimumSampleRate = 1000.0f;
constexpr float kMaximumSampleRate = 1000000.0f;

void write_le32(unsigned char* out, std::uint32_t bits) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

std::uint32_t read_le32(const unsigned char* in) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return bits;
}

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) { return new ZaltrimEffect(audioMaster); }

ZaltrimEffect::ZaltrimEffect(audioMasterCallback audioMaster)
    : QObject(nullptr), AudioEffectX(audioMaster, 1, 1), sample_rate(sampleRate) {
  setNumInputs(1);
  setNumOutputs(1);
  setUniqueID(0x5A74526D);  // 'ZtRm'
  canProcessReplacing(true);
  canDoubleReplacing(true);
  programsAreChunks(true);
  setInitialDelay(3);
  vst_strncpy(program_name, "Default", kVstMaxProgNameLen);
  setEditor(new GUIZaltrim(this));

  gain_filter = std::make_unique<DSP::GainFilter<double>>();
  gain_filter->set_gain(static_cast<double>(gain.load()));

  build_pipeline(oversampling.load());
}

ZaltrimEffect::~ZaltrimEffect() = default;

bool ZaltrimEffect::is_valid_factor(VstInt32 factor) {
  return factor == 2 || factor == 4 || factor == 8 || factor == 16 || factor == 32;
}

void ZaltrimEffect::suspend() { chunk_buffer.reset(); }

void ZaltrimEffect::resume() {
  chunk_buffer.reset();
  AudioEffectX::resume();
}

void ZaltrimEffect::setSampleRate(float rate) {
  // Hosts run between 8 kHz and 768 kHz. Far below that the fixed 22 kHz low-pass crowds its poles
  // at the Nyquist frequency and its recursion diverges (200 Hz does); zero, negative and
  // non-finite rates have no sampling period at all. NaN fails both comparisons.
  if (!(rate >= kMinimumSampleRate && rate <= kMaximumSampleRate)) return;
  sample_rate.store(rate);
  rebuild_pipeline();
}

float ZaltrimEffect::getSampleRate() { return sample_rate.load(); }

void ZaltrimEffect::setParameter(VstInt32 index, float value) {
  if (index != 0) return;
  gain_filter->set_gain(static_cast<double>(value));
  gain.store(value, std::memory_order_relaxed);
  emit update_gain(value);
}

float ZaltrimEffect::getParameter(VstInt32 index) { return index == 0 ? gain.load(std::memory_order_relaxed) : 0.0f; }

void ZaltrimEffect::setProgramName(char* name) { vst_strncpy(program_name, name, kVstMaxProgNameLen); }

void ZaltrimEffect::getProgramName(char* name) { vst_strncpy(name, program_name, kVstMaxProgNameLen); }

void ZaltrimEffect::getParameterLabel(VstInt32 index, char* label) {
  if (index == 0) vst_strncpy(label, "", kVstMaxParamStrLen);
}

void ZaltrimEffect::getParameterDisplay(VstInt32 index, char* text) {
  if (index == 0) float2string(gain.load(std::memory_order_relaxed), text, kVstMaxParamStrLen);
}

void ZaltrimEffect::getParameterName(VstInt32 index, char* text) {
  if (index == 0) vst_strncpy(text, "Gain", kVstMaxParamStrLen);
}

VstInt32 ZaltrimEffect::getChunk(void** data, bool /*isPreset*/) {
  auto buffer = std::make_unique<unsigned char[]>(kChunkSize);
  std::uint32_t gain_bits;
  const float current_gain = gain.load(std::memory_order_relaxed);
  std::memcpy(&gain_bits, &current_gain, sizeof(gain_bits));
  write_le32(buffer.get(), gain_bits);
  write_le32(buffer.get() + 4, static_cast<std::uint32_t>(oversampling.load()));
  chunk_buffer = std::move(buffer);
  *data = chunk_buffer.get();
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

  setParameter(0, new_gain);
  build_pipeline(factor);
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

void ZaltrimEffect::set_oversampling(VstInt32 factor) {
  if (!build_pipeline(factor)) return;
  emit update_oversampling(factor);
}
