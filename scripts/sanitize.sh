#!/usr/bin/env bash
# Builds every target with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the whole CTest suite under them. Leak checking stays on;
# only leaks whose every frame is inside Qt's, fontconfig's or the X libraries'
# own start-up caches are suppressed (see the list below). Exits non-zero on
# any failing test or sanitizer report.
#   SANITIZE_JOBS=2   build and test jobs (default 2: the machine may be busy)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
torvane_install_packages

build=build-asan
jobs="${SANITIZE_JOBS:-2}"
start=$(date +%s)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$jobs"
built=$(date +%s)

# Leaks of libraries we do not build: they keep caches for the life of the
# process and free them (or not) at exit. A leak with any frame of ours in
# its stack is not matched by these and is reported.
supp="$PWD/$build/lsan.supp"
cat >"$supp" <<'EOF'
leak:libfontconfig.so
leak:libfreetype.so
leak:libQt6Gui.so
leak:libQt6Widgets.so
leak:libQt6Core.so
leak:libQt6PrintSupport.so
leak:libQt6Svg.so
leak:libX11.so
leak:libxcb.so
leak:libglib-2.0.so
leak:libdbus-1.so
EOF

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$PWD/$build/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cd "$build"
status=0
ctest --output-on-failure -j"$jobs" || status=$?
end=$(date +%s)

echo "Sanitizer build $((built - start)) s, tests $((end - built)) s, total $((end - start)) s"
exit $status
