#include "builtin_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zhost {

namespace {

// One plucked string: a burst of noise circulating in a delay line of one period, averaged at
// each pass so that the high partials die first (the classic plucked-string model).
void pluck(std::vector<double>& out, std::size_t start, double frequency, double seconds, std::uint32_t seed) {
  const auto period = static_cast<std::size_t>(kBuiltinSampleRate / frequency);
  std::vector<double> line(period);
  for (double& sample : line) {
    seed = seed * 1664525u + 1013904223u;
    sample = static_cast<double>(seed >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
  }
  const auto length = static_cast<std::size_t>(seconds * kBuiltinSampleRate);
  for (std::size_t i = 0; i < length && start + i < out.size(); ++i) {
    const std::size_t k = i % period;
    const double next = line[(k + 1) % period];
    out[start + i] += line[k];
    line[k] = 0.498 * (line[k] + next);
  }
}

}  // namespace

std::vector<double> builtin_phrase() {
  // A minor riff: root and fifth, then a rising line, then the chord rung out.
  struct Note {
    double at_seconds;
    double frequency;
    double length;
  };
  const Note notes[] = {{0.00, 110.00, 1.2}, {0.00, 164.81, 1.2}, {0.50, 110.00, 0.8}, {0.75, 130.81, 0.8},
                        {1.00, 146.83, 0.8}, {1.25, 164.81, 0.9}, {1.60, 196.00, 0.9}, {2.00, 220.00, 2.0},
                        {2.00, 164.81, 2.0}, {2.00, 110.00, 2.0}, {2.00, 261.63, 2.0}};
  std::vector<double> phrase(static_cast<std::size_t>(4.0 * kBuiltinSampleRate), 0.0);
  std::uint32_t seed = 12345;
  for (const Note& note : notes) {
    pluck(phrase, static_cast<std::size_t>(note.at_seconds * kBuiltinSampleRate), note.frequency, note.length, seed);
    seed += 7919;
  }
  double peak = 0.0;
  for (double sample : phrase) peak = std::max(peak, std::fabs(sample));
  for (double& sample : phrase) sample *= 0.5 / peak;
  return phrase;
}

}  // namespace zhost
