#!/usr/bin/env bash
# Builds Torvane and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
torvane_install_packages
source scripts/pgcluster.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$PWD/build/xdg-runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# The suites that run on both engines need the server: no server, no green run.
trap torvane_pg_stop EXIT
torvane_pg_start build/pgtest
cd build
ctest --output-on-failure --timeout 60 -j"$(nproc)"
