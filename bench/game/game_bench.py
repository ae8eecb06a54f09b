#!/usr/bin/python3
"""game_bench.py -- start-up time and idle CPU of build/viertal; run by run-game-bench.sh under Xvfb.

    game_bench.py BUILD/viertal BUILD/viertal_timed GOLDEN_DIR
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "window"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))  # bench/watcher.py
from driver import Display, Program  # noqa: E402  (the real-window tests' driver)
from watcher import Watcher, start_frame  # noqa: E402
from window_test import golden_start_hash  # noqa: E402

RUNS = int(os.environ.get("GAME_BENCH_RUNS", "10"))
SECONDS = float(os.environ.get("GAME_BENCH_SECONDS", "20"))
TICK = os.sysconf("SC_CLK_TCK")


def game_code_from(stderr):
    """The wall clock at which the timed program's game code started, from its line on stderr."""
    for line in stderr.splitlines():
        if line.startswith("viertal: game code from "):
            return float(line.split()[4])
    raise SystemExit("the timed program did not tell when its game code started; stderr %r" % stderr)


def start_up(program, temp, watcher, start=None):
    """One start with the picture present, watched from outside: the wall clock just before the
    process started, when its window first showed the start screen's pixels `start`, and what it
    wrote on stderr. Without `start`, returns the pixels of its start screen once settled."""
    env = dict(os.environ, temp=temp, SDL_AUDIODRIVER="dummy")
    before = time.time()
    proc = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        if start is None:
            return start_frame(watcher, proc.pid, golden_start_hash(sys.argv[3]))
        watcher.watch(proc.pid)
        shown = watcher.shown(start)
    finally:
        proc.kill()
        stderr = proc.communicate()[1]
    return before, shown, stderr


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def wake_ups(pid):
    """Voluntary context switches of all the process's threads so far: each is a sleep ended."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/status" % (pid, task)) as f:
            total += sum(int(line.split()[1]) for line in f if line.startswith("voluntary_ctxt_switches"))
    return total


def idle_percent(game, threads=None):
    """The program's CPU use over SECONDS, in percent of one core, and its wake-ups per second.
    First lets the wait settle: tones, pauses, and the sound device's close 3 s after the last
    tone, which ends the audio thread (down to `threads` threads)."""
    time.sleep(1.0)
    deadline = time.monotonic() + 10
    while threads and len(os.listdir("/proc/%d/task" % game.proc.pid)) > threads and time.monotonic() < deadline:
        time.sleep(0.1)
    used, woken = cpu_seconds(game.proc.pid), wake_ups(game.proc.pid)
    start = time.monotonic()
    time.sleep(SECONDS)
    took = time.monotonic() - start
    return 100.0 * (cpu_seconds(game.proc.pid) - used) / took, (wake_ups(game.proc.pid) - woken) / took


def quick_starts(viertal, count=40):
    """Starts the game again and again against an X server kept busy with screenshots, as a
    player's desktop can be; returns how many showed their window and ended with Escape."""
    display = Display()
    busy = subprocess.Popen(["sh", "-c", "while import -window root -depth 8 rgb:- >/dev/null; do :; done"],
                            env=display.env, stderr=subprocess.DEVNULL)
    started = 0
    try:
        for _ in range(count):
            game = Program(display, os.path.abspath(viertal))
            try:
                game.find_window()
                game.keys("Escape")
                started += game.exit_code() == 0
            except Exception as failure:  # noqa: BLE001 -- counted, and the next start goes on
                print("  a start failed: %s; stderr %r" % (failure, game.stderr()))
            finally:
                game.close()
    finally:
        busy.kill()
        busy.wait()
        display.close()
    return started


def main():
    viertal, timed = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="viertal-bench-") as temp:
        watcher = Watcher(os.environ["DISPLAY"])
        start = start_up(viertal, temp, watcher)  # writes the picture file; not counted
        if not os.path.isfile(os.path.join(temp, "ZAQT.bmp")):
            raise SystemExit("no picture file after the first start")
        times, before_game, timed_times = [], [], []
        for _ in range(RUNS):  # the program and the timed one in turn, under the same load
            before, shown, _ = start_up(viertal, temp, watcher, start)
            times.append(1000.0 * (shown - before))
            before, shown, stderr = start_up(timed, temp, watcher, start)
            timed_times.append(1000.0 * (shown - before))
            before_game.append(1000.0 * (game_code_from(stderr) - before))
        watcher.close()
        print("start-up to the first complete start screen (picture present), %d runs: median %.1f ms"
              " (min %.1f, max %.1f); target < 100 ms" % (RUNS, statistics.median(times), min(times), max(times)))
        print("  of which before the game's code runs (process, libraries, SDL video): median %.1f ms; window,"
              " picture, banner, board and presentation: median %.1f ms (%d runs of the timed program, start-up"
              " median %.1f ms)" % (statistics.median(before_game),
                                    statistics.median([t - b for t, b in zip(timed_times, before_game)]), RUNS,
                                    statistics.median(timed_times)))

        display = Display()
        game = Program(display, viertal, temp=temp)
        try:
            game.find_window()
            game.wait_screen("the start question", lambda s: s.colours(3, 31) == {0xFFFF00})
            display.xdo("mousemove", "--window", game.window, 600, 20)  # the pointer rests over the window
            threads = len(os.listdir("/proc/%d/task" % game.proc.pid))  # no tone has played yet
            results = [("start question", idle_percent(game))]
            game.keys("j")
            results.append(("human's turn", idle_percent(game, threads)))
            display.xdo("type", "--delay", "40", "22435")  # the human wins with the 9th disc
            game.wait_screen("the won game", lambda s: s.pixel(387, 360) == 0xFF4400, 15)  # the 5th disc, column 5
            results.append(("result", idle_percent(game, threads)))
            game.keys("Escape")
            game.exit_code()
        finally:
            game.close()
            display.close()
        print("quick starts against a busy X server: %d of 40 showed the game and ended with Escape"
              % quick_starts(viertal))
        for wait, (percent, woken) in results:
            print("idle CPU at the %-15s over %g s: %.2f %% of one core; target < 1 %%" % (wait, SECONDS, percent))
            print("wake-ups at the %-15s over %g s: %.2f per second, all threads; target <= 1" % (wait, SECONDS, woken))


if __name__ == "__main__":
    main()
