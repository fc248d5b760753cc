#!/usr/bin/env bash
# Installs the Debian packages that are missing. This is the one place the package lists live.
#   scripts/deps.sh program   what building and running the program needs (run.sh)
#   scripts/deps.sh           that and what the tests, benchmarks and fuzzing need (test.sh,
#                             bench.sh, fuzz.sh)
set -euo pipefail

# Compiler, CMake, Qt, SQLite and the fonts the windows ask for.
PROGRAM_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev qt6-translations-l10n
    libsqlite3-dev libical-dev qtkeychain-qt6-dev
    fonts-ipafont-gothic fonts-ipafont-mincho fonts-urw-base35 fonts-dejavu-core
)
# Sanitizer runtime, formatting, compiler cache, benchmarks, Python for the layer check, the
# virtual screen and its drivers, the sqlite3 shell and a sound server for the end-to-end tests.
TEST_PACKAGES=(
    clang clang-format libclang-rt-14-dev ccache libbenchmark-dev sqlite3 python3
    xvfb xauth xdotool imagemagick pulseaudio pulseaudio-utils dbus
    # a window manager and xwininfo/xprop, for where windows land on a real X desktop
    openbox x11-utils
    # the system calls of the idle program (bench/measure_process.sh)
    strace
    # zone files for the test of the pinned local zone
    tzdata
    # a Wayland compositor and Qt's Wayland platform, for the program as a native Wayland client
    weston qt6-wayland
    # a CalDAV server, a second client of it, a Secret Service and a certificate for the sync tests
    radicale python3-caldav gnome-keyring apache2-utils openssl
    # the accessibility tree over AT-SPI, read as a screen reader reads it
    at-spi2-core python3-pyatspi
    # the Debian package and its checks (scripts/package.sh); librsvg2-bin renders the icon sizes
    desktop-file-utils appstream lintian shared-mime-info libglib2.0-bin librsvg2-bin
)

case "${1:-all}" in
program) PACKAGES=("${PROGRAM_PACKAGES[@]}") ;;
all) PACKAGES=("${PROGRAM_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
*)
    echo "usage: scripts/deps.sh [program|all]" >&2
    exit 2
    ;;
esac

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
