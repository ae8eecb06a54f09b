#!/usr/bin/python3
"""windows_bench.py -- start-up of the Windows program under Wine: from just before the process
starts to the first screenshot of the complete start screen, against the part of it that the
game's own code takes (its trace: game thread to start screen); the rest is Wine's own start.
Then its CPU use and wake-ups while it waits at the start question.

    windows_bench.py BUILD/windows/viertal.exe GOLDEN_DIR
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "window"))
from driver import Display, Program, WinePrefix, frame_hash  # noqa: E402  (the real-window tests' driver)
from window_test import golden_start_hash  # noqa: E402
from game_bench import SECONDS, idle_percent  # noqa: E402

RUNS = int(os.environ.get("GAME_BENCH_RUNS", "10"))


def start_up(display, prefix, exe, start_hash):
    """One start: ms to the start screen on the display, and ms the game's code took of it."""
    before = time.monotonic()
    game = Program(display, exe, wine=prefix, env={"VIERTAL_TRACE_STARTUP": "1"})
    try:
        game.find_window()
        game.wait_screen("the start screen", lambda s: frame_hash(s.rgb) == start_hash)
        total = 1000.0 * (time.monotonic() - before)
        game.keys("Escape")
        game.exit_code()
        trace = [line for line in game.stderr().splitlines() if "start screen shown at monotonic" in line]
        if not trace:
            raise SystemExit("viertal.exe ended without its start-up trace")
        shown = float(trace[0].split("monotonic")[1].split()[0])
        game_start = float(trace[0].split("game thread from")[1].split()[0])
        return total, 1000.0 * (shown - game_start)
    finally:
        game.close()


def main():
    exe, golden = os.path.abspath(sys.argv[1]), sys.argv[2]
    display = Display()
    prefix = WinePrefix(display)
    try:
        start_hash = golden_start_hash(golden)
        start_up(display, prefix, exe, start_hash)  # writes the picture file; not counted
        runs = [start_up(display, prefix, exe, start_hash) for _ in range(RUNS)]
        game = Program(display, exe, wine=prefix)
        try:
            game.find_window()
            game.wait_screen("the start screen", lambda s: frame_hash(s.rgb) == start_hash)
            idle, woken = idle_percent(game)
        finally:
            game.close()
    finally:
        prefix.close()
        display.close()
    totals, own = [t for t, _ in runs], [g for _, g in runs]
    print("Windows program under Wine, start to the first complete start screen (picture present), %d runs:"
          " median %.0f ms (min %.0f, max %.0f); screenshots every ~50 ms" % (RUNS, statistics.median(totals),
                                                                            min(totals), max(totals)))
    print("  of which the game's own code (game thread to start screen): median %.1f ms; Wine's own start and"
          " the screenshot: median %.0f ms" % (statistics.median(own), statistics.median([t - g for t, g in runs])))
    print("idle CPU of the Windows program at the start question under Wine over %g s: %.2f %% of one core,"
          " %.2f wake-ups per second, all threads" % (SECONDS, idle, woken))


if __name__ == "__main__":
    main()
