#!/usr/bin/python3
"""window_test.py -- drives the screen demo's real SDL window under Xvfb and checks what it read.

    window_test.py DEMO CASE [WORKDIR]

CASE is one of:
  input      keys, clicks, the wheel and a close request reach the program as the game reads
             them, and a screenshot of the client area equals the frame pixel for pixel
  scaled     a bigger window shows the frame at twice the size between black bars, clicks map
             back to frame pixels, presses on the bars count for nothing
  manager    under a window manager Alt+F4 neither closes nor queues a key (even when the
             manager's close request arrives after the Alt release), the manager's close queues
             the close key once, and Alt+Enter switches to the full screen and back
  tone       tone(440, 200) through SDL's disk audio driver has its pitch and length
  ending     end_program before the window gives its code; a returning program exits with 0;
             losing the X server ends a waiting program with 1 instead of hanging it
  nodisplay  without a display the program says so in one Dutch line and exits with 1

Every case but nodisplay expects $DISPLAY to name a private Xvfb server (scripts/with-xvfb).
Uses xdotool, ImageMagick's import and python3-xlib; fails with a clear message when one is
missing, never skips.
"""
import os
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_common import FRAME_H, FRAME_W, TIMEOUT, Failure, check, need_tools  # noqa: E402,F401


class Demo:
    """The demo program, its log lines as they arrive, and its exit code."""

    def __init__(self, path, env_extra, name="screen_demo"):
        env = dict(os.environ)
        env.update(env_extra)
        self.name = name
        self.lines = []
        self.cond = threading.Condition()
        self.proc = subprocess.Popen([path], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.cond:
                self.lines.append(line.rstrip("\n"))
                self.cond.notify_all()

    def wait_line(self, wanted, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        with self.cond:
            while wanted not in self.lines:
                left = deadline - time.monotonic()
                check(left > 0 and self.proc.poll() is None or wanted in self.lines,
                      "demo never printed %r; it printed %r" % (wanted, self.lines))
                self.cond.wait(min(left, 0.1) if left > 0 else 0.01)

    def wait_count(self, prefix, count, timeout=TIMEOUT):
        """Waits until `count` lines starting with prefix arrived."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while sum(1 for l in self.lines if l.startswith(prefix)) < count:
                check(time.monotonic() < deadline, "waited for %d %r lines; got %r" % (count, prefix, self.lines))
                self.cond.wait(0.1)

    def finish(self, timeout=TIMEOUT):
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise Failure("demo did not end within %g s; it printed %r" % (timeout, self.lines))
        time.sleep(0.05)
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def keys(self):
        return [l[4:] for l in self.lines if l.startswith("key ")]

    def mice(self):
        return [l[6:] for l in self.lines if l.startswith("mouse ")]


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=TIMEOUT)


def find_window(name):
    out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^%s$" % name],
                         capture_output=True, text=True, timeout=TIMEOUT)
    ids = out.stdout.split()
    check(out.returncode == 0 and len(ids) == 1, "expected one visible window named %r, found %r" % (name, ids))
    return int(ids[0])


def client_size(window):
    out = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True, check=True)
    size = {}
    for line in out.stdout.splitlines():
        key, _, value = line.strip().partition(":")
        if key in ("Width", "Height"):
            size[key] = int(value)
    return size["Width"], size["Height"]


def read_ppm(path):
    """Returns (width, height, rgb bytes) of a binary 8-bit PPM file."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    check(fields[0] == b"P6" and fields[3] == b"255", "%s is not an 8-bit binary PPM" % path)
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + 3 * width * height]


def screenshot(window, path):
    subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:" + path], check=True, timeout=TIMEOUT)
    return read_ppm(path)


def scaled_picture(frame, width, height, scale):
    """The window picture expected for the frame at a whole-number scale, centred on black."""
    left, top = (width - FRAME_W * scale) // 2, (height - FRAME_H * scale) // 2
    out = bytearray(3 * width * height)
    for y in range(FRAME_H):
        row = bytearray()
        for x in range(FRAME_W):
            row += frame[3 * (y * FRAME_W + x):3 * (y * FRAME_W + x) + 3] * scale
        for k in range(scale):
            start = 3 * ((top + y * scale + k) * width + left)
            out[start:start + len(row)] = row
    return bytes(out)


def count_differences(a, b):
    return sum(1 for i in range(0, min(len(a), len(b)), 3) if a[i:i + 3] != b[i:i + 3]) + abs(len(a) - len(b)) // 3


def expect_screenshot(window, expected, width, height, path):
    """Takes screenshots until one equals the expected picture (the window may still repaint)."""
    deadline = time.monotonic() + 3.0
    while True:
        w, h, shot = screenshot(window, path)
        differing = count_differences(shot, expected) if (w, h) == (width, height) else -1
        if differing == 0:
            return
        if time.monotonic() > deadline:
            raise Failure("screenshot %dx%d differs from the expected %dx%d picture in %d pixels (%s)"
                          % (w, h, width, height, differing, path))
        time.sleep(0.1)


def close_request(window):
    """Sends WM_DELETE_WINDOW, as a window manager's close button does."""
    from Xlib import X, display, protocol
    d = display.Display()
    w = d.create_resource_object("window", window)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.sync()
    d.close()


def hold_button(button, hold=0.08):
    """Presses and releases a mouse button as a person does, so the program sees it held."""
    xdo("mousedown", button)
    time.sleep(hold)
    xdo("mouseup", button)
    time.sleep(0.05)


def start_input_demo(demo_path, work, exit_code):
    frame_path = os.path.join(work, "frame.ppm")
    demo = Demo(demo_path, {"SCREEN_DEMO_MODE": "input", "SCREEN_DEMO_FRAME": frame_path,
                            "SCREEN_DEMO_EXIT": str(exit_code)})
    demo.wait_line("ready")
    window = find_window(demo.name)
    w, h, frame = read_ppm(frame_path)
    check((w, h) == (FRAME_W, FRAME_H), "frame dump is %dx%d" % (w, h))
    return demo, window, frame


# What the input case types, as the demo logs it: "3jJ 7", Escape, Up, F10 (nothing), Alt+x
# (nothing), Shift alone (nothing), Ctrl+c, Delete, F1, é, É's key with Shift (£ on that key),
# ß, Enter, Backspace, Tab.
FIRST_KEYS = ["51", "106", "74", "32", "55", "27", "255 72", "3", "255 83", "255 59",
              "130", "156", "225", "13", "8", "9"]


def case_input(demo_path, work):
    need_tools("xdotool", "import", "xwininfo", "xmodmap")
    demo, window, frame = start_input_demo(demo_path, work, 7)
    try:
        check(client_size(window) == (FRAME_W, FRAME_H), "client area is %dx%d, not 640x480" % client_size(window))
        expect_screenshot(window, frame, FRAME_W, FRAME_H, os.path.join(work, "shot.ppm"))

        # Hidden and shown again, the window paints the frame anew.
        xdo("windowunmap", "--sync", window)
        xdo("windowmap", "--sync", window)
        expect_screenshot(window, frame, FRAME_W, FRAME_H, os.path.join(work, "remapped.ppm"))

        xdo("windowfocus", "--sync", window)
        xdo("type", "--delay", 30, "3jJ 7")
        xdo("key", "--delay", 30, "Escape", "Up", "F10", "alt+x", "shift", "ctrl+c", "Delete", "F1")
        # Letters beyond ASCII: xdotool types them reliably only from keys the keymap has.
        subprocess.run(["xmodmap", "-e", "keycode 248 = eacute sterling", "-e", "keycode 249 = ssharp"],
                       check=True, timeout=TIMEOUT)
        xdo("key", "--delay", 30, "eacute", "shift+eacute", "ssharp", "Return", "BackSpace", "Tab")
        demo.wait_count("key ", len(FIRST_KEYS))
        # Held keys repeat (the server repeats after 660 ms, 25 times a second).
        for key in ("Down", "a"):
            xdo("keydown", key)
            time.sleep(1.0)
            xdo("keyup", key)

        xdo("mousemove", "--window", window, 100, 200)
        hold_button(1)
        xdo("mousemove", "--window", window, 300, 50)
        hold_button(3)
        xdo("click", 4)
        xdo("click", 4)
        xdo("click", 5)
        xdo("mousemove", "--window", window, 639, 479)
        for button in (2, 8, 9):
            hold_button(button)
        demo.wait_count("mouse 0 639 479 1 0", 3)

        close_request(window)
        code = demo.finish()
    finally:
        demo.kill()
    keys = demo.keys()
    first = len(FIRST_KEYS)
    check(keys[:first] == FIRST_KEYS, "keys read %r, expected %r first" % (keys, FIRST_KEYS))
    held = keys[first:-1]
    downs, letters = held.count("255 80"), held.count("97")
    check(held == ["255 80"] * downs + ["97"] * letters and downs >= 4 and letters >= 4,
          "held Down and a gave %r, expected each repeated at least 4 times" % held)
    check(keys[-1] == "255 107", "last key %r, expected the close request" % keys[-1])
    mice = demo.mice()
    check(mice[0] == "1 -1 -1 -1 -1", "first mouse state %r: the pointer starts outside the window" % mice[0])
    for state in ("0 100 200 0 1", "0 100 200 0 0", "0 300 50 0 2", "0 300 50 0 0", "0 639 479 1 4",
                  "0 639 479 1 8", "0 639 479 1 16"):
        check(state in mice, "mouse state %r never read; read %r" % (state, mice))
    check(mice[-1] == "0 639 479 1 0", "last mouse state %r" % mice[-1])
    check(demo.lines[-1] == "end 7" and code == 7, "exit code %r, last line %r" % (code, demo.lines[-1:]))


def case_scaled(demo_path, work):
    need_tools("xdotool", "import", "xwininfo")
    demo, window, frame = start_input_demo(demo_path, work, 0)
    try:
        xdo("windowmove", "--sync", window, 0, 0)
        xdo("windowsize", "--sync", window, 1400, 1000)
        deadline = time.monotonic() + TIMEOUT
        while client_size(window) != (1400, 1000):
            check(time.monotonic() < deadline, "window did not grow to 1400x1000")
            time.sleep(0.05)
        expected = scaled_picture(frame, 1400, 1000, 2)
        expect_screenshot(window, expected, 1400, 1000, os.path.join(work, "shot.ppm"))

        # The frame sits at (60, 20) at twice the size: window (260, 420) is frame (100, 200).
        xdo("windowfocus", "--sync", window)
        xdo("mousemove", "--window", window, 260, 420)
        hold_button(1)
        # A press on the left bar, dragged onto the frame before its release, is no click.
        xdo("mousemove", "--window", window, 30, 500)
        xdo("mousedown", 1)
        time.sleep(0.05)
        xdo("mousemove", "--window", window, 61, 21)
        time.sleep(0.08)
        xdo("mouseup", 1)
        xdo("key", "1")
        demo.wait_count("key ", 1)
        close_request(window)
        code = demo.finish()
    finally:
        demo.kill()
    mice = demo.mice()
    for state in ("0 100 200 0 1", "0 100 200 0 0", "1 -1 -1 -1 -1", "0 0 0 0 0"):
        check(state in mice, "mouse state %r never read; read %r" % (state, mice))
    after_bar = mice[mice.index("0 100 200 0 0") + 1:]
    check(all(not m.endswith(" 1") for m in after_bar), "a press on the bar counted as a click: %r" % after_bar)
    check(demo.keys() == ["49", "255 107"] and code == 0, "keys %r, exit code %r" % (demo.keys(), code))


def case_manager(demo_path, work):
    need_tools("xdotool", "import", "xwininfo", "wmctrl")
    demo, window, frame = start_input_demo(demo_path, work, 3)
    try:
        xdo("windowactivate", "--sync", window)
        for _ in range(5):
            xdo("key", "alt+F4")
            time.sleep(0.1)
            xdo("key", "2")
        demo.wait_count("key ", 5)
        check(demo.proc.poll() is None, "Alt+F4 ended the program")

        xdo("key", "alt+Return")
        deadline = time.monotonic() + TIMEOUT
        while client_size(window) != (1600, 1200):
            check(time.monotonic() < deadline, "Alt+Enter did not fill the 1600x1200 screen: %r" % (client_size(window),))
            time.sleep(0.05)
        expect_screenshot(window, scaled_picture(frame, 1600, 1200, 2), 1600, 1200, os.path.join(work, "full.ppm"))
        xdo("key", "alt+Return")
        deadline = time.monotonic() + TIMEOUT
        while client_size(window) != (FRAME_W, FRAME_H):
            check(time.monotonic() < deadline, "second Alt+Enter did not restore 640x480: %r" % (client_size(window),))
            time.sleep(0.05)
        expect_screenshot(window, frame, FRAME_W, FRAME_H, os.path.join(work, "window.ppm"))

        # A close request within 500 ms of an Alt release counts as Alt+F4; this one comes later.
        time.sleep(0.8)
        subprocess.run(["wmctrl", "-c", demo.name], check=True, timeout=TIMEOUT)
        code = demo.finish()
    finally:
        demo.kill()
    check(demo.keys() == ["50"] * 5 + ["255 107"], "keys read %r, expected 5 times '50', then '255 107'" % demo.keys())
    check(code == 3, "exit code %r, expected 3" % code)


def zero_crossings(samples):
    """Indices where the signal changes sign (ignoring exact zeros)."""
    crossings, last = [], 0
    for i, s in enumerate(samples):
        if s == 0:
            continue
        sign = 1 if s > 0 else -1
        if last and sign != last:
            crossings.append(i)
        last = sign
    return crossings


def case_tone(demo_path, work):
    import array
    audio = os.path.join(work, "audio.raw")
    demo = Demo(demo_path, {"SCREEN_DEMO_MODE": "tone", "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio})
    try:
        code = demo.finish()
    finally:
        demo.kill()
    check(code == 0, "tone demo exit code %r, printed %r" % (code, demo.lines))
    took = [int(l.split()[1]) for l in demo.lines if l.startswith("tone ")]
    check(took and 200 <= took[0] < 1000, "tone(440, 200) returned after %r ms" % took)
    samples = array.array("h")
    with open(audio, "rb") as f:
        samples.frombytes(f.read())
    if sys.byteorder != "little":
        samples.byteswap()
    rate = 22050
    loud = [i for i, s in enumerate(samples) if abs(s) > 0]
    check(loud, "the audio file holds only silence (%d samples)" % len(samples))
    crossings = zero_crossings(samples)
    check(len(crossings) > 10, "only %d zero crossings" % len(crossings))
    span = (crossings[-1] - crossings[0]) / rate
    pitch = (len(crossings) - 1) / 2 / span
    length_ms = (loud[-1] - loud[0] + 1) * 1000.0 / rate
    print("tone: %.1f Hz, %.1f ms of sound, call took %d ms" % (pitch, length_ms, took[0]))
    check(abs(pitch - 440) <= 0.02 * 440, "pitch %.1f Hz, expected 440 Hz within 2 %%" % pitch)
    check(abs(length_ms - 200) <= 10, "tone lasts %.1f ms, expected 200 ms within 10 ms" % length_ms)
    peak = max(abs(s) for s in samples)
    check(peak > 3000, "tone too quiet: peak %d" % peak)
    # No click: the first and last sounding samples are near zero (faded), not a full swing.
    check(abs(samples[loud[0]]) < peak / 4 and abs(samples[loud[-1]]) < peak / 4,
          "tone starts or stops with a jump: %d, %d of peak %d" % (samples[loud[0]], samples[loud[-1]], peak))


def case_ending(demo_path, work):
    demo = Demo(demo_path, {"SCREEN_DEMO_MODE": "early", "SCREEN_DEMO_EXIT": "5"})
    code = demo.finish()
    check(code == 5, "end_program(5) before the window gave exit code %r" % code)
    demo = Demo(demo_path, {"SCREEN_DEMO_MODE": "return"})
    code = demo.finish()
    check(code == 0, "a program that returns gave exit code %r" % code)
    # The X server goes away under a program waiting for input: it ends, with status 1.
    server = int(os.environ.get("XVFB_PID", "0"))
    check(server > 0, "XVFB_PID is not set: run this under scripts/with-xvfb")
    demo = Demo(demo_path, {"SCREEN_DEMO_MODE": "input"})
    demo.wait_line("ready")
    os.kill(server, 15)
    code = demo.finish()
    check(code == 1, "after losing the X server the exit code is %r" % code)


def case_nodisplay(demo_path, work):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
        env.pop(name, None)
    env["SCREEN_DEMO_MODE"] = "input"
    # No DISPLAY at all, then one that names no server.
    for display in (None, ":31999"):
        if display:
            env["DISPLAY"] = display
        try:
            result = subprocess.run([demo_path], env=env, capture_output=True, text=True, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("with DISPLAY %r the program hung" % display)
        lines = result.stderr.splitlines()
        check(result.returncode == 1, "with DISPLAY %r the exit code is %r (stderr %r)"
              % (display, result.returncode, lines))
        check(lines == ["screen_demo: geen beeldscherm gevonden (is DISPLAY gezet?)"],
              "with DISPLAY %r stderr is %r" % (display, lines))
        check(result.stdout == "", "with DISPLAY %r the program printed %r" % (display, result.stdout))


CASES = {"input": case_input, "scaled": case_scaled, "manager": case_manager, "tone": case_tone,
         "ending": case_ending, "nodisplay": case_nodisplay}


def main():
    if len(sys.argv) < 3 or sys.argv[2] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    demo_path, case = sys.argv[1], sys.argv[2]
    if case != "nodisplay":
        check(os.environ.get("DISPLAY"), "DISPLAY is not set: run this under scripts/with-xvfb")
    try:
        import Xlib  # noqa: F401
    except ImportError:
        raise Failure("python3-xlib is missing (Debian package python3-xlib; run with /usr/bin/python3)")
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="e2e-%s." % case)
    os.makedirs(work, exist_ok=True)
    CASES[case](demo_path, work)
    print("%s: passed" % case)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        sys.exit(1)
