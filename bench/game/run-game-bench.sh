#!/usr/bin/env bash
# run-game-bench.sh -- start-up time and idle CPU of the real game, under Xvfb.
#
#   bench/game/run-game-bench.sh [BUILD_DIR]
#
# Start-up: from just before the process is started to the moment its window first shows the
# complete start screen (picture, banner, question, board), watched from outside through the X
# server (bench/watcher.py: every change of the window's contents as the server reports it,
# and its pixels compared with the settled start screen, itself checked against the headless
# frame), with the picture file already in "temp"; GAME_BENCH_RUNS (10) runs, median. Target:
# < 100 ms. The part before the game's code runs comes from as many runs of the timed program
# (BUILD_DIR/viertal_timed), in turn with them: the same program, which also tells
# the wall clock at which its game code starts.
# Idle CPU: the program's CPU time (utime + stime) over GAME_BENCH_SECONDS (20) at each of the
# three waits: the start question, the human's turn and the result. Target: < 1 % of one core.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
for program in viertal viertal_timed; do
  [ -x "$build/$program" ] || { echo "run-game-bench: $build/$program is not built" >&2; exit 1; }
done
exec "$here/../../scripts/with-xvfb" /usr/bin/python3 "$here/game_bench.py" "$build/viertal" \
     "$build/viertal_timed" "$here/../../tests/golden"
