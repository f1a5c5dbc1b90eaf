#!/usr/bin/env bash
# Installs the Debian package on a clean Debian 12 the way an administrator
# would (apt-get install ./torvane_*.deb, without recommended packages, so the
# declared dependencies alone must do) and starts torvane there under Xvfb
# with no settings: the database location window must appear, with its
# picture found in the installed data folder.
#
# The clean system is a debootstrap root, not the build machine: only there
# does a missing dependency show. Its base is downloaded once and kept in the
# build folder; a run then takes a minute or two, so it stays out of ./test.sh.
#
# Usage: scripts/package-check.sh [BUILD_DIR]    (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
torvane_install_packages debootstrap xvfb xauth x11-utils imagemagick
[ "$(id -u)" -eq 0 ] || { echo "package-check: needs root (chroot and mounts)" >&2; exit 1; }

build=$(realpath -m "${1:-build}")
work="$build/package-check"
mkdir -p "$work"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target torvane
rm -f "$work"/torvane_*.deb
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(echo "$work"/torvane_*.deb)

# The mirror this machine's apt uses (debootstrap's own default otherwise).
mirror=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $1; exit}')
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
base="$work/bookworm-minbase.tar"
if [ ! -f "$base" ]; then
    echo "package-check: making a clean Debian 12 (once)"
    rm -rf "$work/base"
    debootstrap --variant=minbase bookworm "$work/base" $mirror >"$work/debootstrap.log" 2>&1 \
        || { tail -20 "$work/debootstrap.log"; exit 1; }
    tar -C "$work/base" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf "$work/base"
fi

root="$work/root"
rm -rf "$root"
mkdir -p "$root"
tar -C "$root" -xf "$base"
cp "$deb" "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

display=":$((50 + RANDOM % 40))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
sleep 1

# Everything inside runs in a mount namespace of its own: its mounts go with it.
unshare -m --propagation private bash -s "$root" "$display" "$(basename "$deb")" "$work" <<'INSIDE'
set -euo pipefail
root=$1 display=$2 deb=$3 work=$4
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

echo "package-check: apt-get install ./$deb"
in_root apt-get update -qq >"$work/apt.log" 2>&1
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "/tmp/$deb" \
    >>"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; exit 1; }
in_root torvane --version

# First start: no settings, no database anywhere.
[ ! -e "$root/root/.config/Avelor.ini" ]
mkdir -m 700 "$root/tmp/runtime"
# Started straight from here, so $! is the program itself (chroot and env exec it).
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 DISPLAY="$display" XDG_RUNTIME_DIR=/tmp/runtime \
    torvane >"$work/torvane.log" 2>&1 &
program=$!
shown=no
for _ in $(seq 1 40); do
    if xwininfo -display "$display" -root -tree | grep -q '"设置文件"'; then shown=yes; break; fi
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
sleep 1
import -display "$display" -window root "$work/first-start.png" 2>/dev/null || true
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
if [ $shown = no ]; then
    echo "FAIL: the location window did not appear; the program said:"; cat "$work/torvane.log"; exit 1
fi
if grep -q 'Cannot open file' "$work/torvane.log"; then
    echo "FAIL: the picture or the icon was not found:"; cat "$work/torvane.log"; exit 1
fi
echo "package-check: the location window appeared (screenshot $work/first-start.png)"
INSIDE
echo "package-check: ok"
