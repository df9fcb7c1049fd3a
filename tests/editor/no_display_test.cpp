// Without an X display the editor cannot open, and says so with 0 to the size and open requests;
// nothing aborts the host, and everything else of the module works. Run with no X server at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "test_support.h"
#include "vst_host.h"
#include "zaltrim_session.h"

namespace {

void expect_editor_refused_and_processing_works() {
  zhost::Module module(test_support::module_path());
  zhost::Host host;
  zhost::Plugin plugin(module, host);
  EXPECT_EQ(plugin.record()->flags & effFlagsHasEditor, effFlagsHasEditor);

  // A host that got a rectangle would make a window for an editor that cannot come.
  ERect* rect = reinterpret_cast<ERect*>(0x1);
  EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
  EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x200001)), 0);
  plugin.dispatch(effEditIdle);
  plugin.dispatch(effEditClose);

  plugin.set_sample_rate(48000.0f);
  plugin.set_block_size(64);
  plugin.set_active(true);
  const float doubled = zhost::zaltrim_parameter_of_gain(2.0f);
  plugin.set_parameter(0, doubled);
  std::vector<float> input(64, 0.1f), output(64, 0.0f);
  plugin.process(input.data(), output.data(), 64);
  plugin.process(input.data(), output.data(), 64);
  EXPECT_GT(output.back(), 0.1f);
  EXPECT_EQ(plugin.get_parameter(0), doubled);
  EXPECT_EQ(plugin.get_chunk().size(), 8u);
}

TEST(NoDisplay, UnsetDisplay) {
  unsetenv("DISPLAY");
  expect_editor_refused_and_processing_works();
}

TEST(NoDisplay, DisplayWithNoServerBehindIt) {
  setenv("DISPLAY", ":917", 1);
  expect_editor_refused_and_processing_works();
}

TEST(NoDisplay, EditCommandFailsWithAClearError) {
  const auto result = test_support::run_command("env -u DISPLAY " + test_support::build_dir() +
                                                "/zaltrim-host edit --close-after-ms 100");
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_NE(result.output.find("cannot open the X display"), std::string::npos) << result.output;
}

}  // namespace
