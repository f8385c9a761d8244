#!/usr/bin/env bash
# Everything CI checks, in one command: installs what is missing, then builds and tests every
# preset (native, sanitizers, Windows under Wine), runs each fuzz target for a bounded time and
# prints the benchmark summaries.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh

FUZZ_SECONDS=${FUZZ_SECONDS:-20}
export KPV_WINEPREFIX=${KPV_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all

step() { printf '\n=== %s ===\n' "$*"; }

step "format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "every C++ file is formatted"

for preset in native asan windows; do
  step "build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  step "test $preset"
  ctest --preset "$preset"
done

step "fuzz (${FUZZ_SECONDS}s per target)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
bash scripts/run-fuzzers.sh build/fuzz/fuzz "$FUZZ_SECONDS"

if [ -d bench ] && [ -f bench/CMakeLists.txt ]; then
  step "benchmarks"
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j 2
  bash scripts/run-benchmarks.sh build/bench/bench
fi

if [ -x scripts/gui-tests.sh ]; then
  step "GUI tests of the real exe under Xvfb and Wine"
  bash scripts/gui-tests.sh
fi

if [ -x scripts/installer-tests.sh ]; then
  step "installer, uninstaller and portable zip under Xvfb and Wine"
  bash scripts/installer-tests.sh
fi

if [ -x scripts/release-tests.sh ]; then
  step "release: reproducible builds and signing"
  bash scripts/release-tests.sh
fi

step "all checks passed"
