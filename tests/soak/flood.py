#!/usr/bin/python3
"""flood.py -- 30 seconds of random keys and clicks into the real window, then a program that still
answers.

    flood.py VIERTAL [SECONDS]

Starts the program under the private Xvfb named by $DISPLAY (scripts/with-xvfb) with "temp" in a
scratch directory and floods its window through xdotool: digits, Space, letters, arrows and function
keys, clicks on the board, on "ja" and "nee", in the gaps and on the banner, some as quick as
xdotool makes them and some held for a moment. Never Escape, never a close request, never Alt.
The program must live through it; once the screen has stood still (the keys still queued are
played out), its CPU use must be back near zero, its resident memory must not have run away, and
Escape must end it with exit status 0 within a few seconds.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb_helpers import (Failure, Program, check, need_tools, process_times, resident_bytes)  # noqa: E402

SEED = 6                      # the flood is the same at every run
BATCH = 40                    # inputs per xdotool call
SETTLE_SECONDS = 2.0          # the screen must stand still this long before the checks
SETTLE_LIMIT = 30.0           # ... within this long after the flood
IDLE_SECONDS = 3.0            # CPU use is measured over this long once settled
IDLE_CPU_LIMIT = 0.10         # of one core: a program that spins shows far more
MEMORY_GROWTH_LIMIT = 32 << 20  # bytes of resident memory the flood may add
EXIT_SECONDS = 5.0            # Escape must end the program this soon

KEYS = list("1234567") * 6 + list("0890") + ["space"] * 4 + list("jJnNaqxz") + \
    ["Left", "Right", "Up", "Down", "F1", "F5", "F10", "Home", "End", "Tab", "Return", "BackSpace", "Delete"]


def random_click(rng):
    """A click somewhere a player might click: a column at any height, a gap, "ja", "nee", the banner."""
    where = rng.random()
    if where < 0.6:
        column = rng.randint(1, 7)
        x, y = 42 + 64 * column + rng.randint(0, 49), rng.randint(0, 479)
    elif where < 0.75:
        x, y = 42 + 64 * rng.randint(1, 6) + rng.randint(50, 63), rng.randint(0, 479)  # a gap
    elif where < 0.85:
        x, y = rng.randint(238, 255), rng.randint(30, 44)  # "ja"
    elif where < 0.92:
        x, y = rng.randint(272, 295), rng.randint(32, 47)  # "nee"
    else:
        x, y = rng.randint(0, 639), rng.randint(0, 479)
    return x, y


def batch(rng, window):
    """One xdotool command line of BATCH chained inputs."""
    args = ["xdotool"]
    for _ in range(BATCH):
        if rng.random() < 0.75:
            args += ["key", "--delay", "0", rng.choice(KEYS)]
        else:
            x, y = random_click(rng)
            args += ["mousemove", "--window", str(window), str(x), str(y)]
            if rng.random() < 0.5:
                args += ["click", "--delay", "0", "1"]  # press and release in one go
            else:
                args += ["mousedown", "1", "sleep", "0.02", "mouseup", "1"]  # held as a person holds it
        args += ["sleep", "%.3f" % rng.uniform(0.001, 0.006)]
    return args


def settle(program):
    """Waits until the window has shown the same picture for SETTLE_SECONDS; returns the wait."""
    begin = time.monotonic()
    previous, since = None, time.monotonic()
    while True:
        shot = program.shot().data
        now = time.monotonic()
        if shot != previous:
            previous, since = shot, now
        elif now - since >= SETTLE_SECONDS:
            return now - begin
        check(program.proc.poll() is None, "the program ended (%s) after the flood" % program.proc.returncode)
        check(now - begin < SETTLE_LIMIT, "the screen still changes %g s after the flood" % SETTLE_LIMIT)
        time.sleep(0.2)


def flood(viertal, seconds, temp):
    rng = random.Random(SEED)
    with Program(viertal, temp) as program:
        program.wait_start_question()
        program.focus()
        memory_before = resident_bytes(program.proc.pid)
        cpu_before = process_times(program.proc.pid)
        begin = time.monotonic()
        inputs = 0
        screens = {program.shot().data}  # what the window showed now and then: the game must move
        while time.monotonic() - begin < seconds:
            result = subprocess.run(batch(rng, program.window), capture_output=True, text=True, timeout=30)
            check(result.returncode == 0, "xdotool failed: %s" % result.stderr)
            inputs += BATCH
            check(program.proc.poll() is None, "the program ended with %s during the flood; stderr: %r"
                  % (program.proc.returncode, program.stderr()))
            if inputs % (10 * BATCH) == 0:
                screens.add(program.shot().data)
        check(len(screens) >= 3, "the window showed only %d different pictures during the flood" % len(screens))
        flood_seconds = time.monotonic() - begin
        flood_cpu = process_times(program.proc.pid) - cpu_before
        waited = settle(program)
        memory_after = resident_bytes(program.proc.pid)
        server = int(os.environ.get("XVFB_PID", "0"))  # set by scripts/with-xvfb
        cpu_idle_start = process_times(program.proc.pid)
        server_idle_start = process_times(server) if server else 0
        time.sleep(IDLE_SECONDS)
        idle_cpu = (process_times(program.proc.pid) - cpu_idle_start) / IDLE_SECONDS
        server_cpu = (process_times(server) - server_idle_start) / IDLE_SECONDS if server else 0
        print("flood: %d inputs in %.1f s, %.1f s of CPU, %d different screens; settled %.1f s later; idle CPU "
              "%.1f %% of a core (X server %.1f %%); resident memory %.1f -> %.1f MiB"
              % (inputs, flood_seconds, flood_cpu, len(screens), waited, 100 * idle_cpu, 100 * server_cpu,
                 memory_before / 2**20, memory_after / 2**20))
        check(idle_cpu < IDLE_CPU_LIMIT, "the program uses %.0f %% of a core while it waits" % (100 * idle_cpu))
        check(server_cpu < IDLE_CPU_LIMIT,
              "the X server uses %.0f %% of a core while the program waits" % (100 * server_cpu))
        check(memory_after - memory_before < MEMORY_GROWTH_LIMIT,
              "resident memory grew from %d to %d bytes" % (memory_before, memory_after))
        program.quit("the flood", timeout=EXIT_SECONDS)
        check(program.stderr() == "", "the program wrote to stderr: %r" % program.stderr())


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    seconds = float(sys.argv[2]) if len(sys.argv) == 3 else 30.0
    try:
        need_tools("xdotool", "import")
        check("DISPLAY" in os.environ, "no DISPLAY: run under scripts/with-xvfb")
        with tempfile.TemporaryDirectory(prefix="viertal-flood-") as temp:
            flood(os.path.abspath(sys.argv[1]), seconds, temp)
    except Failure as failure:
        print("FAIL flood: %s" % failure, file=sys.stderr)
        return 1
    print("ok flood")
    return 0


if __name__ == "__main__":
    sys.exit(main())
