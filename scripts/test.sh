#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and
# AddressSanitizer + UndefinedBehaviorSanitizer, checks the formatting and the source layers and
# runs every test. `scripts/test.sh --quick` leaves out the tests labelled slow (those that start
# the whole program, a crashing writer, a display server or a sound server); other arguments go
# to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=()
if [ "${1:-}" = "--quick" ]; then
    quick=(-LE slow)
    shift
fi
scripts/deps.sh

files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run -Werror $files
# Each folder of src/ includes only its own layer and those below; SQL stays in the store.
python3 scripts/check_layers.py

# ccache keeps compiled objects across build folders and clones (paths taken relative to the clone).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
# Every option is given, so a folder configured otherwise before is set right again.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDADUVOV_TESTS=ON -DDADUVOV_SANITIZE=ON -DDADUVOV_WERROR=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A run that finds no tests is a failure, not a green result.
ctest --test-dir build --output-on-failure --no-tests=error -j2 "${quick[@]}" "$@"
