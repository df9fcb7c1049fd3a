// The built module's editor as a plain X11 host meets it: a host window made with Xlib, the
// editor opcodes through the host library, and no Qt loop but the host's idle calls.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "test_support.h"
#include "vst_host.h"
#include "x11_support.h"
#include "zaltrim_session.h"

namespace {

using editor_test::HostWindow;
using editor_test::live_heap_bytes;

class ModuleEditor : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window.ok()) << "these tests need an X server (run under xvfb-run)"; }
  void TearDown() override { plugin.dispatch(effEditClose); }

  ERect rect() const {
    ERect* reported = nullptr;
    EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &reported), 1);
    return reported ? *reported : ERect{};
  }
  bool open() const { return plugin.dispatch(effEditOpen, 0, 0, window.handle()) == 1; }
  void idle(int times = 10) const {
    for (int i = 0; i < times; ++i) plugin.dispatch(effEditIdle);
  }

  zhost::Module module{test_support::module_path()};
  zhost::Host host;
  zhost::Plugin plugin{module, host};
  HostWindow window{40, 50, 100, 80};
};

TEST_F(ModuleEditor, HostWindowTakesThePanelSizeAndKeepsItsPlace) {
  const editor_test::Geometry before = window.geometry();
  const ERect asked = rect();
  EXPECT_GT(asked.right, 0) << "hosts size their window from the rect before they open the editor";
  ASSERT_TRUE(open());
  idle();

  const ERect after = rect();
  EXPECT_EQ(after.top, 0);
  EXPECT_EQ(after.left, 0);
  EXPECT_EQ(after.right, asked.right);
  EXPECT_EQ(after.bottom, asked.bottom);
  const editor_test::Geometry fitted = window.geometry();
  EXPECT_EQ(fitted.width, after.right);
  EXPECT_EQ(fitted.height, after.bottom);
  EXPECT_EQ(fitted.x, before.x);
  EXPECT_EQ(fitted.y, before.y);
  EXPECT_EQ(window.children().size(), 1u) << "the panel lives inside the host's window";
}

TEST_F(ModuleEditor, HostGainReachesTheDialOnlyAfterIdleAndStaysAsSet) {
  ASSERT_TRUE(open());
  idle();
  host.clear_calls();
  const float doubled = zhost::zaltrim_parameter_of_gain(2.0f);
  plugin.set_parameter(0, doubled);
  EXPECT_EQ(plugin.get_parameter(0), doubled) << "nothing of the editor runs inside the host's call";
  idle();
  EXPECT_EQ(plugin.get_parameter(0), doubled) << "the dial shows the host's gain without rounding it";
  EXPECT_EQ(host.count(audioMasterAutomate), 0u) << "nor tells it back to the host";
}

TEST_F(ModuleEditor, SecondOpenReplacesTheFirstPanel) {
  ASSERT_TRUE(open());
  ASSERT_TRUE(open());
  idle();
  EXPECT_EQ(window.children().size(), 1u);
  plugin.dispatch(effEditClose);
  EXPECT_TRUE(window.children().empty());
}

TEST_F(ModuleEditor, FiftyOpenCloseCyclesStayFlat) {
  const auto cycle = [this] {
    ASSERT_TRUE(open());
    idle(2);
    plugin.dispatch(effEditClose);
    idle(1);
  };
  for (int i = 0; i < 10; ++i) cycle();
  const std::size_t warmed = live_heap_bytes();
  for (int i = 0; i < 40; ++i) cycle();
  const auto growth = static_cast<long>(live_heap_bytes()) - static_cast<long>(warmed);
  std::printf("live heap growth over 40 open/close cycles: %ld bytes\n", growth);
  EXPECT_LT(growth, 512 * 1024);
  EXPECT_TRUE(window.children().empty());
  ASSERT_TRUE(open());
}

// The host's automation thread, a million changes, with nobody running Qt's events meanwhile:
// with the editor closed, and with it open in a host that sends no idle calls for a while.
TEST_F(ModuleEditor, AutomationWithoutTheEditorRunningQueuesNothing) {
  const auto automate = [this] {
    const std::size_t before = live_heap_bytes();
    std::thread automation([this] {
      for (int i = 0; i < 1000000; ++i) plugin.set_parameter(0, 0.5f + static_cast<float>(i % 7) * 0.01f);
    });
    automation.join();
    return static_cast<long>(live_heap_bytes()) - static_cast<long>(before);
  };
  ASSERT_TRUE(open());
  idle();
  const long growth_open = automate();
  plugin.dispatch(effEditClose);
  const long growth_closed = automate();
  std::printf("live heap growth over 1e6 gain changes: editor open %ld bytes, closed %ld bytes\n", growth_open,
              growth_closed);
  EXPECT_LT(growth_open, 64 * 1024);
  EXPECT_LT(growth_closed, 64 * 1024);

  plugin.set_parameter(0, zhost::zaltrim_parameter_of_gain(0.5f));
  ASSERT_TRUE(open());
  idle();
  EXPECT_EQ(plugin.get_parameter(0), zhost::zaltrim_parameter_of_gain(0.5f)) << "a reopened panel shows it as it is";
}

TEST_F(ModuleEditor, WindowThatDoesNotExistDoesNotTakeTheHostDown) {
  plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x3fffff1));
  idle();
  plugin.dispatch(effEditClose);
  ASSERT_TRUE(open());
  idle();
  EXPECT_EQ(window.children().size(), 1u);
}

TEST_F(ModuleEditor, ProcessingGoesOnWhileTheEditorIsOpen) {
  plugin.set_sample_rate(44100.0f);
  plugin.set_block_size(256);
  plugin.set_active(true);
  ASSERT_TRUE(open());
  std::vector<float> input(256, 0.25f), output(256, 0.0f);
  for (int block = 0; block < 20; ++block) {
    plugin.process(input.data(), output.data(), 256);
    idle(1);
  }
  EXPECT_GT(output.back(), 0.0f);
}

}  // namespace
