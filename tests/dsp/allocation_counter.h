// Counts the heap allocations this test program makes, so tests can show that a stage's block
// loop allocates nothing and that a scratch array grows only when it must.
#pragma once

#include <cstdint>

namespace dsp_test {

std::uint64_t allocations_so_far();

// Allocations made since construction.
class AllocationCounter {
 public:
  AllocationCounter() : start(allocations_so_far()) {}
  std::uint64_t count() const { return allocations_so_far() - start; }

 private:
  std::uint64_t start;
};

}  // namespace dsp_test
