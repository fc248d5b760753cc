#!/usr/bin/env bash
# Installs what the program needs, builds it in build-run/ (optimised, no tests) and starts it.
# The folder is its own: test.sh builds into build/ with its sanitizers and tests, and neither
# script reuses the other's configuration, so they work in either order.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh program
# ccache is not needed, but used when test.sh has installed it.
launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDADUVOV_TESTS=OFF -DDADUVOV_BENCH=OFF \
    -DDADUVOV_SANITIZE=OFF "${launcher[@]}" >/dev/null
cmake --build build-run --target daduvov
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Daduvov is a desktop program and needs a display, but none is set (DISPLAY is empty)." >&2
    echo "On a machine without a screen, start it inside a virtual one:" >&2
    echo "    xvfb-run -s '-screen 0 1280x1024x24' build-run/daduvov" >&2
    exit 1
fi
exec build-run/daduvov "$@"
