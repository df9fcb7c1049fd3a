#include "cli.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace zhost {

std::string default_plugin_path() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return "QtZaltrim.so";
  std::string path(self, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + "QtZaltrim.so";
}

double parse_number(const std::string& option, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != 0 || errno == ERANGE)
    throw UsageError(option + " expects a number, got '" + text + "'");
  return value;
}

long parse_integer(const std::string& option, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != 0 || errno == ERANGE)
    throw UsageError(option + " expects a whole number, got '" + text + "'");
  return value;
}

bool wants_help(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h") return true;
  return false;
}

const std::string& option_value(const std::vector<std::string>& args, std::size_t& i) {
  if (i + 1 >= args.size()) throw UsageError(args[i] + " needs a value");
  return args[++i];
}

}  // namespace zhost
