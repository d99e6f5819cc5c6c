#!/usr/bin/env bash
# Installs what is needed, checks the formatting, builds everything, and runs every test: the
# optimised build first, then the sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer),
# then a short run of every fuzz target (clang's libFuzzer with both sanitizers), then the two
# Debian packages: built hardened, checked by lintian, installed, run and removed.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

echo "== Formatting == (${SECONDS}s)"
./scripts/check-format.sh

jobs=${JOBS:-2}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-2}

echo "== Build (ci) == (${SECONDS}s)"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
echo "== Tests (ci) == (${SECONDS}s)"
ctest --preset ci --timeout 600

echo "== Build (asan) == (${SECONDS}s)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
echo "== Tests (asan) == (${SECONDS}s)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset asan --timeout 900 -LE no-asan

echo "== Fuzz (short run of every target) == (${SECONDS}s)"
./scripts/fuzz.sh "${FUZZ_SECONDS:-10}"

echo "== Packages (hardened build, lintian, install and remove) == (${SECONDS}s)"
./scripts/package.sh
./scripts/check-packages.sh
echo "== Done (${SECONDS}s) =="
