// The effect's audio path against a chain assembled by hand from the same DSP stages, and the
// real-time promises: no allocation once sized, refusal and silence instead of failure.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "allocation_hook.h"
#include "butterworth_filter.h"
#include "decimation_filter.h"
#include "newton_raphson_optimizer.h"
#include "oversampling_6points_5order.h"
#include "oversampling_filter.h"
#include "zaltrim.h"
#include "zaltrim_effect.h"

// Every allocation of this test program goes through here, the effect's included.
namespace {
std::atomic<long> allocations{0};
std::atomic<std::size_t> largest_allocation{0};
std::atomic<bool> fail_next_allocation{false};

void watch_allocation(std::size_t size) {
  if (fail_next_allocation.exchange(false)) throw std::bad_alloc();
  allocations.fetch_add(1, std::memory_order_relaxed);
  std::size_t largest = largest_allocation.load();
  while (size > largest && !largest_allocation.compare_exchange_weak(largest, size)) {
  }
}

const bool watching = (test_support::set_allocation_hook(watch_allocation), true);
}  // namespace

namespace {

VstIntPtr VSTCALLBACK quiet_host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// gain -> up-sampler -> clipper -> low-pass and decimation, built from the library directly.
template <int N>
std::vector<double> reference_chain(const std::vector<double>& input, double gain, float rate) {
  const auto n = static_cast<std::uint32_t>(input.size());
  std::vector<double> gained(input.size()), up(input.size() * N), clipped(up.size()), out(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) gained[i] = input[i] * gain;
  DSP::OversamplingFilter<N, DSP::Oversampling6points5order<double>> upsampler;
  upsampler.process(gained.data(), up.data(), n);
  DSP::NewtonRaphsonOptimizer<DSP::Zaltrim<double>> clipper(DSP::Zaltrim<double>((1.0 / rate) / N));
  clipper.process(up.data(), clipped.data(), n * N);
  DSP::DecimationFilter<N, DSP::ButterworthFilter<double, 8>> decimator;
  decimator.set_sampling_frequency(static_cast<double>(static_cast<float>(N) * rate));
  decimator.set_cutoff_frequency(22000.0);
  decimator.process(clipped.data(), out.data(), n * N);
  return out;
}

std::vector<double> sine(std::size_t frames, double amplitude, double frequency = 1000.0, double rate = 44100.0) {
  std::vector<double> samples(frames);
  for (std::size_t i = 0; i < frames; ++i)
    samples[i] = amplitude * std::sin(2.0 * 3.141592653589793 * frequency * i / rate);
  return samples;
}

class Pipeline : public ::testing::Test {
 protected:
  std::vector<double> run(const std::vector<double>& input) {
    std::vector<double> output(input.size());
    double* ins[] = {const_cast<double*>(input.data())};
    double* outs[] = {output.data()};
    effect.processDoubleReplacing(ins, outs, static_cast<VstInt32>(input.size()));
    return output;
  }
  std::vector<float> run(const std::vector<float>& input) {
    std::vector<float> output(input.size());
    float* ins[] = {const_cast<float*>(input.data())};
    float* outs[] = {output.data()};
    effect.processReplacing(ins, outs, static_cast<VstInt32>(input.size()));
    return output;
  }
  ZaltrimEffect effect{quiet_host};
};

TEST_F(Pipeline, MatchesTheChainBuiltFromItsStagesAtEveryFactorAndRate) {
  const auto input = sine(600, 0.9, 3000.0);
  effect.set_gain(1.5f);
  EXPECT_EQ(run(input), reference_chain<2>(input, 1.5, 44100.0f));
  effect.set_oversampling(8);
  EXPECT_EQ(run(input), reference_chain<8>(input, 1.5, 44100.0f));
  effect.setSampleRate(48000.0f);
  EXPECT_EQ(run(input), reference_chain<8>(input, 1.5, 48000.0f));
  effect.set_oversampling(32);
  EXPECT_EQ(run(input), reference_chain<32>(input, 1.5, 48000.0f));
  effect.set_oversampling(4);
  EXPECT_EQ(run(input), reference_chain<4>(input, 1.5, 48000.0f));
  effect.set_oversampling(16);
  EXPECT_EQ(run(input), reference_chain<16>(input, 1.5, 48000.0f));
}

TEST_F(Pipeline, EveryRebuildStartsFromEmptyHistories) {
  const auto input = sine(300, 2.0);
  const auto first = run(input);
  EXPECT_NE(run(input), first) << "state carries from block to block";
  effect.set_oversampling(2);
  EXPECT_EQ(run(input), first);
  effect.set_oversampling(2);
  EXPECT_EQ(run(input), first);
}

TEST_F(Pipeline, FloatAndDoubleEntriesAgreeWithinSinglePrecision) {
  const auto input = sine(2000, 3.0);
  std::vector<float> input_float(input.begin(), input.end());
  const auto single = run(input_float);
  effect.set_oversampling(2);
  const auto dual = run(std::vector<double>(input_float.begin(), input_float.end()));
  for (std::size_t i = 0; i < input.size(); ++i) ASSERT_NEAR(single[i], dual[i], 1e-6) << i;
}

// Only the last stage writes the host's type: the float entry is the double chain rounded once at
// the end, with no rounded value fed back into any history.
TEST_F(Pipeline, TheFloatEntryRoundsOnlyItsOutput) {
  const auto input = sine(600, 1.7, 3000.0);
  const std::vector<float> single(input.begin(), input.end());
  const std::vector<double> widened(single.begin(), single.end());
  const auto rounded = [](const std::vector<double>& samples) {
    return std::vector<float>(samples.begin(), samples.end());
  };
  effect.set_gain(1.5f);
  EXPECT_EQ(run(single), rounded(reference_chain<2>(widened, 1.5, 44100.0f)));
  effect.set_oversampling(8);
  EXPECT_EQ(run(single), rounded(reference_chain<8>(widened, 1.5, 44100.0f)));
  effect.setSampleRate(96000.0f);
  EXPECT_EQ(run(single), rounded(reference_chain<8>(widened, 1.5, 96000.0f)));
  effect.set_oversampling(32);
  EXPECT_EQ(run(single), rounded(reference_chain<32>(widened, 1.5, 96000.0f)));
}

// Every stage keeps its state from one block to the next, whatever the host's block lengths.
TEST_F(Pipeline, AnyBlockSplitGivesTheOutputOfOneBlock) {
  const auto input = sine(1500, 2.5, 3000.0);
  const std::vector<float> single(input.begin(), input.end());
  const VstInt32 splits[] = {1, 2, 3, 511, 1, 982};
  for (const int factor : {2, 32}) {
    effect.set_oversampling(factor);
    const auto whole = run(input);
    effect.set_oversampling(factor);
    const auto whole_single = run(single);

    effect.set_oversampling(factor);
    std::vector<double> pieces(input.size());
    VstInt32 at = 0;
    for (const VstInt32 length : splits) {
      double* ins[] = {const_cast<double*>(input.data()) + at};
      double* outs[] = {pieces.data() + at};
      effect.processDoubleReplacing(ins, outs, length);
      at += length;
    }
    ASSERT_EQ(at, static_cast<VstInt32>(input.size()));
    EXPECT_EQ(pieces, whole) << "factor " << factor;

    effect.set_oversampling(factor);
    std::vector<float> pieces_single(input.size());
    at = 0;
    for (const VstInt32 length : splits) {
      float* ins[] = {const_cast<float*>(single.data()) + at};
      float* outs[] = {pieces_single.data() + at};
      effect.processReplacing(ins, outs, length);
      at += length;
    }
    EXPECT_EQ(pieces_single, whole_single) << "factor " << factor;
  }
}

// Hosts may hand the same buffer as input and output.
TEST_F(Pipeline, ProcessesInPlace) {
  const auto input = sine(700, 2.0);
  const auto separate = run(input);
  effect.set_oversampling(2);
  std::vector<double> buffer(input);
  double* both[] = {buffer.data()};
  effect.processDoubleReplacing(both, both, static_cast<VstInt32>(buffer.size()));
  EXPECT_EQ(buffer, separate);
}

TEST_F(Pipeline, TheClippersPeaksSurviveTheWholeChain) {
  for (int factor : {2, 32}) {
    // Harder drive squares the wave off, and the low-pass's ringing then lifts its peaks.
    for (const auto& [amplitude, peak] : {std::pair{0.1, 0.1}, {0.5, 0.41}, {1.0, 0.46}}) {
      effect.set_oversampling(factor);
      const auto output = run(sine(8820, amplitude));
      double high = 0.0, low = 0.0;
      for (std::size_t i = 4410; i < output.size(); ++i) {
        high = std::max(high, output[i]);
        low = std::min(low, output[i]);
      }
      EXPECT_NEAR(high, peak, 0.015) << "factor " << factor << ", amplitude " << amplitude;
      EXPECT_NEAR(low, -peak, 0.015) << "factor " << factor << ", amplitude " << amplitude;
    }
  }
}

TEST_F(Pipeline, WritesExactlyTheBlockAtEveryFactor) {
  effect.set_oversampling(8);
  std::vector<double> input = sine(100, 1.0), output(110, 42.0);
  double* ins[] = {input.data()};
  double* outs[] = {output.data()};
  largest_allocation = 0;
  effect.processDoubleReplacing(ins, outs, 100);
  // One pass carries each sample through every stage: nothing holds the block at eight times the rate.
  EXPECT_EQ(largest_allocation.load(), 0u);
  for (std::size_t i = 100; i < output.size(); ++i) EXPECT_EQ(output[i], 42.0);
}

TEST_F(Pipeline, NoArrayGrowsWithTheBlockLength) {
  run(sine(512, 1.0));
  long before = allocations.load();
  run(sine(256, 1.0));
  run(sine(512, 1.0));
  EXPECT_EQ(allocations.load() - before, 4) << "only the test's own input and output vectors";
  before = allocations.load();
  run(sine(1024, 1.0));
  EXPECT_EQ(allocations.load() - before, 2) << "only the test's own input and output vectors";
}

TEST_F(Pipeline, NoAllocationInTheAudioPathOnceSized) {
  std::vector<float> input(512), output(512);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(std::sin(0.1 * i));
  float* ins[] = {input.data()};
  float* outs[] = {output.data()};
  effect.set_oversampling(32);
  effect.processReplacing(ins, outs, 512);
  const long before = allocations.load();
  for (int block = 0; block < 1000; ++block) {
    // Both ways a gain arrives: the panel's linear one and the host's value on the dB scale.
    if (block % 2)
      effect.set_gain(1.0f + static_cast<float>(block % 7));
    else
      effect.setParameter(0, 0.5f + 0.05f * static_cast<float>(block % 7));
    effect.processReplacing(ins, outs, block % 3 == 0 ? 512 : 300);
  }
  EXPECT_EQ(allocations.load(), before);
}

TEST_F(Pipeline, EmptyBlocksAreRefusedAndLongOnesRunWhole) {
  std::vector<double> output(4, 42.0);
  const std::vector<double> input(4, 1.0);
  double* ins[] = {const_cast<double*>(input.data())};
  double* outs[] = {output.data()};
  const long before = allocations.load();
  effect.processDoubleReplacing(ins, outs, 0);
  effect.processDoubleReplacing(ins, outs, -5);
  EXPECT_EQ(allocations.load(), before);
  EXPECT_EQ(output, std::vector<double>(4, 42.0));

  // No array holds the block at the high rate, so no block is too long for the chain.
  effect.set_oversampling(32);
  const VstInt32 huge = (1 << 16) + 1;
  std::vector<float> big_in(huge, 0.5f), big_out(huge, 7.0f);
  float* big_ins[] = {big_in.data()};
  float* big_outs[] = {big_out.data()};
  const long before_long = allocations.load();
  effect.processReplacing(big_ins, big_outs, huge);
  EXPECT_EQ(allocations.load(), before_long);
  EXPECT_NE(big_out.back(), 7.0f);
  EXPECT_TRUE(std::isfinite(big_out.back()));
  const auto after = run(sine(64, 1.0));
  EXPECT_TRUE(std::isfinite(after[10]) && after[10] != 0.0) << "the effect stays usable";
}

TEST_F(Pipeline, AnAllocationFailureCannotReachTheAudioPath) {
  const auto input = sine(256, 1.0);
  std::vector<double> output(256, 42.0);
  double* ins[] = {const_cast<double*>(input.data())};
  double* outs[] = {output.data()};
  fail_next_allocation = true;
  effect.processDoubleReplacing(ins, outs, 256);
  EXPECT_TRUE(fail_next_allocation.exchange(false)) << "the block allocated";
  EXPECT_EQ(output, reference_chain<2>(input, 1.0, 44100.0f));
}

TEST_F(Pipeline, TheHostsFloatingPointStateIsRestored) {
  const unsigned host_state = _mm_getcsr();
  _mm_setcsr((host_state & ~0x6000u) | 0x2000u);  // round down, as some hosts leave it
  const unsigned expected = _mm_getcsr();
  run(sine(128, 1.0));
  std::vector<float> single(128, 0.25f);
  run(single);
  EXPECT_EQ(_mm_getcsr(), expected);
  _mm_setcsr(host_state);
}

// Whenever the rebuild lands, each block runs wholly on the old stages or wholly on fresh ones.
TEST_F(Pipeline, ARebuildFromAnotherThreadLandsBetweenBlocks) {
  const auto input = sine(512, 2.0);
  std::vector<double> twice(input);
  twice.insert(twice.end(), input.begin(), input.end());
  const auto old_continued = reference_chain<2>(twice, 1.0, 44100.0f);
  const auto new_continued = reference_chain<8>(twice, 1.0, 44100.0f);
  const std::vector<double> old_second(old_continued.begin() + 512, old_continued.end());
  const std::vector<double> new_first(new_continued.begin(), new_continued.begin() + 512);
  const std::vector<double> new_second(new_continued.begin() + 512, new_continued.end());

  run(input);
  std::thread editor([this] { effect.set_oversampling(8); });
  const auto during = run(input);
  editor.join();
  const auto after = run(input);
  EXPECT_EQ(effect.get_oversampling(), 8);
  if (during == old_second)
    EXPECT_EQ(after, new_first) << "the rebuild landed after the second block";
  else
    EXPECT_TRUE(during == new_first && after == new_second) << "a block mixed old and new stages";
}

}  // namespace
