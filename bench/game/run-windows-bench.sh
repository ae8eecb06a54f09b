#!/usr/bin/env bash
# run-windows-bench.sh -- start-up and idle CPU of the Windows program under Wine
# (windows_bench.py), when the Linux build has cross-built it and its timed twin
# (cmake --build BUILD --target windows; make bench does).
#
#   bench/game/run-windows-bench.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
for program in viertal.exe viertal_timed.exe; do
  [ -f "$build/windows/$program" ] || { echo "run-windows-bench: $build/windows/$program is not built" >&2; exit 1; }
done
exec /usr/bin/python3 "$here/windows_bench.py" "$build/windows/viertal.exe" "$build/windows/viertal_timed.exe" \
     "$here/../../tests/golden"
