#!/usr/bin/env bash
# Builds the fuzz targets (clang, ASan and UBSan, in build-fuzz) and runs each for the given
# number of seconds from the seed corpus in fuzz/corpus/<target>/. The run works on a copy of the
# corpus, kept in build-fuzz/corpus/<target>/ to grow across runs; a crash fails the run and leaves
# its input in build-fuzz/ (replay it with build-fuzz/fuzz/<target> <file>, then add it to
# tests/hardening/crashes/<target>/).
#   bash fuzz/run.sh 60                  # every target for a minute, as CI does
#   bash fuzz/run.sh 3600 dispatcher     # one target for an hour
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dispatcher chunk process)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALTRIM_FUZZ=ON \
  -DZALTRIM_TESTS=OFF -DZALTRIM_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets >/dev/null

for target in "${targets[@]}"; do
  work=build-fuzz/corpus/$target
  mkdir -p "$work"
  cp -n fuzz/corpus/"$target"/* "$work"/
  log=build-fuzz/$target.log
  # A block costs at most the solver's step limit per sample; 30 s for one input is far beyond.
  if ! build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/"$target"- "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $target: FAILED (log in $log)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz $target: $runs runs in $seconds s, no crash; corpus $(ls "$work" | wc -l) inputs"
done
