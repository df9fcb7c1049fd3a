#!/usr/bin/env bash
# The whole test suite, as CI runs it: installs what is missing, builds with warnings as errors
# under AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build-check -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALTRIM_WERROR=ON -DZALTRIM_SANITIZE=ON >/dev/null
cmake --build build-check -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-check --output-on-failure -j"$jobs"
