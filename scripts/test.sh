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

# Totals over every ctest run, for the closing line.
passed=0
failed=0
run_ctest() {
  local log
  log=$(mktemp)
  local rc=0
  ctest "$@" 2>&1 | tee "$log" || rc=$?
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    local f total
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* tests failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - f))
    failed=$((failed + f))
  fi
  rm -f "$log"
  return $rc
}

step "dependencies"
scripts/setup-deps.sh

step "build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DELM_WARNINGS_AS_ERRORS=ON
cmake --build build -j"$jobs"

step "tests"
run_ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

step "sibling library against the installed package"
rm -rf build/install build/install-moved build/sibling
cmake --install build --prefix "$root/build/install" >/dev/null
# The installed programs run from another prefix than the one they were
# installed to, with the build tree's plug-in out of the way: elm must find
# the host library (through its run path) and the plug-in there. (The
# catalogs could still come from the source tree, which stays.)
mv build/install build/install-moved
plugin=$(ls build/libELMCommands.so.*.*.* | head -n 1)
mv "$plugin" "$plugin.aside"
cp examples/sessions/bicycle.json build/installed-run.json
installed_about=$(cd / && ELM_MODULE=OAK ELMHOST_CATALOG_PATH= "$root/build/install-moved/bin/elm" run ELMAboutCmd \
  --session "$root/build/installed-run.json" 2>&1 || true)
mv "$plugin.aside" "$plugin"
mv build/install-moved build/install
if ! grep -q '"OAK PDM Integration"' <<<"$installed_about"; then
  echo "the installed elm did not run from its own prefix:"
  echo "$installed_about"
  failed=$((failed + 1))
else
  passed=$((passed + 1))
fi
cmake -S examples/sibling -B build/sibling -DCMAKE_PREFIX_PATH="$root/build/install" -DELM_WARNINGS_AS_ERRORS=ON
cmake --build build/sibling -j"$jobs"
run_ctest --test-dir build/sibling --output-on-failure

if [ -z "${ELM_SKIP_SANITIZE:-}" ]; then
  step "tests under AddressSanitizer + UndefinedBehaviorSanitizer"
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DELM_SANITIZE=ON -DELM_BUILD_BENCH=OFF -DELM_WARNINGS_AS_ERRORS=ON
  cmake --build build-asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600
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
    dirs=("$corpus")
    [ -d "$seeds" ] && dirs+=("$seeds")
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${dirs[@]}" > "build-fuzz/$name.log" 2>&1; then
      tail -n 1 "build-fuzz/$name.log"
    else
      tail -n 60 "build-fuzz/$name.log"
      echo "fuzz target $name found a fault (log: build-fuzz/$name.log)"
      exit 1
    fi
  done
fi

step "done"
echo "total: $passed passed, $failed failed"
