#!/usr/bin/env bash
# Builds the fuzz targets (clang, ASan and UBSan, in build-fuzz) and runs each from the seed
# corpus in fuzz/corpus/<target>/, either for the given number of seconds from a seed of the
# clock's, to explore, or with --fixed: from seed 1 for a fixed number of inputs per target, so
# that a commit's result is the same on every run and every machine, however loaded (CI). The run
# works on a copy of the corpus, kept in build-fuzz/corpus/<target>/ to grow across exploring runs;
# a crash fails the run and leaves its input in build-fuzz/ (replay it with
# build-fuzz/fuzz/<target> <file>, then add it to tests/hardening/crashes/<target>/, which the
# replay test runs).
#   bash fuzz/run.sh --fixed             # every target, as CI does (about a minute each)
#   bash fuzz/run.sh 3600 dispatcher     # one target for an hour
set -euo pipefail
cd "$(dirname "$0")/.."

limit=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dispatcher chunk process clap)

# Inputs per target with --fixed: about a minute each under the sanitisers on this project's
# two-core machines (a process input runs the chain on whole blocks, and a clap input designs every
# factor's stages when it activates the plug-in, so these two are the slowest).
declare -A fixed_runs=([dispatcher]=120000 [chunk]=200000 [process]=6000 [clap]=3000)
limits() {
  if [[ $limit == --fixed ]]; then
    echo "-seed=1 -runs=${fixed_runs[$1]}"
  else
    echo "-max_total_time=$limit"
  fi
}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALTRIM_FUZZ=ON \
  -DZALTRIM_TESTS=OFF -DZALTRIM_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets >/dev/null

for target in "${targets[@]}"; do
  work=build-fuzz/corpus/$target
  mkdir -p "$work"
  cp -n fuzz/corpus/"$target"/* "$work"/
  log=build-fuzz/$target.log
  # A block costs at most the solver's step limit per sample; 30 s for one input is far beyond.
  # shellcheck disable=SC2046
  if ! build-fuzz/fuzz/"$target" $(limits "$target") -timeout=30 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/"$target"- "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $target: FAILED (log in $log)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  echo "fuzz $target: $runs runs in ${seconds:-$limit} s, no crash; corpus $(ls "$work" | wc -l) inputs"
done
