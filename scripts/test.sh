#!/usr/bin/env bash
# Installs what is missing, builds Linvar four ways, runs every test, then builds and checks
# the Debian package (tests/package):
#   default  - the normal build, all tests;
#   asan     - AddressSanitizer (with leak checks) and UndefinedBehaviorSanitizer, all tests,
#              and tests/leaks: a leak on purpose that the leak check must report;
#   tsan     - ThreadSanitizer over the core (link, catalogue, workers, tools), no GUI;
#   windows  - cross-built with mingw-w64: the core's tests and linvar-cli.exe under Wine,
#              against the default build's simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# Suppressions name the functions that leak, never a whole library (see tests/lsan.supp).
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

status=0
for preset in default asan tsan windows; do
    echo "=== $preset: configure and build" >&2
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done
for preset in default asan tsan; do
    echo "=== $preset: tests" >&2
    ctest --preset "$preset" -j"$jobs" || status=1
done
echo "=== windows: tests under Wine" >&2
ctest --preset windows || status=1

# The Debian package, built the way scripts/package.sh builds it, and checked.
echo "=== package: build and check" >&2
tests/package/check-package.sh || status=1
exit $status
