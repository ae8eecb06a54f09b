#!/usr/bin/env bash
# package_test.sh -- checks what a player installs: the files `cmake --install` lays out, and the
# Debian package installed into the system, started under Xvfb and quit with Escape.
#
#   package_test.sh layout BUILD SOURCE   install into a scratch prefix, check every file
#   package_test.sh deb BUILD SOURCE      build the .deb, apt-get install it, check, run, remove
#
# The deb mode needs root (or password-less sudo). Elsewhere it is skipped (exit 77), except in
# CI (CI=true), where a skipped package test would hide a broken package: there it fails.
set -euo pipefail
mode=$1 build=$(cd "$2" && pwd) source=$(cd "$3" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/package-test.XXXXXX")
chmod 755 "$scratch" # apt's download user must be able to read the package file
installed_by_us=0
run_as_root=()

fail() { echo "package test: FAILED: $*" >&2; exit 1; }

cleanup() {
  if [ $installed_by_us = 1 ]; then
    DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get remove -y -qq -o DPkg::Lock::Timeout=120 viertal \
      >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# Checks the player's files under PREFIX: the program, the desktop entry and the three icons.
check_files() {
  local prefix=$1
  [ -x "$prefix/bin/viertal" ] || fail "$prefix/bin/viertal missing or not executable"
  local desktop=$prefix/share/applications/viertal.desktop
  [ -f "$desktop" ] || fail "$desktop missing"
  grep -qx 'Name=Viertal' "$desktop" || fail "desktop entry without Name=Viertal"
  grep -qx 'Comment=Vier op een rij tegen de computer' "$desktop" || fail "desktop entry without its Dutch comment"
  grep -qx 'Exec=viertal' "$desktop" || fail "desktop entry does not start viertal"
  grep -qx 'Icon=viertal' "$desktop" || fail "desktop entry without Icon=viertal"
  grep -Eqx 'Categories=(.*;)?Game;(.*)?' "$desktop" || fail "desktop entry not in the Game category"
  if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  fi
  local size
  for size in 48 128 256; do
    local icon=$prefix/share/icons/hicolor/${size}x${size}/apps/viertal.png
    [ -f "$icon" ] || fail "$icon missing"
    cmp -s "$icon" "$source/tools/icon/viertal-$size.png" || fail "$icon is not the committed ${size} px icon"
  done
}

layout() {
  cmake --install "$build" --prefix "$scratch/prefix" --component viertal >/dev/null
  check_files "$scratch/prefix"
  echo "package test: install layout complete"
}

# Starts the installed program under Xvfb with "temp" in a scratch folder, waits for its window,
# sends Escape and checks exit code 0 and the picture file written at start-up.
run_installed() {
  mkdir -p "$scratch/temp"
  bash "$source/scripts/with-xvfb" bash -c '
    set -u
    temp_dir=$1
    temp=$temp_dir SDL_AUDIODRIVER=dummy /usr/bin/viertal >"$temp_dir/out.log" 2>&1 &
    pid=$!
    window=
    for _ in $(seq 150); do
      window=$(xdotool search --onlyvisible --name "^viertal\$" 2>/dev/null | head -1) && [ -n "$window" ] && break
      kill -0 $pid 2>/dev/null || break
      sleep 0.1
    done
    if [ -z "$window" ]; then
      echo "no window named viertal appeared; program output:" >&2; cat "$temp_dir/out.log" >&2
      kill $pid 2>/dev/null; exit 1
    fi
    size=$(stat -c %s "$temp_dir/ZAQT.bmp" 2>/dev/null || echo none)
    [ "$size" = 921656 ] || { echo "picture file in temp: size $size, expected 921656" >&2; kill $pid; exit 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    sleep 0.2
    xdotool key Escape
    for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then
      echo "viertal still runs 10 s after Escape" >&2; kill -9 $pid; exit 1
    fi
    wait $pid; code=$?
    [ $code = 0 ] || { echo "viertal exited with $code after Escape; output:" >&2; cat "$temp_dir/out.log" >&2; exit 1; }
  ' run_installed "$scratch/temp" || fail "the installed viertal did not start and quit cleanly"
}

deb() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      run_as_root=(sudo -n)
    elif [ "${CI:-}" = true ]; then
      fail "installing the package needs root, and CI must run this test"
    else
      echo "package test: skipped, installing a package needs root or password-less sudo"
      exit 77
    fi
  fi
  [ -x "$build/viertal" ] || fail "$build/viertal is not built"

  # Build the package straight from the build folder's CPack set-up.
  (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack could not build the package"; }
  local version arch
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  arch=$(dpkg --print-architecture)
  local deb=$scratch/out/viertal_${version}_${arch}.deb
  [ -f "$deb" ] || { ls -l "$scratch/out" >&2; fail "no package named viertal_${version}_${arch}.deb"; }
  chmod 644 "$deb"

  [ "$(dpkg-deb -f "$deb" Package)" = viertal ] || fail "package name is not viertal"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
  dpkg-deb -f "$deb" Depends | grep -q 'libsdl2-2\.0-0' || fail "package does not depend on libsdl2-2.0-0"
  dpkg-deb -f "$deb" Maintainer | grep -q '@' || fail "package has no maintainer address"
  local unexpected
  unexpected=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | grep -Ev \
    '^\./usr/(bin/viertal|share/applications/viertal\.desktop|share/icons/hicolor/(48x48|128x128|256x256)/apps/viertal\.png)$' || true)
  [ -z "$unexpected" ] || fail "package holds files a player does not need: $unexpected"

  installed_by_us=1
  DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=120 "$deb" \
    >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log" >&2; fail "apt-get install $deb failed"; }
  [ "$(dpkg-query -W -f='${db:Status-Status}' viertal)" = installed ] || fail "dpkg does not list viertal as installed"
  check_files /usr
  if ldd /usr/bin/viertal | grep -q 'not found'; then ldd /usr/bin/viertal >&2; fail "a library of viertal is missing"; fi
  run_installed

  DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get remove -y -qq -o DPkg::Lock::Timeout=120 viertal \
    >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log" >&2; fail "apt-get remove viertal failed"; }
  installed_by_us=0
  [ ! -e /usr/bin/viertal ] || fail "/usr/bin/viertal is still there after apt-get remove"
  [ ! -e /usr/share/applications/viertal.desktop ] || fail "the desktop entry is still there after apt-get remove"
  echo "package test: viertal_${version}_${arch}.deb installs, starts, quits with Escape and removes cleanly"
}

case $mode in
  layout) layout ;;
  deb) deb ;;
  *) echo "usage: package_test.sh layout|deb BUILD SOURCE" >&2; exit 2 ;;
esac
