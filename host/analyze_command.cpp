// `zaltrim-host analyze`: measures what the loaded overdrive does and hands the figures to
// zaltrim-report, which draws them; zaltrim-host itself stays free of Qt.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "analysis.h"
#include "cli.h"
#include "summary.h"
#include "zaltrim_session.h"

extern char** environ;

namespace zhost {

namespace {

const char* const kAnalyzeUsage =
    "usage: zaltrim-host analyze [--plugin PATH] [--gain G | --gain-db D] [--sample-rate R]\n"
    "                            [--out FILE.png] [--csv FILE]\n"
    "\n"
    "Drives the module with test signals and measures what the overdrive does at each oversampling\n"
    "factor (2, 4, 8, 16, 32):\n"
    "  transfer   output peak against input peak of a 1 kHz sine, -40 to +40 dBFS in 2 dB steps\n"
    "  harmonics  H2 to H9, THD and THD+N of a settled 1 kHz sine at 0 dBFS (factor 32)\n"
    "  aliasing   energy at no harmonic of a 7 kHz sine at 0 dBFS (at 44100 Hz; the tone scales\n"
    "             with the rate), with the real-time factor of that run\n"
    "  latency    delay of the output behind a noise, against the delay the module reports\n"
    "Prints a summary, draws the four panels into a PNG with zaltrim-report (found beside\n"
    "zaltrim-host) and, with --csv, writes the same figures as CSV.\n"
    "\n"
    "  --plugin PATH     the module (default: the QtZaltrim.so beside zaltrim-host)\n"
    "  --gain G          linear input gain, 0.01 to 100 (default 1)\n"
    "  --gain-db D       input gain in dB, -40 to +40\n"
    "  --sample-rate R   host sample rate in Hz, 22050 to 384000 (default 44100)\n"
    "  --out FILE.png    the report (default report.png)\n"
    "  --csv FILE        also write the figures as CSV\n"
    "\n"
    "The gain reaches the module in its state chunk, as the linear factor, and as its Gain\n"
    "parameter, whose host value is (D + 40) / 80 for D dB, that is (log10 G + 2) / 4 for a linear\n"
    "G: 0 is -40 dB, 0.5 unity, 1 +40 dB.\n";

struct AnalyzeOptions {
  std::string plugin;
  float gain = 1.0f;
  float sample_rate = 44100.0f;
  std::string out = "report.png";
  std::string csv;
};

float gain_option(const std::string& option, const std::string& text) {
  const double value = parse_number(option, text);
  if (option == "--gain-db") {
    if (!(value >= -40.0 && value <= 40.0)) throw UsageError("--gain-db must be -40 to +40, got " + text);
    return static_cast<float>(std::pow(10.0, value / 20.0));
  }
  if (!(value >= 0.01 && value <= 100.0)) throw UsageError("--gain must be 0.01 to 100 (-40 to +40 dB), got " + text);
  return static_cast<float>(value);
}

AnalyzeOptions parse_analyze(const std::vector<std::string>& args) {
  AnalyzeOptions options;
  bool gain_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--plugin") {
      options.plugin = option_value(args, i);
    } else if (arg == "--gain" || arg == "--gain-db") {
      if (gain_given) throw UsageError("give the gain once, as --gain or as --gain-db");
      options.gain = gain_option(arg, option_value(args, i));
      gain_given = true;
    } else if (arg == "--sample-rate") {
      const double rate = parse_number(arg, option_value(args, i));
      if (!(rate >= 22050.0 && rate <= 384000.0))
        throw UsageError("--sample-rate must be 22050 to 384000 Hz, got " + args[i]);
      options.sample_rate = static_cast<float>(rate);
    } else if (arg == "--out") {
      options.out = option_value(args, i);
      if (options.out.empty()) throw UsageError("--out needs a file name");
    } else if (arg == "--csv") {
      options.csv = option_value(args, i);
      if (options.csv.empty()) throw UsageError("--csv needs a file name");
    } else {
      throw UsageError("analyze: unknown option '" + arg + "'");
    }
  }
  if (options.plugin.empty()) options.plugin = default_plugin_path();
  return options;
}

std::string executable_folder() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return "";
  const std::string path(self, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

// A file made under a fresh name, removed again unless it is renamed into place.
class TemporaryFile {
 public:
  // `pattern` ends in "XXXXXX" followed by `suffix_length` characters; `purpose` names the file
  // in an error.
  TemporaryFile(std::string pattern, int suffix_length, const std::string& purpose) : path(std::move(pattern)) {
    const int fd = mkstemps(path.data(), suffix_length);
    if (fd < 0) throw HostError("cannot write " + purpose + ": " + std::strerror(errno));
    // mkstemps makes the file private; the finished file gets the modes any new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
  }
  ~TemporaryFile() {
    if (!path.empty()) unlink(path.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& name() const { return path; }

  void rename_to(const std::string& target) {
    if (std::rename(path.c_str(), target.c_str()) != 0)
      throw HostError("cannot write '" + target + "': " + std::strerror(errno));
    path.clear();
  }

 private:
  std::string path;
};

// A file under a temporary name in the target's own folder (so that the final rename cannot cross
// file systems), to be renamed onto the target once it is complete.
std::unique_ptr<TemporaryFile> beside(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return std::make_unique<TemporaryFile>(folder + "." + name + ".XXXXXX", 0, "'" + target + "'");
}

void write_figures_file(const std::string& path, const zanalysis::Figures& figures) {
  std::ofstream out(path, std::ios::trunc);
  zanalysis::write_figures(out, figures);
  out.flush();
  if (!out) throw HostError("cannot write '" + path + "'");
}

std::string exit_description(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
  return "stopped";
}

// Runs `program` with `arguments` (no shell in between) and waits for it.
void run_program(const std::string& program, std::vector<std::string> arguments) {
  std::fflush(stdout);  // the child shares our stdout; keep the summary ahead of anything it says
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int error = posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error != 0) throw HostError("cannot run '" + program + "': " + std::strerror(error));
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) throw HostError("lost track of '" + program + "': " + std::strerror(errno));
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw HostError("drawing the report failed: " + program + " " + exit_description(status));
}

bool non_empty_file(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

void draw_report(const std::string& report_program, TemporaryFile& image, const std::string& target,
                 const zanalysis::Figures& figures) {
  const char* tmp = std::getenv("TMPDIR");
  TemporaryFile data(std::string(tmp && *tmp ? tmp : "/tmp") + "/zaltrim-figures.XXXXXX.csv", 4,
                     "the figures for zaltrim-report");
  write_figures_file(data.name(), figures);
  run_program(report_program, {report_program, data.name(), image.name()});
  if (!non_empty_file(image.name()))
    throw HostError("drawing the report failed: " + report_program + " wrote no image");
  image.rename_to(target);
}

std::string report_program() {
  const std::string program = executable_folder() + "zaltrim-report";
  if (access(program.c_str(), X_OK) != 0)
    throw HostError("cannot draw the report: no zaltrim-report beside zaltrim-host (looked for '" + program + "')");
  return program;
}

}  // namespace

int analyze_command(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    std::fputs(kAnalyzeUsage, stdout);
    return 0;
  }
  const AnalyzeOptions options = parse_analyze(args);
  // Both checked first: a missing drawer or an output that cannot be written should not cost a
  // whole analysis. The outputs are removed again unless they are finished.
  const std::string drawer = report_program();
  const std::unique_ptr<TemporaryFile> image = beside(options.out);
  const std::unique_ptr<TemporaryFile> csv = options.csv.empty() ? nullptr : beside(options.csv);

  Module module(options.plugin);
  Host host;
  Plugin plugin(module, host);
  zanalysis::ChainDriver chain(plugin, {options.gain, options.sample_rate});
  const zanalysis::Figures figures = zanalysis::analyze(chain, plugin.effect_name());
  stop_effect(plugin);

  std::fputs(zanalysis::summary_text(figures).c_str(), stdout);
  if (csv) {
    write_figures_file(csv->name(), figures);
    csv->rename_to(options.csv);
    std::printf("figures: %s\n", options.csv.c_str());
  }
  draw_report(drawer, *image, options.out, figures);
  std::printf("report: %s\n", options.out.c_str());
  return 0;
}

}  // namespace zhost
