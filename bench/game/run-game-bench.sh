#!/usr/bin/env bash
# run-game-bench.sh -- start-up time and idle CPU of the real game, under Xvfb.
#
#   bench/game/run-game-bench.sh [BUILD_DIR]
#
# Start-up: from just before the process is started to the first presentation of the complete
# start screen (picture, banner, question, board), as the game's trace point reports it
# (VIERTAL_TRACE_STARTUP), with the picture file already in "temp"; GAME_BENCH_RUNS (10) runs,
# median. Target: < 100 ms.
# Idle CPU: the program's CPU time (utime + stime) over GAME_BENCH_SECONDS (20) at each of the
# three waits: the start question, the human's turn and the result. Target: < 1 % of one core.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
[ -x "$build/viertal" ] || { echo "run-game-bench: $build/viertal is not built" >&2; exit 1; }
exec "$here/../../scripts/with-xvfb" /usr/bin/python3 "$here/game_bench.py" "$build/viertal"
