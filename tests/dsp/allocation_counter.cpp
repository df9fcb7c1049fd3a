// Counts every allocation of this test program, from its start.
#include "allocation_counter.h"

#include <atomic>

#include "allocation_hook.h"

namespace {

std::atomic<std::uint64_t> allocations{0};

void count(std::size_t) { allocations.fetch_add(1, std::memory_order_relaxed); }

const bool counting = (test_support::set_allocation_hook(count), true);

}  // namespace

namespace dsp_test {

std::uint64_t allocations_so_far() { return allocations.load(std::memory_order_relaxed); }

}  // namespace dsp_test
