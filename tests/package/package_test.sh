#!/usr/bin/env bash
# Builds the Debian package from this build folder and checks what it holds
# and what it declares, as an administrator's apt would see it.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
out="$build/package-test"
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail "cpack"; }
deb=$(echo "$out"/torvane_*_*.deb)
[ -f "$deb" ] || fail "no torvane_<version>_<arch>.deb in $out"

# The program, its data, the menu entry and its icon; nothing of the build
# (no libraries, headers, tests or benchmark).
files=$(dpkg-deb -c "$deb" | awk '{print $NF}' | grep -v '/$' | sort)
expected="./usr/bin/torvane
./usr/share/applications/torvane.desktop
./usr/share/avelor/backroca.svg
./usr/share/avelor/torvane.svg
./usr/share/doc/torvane/changelog.Debian.gz
./usr/share/doc/torvane/copyright
./usr/share/icons/hicolor/scalable/apps/torvane.svg"
[ "$files" = "$expected" ] || fail "files differ:"$'\n'"$files"
[ "$(dpkg-deb -f "$deb" Package)" = torvane ] || fail "package name"

mkdir -p "$out/root"
dpkg-deb -x "$deb" "$out/root"
# Found from where the program runs, never from where it was built.
for path in "$build" "$source"; do
    ! grep -qaF "$path" "$out/root/usr/bin/torvane" || fail "the program holds the path $path"
done

# Debian's policy: a copyright file, a changelog of this version, a description that says where the data live.
doc="$out/root/usr/share/doc/torvane"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$doc/copyright" || fail "copyright format"
version=$(dpkg-deb -f "$deb" Version)
[ "$(gzip -dc "$doc/changelog.Debian.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ] || fail "changelog is not of $version"
description=$(dpkg-deb -f "$deb" Description)
for engine in SQLite PostgreSQL; do grep -q "$engine" <<<"$description" || fail "description says nothing of $engine"; done

entry="$out/root/usr/share/applications/torvane.desktop"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "desktop entry"; fi
for line in 'Name=Avelor' 'Categories=Office;Finance;' 'Exec=torvane' 'Icon=torvane' 'Name\[zh_CN\]=.*[^ -~].*'; do
    grep -qx "$line" "$entry" || fail "desktop entry has no line $line"
done

depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/[[:space:]]//g')
declared() { grep -qx "$1" <<<"$depends"; }
# What the program loads or shows without linking it.
for package in fonts-wqy-microhei qt6-translations-l10n qt6-wayland libqt6gui6 libqt6svg6 libqt6printsupport6; do
    declared "$package" || fail "$package is not declared"
done
# Every library the program links comes from a declared package.
program="$out/root/usr/bin/torvane"
for lib in $(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
    owners=$(dpkg -S "*/$lib" 2>/dev/null | sed 's/[:,].*//' | sort -u)
    [ -n "$owners" ] || fail "no Debian package holds $lib"
    found=no
    for owner in $owners; do declared "$owner" && found=yes; done
    [ $found = yes ] || fail "$lib comes from $owners, which is not declared"
done
echo "package ok: $(basename "$deb"), $(wc -l <<<"$files") files, Depends: $(dpkg-deb -f "$deb" Depends)"
