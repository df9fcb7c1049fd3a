// ZaltrimStageBank: the stages of every factor at one rate, designed once, so that a plug-in can
// change the factor on its audio thread. A set is about 2 KB and nothing in it grows with the
// block or the factor, so keeping all five costs little, and a change needs no worker thread:
// select() resets the chosen set to its design and swaps it in, without allocating or locking.
#pragma once

#include <array>

#include "zaltrim_chain.h"

class ZaltrimStageBank {
 public:
  // Designs every factor's stages at the chain's rate, measures each one's latency and puts the
  // chain's own factor's set in force. Allocates.
  explicit ZaltrimStageBank(ZaltrimChain& chain);

  // Puts the stages of `factor` (a valid one) in force in `chain`, as designed: the chain starts
  // again from silence, also when the factor is the one in force. Never allocates.
  void select(ZaltrimChain& chain, int factor);

  // The delay of the chain's output at `factor`, in whole samples at the bank's rate.
  int latency(int factor) const { return latencies[ZaltrimChain::index_of_factor(factor)]; }

 private:
  // The designed set is never run: it is what select() copies into the spare set before the
  // spare goes in. The spare of the factor in force is empty, its stages being the chain's.
  struct Entry {
    ZaltrimChain::Stages designed;
    ZaltrimChain::Stages spare;
  };
  std::array<Entry, ZaltrimChain::kFactorCount> entries;
  std::array<int, ZaltrimChain::kFactorCount> latencies;
  int selected = 0;
};
