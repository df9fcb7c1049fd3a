// The effect's life as hosts drive it, through the built module and the host library: a thousand
// instances made and closed in one process, twenty loads and unloads of the module, and the call
// orders real hosts produce, the wrong ones included. Nothing crashes, nothing grows (this
// executable ends under LeakSanitizer in the sanitizer build, so a leak fails it at exit), and
// processing stays sound.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "test_support.h"
#include "vst_host.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr VstInt32 kFrames = 256;

// Bytes handed out by malloc and not yet freed; under AddressSanitizer its own exact count.
long live_heap_bytes() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
#endif
}

std::vector<double> probe_signal() {
  std::vector<double> input(kFrames);
  for (VstInt32 i = 0; i < kFrames; ++i) input[static_cast<std::size_t>(i)] = 0.8 * std::sin(0.05 * i);
  return input;
}

std::vector<double> process_probe(const zhost::Plugin& plugin) {
  const std::vector<double> input = probe_signal();
  std::vector<double> output(kFrames);
  plugin.process(input.data(), output.data(), kFrames);
  return output;
}

bool sound(const std::vector<double>& output) {
  for (double y : output)
    if (!std::isfinite(y) || std::fabs(y) > 2.0) return false;
  return true;
}

VstIntPtr VSTCALLBACK version_only_host(AEffect* /*effect*/, VstInt32 opcode, VstInt32 /*index*/, VstIntPtr /*value*/,
                                        void* /*ptr*/, float /*opt*/) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// What a host does with an instance from creation to effClose.
void host_session(const zhost::Plugin& plugin) {
  plugin.open();
  plugin.set_sample_rate(48000.0f);
  plugin.set_block_size(kFrames);
  plugin.set_active(true);
  plugin.set_parameter(0, 0.6f);  // +8 dB
  process_probe(plugin);
  plugin.set_chunk(plugin.get_chunk());
  std::vector<float> input(kFrames, 0.5f), output(kFrames);
  plugin.process(input.data(), output.data(), kFrames);
  plugin.set_active(false);
}

class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("DISPLAY"); }

  zhost::Module module{test_support::module_path()};
  zhost::Host host;

  std::unique_ptr<zhost::Plugin> instance() { return std::make_unique<zhost::Plugin>(module, host); }
};

// Each instance gets a host of its own, so that the host's record of callbacks does not grow.
void one_instance(const zhost::Module& module) {
  zhost::Host host;
  zhost::Plugin plugin(module, host);
  host_session(plugin);
}

TEST_F(Lifecycle, AThousandInstancesMadeAndClosedLeaveNothingBehind) {
  for (int i = 0; i < 10; ++i) one_instance(module);
  const long warmed = live_heap_bytes();
  for (int i = 0; i < 1000; ++i) one_instance(module);
  const long growth = live_heap_bytes() - warmed;
  std::printf("live heap growth over 1000 create/use/effClose cycles: %ld bytes\n", growth);
  EXPECT_LT(growth, 4096);
}

TEST(ModuleCycles, TwentyLoadsUseAndUnloadsLeaveNothingBehind) {
  unsetenv("DISPLAY");
  long warmed = 0;
  for (int cycle = 0; cycle < 20; ++cycle) {
    if (cycle == 5) warmed = live_heap_bytes();
    const zhost::Module module(test_support::module_path());
    one_instance(module);
  }
  const long growth = live_heap_bytes() - warmed;
  std::printf("live heap growth over 15 dlopen/use/dlclose cycles: %ld bytes\n", growth);
  EXPECT_LT(growth, 4096);
}

TEST_F(Lifecycle, ProcessingBeforeResumeAndAfterSuspendIsSound) {
  auto plugin = instance();
  const std::vector<double> before_resume = process_probe(*plugin);
  EXPECT_TRUE(sound(before_resume));
  plugin->set_active(false);
  plugin->set_active(false);
  EXPECT_TRUE(sound(process_probe(*plugin)));

  // Resuming only releases the chunk buffer: the chain sounds as if it had never been suspended.
  auto reference = instance();
  process_probe(*reference);
  process_probe(*reference);
  plugin->set_active(true);
  plugin->set_active(true);
  EXPECT_EQ(process_probe(*plugin), process_probe(*reference));
}

TEST_F(Lifecycle, RatesThatAreNoRatesLeaveTheChainAsItWas) {
  const float refused[] = {0.0f,
                           -0.0f,
                           -48000.0f,
                           std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<float>::max()};
  for (float rate : refused) {
    auto plugin = instance();
    auto reference = instance();
    plugin->set_sample_rate(48000.0f);
    reference->set_sample_rate(48000.0f);
    process_probe(*plugin);
    process_probe(*reference);
    plugin->set_sample_rate(rate);
    // A refused rate neither changes the design nor restarts the chain's memory.
    const std::vector<double> output = process_probe(*plugin);
    EXPECT_EQ(output, process_probe(*reference)) << rate;
    EXPECT_TRUE(sound(output)) << rate;
  }
}

TEST_F(Lifecycle, BlocksOfNoFramesAndABlockSizeOfZero) {
  auto plugin = instance();
  plugin->set_block_size(0);
  plugin->set_active(true);
  std::vector<double> input = probe_signal();
  std::vector<double> output(kFrames, 7.0);
  for (VstInt32 frames : {0, -1, std::numeric_limits<VstInt32>::min()}) {
    plugin->process(input.data(), output.data(), frames);
    EXPECT_EQ(output, std::vector<double>(kFrames, 7.0)) << frames;
  }
  EXPECT_TRUE(sound(process_probe(*plugin)));
  plugin->set_block_size(-1);
  EXPECT_TRUE(sound(process_probe(*plugin)));
}

TEST_F(Lifecycle, CloseWithoutOpenAndOpenTwice) {
  AEffect* never_opened = module.entry()(version_only_host);
  ASSERT_NE(never_opened, nullptr);
  EXPECT_EQ(never_opened->dispatcher(never_opened, effClose, 0, 0, nullptr, 0.0f), 1);

  auto plugin = instance();
  plugin->open();
  plugin->open();
  host_session(*plugin);
  EXPECT_TRUE(sound(process_probe(*plugin)));
}

TEST_F(Lifecycle, ChunkRequestsAroundSuspendAndResume) {
  auto plugin = instance();
  const std::vector<unsigned char> fresh = plugin->get_chunk();
  plugin->set_active(false);  // releases the buffer handed out; a new request makes a new one
  EXPECT_EQ(plugin->get_chunk(), fresh);
  plugin->set_active(true);
  plugin->set_active(true);
  EXPECT_EQ(plugin->get_chunk(), fresh);
  EXPECT_TRUE(plugin->set_chunk(fresh));
}

}  // namespace
