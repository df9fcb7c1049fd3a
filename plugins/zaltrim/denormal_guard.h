// DenormalGuard: flush-to-zero and denormals-are-zero for the lifetime of the guard.
//
// A decaying recursion (the low-pass after a loud signal, the clipper's capacitor) reaches
// subnormal numbers, which cost a hundred times more per operation on x86. The host's own
// floating-point control state comes back on every way out of the block.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

class DenormalGuard {
 public:
#if defined(__SSE__) || defined(__x86_64__)
  DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
  ~DenormalGuard() { _mm_setcsr(saved); }
#else
  DenormalGuard() = default;
#endif
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;

 private:
#if defined(__SSE__) || defined(__x86_64__)
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  unsigned saved;
#endif
};
