// The LV2 plug-in as built, loaded through dlopen and driven as a real-time host drives it: the
// same samples as the VST 2 effect, factor changes at the block that sees them, no allocation in
// run(), the latency it reports, and its bypass.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <vector>

#include "allocation_hook.h"
#include "effect_reference.h"
#include "lv2_instance.h"
#include "zaltrim_effect.h"

// Allocations made on a thread while it runs the plug-in's blocks.
namespace {
thread_local bool in_run = false;
std::atomic<long> allocations_in_run{0};

void count_in_run(std::size_t) {
  if (in_run) allocations_in_run.fetch_add(1);
}

const bool counting = (test_support::set_allocation_hook(count_in_run), true);
}  // namespace

namespace {

using test_support::phrase;
using test_support::quiet_host;
using test_support::run_effect;
using zaltrim_lv2::kEnabled;
using zaltrim_lv2::kGain;
using zaltrim_lv2::kOversampling;

// Runs `input` in blocks of the given sizes, in turn, calling between(block index) before each.
template <typename Between>
std::vector<float> run_blocks(Lv2Instance& plugin, const std::vector<float>& input,
                              const std::vector<std::uint32_t>& sizes, Between&& between) {
  std::vector<float> output(input.size());
  std::size_t done = 0;
  for (std::size_t block = 0; done < input.size(); ++block) {
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(sizes[block % sizes.size()], input.size() - done));
    between(block);
    in_run = true;
    plugin.run(input.data() + done, output.data() + done, count);
    in_run = false;
    done += count;
  }
  return output;
}

std::vector<float> run_blocks(Lv2Instance& plugin, const std::vector<float>& input, std::uint32_t size = 512) {
  return run_blocks(plugin, input, {size}, [](std::size_t) {});
}

// The lag that best aligns the output with the input, by least squares, past a settling time.
int best_alignment(const std::vector<float>& input, const std::vector<float>& output) {
  int best = 0;
  double least = INFINITY;
  for (int lag = 0; lag <= 32; ++lag) {
    double error = 0.0;
    for (std::size_t i = 1000; i < output.size(); ++i) error += std::pow(output[i] - input[i - lag], 2);
    if (error < least) {
      least = error;
      best = lag;
    }
  }
  return best;
}

double largest_step(const std::vector<float>& samples, std::size_t from, std::size_t to) {
  double largest = 0.0;
  for (std::size_t i = from + 1; i < to; ++i)
    largest = std::max(largest, std::fabs(double(samples[i]) - samples[i - 1]));
  return largest;
}

// A factor the plug-in used before starts again from silence, as the VST 2 effect's newly
// designed stages do.
TEST(Lv2Plugin, GivesTheVstEffectsSamplesAcrossGainAndFactorChangesAtTheSameBlocks) {
  const auto input = phrase(24000, 0.5);
  struct Change {
    std::size_t block;
    float gain_db;
    int factor;
  };
  const Change changes[] = {{0, 12.0f, 2}, {6, 12.0f, 8}, {13, -6.5f, 32}, {17, -6.5f, 8}, {20, 3.0f, 2}};
  // The VST 2 effect, told the same thing at the same block boundaries.
  ZaltrimEffect effect(quiet_host);
  std::vector<float> expected;
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    effect.set_gain(ZaltrimChain::gain_of_db(changes[i].gain_db));
    if (changes[i].factor != effect.get_oversampling()) effect.set_oversampling(changes[i].factor);
    const std::size_t end = i + 1 < std::size(changes) ? changes[i + 1].block * 1000 : input.size();
    const auto part = run_effect(effect, input, changes[i].block * 1000, end);
    expected.insert(expected.end(), part.begin(), part.end());
  }

  Lv2Instance plugin(44100.0);
  plugin.control(kGain) = 12.0f;
  plugin.activate();
  const auto output = run_blocks(plugin, input, {1000}, [&](std::size_t block) {
    for (const Change& change : changes) {
      if (change.block != block) continue;
      plugin.control(kGain) = change.gain_db;
      plugin.control(kOversampling) = static_cast<float>(change.factor);
    }
  });
  ASSERT_EQ(output.size(), expected.size());
  for (std::size_t i = 0; i < output.size(); ++i) ASSERT_EQ(output[i], expected[i]) << "sample " << i;
}

TEST(Lv2Plugin, RunAllocatesNothingWhateverChanges) {
  const auto input = phrase(44100, 0.8);
  Lv2Instance plugin(48000.0);
  plugin.activate();
  allocations_in_run = 0;
  const float factors[] = {2, 32, 4, 16, 8};
  run_blocks(plugin, input, {64, 1000, 37, 4096}, [&](std::size_t block) {
    plugin.control(kGain) = static_cast<float>(block % 80) - 40.0f;
    plugin.control(kOversampling) = factors[block % 5];
    plugin.control(kEnabled) = block % 7 < 4 ? 1.0f : 0.0f;
  });
  EXPECT_EQ(allocations_in_run.load(), 0);
}

TEST(Lv2Plugin, ReportsTheLatencyThatAlignsAQuietSignalBest) {
  for (const double rate : {44100.0, 48000.0, 96000.0}) {
    for (const float factor : {2.0f, 4.0f, 8.0f, 16.0f, 32.0f}) {
      Lv2Instance plugin(rate);
      plugin.control(kOversampling) = factor;
      plugin.activate();
      const auto input = phrase(8000, 0.01, rate);
      const auto output = run_blocks(plugin, input);
      EXPECT_EQ(plugin.latency(), best_alignment(input, output)) << rate << " Hz, factor " << factor;
      if (rate == 44100.0) {
        EXPECT_EQ(plugin.latency(), 5) << "factor " << factor;
      }
    }
  }
}

TEST(Lv2Plugin, BypassPassesTheInputDelayedAndSwitchesWithoutAClick) {
  const auto input = phrase(30000, 0.5);
  Lv2Instance reference(44100.0);
  reference.control(kGain) = 20.0f;
  reference.activate();
  const auto processed = run_blocks(reference, input);

  Lv2Instance plugin(44100.0);
  plugin.control(kGain) = 20.0f;
  plugin.activate();
  const auto output = run_blocks(plugin, input, {512}, [&](std::size_t block) {
    plugin.control(kEnabled) = block >= 20 && block < 40 ? 0.0f : 1.0f;
  });
  const std::size_t off = 20 * 512, on = 40 * 512, fade = 221;  // 5 ms at 44.1 kHz
  const auto delay = static_cast<std::size_t>(plugin.latency());
  for (std::size_t i = 0; i < off; ++i) ASSERT_EQ(output[i], processed[i]) << i;
  for (std::size_t i = off + fade; i < on; ++i) ASSERT_EQ(output[i], input[i - delay]) << i;
  // The chain ran on while bypassed, so the output is its own again once the fade is over.
  for (std::size_t i = on + fade; i < output.size(); ++i) ASSERT_EQ(output[i], processed[i]) << i;
  // No step across either switch beyond what the two signals have on their own, plus the fade's
  // share of their difference (|processed - input| < 2) per sample: a click would be a jump of that
  // whole difference.
  const double own = std::max(largest_step(processed, 0, output.size()), largest_step(input, 0, output.size()));
  EXPECT_LE(largest_step(output, off - 1, off + fade + 1), own + 2.0 / fade);
  EXPECT_LE(largest_step(output, on - 1, on + fade + 1), own + 2.0 / fade);
  EXPECT_NE(output[off + fade / 2], processed[off + fade / 2]) << "the switch fades";
}

// After a pause the host activates the plug-in again: its output is a fresh instance's, at the
// factor in force as at a new one.
TEST(Lv2Plugin, StartsAnewOnEveryActivation) {
  const auto input = phrase(6000, 0.7);
  for (const float factor : {2.0f, 16.0f}) {
    Lv2Instance fresh(44100.0);
    fresh.control(kOversampling) = factor;
    fresh.activate();
    const auto expected = run_blocks(fresh, input);

    Lv2Instance paused(44100.0);
    paused.activate();
    run_blocks(paused, input);
    paused.control(kOversampling) = factor;
    run_blocks(paused, input);
    paused.activate();
    EXPECT_EQ(run_blocks(paused, input), expected) << "factor " << factor;
  }
}

TEST(Lv2Plugin, ProcessesInPlaceAsWithSeparateBuffers) {
  const auto input = phrase(9000, 0.7);
  const auto toggle = [](Lv2Instance& plugin) {
    return [&plugin](std::size_t block) { plugin.control(kEnabled) = block == 4 || block == 5 ? 0.0f : 1.0f; };
  };
  Lv2Instance apart(44100.0);
  apart.activate();
  const auto expected = run_blocks(apart, input, {700}, toggle(apart));

  Lv2Instance in_place(44100.0);
  in_place.activate();
  std::vector<float> buffer = input;
  for (std::size_t done = 0, block = 0; done < buffer.size(); done += 700, ++block) {
    toggle(in_place)(block);
    in_place.run(buffer.data() + done, buffer.data() + done,
                 static_cast<std::uint32_t>(std::min<std::size_t>(700, buffer.size() - done)));
  }
  EXPECT_EQ(buffer, expected);
}

// The dry path keeps the input's last samples across blocks of any size, shorter than its
// delay line or longer, and a switch lands where the host's block starts.
TEST(Lv2Plugin, BlockSizesChangeNothingAcrossBypassSwitches) {
  const auto input = phrase(12000, 0.6);
  const std::size_t off = 3000, on = 7000;
  const auto run_in = [&](const std::vector<std::uint32_t>& sizes) {
    Lv2Instance plugin(44100.0);
    plugin.control(kGain) = 18.0f;
    plugin.activate();
    std::vector<float> output(input.size());
    for (std::size_t done = 0, block = 0; done < input.size(); ++block) {
      std::size_t end = std::min(done + sizes[block % sizes.size()], input.size());
      if (done < off && end > off) end = off;
      if (done < on && end > on) end = on;
      plugin.control(kEnabled) = done >= off && done < on ? 0.0f : 1.0f;
      plugin.run(input.data() + done, output.data() + done, static_cast<std::uint32_t>(end - done));
      done = end;
    }
    return output;
  };
  const auto whole = run_in({4096});
  EXPECT_EQ(run_in({1, 7, 63, 64, 65, 300}), whole);
  EXPECT_EQ(run_in({13}), whole);
  EXPECT_EQ(run_in({1, 2}), whole) << "blocks shorter than the delay";
}

// The offline tools set their controls before activate().
TEST(Lv2Plugin, TheFactorSetBeforeActivationHoldsFromTheFirstSample) {
  const auto input = phrase(5000, 0.5);
  ZaltrimEffect effect(quiet_host);
  effect.set_oversampling(16);
  const auto expected = run_effect(effect, input, 0, input.size());

  Lv2Instance plugin(44100.0);
  plugin.control(kOversampling) = 16.0f;
  plugin.activate();
  EXPECT_EQ(run_blocks(plugin, input, 333), expected);
}

TEST(Lv2Plugin, TakesOddControlValuesAsTheNearestItCanUse) {
  const auto input = phrase(3000, 0.5);
  const auto output_at = [&](float gain, float factor) {
    Lv2Instance plugin(44100.0);
    plugin.control(kGain) = gain;
    plugin.control(kOversampling) = factor;
    plugin.activate();
    return run_blocks(plugin, input);
  };
  EXPECT_EQ(output_at(0.0f, 3.2f), output_at(0.0f, 4.0f));
  EXPECT_EQ(output_at(0.0f, 0.0f), output_at(0.0f, 2.0f));
  EXPECT_EQ(output_at(0.0f, 1000.0f), output_at(0.0f, 32.0f));
  EXPECT_EQ(output_at(0.0f, NAN), output_at(0.0f, 2.0f)) << "NaN keeps the factor in force";
  EXPECT_EQ(output_at(100.0f, 2.0f), output_at(40.0f, 2.0f));
  EXPECT_EQ(output_at(NAN, 2.0f), output_at(0.0f, 2.0f)) << "NaN keeps the gain in force";
}

// The stereo edition: both channels as the lanes of one chain, one set of controls. Each channel
// must be what the mono edition gives for it, through gain and factor changes and bypass
// switches at the same blocks, in blocks of odd sizes, in place.
TEST(Lv2StereoPlugin, EachChannelIsTheMonoEditionsThroughChangesAndSwitches) {
  const auto left = phrase(20000, 0.6);
  auto right = phrase(20000, 0.9);
  std::reverse(right.begin(), right.end());
  const std::vector<std::uint32_t> sizes = {700, 1, 333, 4096};
  const float factors[] = {2, 8, 32, 8, 4};
  const auto control = [&](Lv2Instance& plugin) {
    return [&plugin, &factors](std::size_t block) {
      plugin.control(kGain) = block < 6 ? 12.0f : -3.0f;
      plugin.control(kOversampling) = factors[block / 4 % 5];
      plugin.control(kEnabled) = block % 9 == 5 || block % 9 == 6 ? 0.0f : 1.0f;
    };
  };
  Lv2Instance mono_left(48000.0), mono_right(48000.0);
  mono_left.activate();
  mono_right.activate();
  const auto expected_left = run_blocks(mono_left, left, sizes, control(mono_left));
  const auto expected_right = run_blocks(mono_right, right, sizes, control(mono_right));

  Lv2Instance stereo(48000.0, Lv2Instance::kStereo);
  stereo.activate();
  EXPECT_EQ(stereo.latency(), mono_left.latency());
  std::vector<float> out_left = left, out_right = right;
  allocations_in_run = 0;
  for (std::size_t done = 0, block = 0; done < left.size(); ++block) {
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(sizes[block % sizes.size()], left.size() - done));
    control(stereo)(block);
    in_run = true;
    stereo.run(out_left.data() + done, out_right.data() + done, out_left.data() + done, out_right.data() + done, count);
    in_run = false;
    done += count;
  }
  EXPECT_EQ(allocations_in_run.load(), 0) << "the stereo edition allocated in run()";
  EXPECT_EQ(out_left, expected_left);
  EXPECT_EQ(out_right, expected_right);
}

TEST(Lv2Plugin, RefusesRatesWithoutASamplingPeriod) {
  EXPECT_TRUE(Lv2Instance::instantiates(44100.0));
  for (const double rate : {0.0, -44100.0, static_cast<double>(NAN), 200.0, 1e12, static_cast<double>(INFINITY)})
    EXPECT_FALSE(Lv2Instance::instantiates(rate)) << rate;
}

}  // namespace
