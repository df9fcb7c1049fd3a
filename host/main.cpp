// zaltrim-host: loads a VST 2 module as a DAW does and puts it to work from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "vst_host.h"

namespace {

const char* const kUsage =
    "usage: zaltrim-host <command> [options]\n"
    "\n"
    "Loads a VST 2 module (by default the QtZaltrim.so beside this program) the way a DAW does.\n"
    "\n"
    "commands:\n"
    "  info [PATH]     print what a host learns from the module: identity, counts, flags,\n"
    "                  parameters, program, state chunk and capability answers\n"
    "  render [IN] OUT render an audio file (or a built-in phrase) through the plug-in;\n"
    "                  'render IN... --output-dir DIR' renders many side by side\n"
    "  bench           print the real-time factor of the module at each oversampling factor\n"
    "  analyze         measure transfer curve, harmonics, aliasing and latency; draw them as a PNG\n"
    "  edit            open the plug-in's editor in an X11 window of the host's own\n"
    "\n"
    "Run 'zaltrim-host <command> --help' for the options of a command.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  try {
    if (command == "info") return zhost::info_command(args);
    if (command == "render") return zhost::render_command(args);
    if (command == "bench") return zhost::bench_command(args);
    if (command == "analyze") return zhost::analyze_command(args);
    if (command == "edit") return zhost::edit_command(args);
    throw zhost::UsageError("unknown command '" + command + "'");
  } catch (const zhost::UsageError& error) {
    std::fprintf(stderr, "zaltrim-host: %s\nRun 'zaltrim-host --help' for usage.\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zaltrim-host: %s\n", error.what());
    return 1;
  }
}
