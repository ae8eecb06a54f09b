#!/usr/bin/env bash
# run-windows-bench.sh -- start-up of the Windows program under Wine (windows_bench.py), when the
# Linux build has cross-built it (cmake --build BUILD --target windows; make bench does).
#
#   bench/game/run-windows-bench.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
[ -f "$build/windows/viertal.exe" ] || { echo "run-windows-bench: $build/windows/viertal.exe is not built" >&2; exit 1; }
exec /usr/bin/python3 "$here/windows_bench.py" "$build/windows/viertal.exe" "$here/../../tests/golden"
