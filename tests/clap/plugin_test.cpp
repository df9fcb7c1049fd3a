// The CLAP plug-ins as built, loaded through dlopen and clap_entry and driven as a host drives
// them: the VST 2 effect's samples with parameter events at their sample times, the stereo
// edition's lanes, no allocation in process(), the latency and the restart a factor change asks
// for, the bypass, texts, and state that a fresh instance restores and junk that changes nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "allocation_hook.h"
#include "clap_instance.h"
#include "effect_reference.h"
#include "zaltrim_effect.h"

namespace {
std::atomic<long> allocations_in_process{0};

void count_in_process(std::size_t) {
  if (inside_clap_process) allocations_in_process.fetch_add(1);
}

const bool counting = (test_support::set_allocation_hook(count_in_process), true);
}  // namespace

namespace {

using test_support::phrase;
using test_support::quiet_host;
using test_support::run_effect;

constexpr const char* kMono = "example.orvendel.zaltrim";
constexpr const char* kStereo = "example.orvendel.zaltrim-stereo";
constexpr clap_id kGain = 0, kOversampling = 1, kBypass = 2;

double index_of(int factor) { return std::log2(factor) - 1.0; }

// One channel through a plug-in in blocks of `block` frames, with `changes` given as
// (frame in the whole signal, parameter, value), each in the block that holds it.
struct TimedChange {
  std::size_t frame;
  clap_id id;
  double value;
};

std::vector<float> run(ClapInstance& plugin, const std::vector<float>& input, std::uint32_t block,
                       const std::vector<TimedChange>& changes = {}) {
  std::vector<float> output(input.size());
  for (std::size_t done = 0; done < input.size(); done += block) {
    const auto frames = static_cast<std::uint32_t>(std::min<std::size_t>(block, input.size() - done));
    std::vector<ParameterChange> events;
    for (const TimedChange& change : changes)
      if (change.frame >= done && change.frame < done + frames)
        events.push_back({static_cast<std::uint32_t>(change.frame - done), change.id, change.value});
    EXPECT_EQ(plugin.process({input.data() + done}, {output.data() + done}, frames, events), CLAP_PROCESS_CONTINUE);
  }
  return output;
}

class ClapPlugin : public ::testing::Test {
 protected:
  ClapModule module;
};

TEST_F(ClapPlugin, OffersTheMonoAndStereoEditionsAndNothingElse) {
  const clap_plugin_factory_t& factory = module.factory();
  ASSERT_EQ(factory.get_plugin_count(&factory), 2u);
  const clap_plugin_descriptor_t* mono = factory.get_plugin_descriptor(&factory, 0);
  const clap_plugin_descriptor_t* stereo = factory.get_plugin_descriptor(&factory, 1);
  EXPECT_STREQ(mono->id, kMono);
  EXPECT_STREQ(mono->name, "Zaltrim");
  EXPECT_STREQ(mono->vendor, "Orvendel");
  EXPECT_STREQ(stereo->name, "Zaltrim Stereo");
  EXPECT_EQ(mono->clap_version.major, 1u);
  std::vector<std::string> features;
  for (const char* const* f = mono->features; *f; ++f) features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "distortion", "mono"}));
  EXPECT_STREQ(stereo->features[2], "stereo");
  EXPECT_EQ(factory.get_plugin_descriptor(&factory, 2), nullptr);
  EXPECT_EQ(factory.create_plugin(&factory, nullptr, "example.orvendel.other"), nullptr);
}

// Parameter events land at their sample: the block splits there. The effect is told the same
// things between blocks that end at the same samples.
TEST_F(ClapPlugin, GivesTheVstEffectsSamplesWithEventsAtTheirSampleTimes) {
  const auto input = phrase(24000, 0.5);
  struct Change {
    std::size_t frame;
    double gain_db;
    int factor;
  };
  const Change changes[] = {{0, 12.0, 2}, {6100, 12.0, 8}, {13333, -6.5, 32}, {17001, -6.5, 8}, {20480, 3.0, 2}};
  ZaltrimEffect effect(quiet_host);
  std::vector<float> expected;
  std::vector<TimedChange> events;
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    effect.set_gain(ZaltrimChain::gain_of_db(changes[i].gain_db));
    if (changes[i].factor != effect.get_oversampling()) effect.set_oversampling(changes[i].factor);
    const std::size_t end = i + 1 < std::size(changes) ? changes[i + 1].frame : input.size();
    const auto part = run_effect(effect, input, changes[i].frame, end);
    expected.insert(expected.end(), part.begin(), part.end());
    events.push_back({changes[i].frame, kGain, changes[i].gain_db});
    events.push_back({changes[i].frame, kOversampling, index_of(changes[i].factor)});
  }

  ClapInstance plugin(module, kMono);
  ASSERT_TRUE(plugin.activate(44100.0));
  const auto output = run(plugin, input, 1024, events);
  for (std::size_t i = 0; i < output.size(); ++i) ASSERT_EQ(output[i], expected[i]) << "sample " << i;
  EXPECT_EQ(plugin.value(kGain), 3.0);
  EXPECT_EQ(plugin.value(kOversampling), 0.0);
}

TEST_F(ClapPlugin, StereoEditionGivesEachChannelTheMonoEditionsSamplesInPlace) {
  const auto left = phrase(9000, 0.6), right = phrase(9000, 0.3, 44100.0, 1.0);
  const std::vector<TimedChange> changes = {{0, kGain, 18.0}, {4000, kOversampling, index_of(16)}};
  std::vector<float> expected[2];
  for (int c = 0; c < 2; ++c) {
    ClapInstance mono(module, kMono);
    ASSERT_TRUE(mono.activate(48000.0));
    expected[c] = run(mono, c == 0 ? left : right, 500, changes);
  }
  ClapInstance stereo(module, kStereo);
  ASSERT_TRUE(stereo.activate(48000.0));
  std::vector<float> buffers[2] = {left, right};
  for (std::size_t done = 0; done < left.size(); done += 500) {
    std::vector<ParameterChange> events;
    for (const TimedChange& change : changes)
      if (change.frame >= done && change.frame < done + 500)
        events.push_back({static_cast<std::uint32_t>(change.frame - done), change.id, change.value});
    ASSERT_EQ(stereo.process({buffers[0].data() + done, buffers[1].data() + done},
                             {buffers[0].data() + done, buffers[1].data() + done}, 500, events),
              CLAP_PROCESS_CONTINUE);
  }
  EXPECT_EQ(buffers[0], expected[0]);
  EXPECT_EQ(buffers[1], expected[1]);
}

TEST_F(ClapPlugin, ProcessAllocatesNothingWhateverChanges) {
  const auto input = phrase(44100, 0.8);
  ClapInstance plugin(module, kMono);
  ASSERT_TRUE(plugin.activate(48000.0));
  std::vector<TimedChange> changes;
  for (std::size_t frame = 0; frame < input.size(); frame += 997) {
    changes.push_back({frame, kGain, static_cast<double>(frame % 80) - 40.0});
    changes.push_back({frame, kOversampling, static_cast<double>(frame % 5)});
    changes.push_back({frame, kBypass, frame % 7 < 4 ? 0.0 : 1.0});
  }
  allocations_in_process = 0;
  run(plugin, input, 1000, changes);
  EXPECT_EQ(allocations_in_process.load(), 0);
}

// The latency is the measured lag; a factor change that moves it asks for a restart, after which
// the new one is reported and announced.
TEST_F(ClapPlugin, ReportsTheChainsLatencyAndAsksForARestartWhenAFactorMovesIt) {
  for (const double rate : {44100.0, 96000.0}) {
    ClapInstance plugin(module, kMono);
    ASSERT_TRUE(plugin.activate(rate));
    EXPECT_EQ(plugin.latency(), static_cast<std::uint32_t>(ZaltrimChain::measure_latency(2, static_cast<float>(rate))));
    EXPECT_EQ(plugin.restart_requests(), 0);
    EXPECT_EQ(plugin.latency_changes(), 0) << "the host asks for the first latency itself";
    const auto input = phrase(2048, 0.1);
    run(plugin, input, 512, {{100, kOversampling, index_of(32)}});
    const auto lag32 = static_cast<std::uint32_t>(ZaltrimChain::measure_latency(32, static_cast<float>(rate)));
    EXPECT_EQ(plugin.restart_requests() > 0, lag32 != plugin.latency()) << rate;
    ASSERT_TRUE(plugin.activate(rate));
    EXPECT_EQ(plugin.latency(), lag32);
    EXPECT_EQ(plugin.latency_changes(), plugin.restart_requests() > 0 ? 1 : 0);
  }
  ClapInstance plugin(module, kMono);
  EXPECT_FALSE(plugin.activate(10.0)) << "a rate the chain cannot run at";
}

TEST_F(ClapPlugin, BypassPassesTheInputDelayedByTheLatency) {
  const auto input = phrase(20000, 0.5);
  ClapInstance plugin(module, kMono);
  ASSERT_TRUE(plugin.activate(44100.0));
  const auto output = run(plugin, input, 512, {{0, kGain, 20.0}, {5000, kBypass, 1.0}});
  const std::size_t delay = plugin.latency(), fade = 221;
  for (std::size_t i = 5000 + fade; i < output.size(); ++i) ASSERT_EQ(output[i], input[i - delay]) << i;
  EXPECT_NE(output[4000], input[4000 - delay]);
}

TEST_F(ClapPlugin, TextsAndValuesGoBothWays) {
  ClapInstance plugin(module, kMono);
  const auto* params = plugin.extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  const clap_plugin_t* p = &plugin.plugin();
  char text[64];
  ASSERT_TRUE(params->value_to_text(p, kGain, 12.0, text, sizeof text));
  EXPECT_STREQ(text, "+12.0 dB");
  ASSERT_TRUE(params->value_to_text(p, kOversampling, 3.0, text, sizeof text));
  EXPECT_STREQ(text, "16x");
  EXPECT_FALSE(params->value_to_text(p, kGain, 12.0, text, 4)) << "a buffer too small";
  double value = 0;
  ASSERT_TRUE(params->text_to_value(p, kGain, "+12.0 dB", &value));
  EXPECT_EQ(value, 12.0);
  ASSERT_TRUE(params->text_to_value(p, kGain, "-6.5", &value));
  EXPECT_EQ(value, -6.5);
  ASSERT_TRUE(params->text_to_value(p, kOversampling, "32x", &value));
  EXPECT_EQ(value, 4.0);
  for (const char* junk : {"", "loud", "12 dBFS", "nan"})
    EXPECT_FALSE(params->text_to_value(p, kGain, junk, &value)) << junk;
  EXPECT_FALSE(params->text_to_value(p, kOversampling, "3x", &value));
  EXPECT_FALSE(params->text_to_value(p, 7, "1", &value));

  clap_param_info_t info;
  ASSERT_TRUE(params->get_info(p, kBypass, &info));
  EXPECT_TRUE(info.flags & CLAP_PARAM_IS_BYPASS);
  ASSERT_TRUE(params->get_info(p, kOversampling, &info));
  EXPECT_TRUE(info.flags & CLAP_PARAM_IS_STEPPED);
  EXPECT_FALSE(params->get_info(p, 3, &info));
}

// flush() works with no block and no activation: the values are the host's to read and save.
TEST_F(ClapPlugin, StateRestoresAFreshInstanceAndJunkChangesNothing) {
  ClapInstance source(module, kMono);
  source.flush({{0, kGain, 7.5}, {0, kOversampling, index_of(16)}});
  EXPECT_EQ(source.value(kGain), 7.5);
  std::vector<unsigned char> saved;
  ASSERT_TRUE(source.save(saved));

  ClapInstance restored(module, kMono);
  ASSERT_TRUE(restored.load(saved, 3)) << "a stream that reads three bytes at a time";
  EXPECT_EQ(restored.value(kGain), 7.5);
  EXPECT_EQ(restored.value(kOversampling), index_of(16));

  ClapInstance untouched(module, kMono);
  untouched.flush({{0, kGain, -3.0}});
  std::vector<std::vector<unsigned char>> junk = {{}, {saved.begin(), saved.end() - 1}, {'R', 'I', 'F', 'F'}};
  for (std::size_t byte : {0u, 4u, 16u}) {  // tag, version, factor
    junk.push_back(saved);
    junk.back()[byte] ^= 0x5a;
  }
  auto out_of_range = saved;
  out_of_range[15] = 0x7f;  // the gain's exponent: beyond +40 dB
  junk.push_back(out_of_range);
  for (const auto& bytes : junk) {
    EXPECT_FALSE(untouched.load(bytes)) << bytes.size() << " bytes";
    EXPECT_EQ(untouched.value(kGain), -3.0);
    EXPECT_EQ(untouched.value(kOversampling), 0.0);
  }
}

}  // namespace
