// ZaltrimEffect as an object: the parameter's scale, program, chunk and the signals that keep an
// editor in step, observed with direct connections so that no event loop is needed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "zaltrim_effect.h"
#include "zaltrim_gui.h"
#include "zaltrim_session.h"

namespace {

VstIntPtr VSTCALLBACK quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

using zhost::zaltrim_chunk;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(GainScale, EndsAndMiddle) {
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(0.0f), 0.01f);
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(0.25f), 0.1f);
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(0.5f), 1.0f);
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(0.75f), 10.0f);
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(1.0f), 100.0f);
  EXPECT_EQ(ZaltrimEffect::normalized_of_gain(1.0f), 0.5f);
  EXPECT_EQ(ZaltrimEffect::normalized_of_gain(10.0f), 0.75f);
  EXPECT_EQ(ZaltrimEffect::normalized_of_gain(100.0f), 1.0f);
  // 0.01f lies a little below 0.01, so its value would be a little below 0.
  EXPECT_EQ(ZaltrimEffect::normalized_of_gain(0.01f), 0.0f);
}

TEST(GainScale, ClampsWhatLiesOutside) {
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(-0.5f), 0.01f);
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(7.0f), 100.0f);
  EXPECT_EQ(ZaltrimEffect::gain_of_normalized(kInfinity), 100.0f);
  for (float gain : {0.0f, -0.0f, -2.0f, 1e-30f, -kInfinity, kNaN})
    EXPECT_EQ(ZaltrimEffect::normalized_of_gain(gain), 0.0f) << gain;
  for (float gain : {100.5f, 1e30f, kInfinity}) EXPECT_EQ(ZaltrimEffect::normalized_of_gain(gain), 1.0f) << gain;
}

TEST(GainScale, DecibelsRiseLinearlyWithTheValue) {
  float previous = 0.0f;
  for (int step = 0; step <= 800; ++step) {
    const float v = static_cast<float>(step) / 800.0f;
    const float gain = ZaltrimEffect::gain_of_normalized(v);
    EXPECT_NEAR(20.0 * std::log10(static_cast<double>(gain)), -40.0 + 80.0 * static_cast<double>(v), 1e-5) << v;
    EXPECT_GT(gain, previous);
    previous = gain;
  }
}

class Effect : public ::testing::Test {
 protected:
  void SetUp() override {
    QObject::connect(&effect, &ZaltrimEffect::update_gain, [this](float value) { gains.push_back(value); });
    QObject::connect(&effect, &ZaltrimEffect::update_oversampling, [this](int value) { factors.push_back(value); });
  }
  std::string display() {
    char text[32] = {};
    effect.getParameterDisplay(0, text);
    return text;
  }
  std::vector<unsigned char> chunk() {
    void* data = nullptr;
    const VstInt32 size = effect.getChunk(&data, false);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
  }
  ZaltrimEffect effect{quiet_host};
  std::vector<float> gains;
  std::vector<int> factors;
};

TEST_F(Effect, FreshEffectReportsItsIdentity) {
  const AEffect& e = *effect.getAeffect();
  EXPECT_EQ(e.numPrograms, 1);
  EXPECT_EQ(e.numParams, 2);
  EXPECT_EQ(e.numInputs, 1);
  EXPECT_EQ(e.numOutputs, 1);
  EXPECT_EQ(e.flags, 0x1031);
  EXPECT_EQ(e.initialDelay, 3);
  EXPECT_EQ(e.uniqueID, 0x5A74526D);
  EXPECT_EQ(e.version, 1);
  char text[80];
  effect.getParameterName(0, text);
  EXPECT_STREQ(text, "Gain");
  effect.getParameterLabel(0, text);
  EXPECT_STREQ(text, "dB");
  EXPECT_EQ(display(), "0.0");
  EXPECT_EQ(effect.getParameter(0), 0.5f);
  effect.getParameterName(1, text);
  EXPECT_STREQ(text, "Factor");
  effect.getParameterLabel(1, text);
  EXPECT_STREQ(text, "x");
  effect.getParameterDisplay(1, text);
  EXPECT_STREQ(text, "2");
  EXPECT_EQ(effect.getParameter(1), 0.0f);
  EXPECT_EQ(effect.get_gain(), 1.0f);
  effect.getProgramName(text);
  EXPECT_STREQ(text, "Default");
  EXPECT_EQ(effect.getVendorVersion(), 1000);
  ASSERT_TRUE(effect.getEffectName(text));
  EXPECT_STREQ(text, "Zaltrim");
  ASSERT_TRUE(effect.getVendorString(text));
  EXPECT_STREQ(text, "Orvendel");
  ASSERT_TRUE(effect.getProductString(text));
  EXPECT_STREQ(text, "Zaltrim");
  EXPECT_EQ(chunk(), zaltrim_chunk(1.0f, 2));
}

TEST_F(Effect, ParameterValuesSetTheGainOnTheDecibelScale) {
  effect.setParameter(0, 0.75f);
  EXPECT_EQ(effect.get_gain(), 10.0f);
  EXPECT_EQ(effect.getParameter(0), 0.75f);
  EXPECT_EQ(display(), "+20.0");
  effect.setParameter(0, 0.0f);
  EXPECT_EQ(effect.get_gain(), 0.01f);
  EXPECT_EQ(display(), "-40.0");
  effect.setParameter(0, 7.0f);
  EXPECT_EQ(effect.get_gain(), 100.0f);
  EXPECT_EQ(effect.getParameter(0), 1.0f);
  EXPECT_EQ(display(), "+40.0");
  effect.setParameter(0, -kInfinity);
  EXPECT_EQ(effect.get_gain(), 0.01f);
  // The editor hears the linear gain, once per change.
  EXPECT_EQ(gains, (std::vector<float>{10.0f, 0.01f, 100.0f, 0.01f}));
  EXPECT_EQ(chunk(), zaltrim_chunk(0.01f, 2));
}

TEST_F(Effect, NaNAndOtherParametersChangeNothing) {
  effect.setParameter(0, 0.75f);
  gains.clear();
  for (float value : {kNaN, -kNaN}) effect.setParameter(0, value);
  effect.setParameter(3, 0.1f);
  effect.setParameter(1, kNaN);
  EXPECT_EQ(effect.get_gain(), 10.0f);
  EXPECT_EQ(effect.get_oversampling(), 2);
  EXPECT_EQ(effect.getParameter(3), 0.0f);
  EXPECT_TRUE(gains.empty());
  EXPECT_TRUE(factors.empty());
  // What is saved now loads again.
  auto saved = chunk();
  ZaltrimEffect other(quiet_host);
  EXPECT_EQ(other.setChunk(saved.data(), 8, false), 8);
  char untouched[16] = "keep";
  effect.getParameterName(2, untouched);
  effect.getParameterDisplay(2, untouched);
  effect.getParameterLabel(2, untouched);
  EXPECT_STREQ(untouched, "keep");
}

TEST_F(Effect, LinearGainForThePanel) {
  effect.set_gain(2.0f);
  EXPECT_EQ(effect.get_gain(), 2.0f);
  EXPECT_NEAR(effect.getParameter(0), (std::log10(2.0) + 2.0) / 4.0, 1e-7);
  EXPECT_EQ(display(), "+6.0");
  EXPECT_EQ(chunk(), zaltrim_chunk(2.0f, 2));
  for (float gain : {kNaN, kInfinity, -kInfinity}) effect.set_gain(gain);
  EXPECT_EQ(effect.get_gain(), 2.0f);
  EXPECT_EQ(gains, std::vector<float>{2.0f});
}

TEST_F(Effect, DisplayIsTheGainInDecibelsToATenth) {
  const struct {
    float gain;
    const char* text;
  } cases[] = {{3.981072f, "+12.0"}, {0.5f, "-6.0"},   {1.0f, "0.0"},        {0.9995f, "0.0"},
               {1.004f, "0.0"},      {1.006f, "+0.1"}, {0.0f, "-inf"},       {-0.0f, "-inf"},
               {-2.0f, "inverted"},  {1e-3f, "-60.0"}, {3.0e38f, "+769.5"}, {1.4e-45f, "-897.1"}};
  for (const auto& c : cases) {
    auto state = zaltrim_chunk(c.gain, 2);
    ASSERT_EQ(effect.setChunk(state.data(), 8, false), 8);
    EXPECT_EQ(display(), c.text) << c.gain;
    EXPECT_LE(display().size(), static_cast<std::size_t>(kVstMaxParamStrLen));
  }
}

TEST_F(Effect, RestoredGainsOutsideTheScaleReadAsItsEndsAndSurviveThem) {
  for (float gain : {1000.0f, 0.001f, 0.0f, -2.0f, 3.0e38f}) {
    auto state = zaltrim_chunk(gain, 4);
    ASSERT_EQ(effect.setChunk(state.data(), 8, false), 8);
    const float value = effect.getParameter(0);
    EXPECT_EQ(value, gain > 1.0f ? 1.0f : 0.0f) << gain;
    effect.setParameter(0, value);
    EXPECT_EQ(chunk(), state) << gain;
  }
}

// 1.95452189 comes back 5 ulps away through a float value; the value the gain in force reads as
// must leave it alone, while any other value moves it.
TEST_F(Effect, TheValueOfTheGainInForceKeepsThatGain) {
  const float gain = 1.95452189f;
  ASSERT_NE(ZaltrimEffect::gain_of_normalized(ZaltrimEffect::normalized_of_gain(gain)), gain);
  auto state = zaltrim_chunk(gain, 8);
  ASSERT_EQ(effect.setChunk(state.data(), 8, false), 8);
  gains.clear();
  const float value = effect.getParameter(0);
  effect.setParameter(0, value);
  EXPECT_EQ(effect.get_gain(), gain);
  EXPECT_TRUE(gains.empty());
  effect.setParameter(0, std::nextafter(value, 1.0f));
  EXPECT_NE(effect.get_gain(), gain);
  EXPECT_EQ(gains.size(), 1u);
}

// An open editor must show a restored state whole: a preset loaded in a host's dialog changes the
// factor as well as the gain.
TEST_F(Effect, ChunkRestoresGainAndFactorAndAnnouncesBoth) {
  auto state = zaltrim_chunk(0.5f, 8);
  EXPECT_EQ(effect.setChunk(state.data(), 8, false), 8);
  EXPECT_EQ(effect.get_gain(), 0.5f);
  EXPECT_EQ(effect.get_oversampling(), 8);
  EXPECT_EQ(gains, std::vector<float>{0.5f});
  EXPECT_EQ(factors, std::vector<int>{8});
  EXPECT_EQ(chunk(), state);
}

TEST_F(Effect, RefusedChunksChangeNothing) {
  auto short_state = zaltrim_chunk(0.5f, 8);
  EXPECT_EQ(effect.setChunk(short_state.data(), 7, true), 0);
  for (VstInt32 factor : {0, 3, 64, -2}) {
    auto state = zaltrim_chunk(0.5f, factor);
    EXPECT_EQ(effect.setChunk(state.data(), 8, false), 0) << "factor " << factor;
  }
  for (float gain : {kNaN, kInfinity}) {
    auto state = zaltrim_chunk(gain, 4);
    EXPECT_EQ(effect.setChunk(state.data(), 8, false), 0);
  }
  EXPECT_EQ(effect.setChunk(nullptr, 8, false), 0);
  EXPECT_TRUE(gains.empty());
  EXPECT_EQ(chunk(), zaltrim_chunk(1.0f, 2));
}

TEST(FactorScale, FiveStepsAndTheNearestForValuesBetween) {
  const VstInt32 factors[] = {2, 4, 8, 16, 32};
  for (int step = 0; step < 5; ++step) {
    const float value = static_cast<float>(step) / 4.0f;
    EXPECT_EQ(ZaltrimEffect::factor_of_normalized(value), factors[step]) << value;
    EXPECT_EQ(ZaltrimEffect::normalized_of_factor(factors[step]), value) << factors[step];
  }
  EXPECT_EQ(ZaltrimEffect::factor_of_normalized(0.12f), 2);
  EXPECT_EQ(ZaltrimEffect::factor_of_normalized(0.13f), 4);
  EXPECT_EQ(ZaltrimEffect::factor_of_normalized(0.9f), 32);
  EXPECT_EQ(ZaltrimEffect::factor_of_normalized(-3.0f), 2);
  EXPECT_EQ(ZaltrimEffect::factor_of_normalized(kInfinity), 32);
  EXPECT_EQ(ZaltrimEffect::factor_of_normalized(kNaN), 0);
  for (VstInt32 factor : {0, 1, 3, 64, -2}) EXPECT_EQ(ZaltrimEffect::normalized_of_factor(factor), 0.0f) << factor;
}

TEST_F(Effect, FactorParameterRebuildsAndAnnouncesOnlyAChange) {
  effect.setParameter(1, 0.75f);
  EXPECT_EQ(effect.get_oversampling(), 16);
  EXPECT_EQ(effect.getParameter(1), 0.75f);
  char text[16];
  effect.getParameterDisplay(1, text);
  EXPECT_STREQ(text, "16");
  effect.setParameter(1, 0.74f);  // the same step
  EXPECT_EQ(factors, std::vector<int>{16});
  EXPECT_EQ(chunk(), zaltrim_chunk(1.0f, 16));
  EXPECT_TRUE(gains.empty());
}

TEST_F(Effect, SetOversamplingRebuildsAndAnnounces) {
  effect.set_oversampling(16);
  EXPECT_EQ(effect.get_oversampling(), 16);
  EXPECT_EQ(factors, std::vector<int>{16});
  effect.set_oversampling(5);
  EXPECT_EQ(effect.get_oversampling(), 16);
  EXPECT_EQ(factors.size(), 1u);
}

// Hosts read the bytes after the call, and some only after switching the effect off and on.
TEST_F(Effect, TheChunkHandedOutOutlivesSuspendAndResume) {
  void* first = nullptr;
  ASSERT_EQ(effect.getChunk(&first, false), 8);
  effect.suspend();
  effect.resume();
  // Under AddressSanitizer a freed buffer fails here.
  EXPECT_EQ(std::vector<unsigned char>(static_cast<unsigned char*>(first), static_cast<unsigned char*>(first) + 8),
            zaltrim_chunk(1.0f, 2));
  effect.set_oversampling(16);
  EXPECT_EQ(chunk(), zaltrim_chunk(1.0f, 16));
  void* again = nullptr;
  effect.getChunk(&again, true);
  EXPECT_EQ(again, first) << "one buffer for the effect's life";
}

TEST_F(Effect, ProgramNamesAreCutToTwentyFourCharacters) {
  char name[] = "a program name that goes on for far too long";
  effect.setProgramName(name);
  char text[64];
  std::memset(text, '#', sizeof(text));
  effect.getProgramName(text);
  EXPECT_EQ(std::string(text), std::string(name).substr(0, 24));
}

TEST_F(Effect, SampleRatesThatAreNotPositiveAndFiniteAreRefused) {
  effect.setSampleRate(48000.0f);
  for (float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    effect.setSampleRate(rate);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
}

// What Audacity 3.2 does with a VST 2 effect's dialog, read in its source and traced with gdb:
// when the dialog opens it takes the settings (every parameter, then the chunk) from the effect
// behind the editor; while the dialog is open it records each parameter the effect announces
// (audioMasterAutomate) into them and nothing else; Preview and Apply hand those settings to the
// effect behind the editor and to fresh ones: effBeginSetProgram, effSetChunk, effEndSetProgram,
// then setParameter for each recorded parameter. A loaded preset reaches the effect behind the
// open editor the same way.
struct AudacitySettings {
  std::vector<unsigned char> chunk;
  std::vector<float> parameters;
};

std::vector<std::pair<VstInt32, float>>* announced = nullptr;

VstIntPtr VSTCALLBACK recording_host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
  if (opcode == audioMasterAutomate && announced) announced->emplace_back(index, opt);
  return opcode == audioMasterVersion ? 2400 : 0;
}

AudacitySettings fetch(ZaltrimEffect& effect) {
  AudacitySettings settings;
  for (VstInt32 i = 0; i < effect.getAeffect()->numParams; ++i) settings.parameters.push_back(effect.getParameter(i));
  void* data = nullptr;
  const VstInt32 size = effect.getChunk(&data, true);
  settings.chunk.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
  return settings;
}

void store(ZaltrimEffect& effect, AudacitySettings settings) {
  AEffect* record = effect.getAeffect();
  record->dispatcher(record, effBeginSetProgram, 0, 0, nullptr, 0.0f);
  record->dispatcher(record, effSetChunk, 1, static_cast<VstIntPtr>(settings.chunk.size()), settings.chunk.data(), 0.0f);
  record->dispatcher(record, effEndSetProgram, 0, 0, nullptr, 0.0f);
  for (std::size_t i = 0; i < settings.parameters.size(); ++i)
    if (record->dispatcher(record, effCanBeAutomated, static_cast<VstInt32>(i), 0, nullptr, 0.0f))
      record->setParameter(record, static_cast<VstInt32>(i), settings.parameters[i]);
}

class AudacityDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    announced = &automation;
    auto state = zaltrim_chunk(3.935501f, 32);  // 11.9 dB
    ASSERT_EQ(effect.setChunk(state.data(), 8, true), 8);
    QObject::connect(&effect, &ZaltrimEffect::update_oversampling, [this](int value) { panel_factor = value; });
    settings = fetch(effect);
  }
  void TearDown() override { announced = nullptr; }
  // Audacity's record of what the effect announced while the dialog was open.
  void take_announcements() {
    for (auto [index, value] : automation) settings.parameters.at(static_cast<std::size_t>(index)) = value;
    automation.clear();
  }
  std::vector<std::pair<VstInt32, float>> automation;
  ZaltrimEffect effect{recording_host};
  ZaltrimEffectControls controls{&effect};
  AudacitySettings settings;
  int panel_factor = 0;
};

TEST_F(AudacityDialog, AFactorPickedInTheEditorSurvivesPreviewAndApply) {
  controls.pick_oversampling(2);
  ASSERT_EQ(automation.size(), 1u) << "the pick is announced as one parameter change";
  take_announcements();
  store(effect, settings);  // Preview: the effect behind the editor
  ZaltrimEffect previewed(quiet_host);
  store(previewed, settings);
  EXPECT_EQ(previewed.get_oversampling(), 2);
  EXPECT_EQ(effect.get_oversampling(), 2);
  EXPECT_EQ(panel_factor, 2) << "the editor still shows what is in force";
  const AudacitySettings applied = fetch(effect);  // Apply
  EXPECT_EQ(applied.chunk, zaltrim_chunk(3.935501f, 2));
  ZaltrimEffect rendered(quiet_host);
  store(rendered, applied);
  EXPECT_EQ(rendered.get_oversampling(), 2);
  EXPECT_EQ(rendered.get_gain(), 3.935501f);
}

TEST_F(AudacityDialog, APresetLoadedWhileTheEditorIsOpenShowsItsFactorAtOnce) {
  ZaltrimEffect saved(quiet_host);
  auto preset_state = zaltrim_chunk(31.622776f, 16);
  ASSERT_EQ(saved.setChunk(preset_state.data(), 8, true), 8);
  AudacitySettings preset = fetch(saved);
  // Saved before the factor was a parameter: only the chunk carries it.
  preset.parameters.resize(1);
  store(effect, preset);
  EXPECT_EQ(effect.get_oversampling(), 16);
  EXPECT_EQ(panel_factor, 16);
  EXPECT_EQ(fetch(effect).chunk, preset_state);
}

}  // namespace
