#!/usr/bin/env bash
# Builds Torvane, creates the demo database on first use, and starts the program on it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
torvane_install_packages

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
# Only the program it starts (the tests, benchmark and fuzz helpers are ./test.sh's).
cmake --build build -j"$(nproc)" --target torvane

data_dir="${XDG_DATA_HOME:-$HOME/.local/share}/Avelor"
db="$data_dir/kvora.db"
mkdir -p "$data_dir"
if [ ! -f "$db" ]; then
    ./build/torvane --create-database "$db" --demo
fi
exec ./build/torvane --database "$db" "$@"
