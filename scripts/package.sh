#!/usr/bin/env bash
# Builds the Debian package in Release (build-package/daduvov_<version>-1_<arch>.deb) and checks
# it: desktop-file-validate, appstreamcli validate, lintian without errors.
#   scripts/package.sh           build and check the package
#   scripts/package.sh --check   also unpack it into a temporary root and start its program there
set -euo pipefail
cd "$(dirname "$0")/.."
check=
case "${1:-}" in
--check) check=1 ;;
"") ;;
*) echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac
scripts/deps.sh

# Debian's hardening flags (fortify, stack protector, relro, bind now) as a Debian build sets them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DDADUVOV_TESTS=OFF -DDADUVOV_WERROR=OFF \
    -DDADUVOV_PACKAGE_CHECK=ON -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
changelog=$(head -n 1 packaging/changelog)
if [[ "$changelog" != "daduvov ($version-"* ]]; then
    echo "packaging/changelog starts with \"$changelog\"; add an entry for version $version" >&2
    exit 1
fi

rm -f build-package/daduvov_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/daduvov_*.deb)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends

echo "== desktop-file-validate, appstreamcli validate"
desktop-file-validate packaging/daduvov.desktop
appstreamcli validate --no-net build-package/packaging/daduvov.metainfo.xml

echo "== lintian"
# Errors fail the build; warnings and notes are shown for the record.
lintian --fail-on error --display-info "$deb"

if [ -n "$check" ]; then
    echo "== install check"
    ctest --test-dir build-package/packaging --output-on-failure
fi
echo "Package: $deb"
