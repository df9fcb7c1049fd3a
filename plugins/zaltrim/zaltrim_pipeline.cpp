// The audio path of the effect. Until the oversampled stages join the chain, a block runs
// through the gain stage alone.
#include <boost/thread/locks.hpp>

#include "zaltrim_effect.h"

bool ZaltrimEffect::build_pipeline(VstInt32 factor) {
  if (!is_valid_factor(factor)) return false;
  boost::mutex::scoped_lock guard(lock);
  oversampling.store(factor);
  buffer_capacity = 0;
  return true;
}

template <typename Sample>
void ZaltrimEffect::process_block(const Sample* input, Sample* output, VstInt32 sampleFrames) {
  if (sampleFrames <= 0) return;
  boost::mutex::scoped_lock guard(lock);
  gain_filter->process(input, output, static_cast<std::uint32_t>(sampleFrames));
}

void ZaltrimEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  process_block(inputs[0], outputs[0], sampleFrames);
}

void ZaltrimEffect::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
  process_block(inputs[0], outputs[0], sampleFrames);
}

void ZaltrimEffect::rebuild_pipeline() { build_pipeline(oversampling.load()); }
