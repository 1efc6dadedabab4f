#!/usr/bin/env bash
# Builds everything and runs every test: the suites (display-bound ones on a private Xvfb), the
# same suites again under AddressSanitizer and UndefinedBehaviorSanitizer where they do not load
# the web engine, and a bounded run of every fuzz target.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" || exit 1
jobs=${BRV_JOBS:-2}
fuzz_seconds=${BRV_FUZZ_SECONDS:-60}
failed=0
passed=0

run_ctest() {
  local dir=$1; shift
  local out
  out=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure "$@" 2>&1 | tee "$out"
  local p f
  p=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$out" | tail -1)
  if [ -z "$p" ]; then
    failed=$((failed + 1))
  else
    set -- $p
    passed=$((passed + $1 - $2))
    failed=$((failed + $2))
  fi
  rm -f "$out"
}

echo "== build"
"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRV_WERROR=ON \
  -DBRV_BENCH=ON || exit 1
echo "== tests"
run_ctest "$here/build" -j "$jobs"

echo "== sanitizer build"
"$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DBRV_WERROR=ON \
  -DBRV_SANITIZE=ON || exit 1
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run_ctest "$here/build-asan" -j "$jobs"

echo "== fuzz build"
CC=clang CXX=clang++ "$here/scripts/build.sh" "$here/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRV_WERROR=ON -DBRV_SANITIZE=ON -DBRV_FUZZ=ON -DBRV_TESTS=OFF \
  -DBRV_FUZZ_SECONDS="$fuzz_seconds" || exit 1
echo "== fuzzing, ${fuzz_seconds}s a target"
run_ctest "$here/build-fuzz" -j "$jobs"

echo
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
