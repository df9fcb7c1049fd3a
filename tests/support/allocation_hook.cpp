#include "allocation_hook.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Constant-initialised, so it is there before any static constructor allocates.
std::atomic<test_support::AllocationHook> hook{nullptr};

void* hooked_allocation(std::size_t size) {
  if (const test_support::AllocationHook watch = hook.load()) watch(size);
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

}  // namespace

void test_support::set_allocation_hook(AllocationHook new_hook) { hook.store(new_hook); }

void* operator new(std::size_t size) { return hooked_allocation(size); }
void* operator new[](std::size_t size) { return hooked_allocation(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
