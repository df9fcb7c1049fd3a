// A host that opens and closes the editor and then unloads the module, twenty times in one
// process, and then exits: nothing crashes (this executable's exit status counts), and nothing
// grows from one round to the next.
#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"
#include "vst_host.h"
#include "x11_support.h"

namespace {

void load_open_close_unload(const editor_test::HostWindow& window) {
  zhost::Module module(test_support::module_path());
  zhost::Host host;
  zhost::Plugin plugin(module, host);
  ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, window.handle()), 1);
  for (int i = 0; i < 3; ++i) plugin.dispatch(effEditIdle);
  plugin.dispatch(effEditClose);
}

TEST(ModuleUnload, TwentyRoundsOfOpenCloseAndUnload) {
  const editor_test::HostWindow window(10, 10, 200, 150);
  ASSERT_TRUE(window.ok()) << "this test needs an X server (run under xvfb-run)";
  for (int round = 0; round < 5; ++round) load_open_close_unload(window);
  const std::size_t warmed = editor_test::live_heap_bytes();
  for (int round = 0; round < 15; ++round) load_open_close_unload(window);
  const auto growth = static_cast<long>(editor_test::live_heap_bytes()) - static_cast<long>(warmed);
  std::printf("live heap growth over 15 load/open/close/unload rounds: %ld bytes\n", growth);
  EXPECT_LT(growth, 256 * 1024);
}

}  // namespace
