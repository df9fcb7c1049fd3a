#include "audio_effect.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "vst_strings.h"

namespace {

AudioEffect* objectOf(AEffect* effect) { return effect ? static_cast<AudioEffect*>(effect->object) : nullptr; }

// The record's entry points are the module's C boundary: no C++ exception may unwind into the
// host. A failure answers as an absent answer would: 0, nothing written.
VstIntPtr VSTCALLBACK dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt) {
  AudioEffect* object = objectOf(e);
  if (!object) return 0;
  try {
    if (opcode == effClose) {
      object->dispatcher(opcode, index, value, ptr, opt);
      delete object;
      return 1;
    }
    return object->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

void VSTCALLBACK processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (AudioEffect* object = objectOf(e)) try {
      object->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK setParameterClass(AEffect* e, VstInt32 index, float value) {
  if (AudioEffect* object = objectOf(e)) try {
      object->setParameter(index, value);
    } catch (...) {
    }
}

float VSTCALLBACK getParameterClass(AEffect* e, VstInt32 index) {
  if (AudioEffect* object = objectOf(e)) try {
      return object->getParameter(index);
    } catch (...) {
    }
  return 0.0f;
}

void VSTCALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
  if (AudioEffect* object = objectOf(e)) try {
      object->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs, VstInt32 sampleFrames) {
  if (AudioEffect* object = objectOf(e)) try {
      object->processDoubleReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster),
      editor(nullptr),
      sampleRate(44100.0f),
      blockSize(1024),
      numPrograms(numPrograms),
      numParams(numParams),
      curProgram(0) {
  std::memset(&cEffect, 0, sizeof(cEffect));
  cEffect.flags = effFlagsCanReplacing;
  cEffect.magic = kEffectMagic;
  cEffect.numInputs = 1;
  cEffect.version = 1;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.dispatcher = dispatchEffectClass;
  cEffect.process = processClass;
  cEffect.setParameter = setParameterClass;
  cEffect.getParameter = getParameterClass;
  cEffect.numOutputs = 2;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = 0x4E6F4566;  // 'NoEf'
  cEffect.processReplacing = processClassReplacing;
  cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
  if (state)
    cEffect.flags |= flag;
  else
    cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt,
                                VstIntPtr fallback) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : fallback;
}

namespace {

// Opcodes whose operation reads or writes through `ptr`; a null `ptr` gets 0 and no call.
bool needsPointer(VstInt32 opcode) {
  switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effEditGetRect:
    case effGetChunk:
    case effSetChunk:
      return true;
    default:
      return false;
  }
}

}  // namespace

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (needsPointer(opcode) && !ptr) return 0;
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName:
      setProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetProgramName:
      getProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetParamLabel:
      getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamDisplay:
      getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamName:
      getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      if (value == 0)
        suspend();
      else
        resume();
      return 0;
    case effEditGetRect:
      return editor && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
      return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
      if (editor) editor->close();
      return 0;
    case effEditIdle:
      if (editor) editor->idle();
      return 0;
    case effIdentify:
      return 0x4E764566;  // 'NvEf'
    case effGetChunk:
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      // A byte count that is negative or does not fit the operation's int32 is no chunk.
      if (value < 0 || value > std::numeric_limits<VstInt32>::max()) return 0;
      return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
      return 0;
  }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion() {
  const VstIntPtr version = callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1);
  return version == 0 ? 1 : static_cast<VstInt32>(version);
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) {
  return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
  return callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
  if (value <= 0.0f) {
    vst_strncpy(text, "-oo", maxLen);
    return;
  }
  float2string(static_cast<float>(std::log10(static_cast<double>(value))) * 20.0f, text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
  const float rate = getSampleRate();
  if (samples == 0.0f) {
    float2string(0.0f, text, maxLen);
    return;
  }
  float2string(rate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
  const double ms = static_cast<double>(samples) * 1000.0 / static_cast<double>(getSampleRate());
  float2string(static_cast<float>(ms), text, maxLen);
}

// Eight characters at most: integer digits built from the right, a point, then as many
// fraction digits as fit. Digits are cut, not rounded, as hosts have always displayed them.
void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
  VstInt32 c = 0;
  bool negative = false;
  char digits[32];
  double v = static_cast<double>(value);

  // NaN passes neither range check below, and its digits would be undefined conversions.
  if (std::isnan(v)) {
    vst_strncpy(text, "NaN", maxLen);
    return;
  }
  if (v < 0.0) {
    negative = true;
    v = -v;
    c = 1;
    if (v > 9999999.0) {
      vst_strncpy(text, "Huge!", maxLen);
      return;
    }
  } else if (v > 99999999.0) {
    vst_strncpy(text, "Huge!", maxLen);
    return;
  }

  char* s = digits + 31;
  *s-- = 0;
  *s-- = '.';
  ++c;
  double integ = std::floor(v);
  *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(integ, 10.0)));
  integ *= 0.1;
  ++c;
  while (integ >= 1.0 && c < 8) {
    *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(integ, 10.0)));
    integ *= 0.1;
    ++c;
  }
  if (negative) *s-- = '-';
  vst_strncpy(text, s + 1, maxLen);
  if (c >= 8) return;

  s = digits + 31;
  *s-- = 0;
  const VstInt32 k = 8 - c;
  double mantissa = std::fmod(v, 1.0) * std::pow(10.0, static_cast<double>(k));
  for (VstInt32 i = 0; i < k; ++i) {
    if (mantissa <= 0.0) {
      *s-- = '0';
    } else {
      *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(mantissa, 10.0)));
      mantissa *= 0.1;
    }
  }
  vst_strncat(text, s + 1, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
  // Nine digits are all the loop below can write; larger negative magnitudes are huge too.
  if (value >= 100000000 || value <= -100000000) {
    vst_strncpy(text, "Huge!", maxLen);
    return;
  }
  char string[16];
  int length = 0;
  VstInt32 v = value;
  if (v < 0) {
    string[length++] = '-';
    v = -v;
  }
  bool started = false;
  for (VstInt32 div = 100000000; div >= 1; div /= 10) {
    const VstInt32 digit = v / div;
    v -= digit * div;
    if (started || digit > 0) {
      string[length++] = static_cast<char>('0' + digit);
      started = true;
    }
  }
  if (!started) string[length++] = '0';
  string[length] = 0;
  vst_strncpy(text, string, maxLen);
}
