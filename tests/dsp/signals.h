// Test signals shared by the DSP tests: reproducible noise and sines.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace dsp_test {

// Uniform noise in [-amplitude, amplitude) from a fixed-seed linear congruential generator, the
// same sequence on every platform.
inline std::vector<double> noise(std::size_t length, double amplitude = 1.0, std::uint64_t seed = 12345) {
  std::vector<double> samples(length);
  for (double& sample : samples) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    sample = amplitude * (static_cast<double>(seed >> 11) * (2.0 / 9007199254740992.0) - 1.0);
  }
  return samples;
}

inline std::vector<double> sine(std::size_t length, double frequency, double sample_rate, double amplitude) {
  std::vector<double> samples(length);
  for (std::size_t n = 0; n < length; ++n) {
    samples[n] = amplitude * std::sin(2.0 * 3.141592653589793 * frequency * static_cast<double>(n) / sample_rate);
  }
  return samples;
}

inline std::vector<float> to_float(const std::vector<double>& samples) {
  return std::vector<float>(samples.begin(), samples.end());
}

inline std::vector<double> to_double(const std::vector<float>& samples) {
  return std::vector<double>(samples.begin(), samples.end());
}

inline std::uint32_t count_of(const std::vector<double>& samples) { return static_cast<std::uint32_t>(samples.size()); }
inline std::uint32_t count_of(const std::vector<float>& samples) { return static_cast<std::uint32_t>(samples.size()); }

}  // namespace dsp_test
