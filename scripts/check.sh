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

# The fuzz targets for a fixed number of inputs from a fixed seed, about a minute each (clang with
# ASan and UBSan): the same inputs on every run, so the verdict depends on the commit alone.
bash fuzz/run.sh --fixed

# The threaded tests under ThreadSanitizer (the effect's threads, the chunk's and the CLAP
# plug-in's); only their targets are built in this tree.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALTRIM_TSAN=ON -DZALTRIM_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan -j"$jobs" --target hardening_thread_tests hardening_chunk_thread_tests clap_thread_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ZALTRIM_THREAD_SECONDS=5 \
  ctest --test-dir build-tsan -R '^(hardening_(chunk_)?thread_tests|clap_thread_tests)$' --output-on-failure
