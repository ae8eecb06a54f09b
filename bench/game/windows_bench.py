#!/usr/bin/python3
"""windows_bench.py -- start-up of the Windows program under Wine, watched from outside through the
X server (bench/watcher.py): from just before the process starts to the moment its window
first shows the complete start screen. The timed program (the same game, telling the wall clock
at which its game code starts) runs in turn with it and splits the start into Wine's own start
and the game's own code. Then the program's CPU use and wake-ups while it waits at the start
question.

    windows_bench.py BUILD/windows/viertal.exe BUILD/windows/viertal_timed.exe GOLDEN_DIR
"""
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "window"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))  # bench/watcher.py
from driver import Display, Program, WinePrefix  # noqa: E402  (the real-window tests' driver)
from watcher import Watcher, start_frame  # noqa: E402
from window_test import golden_start_hash  # noqa: E402
from game_bench import SECONDS, game_code_from, idle_percent  # noqa: E402

RUNS = int(os.environ.get("GAME_BENCH_RUNS", "10"))
WINE_TIMEOUT = 60  # Wine's first start in a fresh prefix takes a few seconds


def start_up(display, prefix, watcher, exe, start):
    """One start with the picture present: the wall clock just before the process started, when
    its window first showed the start screen's pixels `start`, and what it wrote on stderr."""
    game = Program(display, exe, wine=prefix)
    try:
        watcher.watch(game.proc.pid)
        shown = watcher.shown(start, timeout=WINE_TIMEOUT)
        game.find_window()
        game.keys("Escape")
        game.exit_code()
        return game.started, shown, game.stderr()
    finally:
        game.close()


def main():
    exe, timed, golden = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    display = Display()
    prefix = WinePrefix(display)
    watcher = Watcher(display.name)
    try:
        game = Program(display, exe, wine=prefix)  # writes the picture file; not counted
        try:
            start = start_frame(watcher, game.proc.pid, golden_start_hash(golden), WINE_TIMEOUT)
        finally:
            game.close()
        totals, timed_totals, own = [], [], []
        for _ in range(RUNS):  # the program and the timed one in turn, under the same load
            before, shown, _ = start_up(display, prefix, watcher, exe, start)
            totals.append(1000.0 * (shown - before))
            before, shown, stderr = start_up(display, prefix, watcher, timed, start)
            timed_totals.append(1000.0 * (shown - before))
            own.append(1000.0 * (shown - game_code_from(stderr)))
        game = Program(display, exe, wine=prefix)
        try:
            watcher.watch(game.proc.pid)
            watcher.shown(start, timeout=WINE_TIMEOUT)
            game.find_window()  # and gives it the focus, as a player's window has
            idle, woken = idle_percent(game)
        finally:
            game.close()
    finally:
        watcher.close()
        prefix.close()
        display.close()
    print("Windows program under Wine, start to the first complete start screen (picture present), %d runs:"
          " median %.0f ms (min %.0f, max %.0f)" % (RUNS, statistics.median(totals), min(totals), max(totals)))
    print("  of which the game's own code (game thread to start screen): median %.1f ms; Wine's own start:"
          " median %.0f ms (%d runs of the timed program, start-up median %.0f ms)"
          % (statistics.median(own), statistics.median([t - g for t, g in zip(timed_totals, own)]), RUNS,
             statistics.median(timed_totals)))
    print("idle CPU of the Windows program at the start question under Wine over %g s: %.2f %% of one core,"
          " %.2f wake-ups per second, all threads" % (SECONDS, idle, woken))


if __name__ == "__main__":
    main()
