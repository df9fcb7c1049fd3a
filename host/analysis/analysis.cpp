#include "analysis.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "measures.h"
#include "spectrum.h"
#include "zaltrim_session.h"

namespace zanalysis {

namespace {

constexpr std::size_t kSpectrumLength = 16384;
// The circuit's capacitor and the decimator's low-pass forget their start within a few
// milliseconds; tones are measured only after this.
constexpr double kToneSettleSeconds = 0.05;
constexpr double kTransferSettleSeconds = 0.005;
constexpr double kTransferMeasureSeconds = 0.01;
constexpr double kTransferLowDbfs = -40.0, kTransferHighDbfs = 40.0, kTransferStepDb = 2.0;
constexpr double kTransferHz = 1000.0;
constexpr double kHarmonicHz = 1000.0;
constexpr int kHarmonicFactor = 32;
constexpr int kHighestHarmonic = 9;
// 7 kHz at 44100 Hz: its third harmonic is the last below Nyquist, the fourth and up fold back.
constexpr double kAliasFractionOfRate = 7000.0 / 44100.0;
constexpr std::size_t kLatencyFrames = 8192;
constexpr std::size_t kLatencyMaxLag = 48;
// The noise reaches the circuit at -40 dBFS, where the diodes barely conduct.
constexpr double kLatencyLevel = 0.01;
constexpr std::uint32_t kNoiseSeed = 20240601;
// Spectrum bins per plotted point; each point keeps the loudest of its bins.
constexpr std::size_t kSpectrumBinsPerPoint = 4;

std::size_t frames_for(double seconds, double sample_rate) {
  return static_cast<std::size_t>(std::ceil(seconds * sample_rate));
}

std::vector<SpectrumPoint> thinned_spectrum(const std::vector<double>& spectrum, double fundamental_bin,
                                            double bin_hz) {
  const double reference = spectrum[static_cast<std::size_t>(std::lround(fundamental_bin))];
  std::vector<SpectrumPoint> points;
  for (std::size_t first = 0; first < spectrum.size(); first += kSpectrumBinsPerPoint) {
    const std::size_t last = std::min(spectrum.size(), first + kSpectrumBinsPerPoint);
    const auto loudest = static_cast<std::size_t>(
        std::max_element(spectrum.begin() + static_cast<long>(first), spectrum.begin() + static_cast<long>(last)) -
        spectrum.begin());
    points.push_back({static_cast<double>(loudest) * bin_hz, power_db(spectrum[loudest] / reference)});
  }
  return points;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<long>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

std::vector<double> transfer_levels() {
  std::vector<double> levels;
  for (double level = kTransferLowDbfs; level <= kTransferHighDbfs + 1e-9; level += kTransferStepDb)
    levels.push_back(level);
  return levels;
}

}  // namespace

const std::vector<int>& oversampling_factors() {
  static const std::vector<int> factors = {2, 4, 8, 16, 32};
  return factors;
}

ChainDriver::ChainDriver(const zhost::Plugin& plugin, const AnalysisRequest& request)
    : plugin(plugin), request(request), doubles((plugin.record()->flags & effFlagsCanDoubleReplacing) != 0) {
  const AEffect& record = *plugin.record();
  // The processing calls hand over one channel each way; a wider module would read past them.
  if (record.numInputs != 1 || record.numOutputs != 1)
    throw zhost::HostError("the analysis needs a mono effect (1 input, 1 output); this one has " +
                           std::to_string(record.numInputs) + " inputs and " + std::to_string(record.numOutputs) +
                           " outputs");
  zhost::start_effect(plugin, request.sample_rate, kBlockSize, request.gain, oversampling_factors().front());
}

void ChainDriver::select(int factor) {
  const std::vector<unsigned char> chunk = zhost::zaltrim_chunk(request.gain, factor);
  // A module that answers the chunk but keeps another factor would measure the wrong thing.
  if (!plugin.set_chunk(chunk) || plugin.get_chunk() != chunk)
    throw zhost::HostError("the module did not take oversampling factor " + std::to_string(factor));
}

std::vector<double> ChainDriver::render(const std::vector<double>& input, std::vector<double>* block_seconds) const {
  std::vector<double> output(input.size());
  std::vector<float> in_float, out_float;
  for (std::size_t at = 0; at < input.size(); at += kBlockSize) {
    const std::size_t frames = std::min<std::size_t>(kBlockSize, input.size() - at);
    const auto frames_arg = static_cast<VstInt32>(frames);
    if (!doubles) {
      in_float.assign(input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(at + frames));
      out_float.resize(frames);
    }
    const auto started = std::chrono::steady_clock::now();
    if (doubles)
      plugin.process(input.data() + at, output.data() + at, frames_arg);
    else
      plugin.process(in_float.data(), out_float.data(), frames_arg);
    if (block_seconds)
      block_seconds->push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    if (!doubles) std::copy(out_float.begin(), out_float.end(), output.begin() + static_cast<long>(at));
  }
  return output;
}

std::vector<TransferPoint> measure_transfer(ChainDriver& chain, int factor, double frequency,
                                            const std::vector<double>& input_dbfs) {
  chain.select(factor);
  const std::size_t settle = frames_for(kTransferSettleSeconds, chain.sample_rate());
  const std::size_t measure = frames_for(kTransferMeasureSeconds, chain.sample_rate());
  SineSource sine(frequency, chain.sample_rate());
  std::vector<TransferPoint> points;
  for (double level : input_dbfs) {
    const std::vector<double> output = chain.render(sine.next(std::pow(10.0, level / 20.0), settle + measure));
    points.push_back({factor, level, amplitude_db(peak_from(output, settle))});
  }
  return points;
}

ToneSpectrum measure_tone(ChainDriver& chain, int factor, double frequency, double amplitude) {
  chain.select(factor);
  const std::size_t settle = frames_for(kToneSettleSeconds, chain.sample_rate());
  const double tone = bin_centred_frequency(frequency, chain.sample_rate(), kSpectrumLength);
  const std::vector<double> input = SineSource(tone, chain.sample_rate()).next(amplitude, settle + kSpectrumLength);
  std::vector<double> block_seconds;
  const std::vector<double> output = chain.render(input, &block_seconds);
  const std::vector<double> settled(output.begin() + static_cast<long>(settle), output.end());
  return {tone, power_spectrum(settled), median(block_seconds) * static_cast<double>(block_seconds.size()),
          input.size()};
}

void add_harmonics(const ToneSpectrum& tone, double sample_rate, Figures& figures) {
  const HarmonicFigures harmonics =
      harmonic_figures(tone.spectrum, tone.frequency_hz, sample_rate, kSpectrumLength, kHighestHarmonic);
  figures.harmonic_hz = tone.frequency_hz;
  for (int order = 2; order <= kHighestHarmonic; ++order)
    figures.harmonics.push_back({order, order * tone.frequency_hz, harmonics.levels_dbc[order - 2]});
  figures.thd_percent = harmonics.thd_percent;
  figures.thdn_percent = harmonics.thdn_percent;
  const double bin_hz = sample_rate / static_cast<double>(kSpectrumLength);
  figures.spectrum = thinned_spectrum(tone.spectrum, tone.frequency_hz / bin_hz, bin_hz);
}

AliasingFigure aliasing_figure(const ToneSpectrum& tone, int factor, double sample_rate) {
  const double audio_seconds = static_cast<double>(tone.frames) / sample_rate;
  return {factor, non_harmonic_dbc(tone.spectrum, tone.frequency_hz, sample_rate, kSpectrumLength),
          tone.processing_seconds > 0.0 ? audio_seconds / tone.processing_seconds : 0.0};
}

LatencyFigure measure_latency(ChainDriver& chain, int factor, std::size_t max_lag,
                              std::vector<CorrelationPoint>& correlation) {
  chain.select(factor);
  const std::vector<double> input = white_noise(kLatencyLevel / chain.gain(), kLatencyFrames, kNoiseSeed);
  const DelayFigures delay = measure_delay(input, chain.render(input), max_lag);
  for (std::size_t lag = 0; lag < delay.correlation.size(); ++lag)
    correlation.push_back({factor, static_cast<int>(lag), delay.correlation[lag]});
  return {factor, delay.samples, delay.peak_correlation};
}

Figures analyze(ChainDriver& chain, const std::string& effect_name) {
  Figures figures;
  figures.effect = effect_name;
  figures.gain = chain.gain();
  figures.sample_rate = chain.sample_rate();
  figures.level_dbfs = 0.0;
  figures.block_size = ChainDriver::kBlockSize;
  figures.transfer_hz = kTransferHz;
  figures.harmonic_factor = kHarmonicFactor;
  figures.reported_delay = chain.reported_delay();
  const double amplitude = std::pow(10.0, figures.level_dbfs / 20.0);

  const std::vector<double> levels = transfer_levels();
  for (int factor : oversampling_factors()) {
    const std::vector<TransferPoint> curve = measure_transfer(chain, factor, kTransferHz, levels);
    figures.transfer.insert(figures.transfer.end(), curve.begin(), curve.end());
  }
  add_harmonics(measure_tone(chain, kHarmonicFactor, kHarmonicHz, amplitude), chain.sample_rate(), figures);
  for (int factor : oversampling_factors()) {
    const ToneSpectrum tone = measure_tone(chain, factor, kAliasFractionOfRate * chain.sample_rate(), amplitude);
    figures.alias_hz = tone.frequency_hz;
    figures.aliasing.push_back(aliasing_figure(tone, factor, chain.sample_rate()));
  }
  for (int factor : oversampling_factors())
    figures.latency.push_back(measure_latency(chain, factor, kLatencyMaxLag, figures.correlation));
  return figures;
}

}  // namespace zanalysis
