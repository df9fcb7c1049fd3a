// ZaltrimChain: the effect's sound, whatever the plug-in format around it: gain at the host rate,
// up-sampling by N, the diode clipper at N times the rate, then the 22 kHz low-pass and
// decimation back to the host rate.
//
// The chain has no lock and no thread of its own. Its format's adapter decides where stages are
// designed (which allocates and runs trigonometry, so never on the audio thread) and when they
// are installed: a swap of three pointers, at a block boundary.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "gain_filter.h"
#include "mono_filter.h"

class ZaltrimChain {
 public:
  // The three stages that depend on the factor and the rate, designed and replaced together.
  struct Stages {
    int factor = 0;
    float rate = 0.0f;
    std::unique_ptr<DSP::MonoFilter<double>> oversampling;
    std::unique_ptr<DSP::MonoFilter<double>> overdrive;
    std::unique_ptr<DSP::MonoFilter<double>> decimation;
  };

  static bool is_valid_factor(int factor);
  // The factors' places in 2, 4, 8, 16, 32: 0 to kFactorCount - 1, for tables with one entry each.
  static constexpr int kFactorCount = 5;
  static int index_of_factor(int factor);
  // Rates hosts run at, 1 kHz to 1 MHz. Far below that the fixed 22 kHz low-pass crowds its
  // poles at the Nyquist frequency and its recursion diverges; NaN is no rate.
  static bool is_valid_rate(float rate);

  // Fresh stages for a valid factor and rate. Allocates.
  static Stages design(int factor, float rate);

  // The delay of the output behind the input, in whole samples at `rate`, for a quiet signal at
  // this factor: measured by running one through a chain of its own. Allocates.
  static int measure_latency(int factor, float rate);
  // measure_latency of every factor, in the order of index_of_factor. Allocates.
  static std::array<int, kFactorCount> measure_latencies(float rate);

  // The gain a dB value stands for, computed in double and narrowed once.
  static float gain_of_db(double db);

  ZaltrimChain(int factor, float rate);

  // Gives `target` the state of `designed`, stages of the same factor and rate: the filters as
  // they were designed, silent, when `designed` never ran. Never allocates.
  static void restore(Stages& target, const Stages& designed);

  // Puts `stages` in force; `stages` then holds the ones they replaced, for the caller to free
  // where freeing is allowed.
  void install(Stages& stages);
  // The stages in force start again from `designed` (their factor and rate): no allocation.
  void restart(const Stages& designed) { restore(stages, designed); }
  int factor() const { return stages.factor; }
  float rate() const { return stages.rate; }

  // Any thread: the linear gain of the next block.
  void set_gain(double gain) { gain_filter.set_gain(gain); }
  double gain() const { return gain_filter.get_gain(); }

  // One block at the host rate. Input and output may be the same buffer. Never allocates.
  void process(const float* input, float* output, std::uint32_t count);
  void process(const double* input, double* output, std::uint32_t count);

 private:
  template <typename Sample>
  void run(const Sample* input, Sample* output, std::uint32_t count);

  DSP::GainFilter<double> gain_filter;
  Stages stages;
};
