#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and benchmarks need.
# This is the one place the package list lives; run.sh, test.sh and bench.sh call it.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev qt6-translations-l10n
    libsqlite3-dev sqlite3 libical-dev libbenchmark-dev ccache
    fonts-ipafont-gothic fonts-ipafont-mincho fonts-urw-base35 fonts-dejavu-core
    xvfb xauth xdotool imagemagick pulseaudio pulseaudio-utils dbus
    # the Debian package and its checks (scripts/package.sh); librsvg2-bin renders the icon sizes
    desktop-file-utils appstream lintian shared-mime-info libglib2.0-bin librsvg2-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
