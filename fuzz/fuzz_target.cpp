// The libFuzzer entry for one driver, chosen at build time. A failed property aborts, so the
// fuzzer keeps the input as a crash like any memory fault the sanitizers find.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "drivers.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Editor opcodes are driven as in a host that has no display: the editor must refuse to open.
  unsetenv("DISPLAY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string fault = zfuzz::ZALTRIM_FUZZ_DRIVER(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "property failed: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
