#!/usr/bin/env bash
# Writes data/pinyin.txt, the toneless Mandarin readings the name search uses,
# from Unicode's Unihan database as Debian's unicode-data package ships it.
#
#   scripts/make-pinyin-table.sh [Unihan_Readings.txt.bz2|Unihan.zip]
#
# Readings come from kMandarin (the customary reading), and from kXHC1983 and
# kTGHZ2013 (the modern standard dictionaries), which also list the other
# readings of characters read several ways, such as the surname readings of
# 单 (shan) and 曾 (zeng). Tones are dropped; ü is written v, and also u, as
# people type it either way.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
torvane_install_packages $torvane_pinyin_packages

source_file="${1:-}"
if [ -z "$source_file" ]; then
    for candidate in /usr/share/unicode/Unihan_Readings.txt.bz2 /usr/share/unicode/Unihan.zip; do
        [ -e "$candidate" ] && { source_file="$candidate"; break; }
    done
fi
[ -n "$source_file" ] || { echo "Unihan readings not found (package unicode-data)" >&2; exit 1; }
version="$(dpkg-query -W -f='${Version}' unicode-data 2>/dev/null || echo unknown)"

python3 - "$source_file" "$version" > data/pinyin.txt.part <<'PY'
import bz2, io, sys, unicodedata, zipfile

path, version = sys.argv[1], sys.argv[2]
if path.endswith(".zip"):
    with zipfile.ZipFile(path) as z:
        text = z.read("Unihan_Readings.txt").decode("utf-8")
else:
    text = bz2.open(path, "rt", encoding="utf-8").read()

FIELDS = {"kMandarin", "kXHC1983", "kTGHZ2013"}

def toneless(reading):
    out = []
    for ch in unicodedata.normalize("NFD", reading.lower()):
        if ch == "\u0308":          # the dots of ü
            out[-1] = "v"
        elif not unicodedata.combining(ch):
            out.append(ch)
    word = "".join(out)
    return word if word.isascii() and word.isalpha() else None

readings = {}  # syllable -> set of code points
for line in io.StringIO(text):
    if line.startswith("#") or "\t" not in line:
        continue
    code, field, value = line.rstrip("\n").split("\t", 2)
    if field not in FIELDS:
        continue
    char = int(code[2:], 16)
    for item in value.split():
        # Dictionary fields read "page.position:reading[,reading]".
        for reading in item.split(":")[-1].split(","):
            word = toneless(reading)
            if not word:
                continue
            words = {word}
            if "v" in word:
                words.add(word.replace("v", "u"))
            for w in words:
                readings.setdefault(w, set()).add(char)

print("# Mandarin readings without tones: a syllable, a blank, every character read so.")
print("# From Unihan (kMandarin, kXHC1983, kTGHZ2013), Debian unicode-data %s;" % version)
print("# made by scripts/make-pinyin-table.sh, do not edit by hand.")
for syllable in sorted(readings):
    print(syllable, "".join(chr(c) for c in sorted(readings[syllable])))
PY
mv data/pinyin.txt.part data/pinyin.txt
echo "data/pinyin.txt: $(($(wc -l < data/pinyin.txt) - 3)) syllables, $(wc -c < data/pinyin.txt) bytes"
