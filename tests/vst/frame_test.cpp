// The plug-in frame on its own: a minimal effect, a recording host callback, and the record,
// dispatcher, host helpers and text helpers as hosts rely on them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio_effect_x.h"

namespace {

struct Call {
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr;
  float opt;
};
std::vector<Call> calls;
VstIntPtr answer = 0;

VstIntPtr VSTCALLBACK recording_host(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                     float opt) {
  calls.push_back({effect, opcode, index, value, ptr, opt});
  return answer;
}

struct Probe {
  int suspends = 0;
  int resumes = 0;
  int programs_set = 0;
  bool destroyed = false;
  bool last_preset = false;
  VstInt32 last_byte_size = 0;
};

class TestEffect : public AudioEffectX {
 public:
  TestEffect(audioMasterCallback master, Probe& probe, VstInt32 programs = 1)
      : AudioEffectX(master, programs, 1), probe(probe) {}
  ~TestEffect() override { probe.destroyed = true; }
  void processReplacing(float**, float**, VstInt32) override {}
  void suspend() override { ++probe.suspends; }
  void resume() override {
    ++probe.resumes;
    AudioEffectX::resume();
  }
  void setProgram(VstInt32 program) override {
    ++probe.programs_set;
    AudioEffectX::setProgram(program);
  }
  VstInt32 getChunk(void** data, bool isPreset) override {
    probe.last_preset = isPreset;
    *data = chunk;
    return 4;
  }
  VstInt32 setChunk(void*, VstInt32 byteSize, bool isPreset) override {
    probe.last_preset = isPreset;
    probe.last_byte_size = byteSize;
    return byteSize;
  }
  void setParameter(VstInt32 index, float) override {
    if (index == 99) throw std::runtime_error("escapes");
  }
  void getProgramName(char* name) override { std::strcpy(name, "named"); }
  using AudioEffect::setFlag;

  Probe& probe;
  char chunk[4] = {1, 2, 3, 4};
};

class KeyEditor : public AEffEditor {
 public:
  bool onKeyDown(VstKeyCode& key) override {
    last = key;
    return true;
  }
  bool onKeyUp(VstKeyCode& key) override {
    last = key;
    return false;
  }
  bool setKnobMode(VstInt32 mode) override { return mode == 2; }
  VstKeyCode last{};
};

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    answer = 0;
  }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    AEffect* e = effect->getAeffect();
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }
  Probe probe;
  TestEffect* effect = new TestEffect(recording_host, probe);
  void TearDown() override {
    if (!probe.destroyed) delete effect;
  }
};

TEST_F(Frame, RecordStartsWithTheBaseDefaults) {
  const AEffect& e = *effect->getAeffect();
  EXPECT_EQ(e.magic, 0x56737450);
  EXPECT_EQ(e.flags, effFlagsCanReplacing);
  EXPECT_EQ(e.numInputs, 1);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.numPrograms, 1);
  EXPECT_EQ(e.numParams, 1);
  EXPECT_EQ(e.uniqueID, 0x4E6F4566);
  EXPECT_EQ(e.version, 1);
  EXPECT_EQ(e.ioRatio, 1.0f);
  EXPECT_EQ(e.object, effect);
  EXPECT_EQ(e.user, nullptr);
  EXPECT_EQ(e.initialDelay, 0);
  for (char byte : e.future) EXPECT_EQ(byte, 0);
  EXPECT_NE(e.processReplacing, nullptr);
  EXPECT_NE(e.processDoubleReplacing, nullptr);
}

TEST_F(Frame, FlagSettersSetAndClearTheirBit) {
  effect->hasClip(true);
  effect->canMono(true);
  effect->isSynth(true);
  EXPECT_EQ(effect->getAeffect()->flags, effFlagsCanReplacing | effFlagsHasClip | effFlagsCanMono | effFlagsIsSynth);
  EXPECT_EQ(dispatch(effGetPlugCategory), 2);
  effect->isSynth(false);
  effect->canProcessReplacing(false);
  EXPECT_EQ(effect->getAeffect()->flags, effFlagsHasClip | effFlagsCanMono);
  EXPECT_EQ(dispatch(effGetPlugCategory), 0);
  effect->setEditor(new AEffEditor);
  EXPECT_TRUE(effect->getAeffect()->flags & effFlagsHasEditor);
  delete effect->getEditor();
  effect->setEditor(nullptr);
  EXPECT_FALSE(effect->getAeffect()->flags & effFlagsHasEditor);
}

TEST_F(Frame, SetProgramIgnoresNumbersOutsideTheRange) {
  dispatch(effSetProgram, 0, 1);
  dispatch(effSetProgram, 0, -1);
  dispatch(effSetProgram, 0, 7);
  EXPECT_EQ(probe.programs_set, 0);
  dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(probe.programs_set, 1);
  EXPECT_EQ(dispatch(effGetProgram), 0);
}

TEST_F(Frame, MainsChangedSuspendsOnZeroAndResumesOtherwise) {
  dispatch(effMainsChanged, 0, 0);
  dispatch(effMainsChanged, 0, 1);
  dispatch(effMainsChanged, 0, -5);
  EXPECT_EQ(probe.suspends, 1);
  EXPECT_EQ(probe.resumes, 2);
  // Not a synth and no MIDI capability: resuming asks the host for nothing.
  EXPECT_TRUE(calls.empty());
}

TEST_F(Frame, ChunkOpcodesPassThePresetFlagAndTheByteCount) {
  void* data = nullptr;
  EXPECT_EQ(dispatch(effGetChunk, 1, 0, &data), 4);
  EXPECT_TRUE(probe.last_preset);
  EXPECT_EQ(data, effect->chunk);
  char bytes[12] = {};
  EXPECT_EQ(dispatch(effSetChunk, 0, 12, bytes), 12);
  EXPECT_FALSE(probe.last_preset);
  EXPECT_EQ(probe.last_byte_size, 12);
}

TEST_F(Frame, PointerOpcodesWithANullPointerAnswerZeroAndCallNothing) {
  for (VstInt32 opcode : {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
                          effGetParamName, effEditGetRect, effGetChunk, effSetChunk, effString2Parameter,
                          effGetProgramNameIndexed, effGetEffectName, effGetVendorString, effGetProductString,
                          effGetSpeakerArrangement, effShellGetNextPlugin})
    EXPECT_EQ(dispatch(opcode, 0, 8, nullptr), 0) << "opcode " << opcode;
  EXPECT_EQ(probe.last_byte_size, 0);
  char text[64];
  EXPECT_EQ(dispatch(effSetChunk, 0, -1, text), 0);
  EXPECT_EQ(probe.last_byte_size, 0);
  dispatch(effGetProgramName, 0, 0, text);
  EXPECT_STREQ(text, "named");
}

TEST_F(Frame, IdentityVersionAndNeutralAnswers) {
  EXPECT_EQ(dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(dispatch(effCanBeAutomated, 12345), 1);
  char query[] = "receiveVstMidiEvent";
  EXPECT_EQ(dispatch(effCanDo, 0, 0, query), 0);
  EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
  EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 777), 777);
  for (VstInt32 opcode : {28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 81, 255, -1})
    EXPECT_EQ(dispatch(opcode, 1, 1, query, 1.0f), 0) << "opcode " << opcode;
  EXPECT_TRUE(calls.empty());
}

TEST_F(Frame, EditorOpcodesWithoutAnEditorAnswerZero) {
  ERect* rect = nullptr;
  EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(dispatch(effEditOpen, 0, 0, &rect), 0);
  EXPECT_EQ(dispatch(effEditKeyDown, 'a', 1, nullptr, 2.0f), 0);
  EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 0);
}

TEST_F(Frame, KeyOpcodesPackCharacterVirtualKeyAndModifier) {
  auto* editor = new KeyEditor;
  effect->setEditor(editor);
  EXPECT_EQ(dispatch(effEditKeyDown, 'q', 0x1234, nullptr, 258.9f), 1);
  EXPECT_EQ(editor->last.character, 'q');
  EXPECT_EQ(editor->last.virt, 0x34);
  EXPECT_EQ(editor->last.modifier, 2);  // 258 cut to a byte
  EXPECT_EQ(dispatch(effEditKeyUp, 'r', 3, nullptr, NAN), 0);
  EXPECT_EQ(editor->last.character, 'r');
  EXPECT_EQ(editor->last.modifier, 0);
  EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
  ERect* rect = reinterpret_cast<ERect*>(1);
  EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
}

TEST_F(Frame, CloseReturnsOneAndDeletesTheObject) {
  EXPECT_EQ(dispatch(effClose), 1);
  EXPECT_TRUE(probe.destroyed);
}

TEST_F(Frame, NoExceptionCrossesTheRecord) {
  AEffect* e = effect->getAeffect();
  EXPECT_NO_THROW(e->setParameter(e, 99, 1.0f));
}

TEST_F(Frame, HostHelpersSendTheirOpcodesWithTheRecord) {
  answer = 0;
  EXPECT_EQ(effect->getMasterVersion(), 1);  // a host that answers 0 still counts as version 1
  EXPECT_TRUE(effect->isInputConnected(3));
  EXPECT_TRUE(effect->isOutputConnected(4));
  effect->setParameterAutomated(0, 0.75f);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].opcode, audioMasterVersion);
  EXPECT_EQ(calls[0].effect, effect->getAeffect());
  EXPECT_EQ(calls[1].opcode, audioMasterPinConnected);
  EXPECT_EQ(calls[1].index, 3);
  EXPECT_EQ(calls[1].value, 0);
  EXPECT_EQ(calls[2].value, 1);
  EXPECT_EQ(calls[3].opcode, audioMasterAutomate);
  EXPECT_EQ(calls[3].opt, 0.75f);

  answer = 2400;
  EXPECT_EQ(effect->getMasterVersion(), 2400);
  EXPECT_FALSE(effect->isInputConnected(0));
  answer = 2;
  EXPECT_FALSE(effect->sendVstEventsToHost(nullptr));
  answer = 1;
  EXPECT_TRUE(effect->sendVstEventsToHost(nullptr));
  EXPECT_EQ(effect->offlineGetCurrentPass(), 1);
  EXPECT_EQ(effect->canHostDo(nullptr), 1);
  calls.clear();
  EXPECT_FALSE(effect->openFileSelector(nullptr));
  EXPECT_FALSE(effect->getChunkFile(nullptr));
  EXPECT_TRUE(calls.empty());
}

TEST_F(Frame, UpdateSampleRateKeepsTheRateOnNonPositiveAnswers) {
  answer = 0;
  EXPECT_EQ(effect->updateSampleRate(), 44100.0);
  answer = -48000;
  EXPECT_EQ(effect->updateSampleRate(), 44100.0);
  answer = 96000;
  EXPECT_EQ(effect->updateSampleRate(), 96000.0);
  answer = 0;
  EXPECT_EQ(effect->updateBlockSize(), 1024);
}

TEST_F(Frame, SynthResumeAsksForMidi) {
  effect->isSynth(true);
  dispatch(effMainsChanged, 0, 1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].opcode, audioMasterWantMidi);
  EXPECT_EQ(calls[0].value, 1);
}

TEST(FrameWithoutHost, HelpersReturnTheirDefaults) {
  Probe probe;
  TestEffect effect(nullptr, probe);
  EXPECT_EQ(effect.getMasterVersion(), 1);
  EXPECT_EQ(effect.getCurrentUniqueId(), 0);
  EXPECT_TRUE(effect.isInputConnected(0));
  EXPECT_TRUE(effect.isOutputConnected(0));
  EXPECT_FALSE(effect.beginEdit(0));
  EXPECT_EQ(effect.getTimeInfo(0), nullptr);
  EXPECT_EQ(effect.updateSampleRate(), 44100.0);
  effect.setParameterAutomated(0, 1.0f);
  effect.masterIdle();
}

TEST(SpeakerArrangements, AllocateMatchAndRelease) {
  Probe probe;
  TestEffect effect(nullptr, probe);
  VstSpeakerArrangement* source = nullptr;
  ASSERT_TRUE(effect.allocateArrangement(&source, 10));
  source->type = 7;
  VstSpeakerProperties* speakers = source->speakers;
  for (int i = 0; i < 10; ++i) {
    speakers[i].azimuth = static_cast<float>(i);
    std::memset(speakers[i].name, 'x', sizeof(speakers[i].name));  // no terminator
    speakers[i].type = i * 2;
  }
  VstSpeakerArrangement* copy = nullptr;
  ASSERT_TRUE(effect.matchArrangement(&copy, source));
  EXPECT_EQ(copy->type, 7);
  EXPECT_EQ(copy->numChannels, 10);
  const VstSpeakerProperties* copied = copy->speakers;
  EXPECT_EQ(copied[9].azimuth, 9.0f);
  EXPECT_EQ(copied[9].type, 18);
  EXPECT_EQ(std::strlen(copied[9].name), 63u);
  EXPECT_FALSE(effect.matchArrangement(&copy, nullptr));
  EXPECT_FALSE(effect.copySpeaker(nullptr, speakers));
  EXPECT_FALSE(effect.allocateArrangement(&copy, -1));
  EXPECT_EQ(copy, nullptr);
  EXPECT_TRUE(effect.deallocateArrangement(&source));
  EXPECT_EQ(source, nullptr);
}

class TextHelpers : public ::testing::Test {
 protected:
  std::string f2s(float value, VstInt32 maxLen = 8) {
    char text[64];
    std::memset(text, '#', sizeof(text));
    effect.float2string(value, text, maxLen);
    return text;
  }
  std::string i2s(VstInt32 value) {
    char text[64];
    effect.int2string(value, text, 8);
    return text;
  }
  Probe probe;
  TestEffect effect{nullptr, probe};
};

TEST_F(TextHelpers, Float2StringCutsFractionDigits) {
  EXPECT_EQ(f2s(1.0f), "1.000000");
  EXPECT_EQ(f2s(0.5f), "0.500000");
  EXPECT_EQ(f2s(-0.5f), "-0.50000");
  EXPECT_EQ(f2s(0.0f), "0.000000");
  EXPECT_EQ(f2s(2.0f / 3.0f), "0.666666");
  EXPECT_EQ(f2s(0.25f), "0.250000");
  EXPECT_EQ(f2s(100.0f), "100.0000");
  EXPECT_EQ(f2s(0.01f), "0.009999");  // the float just below 0.01, cut rather than rounded up
  EXPECT_EQ(f2s(1234567.0f), "1234567.");
  EXPECT_EQ(f2s(100000000.0f), "Huge!");
  EXPECT_EQ(f2s(-10000000.0f), "Huge!");
  EXPECT_EQ(f2s(1.0f, 3), "1.0");
}

TEST_F(TextHelpers, Int2StringAndTheUnitHelpers) {
  EXPECT_EQ(i2s(0), "0");
  EXPECT_EQ(i2s(1200), "1200");
  EXPECT_EQ(i2s(-45), "-45");
  EXPECT_EQ(i2s(100000000), "Huge!");
  EXPECT_EQ(i2s(-2147483647 - 1), "Huge!");
  char text[64];
  effect.dB2string(1.0f, text, 8);
  EXPECT_STREQ(text, "0.000000");
  effect.dB2string(0.0f, text, 8);
  EXPECT_STREQ(text, "-oo");
  effect.dB2string(10.0f, text, 8);
  EXPECT_STREQ(text, "20.00000");
  effect.Hz2string(0.0f, text, 8);
  EXPECT_STREQ(text, "0.000000");
  effect.Hz2string(441.0f, text, 8);
  EXPECT_STREQ(text, "100.0000");
  effect.ms2string(441.0f, text, 8);
  EXPECT_STREQ(text, "10.00000");
}

}  // namespace
