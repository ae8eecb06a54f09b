#!/usr/bin/env bash
# package_test.sh -- the Debian package as a player gets it, without installing it: its metadata,
# exactly the player's files, lintian's verdict (copyright, changelog, manual page, the desktop
# entry's command in the package), a valid desktop entry and AppStream entry, the committed icons,
# and the program in it started from the unpacked tree.
#
#   package_test.sh BUILD TESTS
set -euo pipefail
build=$(cd "$1" && pwd) tests=$(cd "$2" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/package-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package test: FAILED: $*" >&2; exit 1; }

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1) ||
  { cat "$scratch/cpack.log" >&2; fail "cpack could not build the package"; }
deb=$(ls "$scratch"/out/viertal_*.deb)
fields=$(dpkg-deb -f "$deb" Package Architecture Section Depends Maintainer)
echo "$fields" | grep -qx "Package: viertal" && echo "$fields" | grep -qx "Section: games" &&
  echo "$fields" | grep -qx "Architecture: $(dpkg --print-architecture)" &&
  echo "$fields" | grep -q "^Depends: .*libsdl2-2\.0-0" && echo "$fields" | grep -q "^Maintainer: .*@" ||
  fail "the package's fields: $fields"

files=$(dpkg-deb -c "$deb" | awk '$6 !~ /\/$/ {print $6}' | sort)
expected=$(printf '%s\n' ./usr/games/viertal ./usr/share/applications/viertal.desktop \
  ./usr/share/doc/viertal/{changelog.gz,copyright} ./usr/share/man/man6/viertal.6.gz \
  ./usr/share/metainfo/org.example.viertal.metainfo.xml \
  ./usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/viertal.png | sort)
[ "$files" = "$expected" ] || fail "the package holds: $files"
# lintian 2.116 has no --allow-root; run as root it only says so on stderr, kept out of a pass.
verdict=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $verdict"

dpkg-deb -x "$deb" "$scratch/root"
desktop-file-validate "$scratch/root/usr/share/applications/viertal.desktop" || fail "the desktop entry is invalid"
grep -qx 'Exec=viertal' "$scratch/root/usr/share/applications/viertal.desktop" || fail "the entry does not start viertal"
appstreamcli validate --no-net "$scratch"/root/usr/share/metainfo/*.xml || fail "the AppStream entry is invalid"
for size in 48 128 256; do
  cmp "$scratch/root/usr/share/icons/hicolor/${size}x${size}/apps/viertal.png" "$tests/../tools/icon/viertal-$size.png" ||
    fail "the ${size} px icon is not the committed one"
done
! ldd "$scratch/root/usr/games/viertal" | grep 'not found' || fail "a library of the program is missing"
/usr/bin/python3 "$tests/window/window_test.py" game_start "$scratch/root/usr/games/viertal" "$tests/golden" ||
  fail "the packaged program did not show its start screen and quit with Escape"
echo "package test: $(basename "$deb") holds the player's files and its program runs"
