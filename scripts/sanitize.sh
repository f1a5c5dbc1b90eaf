#!/usr/bin/env bash
# Builds every target with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the whole CTest suite under them, leak checking on.
# Neither Qt nor fontconfig reports a leak here (Qt 6.4, offscreen), so no
# suppressions are needed; should a library's own cache ever show up, list it
# in a file named by LSAN_OPTIONS=suppressions=... by its module, never by a
# Qt module (our slots run under Qt's frames, so that would hide our leaks).
# Exits non-zero on any failing test or sanitizer report.
#   SANITIZE_JOBS=2   build and test jobs (default 2: the machine may be busy)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
torvane_install_packages
source scripts/pgcluster.sh

build=build-asan
jobs="${SANITIZE_JOBS:-2}"
start=$(date +%s)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$jobs"
built=$(date +%s)

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$PWD/$build/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The suites that run on both engines need the server, as in ./test.sh.
trap torvane_pg_stop EXIT
torvane_pg_start "$build/pgtest"
cd "$build"
status=0
# The package check is left out: an instrumented build keeps its own paths on purpose.
ctest --output-on-failure -j"$jobs" -E '^package_deb$' || status=$?
end=$(date +%s)

echo "Sanitizer build $((built - start)) s, tests $((end - built)) s, total $((end - start)) s"
exit $status
