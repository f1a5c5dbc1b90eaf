#!/usr/bin/env bash
# The long crash run: kills torvane-crashdriver at least 1,000 times at random
# moments inside the program's multi-statement commands (points clearing,
# transfers, customer delete, refund/void with its log row) and checks the
# database after every kill. Same test as ./test.sh
# runs, with many more kills.
#
#   scripts/crash-long.sh [KILLS]      (default 1000; or TORVANE_CRASH_KILLS)
#
# TORVANE_CRASH_SEED replays a run; without it a fresh seed is drawn and
# printed. TORVANE_BUILD_DIR names the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."

kills=${1:-${TORVANE_CRASH_KILLS:-1000}}
seed=${TORVANE_CRASH_SEED:-$(( (RANDOM << 15) | RANDOM ))}
build=${TORVANE_BUILD_DIR:-build}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
# Two jobs at most: the machine may be busy with other work.
if ! buildlog=$(cmake --build "$build" -j2 --target tst_crash torvane-crashdriver 2>&1); then
    echo "$buildlog"
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$PWD/$build/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "crash-long: $kills kills, seed $seed"
status=0
TORVANE_CRASH_KILLS=$kills TORVANE_CRASH_SEED=$seed "$build/tests/tst_crash" >"$log" 2>&1 || status=$?

grep -E '^(FAIL|QWARN|   Loc)' "$log" || true
if ! grep -q '^Totals:' "$log"; then
    cat "$log"
    echo "crash-long: the test did not finish (exit $status)"
    exit 1
fi
echo
echo "seed    $seed"
# One line per kind of command: kills, how many fell inside a command, how many of those committed whole.
sed -n 's/^QINFO  : CrashTest::killDuringCommand([^)]*) /  /p' "$log"
grep '^Totals:' "$log"
if [ "$status" -ne 0 ]; then
    echo "crash-long: FAILED (exit $status); replay with TORVANE_CRASH_SEED=$seed $0 $kills"
    exit "$status"
fi
echo "crash-long: passed"
