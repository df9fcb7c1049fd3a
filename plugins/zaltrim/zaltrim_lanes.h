// ZaltrimLanes<L>: the chain for L channels at once, one lane each. Every lane is that channel's
// ZaltrimChain at the same factor, rate and gain, and gives its output to the last bit; the lanes
// run through the stages in one pass, their clipper iterations interleaved, so that one
// channel's exponentials fill the time another's wait. Built for 1, 2 and 4 lanes.
//
// The stages of every factor are designed up front (a few KB each), so that a plug-in can change
// the factor on its audio thread: select() allocates nothing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "gain_filter.h"
#include "zaltrim_chain.h"

template <int L>
class ZaltrimLanes {
 public:
  // A valid factor and rate (ZaltrimChain's): that factor's stages in force. Allocates.
  ZaltrimLanes(int factor, float rate);
  ~ZaltrimLanes();
  ZaltrimLanes(const ZaltrimLanes&) = delete;
  ZaltrimLanes& operator=(const ZaltrimLanes&) = delete;

  int factor() const;

  // Puts the stages of `factor` (a valid one) in force as designed: every lane starts again from
  // silence, also when the factor is the one in force. Never allocates.
  void select(int factor);

  // The linear gain of the next block, for every lane.
  void set_gain(double gain) { gain_filter.set_gain(gain); }

  // One block of every lane at the host rate: inputs[l] to outputs[l], which may be the same
  // buffer. Never allocates.
  void process(const float* const* inputs, float* const* outputs, std::uint32_t count);
  void process(const double* const* inputs, double* const* outputs, std::uint32_t count);

 private:
  class Stages;
  template <int N>
  class StagesFor;

  // Indexed as ZaltrimChain::index_of_factor; `designed` never runs: select() copies it into
  // `running`.
  std::array<std::unique_ptr<Stages>, ZaltrimChain::kFactorCount> designed;
  std::array<std::unique_ptr<Stages>, ZaltrimChain::kFactorCount> running;
  Stages* in_force = nullptr;
  DSP::GainFilter<double> gain_filter;
};

extern template class ZaltrimLanes<1>;
extern template class ZaltrimLanes<2>;
extern template class ZaltrimLanes<4>;
