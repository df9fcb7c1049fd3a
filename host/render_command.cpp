// `zaltrim-host render`: an audio file (or the built-in phrase) through the plug-in, one effect
// instance per channel, with the plug-in's latency removed as a DAW removes it.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "audio_file.h"
#include "builtin_signal.h"
#include "cli.h"
#include "progress.h"
#include "zaltrim_session.h"

namespace zhost {

namespace {

const char* const kRenderUsage =
    "usage: zaltrim-host render [IN] OUT [options]\n"
    "\n"
    "Renders IN (any file libsndfile reads: WAV, FLAC, AIFF, OGG) through the plug-in into OUT, whose\n"
    "extension (.wav, .flac, .aiff, .ogg) sets the format. Without IN, a built-in phrase of plucked\n"
    "strings is rendered. Each channel gets its own instance of the plug-in.\n"
    "\n"
    "options:\n"
    "  --plugin PATH             the module (default: QtZaltrim.so beside zaltrim-host)\n"
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

struct RenderOptions {
  std::string input;
  std::string output;
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

RenderOptions parse_render(const std::vector<std::string>& args) {
  RenderOptions options;
  std::vector<std::string> files;
  bool gain_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--plugin") {
      options.plugin = option_value(args, i);
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
  if (files.empty()) throw UsageError("render: no output file given");
  if (files.size() > 2) throw UsageError("render: give at most an input and an output file");
  options.output = files.back();
  if (files.size() == 2) options.input = files.front();
  if (options.plugin.empty()) options.plugin = default_plugin_path();
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

}  // namespace

int render_command(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    std::fputs(kRenderUsage, stdout);
    return 0;
  }
  const RenderOptions options = parse_render(args);
  const auto started = std::chrono::steady_clock::now();

  Source source(options.input);
  const int channels = source.channels();
  const int rate = source.sample_rate();
  AudioWriter writer(options.output, output_format(options.output, source.format(), channels, rate), channels, rate);
  Module module(options.plugin);
  Host host;
  ChannelRack rack(module, host, channels, options, static_cast<float>(rate));

  // The plug-in's output lags its input by its latency: drop that many frames at the start and
  // flush as many at the end, so that output frame i lines up with input frame i.
  sf_count_t to_skip = options.compensate_delay ? rack.latency() : 0;
  sf_count_t tail = to_skip;
  Progress progress(options.quiet ? 0 : source.frames());
  std::vector<double> block;
  double input_peak = 0.0, output_peak = 0.0;
  sf_count_t done = 0, written = 0;
  for (;;) {
    sf_count_t frames = source.read(block, options.block);
    if (frames == 0) {
      if (tail == 0) break;
      frames = std::min<sf_count_t>(tail, options.block);
      tail -= frames;
      block.assign(static_cast<std::size_t>(frames * channels), 0.0);
    } else {
      input_peak = peak_of(block, static_cast<std::size_t>(frames * channels), input_peak);
      done += frames;
    }
    rack.process(block, static_cast<VstInt32>(frames));
    const sf_count_t skip = std::min(to_skip, frames);
    to_skip -= skip;
    if (skip > 0) block.erase(block.begin(), block.begin() + skip * channels);
    output_peak = peak_of(block, block.size(), output_peak);
    writer.write(block, frames - skip);
    written += frames - skip;
    progress.update(done);
  }
  writer.commit();
  progress.finish();

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double audio_seconds = static_cast<double>(written) / rate;
  if (!options.quiet)
    std::printf(
        "rendered %s: %lld frames, %d channel%s, %d Hz, oversampling %d, gain %g (%+.1f dB), input peak %.1f dBFS, "
        "output peak %.1f dBFS, %.2f s, %.1fx real time\n",
        options.output.c_str(), static_cast<long long>(written), channels, channels == 1 ? "" : "s", rate,
        options.factor, options.gain, 20.0 * std::log10(options.gain), dbfs(input_peak), dbfs(output_peak), seconds,
        seconds > 0.0 ? audio_seconds / seconds : 0.0);
  return 0;
}

}  // namespace zhost
