#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# A build folder made by test.sh is reused as it is (with its sanitizers).
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDADUVOV_TESTS=OFF >/dev/null
cmake --build build --target daduvov
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Daduvov is a desktop program and needs a display, but none is set (DISPLAY is empty)." >&2
    echo "On a machine without a screen, start it inside a virtual one:" >&2
    echo "    xvfb-run -s '-screen 0 1280x1024x24' build/daduvov" >&2
    exit 1
fi
exec build/daduvov
