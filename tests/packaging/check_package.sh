#!/usr/bin/env bash
# The Debian package in a temporary root (dpkg -x): its program answers --version without a
# display, and the menu entry, icons, metainfo and MIME type are where the desktop looks for them.
#   check_package.sh BUILD-FOLDER VERSION
set -u
build=$1
version=$2

debs=("$build"/daduvov_*.deb)
if [ ! -f "${debs[0]}" ]; then
    echo "SKIP: no package in $build (scripts/package.sh builds it)"
    exit 77
fi
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "${debs[0]}" "$root" || { echo "FAIL: dpkg -x"; exit 1; }

failed=0
fail() { echo "FAIL: $*"; failed=1; }

shown=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/daduvov" --version)
status=$?
[ "$status" -eq 0 ] || fail "daduvov --version ended with $status"
[ "$shown" = "Daduvov $version" ] || fail "daduvov --version printed \"$shown\""

share=$root/usr/share
desktop=$share/applications/daduvov.desktop
[ -f "$desktop" ] || fail "no $desktop"
grep -qx 'Exec=daduvov %f' "$desktop" || fail "the menu entry does not start daduvov with a file"
grep -qx 'Icon=daduvov' "$desktop" || fail "the menu entry names another icon"
grep -q '^MimeType=.*application/x-daduvov-schedule;' "$desktop" || fail "the menu entry opens no Schedule file"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
for size in 16 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/daduvov.png
    [ -f "$icon" ] || { fail "no $icon"; continue; }
    # Width and height in the PNG header (bytes 16-23).
    dims=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
    [ "$dims" = "${size}x${size}" ] || fail "$icon is $dims"
done
[ -f "$share/icons/hicolor/scalable/apps/daduvov.svg" ] || fail "no scalable icon"
[ -f "$root/usr/lib/daduvov/libdaduvov_sound.so" ] || fail "no sound module beside the program"
# The module is private (loaded by its path): nothing for ldconfig, so no maintainer scripts.
scripts=$(dpkg-deb --ctrl-tarfile "${debs[0]}" | tar -t | grep -E '(pre|post)(inst|rm)$')
[ -z "$scripts" ] || fail "maintainer scripts in the package:" $scripts
[ -f "$share/metainfo/daduvov.metainfo.xml" ] || fail "no metainfo"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$share/metainfo/daduvov.metainfo.xml" >/dev/null || fail "appstreamcli validate"
fi
grep -q 'application/x-daduvov-schedule' "$share/mime/packages/daduvov.xml" 2>/dev/null || fail "no MIME type"
# The MIME type compiled into a database of its own: a *.SDB file, or an SQLite database holding
# the table 予定表 under any name, is a Schedule file; another SQLite database is not.
if command -v update-mime-database >/dev/null && command -v gio >/dev/null && command -v sqlite3 >/dev/null; then
    update-mime-database "$share/mime" 2>/dev/null || fail "update-mime-database"
    files=$root/files
    mkdir -p "$files"
    sqlite3 "$files/empty.SDB" 'CREATE TABLE t (x);'
    sqlite3 "$files/renamed.db" 'CREATE TABLE 予定表 (年月日 TEXT);'
    sqlite3 "$files/other.db" 'CREATE TABLE t (x);'
    for pair in empty.SDB:application/x-daduvov-schedule renamed.db:application/x-daduvov-schedule \
        other.db:application/vnd.sqlite3; do
        type=$(XDG_DATA_HOME=$share gio info -a standard::content-type "$files/${pair%%:*}" 2>/dev/null |
            sed -n 's/^ *standard::content-type: //p')
        [ "$type" = "${pair#*:}" ] || fail "${pair%%:*} is taken as \"$type\", not ${pair#*:}"
    done
fi
[ -f "$share/doc/daduvov/changelog.Debian.gz" ] || fail "no changelog"
[ -f "$share/doc/daduvov/copyright" ] || fail "no copyright file"

[ "$failed" -eq 0 ] && echo "package contents: all in place"
exit "$failed"
