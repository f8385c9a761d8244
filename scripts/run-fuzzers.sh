#!/usr/bin/env bash
# Runs every libFuzzer target in a folder for a bounded time, two at a time, each over a copy
# of its seed corpus (fuzz/corpus/<name>/), so the repository's corpus stays as committed.
set -euo pipefail
dir=$1
seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_one() {
  local exe=$1 name
  name=$(basename "$exe")
  mkdir -p "$work/$name"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$work/$name/"
  if "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="$work/$name-" "$work/$name" >"$work/$name.log" 2>&1; then
    echo "fuzz $name: clean after ${seconds}s ($(grep -c '' "$work/$name.log") log lines)"
  else
    echo "fuzz $name: FAILED"; tail -40 "$work/$name.log"; return 1
  fi
}

pids=()
status=0
for exe in "$dir"/*_fuzz; do
  [ -x "$exe" ] || continue
  run_one "$exe" & pids+=($!)
  if ((${#pids[@]} == 2)); then
    wait "${pids[0]}" || status=1
    pids=("${pids[1]}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
