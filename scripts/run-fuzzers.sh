#!/usr/bin/env bash
# Runs libFuzzer targets for a bounded time (SECONDS, or FUZZ_SECONDS, default 20), each over a
# copy of its seed corpus (fuzz/corpus/<name>/), so the repository's corpus stays as committed.
# TARGET is one target's executable or a folder of *_fuzz targets, run two at a time.
# Usage: run-fuzzers.sh TARGET [SECONDS]   (ctest -L fuzz runs one entry per target)
set -euo pipefail
target=$1
seconds=${2:-${FUZZ_SECONDS:-20}}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_one() {
  local exe=$1 name
  name=$(basename "$exe")
  mkdir -p "$work/$name"
  if [ -d "$root/fuzz/corpus/$name" ]; then cp -r "$root/fuzz/corpus/$name/." "$work/$name/"; fi
  if "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="$work/$name-" "$work/$name" >"$work/$name.log" 2>&1; then
    echo "fuzz $name: clean after ${seconds}s ($(grep -c '' "$work/$name.log") log lines)"
  else
    echo "fuzz $name: FAILED"; tail -40 "$work/$name.log"; return 1
  fi
}

if [ -f "$target" ]; then
  run_one "$target"
  exit
fi
pids=()
status=0
for exe in "$target"/*_fuzz; do
  [ -x "$exe" ] || continue
  run_one "$exe" & pids+=($!)
  if ((${#pids[@]} == 2)); then
    wait "${pids[0]}" || status=1
    pids=("${pids[1]}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
