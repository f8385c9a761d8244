#!/usr/bin/env bash
# Runs every benchmark in a folder briefly, three times each (the summaries take the best run
# of each side), and collects the summary lines (NAME ours=X openssl=Y ratio=Z) at the end.
set -euo pipefail
dir=$1
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for exe in "$dir"/*_bench; do
  [ -x "$exe" ] || continue
  echo "--- $(basename "$exe")"
  "$exe" --benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_color=false | tee -a "$out"
done
echo "--- summary"
grep -E '^[A-Za-z0-9_]+ ours=' "$out" || true
