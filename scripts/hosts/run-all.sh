#!/usr/bin/env bash
# Runs every host script on one module and prints what each found.
#
#   scripts/hosts/run-all.sh [MODULE]   (default build/QtZaltrim.so; results in build/hosts/HOST/)
set -u
HOSTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HOSTS_DIR/../.." && pwd)
MODULE=${1:-$ROOT/build/QtZaltrim.so}
status=0
for host in ardour qtractor; do
  out=$ROOT/build/hosts/$host
  echo "== $host (log: $out/log.txt)" >&2
  # A bound on the whole run, past the script's own waits: it cleans up on SIGTERM.
  timeout -k 20 600 bash "$HOSTS_DIR/$host.sh" "$MODULE" "$out" 2>/dev/null
  code=$?
  ((code == 0)) || status=1
  ((code == 124)) && printf '%s\t%s\t%s\n' "$host" "script" "stopped after 600 s" >>"$out/results.tsv"
done
printf '\n%-9s %-72s %s\n' host check result
for host in ardour qtractor; do
  while IFS=$'\t' read -r name check result; do
    printf '%-9s %-72s %s\n' "$name" "$check" "$result"
  done <"$ROOT/build/hosts/$host/results.tsv"
done
exit "$status"
