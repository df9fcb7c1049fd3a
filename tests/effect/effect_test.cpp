// ZaltrimEffect as an object: parameter, program, chunk and the signals that keep an editor in
// step, observed with direct connections so that no event loop is needed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "zaltrim_effect.h"
#include "zaltrim_session.h"

namespace {

VstIntPtr VSTCALLBACK quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

using zhost::zaltrim_chunk;

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
  EXPECT_EQ(e.numParams, 1);
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
  EXPECT_STREQ(text, "");
  EXPECT_EQ(display(), "1.000000");
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

TEST_F(Effect, GainIsStoredExactlyAndAnnouncedOnce) {
  effect.setParameter(0, 0.25f);
  EXPECT_EQ(effect.getParameter(0), 0.25f);
  EXPECT_EQ(display(), "0.250000");
  EXPECT_EQ(gains, std::vector<float>{0.25f});
  effect.setParameter(0, 0.01f);
  EXPECT_EQ(display(), "0.009999");
  effect.setParameter(3, 5.0f);
  EXPECT_EQ(effect.getParameter(3), 0.0f);
  EXPECT_EQ(gains.size(), 2u);
  char untouched[16] = "keep";
  effect.getParameterName(1, untouched);
  effect.getParameterDisplay(1, untouched);
  EXPECT_STREQ(untouched, "keep");
}

TEST_F(Effect, ChunkRestoresGainAndFactorWithoutAnnouncingTheFactor) {
  auto state = zaltrim_chunk(0.5f, 8);
  EXPECT_EQ(effect.setChunk(state.data(), 8, false), 8);
  EXPECT_EQ(effect.getParameter(0), 0.5f);
  EXPECT_EQ(effect.get_oversampling(), 8);
  EXPECT_EQ(gains, std::vector<float>{0.5f});
  EXPECT_TRUE(factors.empty());
  EXPECT_EQ(chunk(), state);
}

TEST_F(Effect, RefusedChunksChangeNothing) {
  auto short_state = zaltrim_chunk(0.5f, 8);
  EXPECT_EQ(effect.setChunk(short_state.data(), 7, true), 0);
  for (VstInt32 factor : {0, 3, 64, -2}) {
    auto state = zaltrim_chunk(0.5f, factor);
    EXPECT_EQ(effect.setChunk(state.data(), 8, false), 0) << "factor " << factor;
  }
  for (float gain : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    auto state = zaltrim_chunk(gain, 4);
    EXPECT_EQ(effect.setChunk(state.data(), 8, false), 0);
  }
  EXPECT_EQ(effect.setChunk(nullptr, 8, false), 0);
  EXPECT_TRUE(gains.empty());
  EXPECT_EQ(chunk(), zaltrim_chunk(1.0f, 2));
}

TEST_F(Effect, SetOversamplingRebuildsAndAnnounces) {
  effect.set_oversampling(16);
  EXPECT_EQ(effect.get_oversampling(), 16);
  EXPECT_EQ(factors, std::vector<int>{16});
  effect.set_oversampling(5);
  EXPECT_EQ(effect.get_oversampling(), 16);
  EXPECT_EQ(factors.size(), 1u);
}

TEST_F(Effect, EachChunkRequestReplacesTheLastBuffer) {
  void* first = nullptr;
  void* second = nullptr;
  effect.getChunk(&first, false);
  effect.getChunk(&second, false);
  EXPECT_NE(second, nullptr);
  // Only the second is alive now (ASan would flag a use of the first); it stays valid until suspend.
  EXPECT_EQ(static_cast<unsigned char*>(second)[4], 2);
  effect.suspend();
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

}  // namespace
