#include "zaltrim_stage_bank.h"

#include <utility>

ZaltrimStageBank::ZaltrimStageBank(ZaltrimChain& chain) : latencies(ZaltrimChain::measure_latencies(chain.rate())) {
  const float rate = chain.rate();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int factor = 2 << i;
    entries[i].designed = ZaltrimChain::design(factor, rate);
    entries[i].spare = ZaltrimChain::design(factor, rate);
  }
  selected = ZaltrimChain::index_of_factor(chain.factor());
  Entry& in_force = entries[static_cast<std::size_t>(selected)];
  chain.install(in_force.spare);
  in_force.spare = {};  // the chain's first stages, freed here where freeing is allowed
}

void ZaltrimStageBank::select(ZaltrimChain& chain, int factor) {
  const int wanted = ZaltrimChain::index_of_factor(factor);
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
