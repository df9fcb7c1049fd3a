// MonoFilter: the block interface every stage of the chain implements.
//
// A stage reads `count` input samples and writes its output (count, count x N or count / N
// samples, depending on the stage) into a buffer the caller owns and sizes. Float inputs are
// widened to double on entry and float outputs rounded to nearest on exit, so one stage can sit
// directly on a host's single-precision buffers. The virtual call happens once per block.
#pragma once

#include <cstdint>

namespace DSP {

template <typename T>
class MonoFilter {
 public:
  virtual ~MonoFilter() = default;

  virtual void process(const double* input, double* output, std::uint32_t count) = 0;
  virtual void process(const float* input, double* output, std::uint32_t count) = 0;
  virtual void process(const double* input, float* output, std::uint32_t count) = 0;
  virtual void process(const float* input, float* output, std::uint32_t count) = 0;

 protected:
  MonoFilter() = default;
  MonoFilter(const MonoFilter&) = default;
  MonoFilter& operator=(const MonoFilter&) = default;
};

}  // namespace DSP
