#!/usr/bin/env bash
# Runs every host script on one module and prints what each found.
#
#   scripts/hosts/run-all.sh [MODULE]    the VST 2 module (default build/QtZaltrim.so) in Ardour
#                                        and Qtractor; results in build/hosts/HOST/
#   scripts/hosts/run-all.sh lv2 [BUILD] the LV2 bundle of a build folder (default build) in
#                                        Ardour, jalv and Qtractor; results in build/hosts/lv2-HOST/
set -u
HOSTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HOSTS_DIR/../.." && pwd)
if [[ ${1:-} == lv2 ]]; then
  TARGET=${2:-$ROOT/build}
  HOSTS=(lv2-ardour lv2-jalv lv2-qtractor)
else
  TARGET=${1:-$ROOT/build/QtZaltrim.so}
  HOSTS=(ardour qtractor)
fi
status=0
for host in "${HOSTS[@]}"; do
  out=$ROOT/build/hosts/$host
  echo "== $host (log: $out/log.txt)" >&2
  # A bound on the whole run, past the script's own waits: it cleans up on SIGTERM.
  timeout -k 20 600 bash "$HOSTS_DIR/$host.sh" "$TARGET" "$out" 2>/dev/null
  code=$?
  ((code == 0)) || status=1
  ((code == 124)) && printf '%s\t%s\t%s\n' "$host" "script" "stopped after 600 s" >>"$out/results.tsv"
done
printf '\n%-12s %-72s %s\n' host check result
for host in "${HOSTS[@]}"; do
  while IFS=$'\t' read -r name check result; do
    printf '%-12s %-72s %s\n' "$name" "$check" "$result"
  done <"$ROOT/build/hosts/$host/results.tsv"
done
exit "$status"
