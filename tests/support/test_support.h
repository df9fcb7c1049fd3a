// What the tests that drive built programs share: where the build put them, and running one.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace test_support {

// The folder holding QtZaltrim.so and zaltrim-host, as ctest passes it.
inline std::string build_dir() {
  const char* dir = std::getenv("ZALTRIM_BUILD_DIR");
  return dir ? dir : ".";
}

inline std::string module_path() { return build_dir() + "/QtZaltrim.so"; }

struct CommandResult {
  int status;  // the exit status, or -1 when the command did not exit normally
  std::string output;  // standard output and standard error together
};

inline CommandResult run_command(const std::string& command) {
  CommandResult result{-1, {}};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  while (std::fgets(buffer, sizeof(buffer), pipe)) result.output += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace test_support
