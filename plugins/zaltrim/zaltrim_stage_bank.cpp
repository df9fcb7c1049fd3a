#include "zaltrim_stage_bank.h"

#include <utility>

ZaltrimStageBank::ZaltrimStageBank(ZaltrimChain& chain) {
  const float rate = chain.rate();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i].designed = ZaltrimChain::design(kFactors[i], rate);
    entries[i].spare = ZaltrimChain::design(kFactors[i], rate);
    entries[i].latency = ZaltrimChain::measure_latency(kFactors[i], rate);
  }
  selected = index_of(chain.factor());
  Entry& in_force = entries[static_cast<std::size_t>(selected)];
  chain.install(in_force.spare);
  in_force.spare = {};  // the chain's first stages, freed here where freeing is allowed
}

void ZaltrimStageBank::select(ZaltrimChain& chain, int factor) {
  const int wanted = index_of(factor);
  Entry& entry = entries[static_cast<std::size_t>(wanted)];
  if (wanted == selected) {
    chain.restart(entry.designed);
    return;
  }
  ZaltrimChain::restore(entry.spare, entry.designed);
  chain.install(entry.spare);
  // What the chain gave back belongs to the factor that was in force.
  std::swap(entry.spare, entries[static_cast<std::size_t>(selected)].spare);
  selected = wanted;
}

// 2 -> 0, 4 -> 1, ..., 32 -> 4.
int ZaltrimStageBank::index_of(int factor) {
  int index = 0;
  while ((2 << index) < factor) ++index;
  return index;
}
