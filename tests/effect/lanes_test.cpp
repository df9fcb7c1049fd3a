// The chain of lanes against one ZaltrimChain per channel: every lane's output must be its
// channel's, to the last bit, at every factor, in float and in double, whatever the other lanes
// carry: silence, NaN bursts, or inputs that keep Newton iterating far longer than theirs.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "zaltrim_chain.h"
#include "zaltrim_lanes.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr std::size_t kFrames = 3000;
constexpr double kPi = 3.141592653589793;

using Signal = std::function<double(std::size_t)>;

// Signals that make the clipper work differently hard from sample to sample.
const std::vector<Signal>& signals() {
  static const std::vector<Signal> all = {
      [](std::size_t n) { return 0.8 * std::sin(2 * kPi * 220.0 * static_cast<double>(n) / kRate); },
      [](std::size_t) { return 0.0; },
      [](std::size_t n) {
        if (n % 700 < 40) return static_cast<double>(NAN);
        return 0.3 * std::sin(static_cast<double>(n) * 1.7) + 0.2 * std::cos(static_cast<double>(n) * 0.37);
      },
      // Jumps of 40 between samples, and now and then an input far beyond the clipper's limit:
      // tens to hundreds of Newton steps where the other lanes take three.
      [](std::size_t n) {
        if (n % 997 == 500) return 1e12;
        return (n / 25) % 2 ? 20.0 : -20.0;
      },
  };
  return all;
}

template <typename Sample>
std::vector<Sample> make(const Signal& signal) {
  std::vector<Sample> samples(kFrames);
  for (std::size_t n = 0; n < kFrames; ++n) samples[n] = static_cast<Sample>(signal(n));
  return samples;
}

// Blocks of changing length, the gain changing between them, as a host drives the chain. At
// block 2 the factor changes, and at block 4 it changes back: the chain then starts again from
// newly designed stages, the lanes from the designed state select() restores.
const std::vector<std::uint32_t> kBlocks = {1, 17, 512, 3, 1000};
double gain_of_block(std::size_t block) { return block % 2 ? 3.98 : 0.7; }
int factor_of_block(int factor, std::size_t block) {
  if (block == 2) return factor == 32 ? 2 : factor * 2;
  return block == 4 ? factor : 0;  // 0: no change
}

template <typename Sample>
std::vector<Sample> run_single(int factor, const std::vector<Sample>& input) {
  ZaltrimChain chain(factor, kRate);
  std::vector<Sample> output(input.size());
  for (std::size_t done = 0, block = 0; done < input.size(); ++block) {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(kBlocks[block % kBlocks.size()], input.size() - done));
    chain.set_gain(gain_of_block(block));
    if (const int change = factor_of_block(factor, block)) {
      ZaltrimChain::Stages fresh = ZaltrimChain::design(change, kRate);
      chain.install(fresh);
    }
    chain.process(input.data() + done, output.data() + done, count);
    done += count;
  }
  return output;
}

// In place, as hosts often process.
template <int L, typename Sample>
std::array<std::vector<Sample>, L> run_lanes(int factor, std::array<std::vector<Sample>, L> buffers) {
  ZaltrimLanes<L> lanes(factor, kRate);
  for (std::size_t done = 0, block = 0; done < kFrames; ++block) {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(kBlocks[block % kBlocks.size()], kFrames - done));
    std::array<Sample*, L> at;
    for (int l = 0; l < L; ++l) at[l] = buffers[l].data() + done;
    lanes.set_gain(gain_of_block(block));
    if (const int change = factor_of_block(factor, block)) lanes.select(change);
    lanes.process(at.data(), at.data(), count);
    done += count;
  }
  return buffers;
}

template <typename Sample>
bool same_bits(const std::vector<Sample>& a, const std::vector<Sample>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Sample)) == 0;
}

// Each signal in each lane position in turn, beside the others.
template <int L, typename Sample>
void expect_lanes_match_single_chains() {
  const std::size_t count = signals().size();
  for (const int factor : {2, 4, 8, 16, 32}) {
    std::vector<std::vector<Sample>> single;
    for (const Signal& signal : signals()) single.push_back(run_single(factor, make<Sample>(signal)));
    for (std::size_t rotation = 0; rotation < count; ++rotation) {
      std::array<std::vector<Sample>, L> inputs;
      for (int l = 0; l < L; ++l) inputs[l] = make<Sample>(signals()[(rotation + l) % count]);
      const auto outputs = run_lanes<L>(factor, inputs);
      for (int l = 0; l < L; ++l)
        EXPECT_TRUE(same_bits(outputs[l], single[(rotation + l) % count]))
            << L << " lanes, factor " << factor << ", lane " << l << ", signal " << (rotation + l) % count;
    }
  }
}

TEST(ZaltrimLanes, OneLaneIsTheChain) {
  expect_lanes_match_single_chains<1, float>();
  expect_lanes_match_single_chains<1, double>();
}

TEST(ZaltrimLanes, TwoLanesAreTwoChains) {
  expect_lanes_match_single_chains<2, float>();
  expect_lanes_match_single_chains<2, double>();
}

TEST(ZaltrimLanes, FourLanesAreFourChains) {
  expect_lanes_match_single_chains<4, float>();
  expect_lanes_match_single_chains<4, double>();
}

}  // namespace
