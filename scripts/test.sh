#!/usr/bin/env bash
# The whole check, from a fresh machine: install what is missing, build,
# run every test, build a sibling library against the installed package,
# run the suite again under AddressSanitizer + UndefinedBehaviorSanitizer,
# and run each fuzz target for a short, bounded time.
#
#   scripts/test.sh            everything
#   ELM_SKIP_SANITIZE=1 ...    skip the sanitizer build
#   ELM_SKIP_FUZZ=1 ...        skip the fuzz targets
#   ELM_FUZZ_SECONDS=N ...     seconds per fuzz target (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n=== %s ===\n' "$*"; }

step "dependencies"
scripts/setup-deps.sh

step "build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DELM_WARNINGS_AS_ERRORS=ON
cmake --build build -j"$jobs"

step "tests"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

step "sibling library against the installed package"
rm -rf build/install build/sibling
cmake --install build --prefix "$root/build/install" >/dev/null
cmake -S examples/sibling -B build/sibling -DCMAKE_PREFIX_PATH="$root/build/install" -DELM_WARNINGS_AS_ERRORS=ON
cmake --build build/sibling -j"$jobs"
ctest --test-dir build/sibling --output-on-failure

if [ -z "${ELM_SKIP_SANITIZE:-}" ]; then
  step "tests under AddressSanitizer + UndefinedBehaviorSanitizer"
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DELM_SANITIZE=ON -DELM_BUILD_BENCH=OFF -DELM_WARNINGS_AS_ERRORS=ON
  cmake --build build-asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600
fi

if [ -z "${ELM_SKIP_FUZZ:-}" ] && [ -d fuzz ]; then
  step "fuzz targets"
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DELM_BUILD_FUZZ=ON \
    -DELM_BUILD_TESTS=OFF -DELM_BUILD_BENCH=OFF -DELM_BUILD_TOOLS=OFF
  cmake --build build-fuzz -j"$jobs"
  seconds=${ELM_FUZZ_SECONDS:-20}
  for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="fuzz/corpus/${name#fuzz_}"
    echo "--- $name (${seconds}s)"
    if [ -d "$seeds" ]; then
      "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$corpus" "$seeds"
    else
      "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$corpus"
    fi
  done
fi

step "done"
