// What the commands of zaltrim-host share: the usage error, number parsing that names the bad
// value, and where the module is looked for by default.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zhost {

// A mistake in the command line: printed with a hint to --help, exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The module beside the running executable, as the build and the install lay them out.
std::string default_plugin_path();

double parse_number(const std::string& option, const std::string& text);
long parse_integer(const std::string& option, const std::string& text);

// True when the command line asks for a command's help (--help or -h anywhere in it).
bool wants_help(const std::vector<std::string>& args);

// Takes the value of `option` from args[i + 1], advancing i; a missing value is a UsageError.
const std::string& option_value(const std::vector<std::string>& args, std::size_t& i);

int info_command(const std::vector<std::string>& args);
int render_command(const std::vector<std::string>& args);
int bench_command(const std::vector<std::string>& args);
int analyze_command(const std::vector<std::string>& args);
int edit_command(const std::vector<std::string>& args);

}  // namespace zhost
