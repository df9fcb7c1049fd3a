// An X server that resets when its last client leaves, and refuses connections while it does
// (Xvfb's default): a host whose first X connection is the plug-in's own asks for the editor's
// size before it has a window. Qt must never meet the server in its reset, which would end the
// host with an abort. Each run has a server of its own; the race is narrow (before the connection
// that finds the display was kept open until Qt had its own, about one run in twenty aborted).
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

TEST(DisplayReset, EditorSizeFirstNeverAbortsTheHost) {
  const std::string command =
      "xvfb-run -a -s '-screen 0 640x480x24' " + test_support::build_dir() + "/zaltrim-host edit --close-after-ms 200";
  for (int run = 0; run < 30; ++run) {
    const auto result = test_support::run_command(command);
    ASSERT_EQ(result.status, 0) << "run " << run << ":\n" << result.output;
  }
}

}  // namespace
