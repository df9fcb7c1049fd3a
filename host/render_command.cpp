// `zaltrim-host render`: an audio file (or the built-in phrase), or a batch of files rendered side
// by side, through Zaltrim's chain with the file's channels as its lanes, or through a VST 2
// module with one effect instance per channel; the latency removed as a DAW removes it.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "audio_file.h"
#include "builtin_signal.h"
#include "lane_rack.h"
#include "cli.h"
#include "progress.h"
#include "zaltrim_session.h"

namespace zhost {

namespace {

const char* const kRenderUsage =
    "usage: zaltrim-host render [IN] OUT [options]\n"
    "       zaltrim-host render IN... --output-dir DIR [options]\n"
    "\n"
    "Renders IN (any file libsndfile reads: WAV, FLAC, AIFF, OGG) through the plug-in into OUT, whose\n"
    "extension (.wav, .flac, .aiff, .ogg) sets the format. Without IN, a built-in phrase of plucked\n"
    "strings is rendered. The channels run as the lanes of one chain, four at a time, each exactly as\n"
    "its own instance of the plug-in would render it; with --plugin, each gets an instance of that\n"
    "module, as a DAW runs a mono effect.\n"
    "\n"
    "With --output-dir, every IN is rendered into DIR under its own file name, so in its own format;\n"
    "DIR is made if missing. Files are rendered side by side. A file that fails is reported by name\n"
    "and the others go on; the exit status is then 1. Two inputs with the same file name, or an\n"
    "output that would replace its input, are refused before anything is rendered.\n"
    "\n"
    "options:\n"
    "  --output-dir DIR          render every IN into DIR\n"
    "  --jobs N                  files rendered at once, 1 to 256 (default: the number of cores)\n"
    "  --plugin PATH             render through this VST 2 module (e.g. build/QtZaltrim.so)\n"
    "  --gain G                  input gain, linear, above 0 (default 1)\n"
    "  --gain-db D               input gain in dB (instead of --gain)\n"
    "  --oversampling N          2, 4, 8, 16 or 32 (default 2)\n"
    "  --double                  process in 64-bit floating point\n"
    "  --block N                 frames per block, 1 to 65536 (default 512)\n"
    "  --no-delay-compensation   keep the plug-in's latency in the output\n"
    "  --quiet                   print nothing but errors\n"
    "\n"
    "The gain reaches each instance in its state chunk, as the linear factor, and as its Gain\n"
    "parameter, whose host value is (D + 40) / 80 for D dB, that is (log10 G + 2) / 4 for a linear\n"
    "G: 0 is -40 dB, 0.5 unity, 1 +40 dB. A gain outside -40..+40 dB reads as 0 or 1 there and is\n"
    "kept as the chunk gave it.\n";

// One file to render; an empty input is the built-in phrase.
struct RenderFile {
  std::string input;
  std::string output;
};

struct RenderOptions {
  std::vector<RenderFile> files;
  std::optional<std::string> output_dir;  // given only in the batch form
  unsigned jobs = std::clamp(std::thread::hardware_concurrency(), 1u, 256u);
  std::string plugin;
  double gain = 1.0;
  std::int32_t factor = 2;
  bool use_double = false;
  VstInt32 block = 512;
  bool compensate_delay = true;
  bool quiet = false;
};

double checked_gain(const std::string& option, double gain) {
  if (!std::isfinite(gain) || gain <= 0.0 || !std::isfinite(static_cast<float>(gain)))
    throw UsageError(option + " must give a finite gain above 0, got " + std::to_string(gain));
  return gain;
}

std::vector<RenderFile> one_file(const std::vector<std::string>& files) {
  if (files.empty()) throw UsageError("render: no output file given");
  if (files.size() > 2) throw UsageError("render: give at most an input and an output file");
  return {{files.size() == 2 ? files.front() : std::string(), files.back()}};
}

// Each input keeps its file name in `dir`, so two inputs of the same name would overwrite each other.
std::vector<RenderFile> into_folder(const std::vector<std::string>& inputs, const std::string& dir) {
  if (inputs.empty()) throw UsageError("render: no input file given");
  std::map<std::string, std::string> input_of_name;
  std::vector<RenderFile> files;
  for (const std::string& input : inputs) {
    const std::string name = std::filesystem::path(input).filename().string();
    const std::string output = (std::filesystem::path(dir) / name).string();
    const auto [first, fresh] = input_of_name.emplace(name, input);
    if (!fresh)
      throw UsageError("render: '" + first->second + "' and '" + input + "' would both be rendered into '" + output +
                       "'");
    files.push_back({input, output});
  }
  return files;
}

RenderOptions parse_render(const std::vector<std::string>& args) {
  RenderOptions options;
  std::vector<std::string> files;
  bool gain_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--plugin") {
      options.plugin = option_value(args, i);
    } else if (arg == "--output-dir") {
      options.output_dir = option_value(args, i);
    } else if (arg == "--jobs") {
      const long jobs = parse_integer(arg, option_value(args, i));
      if (jobs < 1 || jobs > 256) throw UsageError("--jobs must be 1 to 256, got " + std::to_string(jobs));
      options.jobs = static_cast<unsigned>(jobs);
    } else if (arg == "--gain" || arg == "--gain-db") {
      if (gain_given) throw UsageError("give either --gain or --gain-db, once");
      gain_given = true;
      const double value = parse_number(arg, option_value(args, i));
      options.gain = checked_gain(arg, arg == "--gain" ? value : std::pow(10.0, value / 20.0));
    } else if (arg == "--oversampling") {
      const long factor = parse_integer(arg, option_value(args, i));
      if (factor != 2 && factor != 4 && factor != 8 && factor != 16 && factor != 32)
        throw UsageError("--oversampling must be 2, 4, 8, 16 or 32, got " + std::to_string(factor));
      options.factor = static_cast<std::int32_t>(factor);
    } else if (arg == "--block") {
      const long block = parse_integer(arg, option_value(args, i));
      if (block < 1 || block > 65536) throw UsageError("--block must be 1 to 65536, got " + std::to_string(block));
      options.block = static_cast<VstInt32>(block);
    } else if (arg == "--double") {
      options.use_double = true;
    } else if (arg == "--no-delay-compensation") {
      options.compensate_delay = false;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      throw UsageError("render: unknown option '" + arg + "'");
    } else {
      files.push_back(arg);
    }
  }
  options.files = options.output_dir ? into_folder(files, *options.output_dir) : one_file(files);
  return options;
}

// Where the samples come from: a file, or the built-in phrase.
class Source {
 public:
  explicit Source(const std::string& path) {
    if (path.empty())
      phrase = builtin_phrase();
    else
      reader = std::make_unique<AudioReader>(path);
  }
  int channels() const { return reader ? reader->channels() : 1; }
  int sample_rate() const { return reader ? reader->sample_rate() : kBuiltinSampleRate; }
  int format() const { return reader ? reader->format() : 0; }
  sf_count_t frames() const { return reader ? reader->frames() : static_cast<sf_count_t>(phrase.size()); }

  sf_count_t read(std::vector<double>& interleaved, sf_count_t frames) {
    if (reader) return reader->read(interleaved, frames);
    const auto count = std::min<sf_count_t>(frames, static_cast<sf_count_t>(phrase.size()) - position);
    interleaved.assign(phrase.begin() + position, phrase.begin() + position + count);
    position += count;
    return count;
  }

 private:
  std::unique_ptr<AudioReader> reader;
  std::vector<double> phrase;
  sf_count_t position = 0;
};

// One plug-in instance per channel, fed de-interleaved blocks.
class ChannelRack {
 public:
  ChannelRack(const Module& module, Host& host, int channels, const RenderOptions& options, float rate)
      : use_double(options.use_double), in_float(static_cast<std::size_t>(options.block)),
        out_float(in_float.size()), in_double(in_float.size()), out_double(in_float.size()) {
    for (int c = 0; c < channels; ++c) {
      plugins.push_back(std::make_unique<Plugin>(module, host));
      start_effect(*plugins.back(), rate, options.block, static_cast<float>(options.gain), options.factor);
    }
  }
  ~ChannelRack() {
    for (auto& plugin : plugins) stop_effect(*plugin);
  }
  VstInt32 latency() const { return plugins.front()->record()->initialDelay; }

  // Processes `frames` interleaved frames in place.
  void process(std::vector<double>& interleaved, VstInt32 frames) {
    const std::size_t channels = plugins.size();
    for (std::size_t c = 0; c < channels; ++c) {
      for (VstInt32 i = 0; i < frames; ++i) {
        const double sample = interleaved[static_cast<std::size_t>(i) * channels + c];
        in_double[static_cast<std::size_t>(i)] = sample;
        in_float[static_cast<std::size_t>(i)] = static_cast<float>(sample);
      }
      if (use_double)
        plugins[c]->process(in_double.data(), out_double.data(), frames);
      else
        plugins[c]->process(in_float.data(), out_float.data(), frames);
      for (VstInt32 i = 0; i < frames; ++i)
        interleaved[static_cast<std::size_t>(i) * channels + c] =
            use_double ? out_double[static_cast<std::size_t>(i)] : out_float[static_cast<std::size_t>(i)];
    }
  }

 private:
  bool use_double;
  std::vector<std::unique_ptr<Plugin>> plugins;
  std::vector<float> in_float, out_float;
  std::vector<double> in_double, out_double;
};

double peak_of(const std::vector<double>& samples, std::size_t count, double peak) {
  for (std::size_t i = 0; i < count; ++i) peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

double dbfs(double peak) { return peak > 0.0 ? 20.0 * std::log10(peak) : -INFINITY; }

struct Rendered {
  sf_count_t frames;
  int channels;
  int rate;
  double input_peak;
  double output_peak;
  double seconds;
};

// Told how many more input frames went through the plug-in, after each block.
using FramesConsumed = std::function<void(sf_count_t)>;

// The blocks of `source` through `rack` into `writer`, which is committed at the end.
template <typename Rack>
Rendered run_blocks(Rack& rack, Source& source, AudioWriter& writer, const RenderOptions& options,
                    const FramesConsumed& consumed) {
  const auto started = std::chrono::steady_clock::now();
  const int channels = source.channels();
  // The plug-in's output lags its input by its latency: drop that many frames at the start and
  // flush as many at the end, so that output frame i lines up with input frame i.
  sf_count_t to_skip = options.compensate_delay ? rack.latency() : 0;
  sf_count_t tail = to_skip;
  std::vector<double> block;
  double input_peak = 0.0, output_peak = 0.0;
  sf_count_t written = 0;
  for (;;) {
    sf_count_t frames = source.read(block, options.block);
    if (frames == 0) {
      if (tail == 0) break;
      frames = std::min<sf_count_t>(tail, options.block);
      tail -= frames;
      block.assign(static_cast<std::size_t>(frames * channels), 0.0);
    } else {
      input_peak = peak_of(block, static_cast<std::size_t>(frames * channels), input_peak);
      consumed(frames);
    }
    rack.process(block, static_cast<VstInt32>(frames));
    const sf_count_t skip = std::min(to_skip, frames);
    to_skip -= skip;
    if (skip > 0) block.erase(block.begin(), block.begin() + skip * channels);
    output_peak = peak_of(block, block.size(), output_peak);
    writer.write(block, frames - skip);
    written += frames - skip;
  }
  writer.commit();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return {written, channels, source.sample_rate(), input_peak, output_peak, seconds};
}

// Through `module` when one is given, one instance per channel; otherwise through the chain.
Rendered render(const Module* module, Source& source, const std::string& output, const RenderOptions& options,
                const FramesConsumed& consumed) {
  const int channels = source.channels();
  const int rate = source.sample_rate();
  AudioWriter writer(output, output_format(output, source.format(), channels, rate), channels, rate);
  if (module) {
    Host host;
    ChannelRack rack(*module, host, channels, options, static_cast<float>(rate));
    return run_blocks(rack, source, writer, options, consumed);
  }
  LaneRack rack(channels, static_cast<float>(rate), options.factor, static_cast<float>(options.gain),
                options.use_double, static_cast<std::uint32_t>(options.block));
  return run_blocks(rack, source, writer, options, consumed);
}

// The module named by --plugin, or none.
std::unique_ptr<Module> module_of(const RenderOptions& options) {
  return options.plugin.empty() ? nullptr : std::make_unique<Module>(options.plugin);
}

void print_summary(const std::string& output, const Rendered& rendered, const RenderOptions& options) {
  const double audio_seconds = static_cast<double>(rendered.frames) / rendered.rate;
  std::printf(
      "rendered %s: %lld frames, %d channel%s, %d Hz, oversampling %d, gain %g (%+.1f dB), input peak %.1f dBFS, "
      "output peak %.1f dBFS, %.2f s, %.1fx real time\n",
      output.c_str(), static_cast<long long>(rendered.frames), rendered.channels, rendered.channels == 1 ? "" : "s",
      rendered.rate, options.factor, options.gain, 20.0 * std::log10(options.gain), dbfs(rendered.input_peak),
      dbfs(rendered.output_peak), rendered.seconds, rendered.seconds > 0.0 ? audio_seconds / rendered.seconds : 0.0);
}

int render_one_file(const RenderOptions& options) {
  const RenderFile& file = options.files.front();
  Source source(file.input);
  const std::unique_ptr<Module> module = module_of(options);
  Progress progress(options.quiet ? 0 : source.frames());
  sf_count_t done = 0;
  const Rendered rendered =
      render(module.get(), source, file.output, options, [&](sf_count_t frames) { progress.update(done += frames); });
  progress.finish();
  if (!options.quiet) print_summary(file.output, rendered, options);
  return 0;
}

// The outputs' folder is made when missing; one that cannot take files is refused before any work
// rather than once per file.
void prepare_output_dir(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw HostError("render: cannot make the folder '" + dir + "': " + error.message());
  if (access(dir.c_str(), W_OK | X_OK) != 0)
    throw HostError("render: cannot write into the folder '" + dir + "': " + std::strerror(errno));
}

// A batch given its inputs' own folder would replace each input with its output.
void refuse_overwriting_inputs(const std::vector<RenderFile>& files) {
  for (const RenderFile& file : files) {
    std::error_code error;
    if (std::filesystem::equivalent(file.input, file.output, error))
      throw UsageError("render: the output of '" + file.input + "' would replace it: choose another --output-dir");
  }
}

// Frames of every input, for the progress of the whole batch; an unreadable input counts none.
std::int64_t total_frames(const std::vector<RenderFile>& files) {
  std::int64_t total = 0;
  for (const RenderFile& file : files) total += frames_in(file.input);
  return total;
}

// What became of one file of a batch: rendered, or the reason it failed.
struct Outcome {
  std::size_t file;
  std::optional<Rendered> rendered;
  std::string error;
};

// Worker threads take the files in turn, each file with its own host and effect instances; only
// the thread that runs the batch prints and draws the progress bar, so that summaries, errors and
// the bar never cut through each other.
class Batch {
 public:
  Batch(const Module* module, const RenderOptions& options) : module(module), options(options) {}

  // Returns the exit status: 1 when any file failed.
  int run() {
    Progress progress(options.quiet ? 0 : total_frames(options.files));
    std::vector<std::thread> workers = start_workers();
    std::size_t reported = 0, failed = 0;
    while (reported < options.files.size()) {
      const std::vector<Outcome> outcomes = take_outcomes();
      progress.update(frames_done);
      if (outcomes.empty()) continue;
      progress.finish();
      for (const Outcome& outcome : outcomes) failed += report(outcome) ? 0 : 1;
      reported += outcomes.size();
    }
    for (std::thread& worker : workers) worker.join();
    if (failed == 0) return 0;
    std::fprintf(stderr, "render: %zu of %zu files failed\n", failed, options.files.size());
    return 1;
  }

 private:
  std::vector<std::thread> start_workers() {
    const std::size_t count = std::min<std::size_t>(options.jobs, options.files.size());
    std::vector<std::thread> workers;
    workers.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      try {
        workers.emplace_back(&Batch::work, this);
      } catch (const std::system_error&) {
        // Fewer threads only make the batch slower: each running one takes files until none are left.
        if (workers.empty()) throw;
        break;
      }
    }
    return workers;
  }

  void work() {
    for (std::size_t i = next_file++; i < options.files.size(); i = next_file++) {
      Outcome outcome{i, std::nullopt, {}};
      try {
        Source source(options.files[i].input);
        outcome.rendered = render(module, source, options.files[i].output, options,
                                  [this](sf_count_t frames) { frames_done += frames; });
      } catch (const std::exception& error) {
        outcome.error = error.what();
      }
      {
        std::lock_guard<std::mutex> guard(lock);
        finished.push_back(std::move(outcome));
      }
      finished_one.notify_one();
    }
  }

  // Waits a tenth of a second at most, so that the bar moves while long files render.
  std::vector<Outcome> take_outcomes() {
    std::unique_lock<std::mutex> guard(lock);
    finished_one.wait_for(guard, std::chrono::milliseconds(100), [this] { return !finished.empty(); });
    return std::exchange(finished, {});
  }

  // Returns false for a failed file.
  bool report(const Outcome& outcome) const {
    const RenderFile& file = options.files[outcome.file];
    if (!outcome.rendered) {
      std::fprintf(stderr, "render: %s: %s\n", file.input.c_str(), outcome.error.c_str());
      return false;
    }
    if (!options.quiet) {
      print_summary(file.output, *outcome.rendered, options);
      std::fflush(stdout);  // in order with the errors on stderr when both go to one file
    }
    return true;
  }

  const Module* module;  // null: the chain
  const RenderOptions& options;
  std::atomic<std::size_t> next_file{0};
  std::atomic<std::int64_t> frames_done{0};
  std::mutex lock;
  std::condition_variable finished_one;
  std::vector<Outcome> finished;  // not reported yet
};

int render_batch(const RenderOptions& options) {
  prepare_output_dir(*options.output_dir);
  refuse_overwriting_inputs(options.files);
  const std::unique_ptr<Module> module = module_of(options);
  return Batch(module.get(), options).run();
}

}  // namespace

int render_command(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    std::fputs(kRenderUsage, stdout);
    return 0;
  }
  const RenderOptions options = parse_render(args);
  return options.output_dir ? render_batch(options) : render_one_file(options);
}

}  // namespace zhost
