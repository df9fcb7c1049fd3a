// The global allocation functions of a test program, replaced so that its tests can watch them:
// every operator new first calls the hook installed, if any, which may count the allocation or
// refuse it by throwing std::bad_alloc. A program that uses this compiles allocation_hook.cpp
// among its own sources.
#pragma once

#include <cstddef>

namespace test_support {

using AllocationHook = void (*)(std::size_t size);

// Any thread, at any time, static initialisation included.
void set_allocation_hook(AllocationHook hook);

}  // namespace test_support
