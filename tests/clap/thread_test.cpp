// The CLAP plug-in under a host's two threads: the audio thread processing blocks with parameter
// events, while the main thread saves and restores state and reads values and texts, as a host
// does when it saves a session or shows its generic panel. Run under ThreadSanitizer in CI, where
// any data race fails the run. Every state saved must be one that was set or played, whole.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "clap_instance.h"

namespace {

// Each thread runs until it has made this many calls, so that a slow one still meets the other.
constexpr long kEnoughCalls = 400;
constexpr auto kLongestRun = std::chrono::seconds(60);

// States the main thread restores: a gain and the factor index that goes with it, so that a save
// that saw half of a restore shows.
constexpr double kGains[] = {-12.0, 3.0, 9.5, 21.0};

double index_for(double gain) { return gain < 0 ? 0.0 : gain < 5 ? 1.0 : gain < 10 ? 2.0 : 4.0; }

TEST(ClapThreads, ProcessingMeetsStateAndParameterCallsWithoutARace) {
  ClapModule module;
  ClapInstance plugin(module, "example.orvendel.zaltrim-stereo");
  ASSERT_TRUE(plugin.activate(48000.0, 256));
  std::vector<std::vector<unsigned char>> states;
  for (const double gain : kGains) {
    plugin.flush({{0, 0, gain}, {0, 1, index_for(gain)}});
    states.emplace_back();
    ASSERT_TRUE(plugin.save(states.back()));
  }

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    std::vector<float> left(256, 0.25f), right(256, -0.25f);
    for (long n = 0; !stop; ++n) {
      // The audio thread moves only the bypass, so every state the main thread saves is one it set.
      plugin.process({left.data(), right.data()}, {left.data(), right.data()}, 256,
                     {{static_cast<std::uint32_t>(n % 256), 2, static_cast<double>(n % 2)}});
      blocks++;
    }
  });

  long saves = 0;
  bool whole = true;
  const auto deadline = std::chrono::steady_clock::now() + kLongestRun;
  while ((saves < kEnoughCalls || blocks < kEnoughCalls) && std::chrono::steady_clock::now() < deadline) {
    plugin.load(states[static_cast<std::size_t>(saves) % states.size()]);
    std::vector<unsigned char> saved;
    plugin.save(saved);
    ClapInstance check(module, "example.orvendel.zaltrim");
    check.load(saved);
    const double gain = check.value(0);
    whole = whole && check.value(1) == index_for(gain);
    plugin.value(2);
    ++saves;
  }
  stop = true;
  audio.join();
  EXPECT_GE(saves, kEnoughCalls);
  EXPECT_GE(blocks.load(), kEnoughCalls);
  EXPECT_TRUE(whole) << "a saved state mixed two restores";
}

}  // namespace
