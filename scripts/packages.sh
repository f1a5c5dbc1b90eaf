# Installs the Debian packages Torvane needs, only when something is missing.
# Sourced by run.sh and test.sh.
torvane_packages="cmake g++ make pkg-config qt6-base-dev qt6-svg-dev libx11-dev libsqlite3-dev libsodium-dev sqlite3 postgresql libpq-dev fontconfig fonts-wqy-microhei poppler-utils qt6-translations-l10n libxlsxwriter-dev unzip openssl"
# The Debian package: CPack reads the linked libraries with dpkg-shlibdeps and file.
torvane_packages+=" dpkg-dev file desktop-file-utils"

torvane_install_packages() {
    local missing=()
    for p in $torvane_packages "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Only for regenerating data/pinyin.txt (scripts/make-pinyin-table.sh).
torvane_pinyin_packages="unicode-data python3"
