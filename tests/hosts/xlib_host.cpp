// A plain Xlib host: one thread loads the module, creates the effect, owns the editor's window and
// drives the editor through its idle calls alone, at about 30 Hz. No toolkit loop runs.
#include <cstdio>
#include <exception>

#include "editor_scenario.h"
#include "test_support.h"
#include "zaltrim_session.h"

int main() {
  try {
    zhost::Module module(test_support::module_path());
    zhost::Host host;
    zhost::Plugin plugin(module, host);
    zhost::start_effect(plugin, 44100.0f, 512, 1.0f, 2);
    host_model::IdleDrivenHost model(plugin, host_model::current_thread(), 33);
    const host_model::Results results = host_model::play_editor_scenario(plugin, model);
    zhost::stop_effect(plugin);
    std::printf("%d passed, %d failed\n", results.passed, results.failed);
    return results.failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "xlib host: %s\n", error.what());
    return 1;
  }
}
