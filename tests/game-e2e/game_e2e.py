#!/usr/bin/python3
"""game_e2e.py -- plays the real game in its window under Xvfb and checks what a player sees and hears.

    game_e2e.py VIERTAL BANNER_VALUES CASE
    game_e2e.py VIERTAL BANNER_VALUES screenshots OUTDIR

CASE is one of:
  start           the picture file appears in "temp"; the start screen shows the picture, the banner
                  exactly as the data table holds it, the board in its colour and "ja"/"nee" in yellow;
                  Escape at the start question ends the program with exit code 0
  play            a click on "ja", the key 3 and a click on column 2: each disc in its hole in its
                  colour and the computer's replies in column 4; Escape at the turn exits with 0
  sound           a refused key sounds 600 Hz for 120 ms, then 500 Hz for 240 ms (SDL's disk driver)
  result          a won game typed ahead in one go; Escape at the result exits with 0
  close           the window's close request at the start question exits with 0
  close_in_pause  a close request while a disc pause runs exits with 0
screenshots writes OUTDIR/start.png and OUTDIR/won.png from the real window.

Expects $DISPLAY to name a private Xvfb server (scripts/with-xvfb). Uses xdotool, ImageMagick's
import and python3-xlib; fails with a clear message when one is missing, never skips.
"""
import os
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_common import FRAME_H, FRAME_W, TIMEOUT, Failure, check, need_tools  # noqa: E402,F401

RED, YELLOW, WHITE, BOARD = 0xFF4400, 0xFFFF00, 0xFFFFFF, 0x2200AA
PICTURE_SIZE = 921656


def hole(column, row):
    """The pixel centre of the hole of column 1..7, board row 0 (bottom)..5."""
    return 64 * column + 67, 424 - 64 * row


class Screenshot:
    """The client area's pixels as 0xRRGGBB values."""

    def __init__(self, window):
        out = subprocess.run(["import", "-window", str(window), "-depth", "8", "rgb:-"],
                             capture_output=True, timeout=TIMEOUT)
        check(out.returncode == 0, "import failed: %s" % out.stderr.decode(errors="replace"))
        self.data = out.stdout
        check(len(self.data) == FRAME_W * FRAME_H * 3,
              "screenshot has %d bytes, not %d: is the client area 640 x 480?" % (len(self.data), FRAME_W * FRAME_H * 3))

    def pixel(self, x, y):
        i = 3 * (y * FRAME_W + x)
        return self.data[i] << 16 | self.data[i + 1] << 8 | self.data[i + 2]

    def cell_colours(self, row, column):
        """The set of colours other than black in a text cell."""
        colours = set()
        for y in range(16 * (row - 1), 16 * row):
            for x in range(8 * (column - 1), 8 * column):
                if self.pixel(x, y) != 0:
                    colours.add(self.pixel(x, y))
        return colours


class Picture:
    """The picture file as load_bmp shows it: bottom row stored first, blue-green-red."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()

    def pixel(self, x, y):
        i = 54 + (FRAME_H - 1 - y) * FRAME_W * 3 + 3 * x
        return self.data[i + 2] << 16 | self.data[i + 1] << 8 | self.data[i]


class Game:
    """The program in its window, with a scratch "temp" directory of its own."""

    def __init__(self, viertal, temp, extra_env=None):
        env = dict(os.environ)
        env["temp"] = temp
        env.setdefault("SDL_AUDIODRIVER", "dummy")
        env.update(extra_env or {})
        self.temp = temp
        self.proc = subprocess.Popen([viertal], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^viertal$"],
                             capture_output=True, text=True, timeout=TIMEOUT)
        ids = out.stdout.split()
        check(out.returncode == 0 and len(ids) == 1, "expected one visible window named viertal, found %r" % ids)
        self.window = int(ids[0])
        xdo("windowfocus", "--sync", self.window)

    def shot(self):
        return Screenshot(self.window)

    def wait_screen(self, what, test, timeout=TIMEOUT):
        """Takes screenshots until test(shot) holds; returns that shot."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.shot()
            if test(shot):
                return shot
            check(self.proc.poll() is None, "the program ended (%s) while waiting for %s" % (self.proc.returncode, what))
            check(time.monotonic() < deadline, "the screen never showed %s" % what)
            time.sleep(0.05)

    def wait_start_question(self):
        return self.wait_screen("the start question", lambda s: s.cell_colours(3, 31) == {YELLOW})

    def wait_discs(self, discs, what, timeout=TIMEOUT):
        """Waits until every (column, row, colour) of discs shows at its hole centre."""
        return self.wait_screen(what, lambda s: all(s.pixel(*hole(c, r)) == colour for c, r, colour in discs),
                                timeout)

    def keys(self, *names):
        xdo("key", "--delay", "40", *names)

    def click(self, x, y):
        """Presses and releases the left button as a person does, 80 ms apart."""
        xdo("mousemove", "--window", self.window, x, y)
        xdo("mousedown", "1")
        time.sleep(0.08)
        xdo("mouseup", "1")

    def close_request(self):
        """Sends the window manager's WM_DELETE_WINDOW message, as a close button does."""
        from Xlib import X, display, protocol
        d = display.Display()
        window = d.create_resource_object("window", self.window)
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        d.sync()
        d.close()

    def exit_code(self, timeout=TIMEOUT):
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise Failure("the program did not end within %g s" % timeout)
        return self.proc.returncode

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=TIMEOUT)


def expect_exit_zero(game, after, timeout=TIMEOUT):
    code = game.exit_code(timeout)
    check(code == 0, "exit code %s after %s" % (code, after))


# --- The cases ---

def case_start(viertal, banner_values, temp):
    game = Game(viertal, temp)
    try:
        path = os.path.join(temp, "ZAQT.bmp")
        shot = game.wait_start_question()
        check(os.path.isfile(path), "no picture file %s" % path)
        check(os.path.getsize(path) == PICTURE_SIZE, "picture file has %d bytes" % os.path.getsize(path))
        picture = Picture(path)
        values = [int(v) for v in subprocess.run([banner_values], capture_output=True, text=True,
                                                  check=True).stdout.split()]
        check(len(values) == 352 * 12, "banner_values gave %d values" % len(values))
        icon = subprocess.run(["xprop", "-id", str(game.window), "_NET_WM_ICON"], capture_output=True, text=True)
        check("Icon (48 x 48)" in icon.stdout, "the window has no 48 x 48 icon: %r" % icon.stdout[:200])
        i = 0
        for x in range(146, 498):
            for y in range(2, 14):
                check(shot.pixel(x, y) == values[i] & 0xFFFFFF,
                      "banner pixel (%d, %d) is %06X, the data table says %06X" % (x, y, shot.pixel(x, y), values[i]))
                i += 1
        for column in range(1, 8):
            for row in range(6):
                x, y = hole(column, row)
                check(shot.pixel(x, y) == picture.pixel(x, y), "hole %d,%d does not show the picture" % (column, row))
                for px, py in ((x + 30, y), (x - 30, y), (x, y + 30), (x, y - 30)):
                    check(shot.pixel(px, py) == BOARD, "ring pixel (%d, %d) is %06X" % (px, py, shot.pixel(px, py)))
        for px, py in ((93, 64), (554, 64), (93, 462), (554, 462), (99, 300), (548, 300), (300, 70), (300, 456),
                       (163, 136), (483, 392)):
            check(shot.pixel(px, py) == BOARD, "board pixel (%d, %d) is %06X" % (px, py, shot.pixel(px, py)))
        for px, py in ((0, 0), (92, 300), (555, 300), (620, 470), (300, 60)):
            check(shot.pixel(px, py) == picture.pixel(px, py), "(%d, %d) does not show the picture" % (px, py))
        for column in (31, 32, 35, 36, 37):
            check(shot.cell_colours(3, column) == {YELLOW}, "cell 3,%d is not yellow text" % column)
        for column in (14, 15, 16, 30, 33, 34, 38, 40):
            check(shot.cell_colours(3, column) == {WHITE}, "cell 3,%d is not white text" % column)
        for column in (23, 24, 59):
            check(shot.cell_colours(30, column) == {WHITE}, "hint cell 30,%d is not white text" % column)
        game.keys("Escape")
        expect_exit_zero(game, "Escape at the start question")
    finally:
        game.kill()


def case_play(viertal, banner_values, temp):
    game = Game(viertal, temp)
    try:
        game.wait_start_question()
        game.click(246, 37)  # "ja"
        game.wait_screen("the question answered", lambda s: s.cell_colours(3, 31) == set())
        game.keys("3")
        game.wait_discs([(3, 0, RED), (4, 0, YELLOW)], "the human's disc in column 3 and the reply in 4")
        time.sleep(0.6)  # a click only counts once the reply's disc pause is over
        game.click(195, 200)  # column 2, at the height of the third row
        shot = game.wait_discs([(3, 0, RED), (4, 0, YELLOW), (2, 0, RED), (4, 1, YELLOW)],
                               "the human's disc in column 2 and the reply in 4")
        picture = Picture(os.path.join(temp, "ZAQT.bmp"))
        taken = {(3, 0), (4, 0), (2, 0), (4, 1)}
        for column in range(1, 8):
            for row in range(6):
                if (column, row) not in taken:
                    x, y = hole(column, row)
                    check(shot.pixel(x, y) == picture.pixel(x, y), "hole %d,%d is not empty" % (column, row))
        game.keys("Escape")
        expect_exit_zero(game, "Escape at the human's turn")
    finally:
        game.kill()


def zero_crossing_segments(samples, rate):
    """Splits the sound into runs of steady pitch; returns (frequency Hz, duration ms) for each."""
    crossings = []
    previous = 0
    for i, s in enumerate(samples):
        if abs(s) < 200:
            continue
        sign = 1 if s > 0 else -1
        if previous and sign != previous:
            crossings.append(i)
        previous = sign
    segments = []
    start = 0
    for i in range(1, len(crossings)):
        gap = crossings[i] - crossings[i - 1]
        first_gap = crossings[start + 1] - crossings[start] if start + 1 < len(crossings) else gap
        if abs(gap - first_gap) > 3:  # a new pitch, or silence in between
            segments.append((start, i - 1))
            start = i
    segments.append((start, len(crossings) - 1))
    result = []
    for a, b in segments:
        if b - a < 10:
            continue
        half_period = (crossings[b] - crossings[a]) / (b - a)
        result.append((rate / (2 * half_period), 1000.0 * (crossings[b] - crossings[a] + half_period) / rate))
    return result


def case_sound(viertal, banner_values, temp):
    audio = os.path.join(temp, "audio.raw")
    game = Game(viertal, temp, {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio})
    try:
        game.wait_start_question()
        game.keys("j")
        game.wait_screen("the question answered", lambda s: s.cell_colours(3, 31) == set())
        game.keys("8")
        time.sleep(0.8)
        game.keys("Escape")
        expect_exit_zero(game, "Escape after the refused key")
    finally:
        game.kill()
    check(os.path.isfile(audio), "the disk audio driver wrote no file")
    with open(audio, "rb") as f:
        raw = f.read()
    samples = struct.unpack("<%dh" % (len(raw) // 2), raw[:len(raw) // 2 * 2])
    segments = zero_crossing_segments(samples, 22050)
    check(len(segments) == 2, "expected two tones, heard %r" % segments)
    for (frequency, duration), (want_f, want_d) in zip(segments, ((600, 120), (500, 240))):
        check(abs(frequency - want_f) <= want_f * 0.02 and abs(duration - want_d) <= 8,
              "heard %.1f Hz for %.1f ms, expected %d Hz for %d ms (all: %r)" % (frequency, duration, want_f, want_d, segments))


HUMAN_WINS = "22435"  # the human begins; the computer answers 4 2 3 5; the 9th disc wins
WON_DISCS = [(2, 0, RED), (3, 0, YELLOW), (4, 0, YELLOW), (5, 0, YELLOW),
             (2, 1, RED), (3, 1, RED), (4, 1, RED), (5, 1, RED), (2, 2, YELLOW)]


def play_to_a_win(game):
    game.wait_start_question()
    xdo("type", "--delay", "40", "j" + HUMAN_WINS)  # typed ahead: each key waits in the queue
    return game.wait_discs(WON_DISCS, "the won game", timeout=15)


def case_result(viertal, banner_values, temp):
    game = Game(viertal, temp)
    try:
        shot = play_to_a_win(game)
        time.sleep(1.2)  # the winning tune
        check(shot.cell_colours(3, 14) == {WHITE}, "no result text")
        game.keys("Escape")
        expect_exit_zero(game, "Escape at the result")
    finally:
        game.kill()


def case_close(viertal, banner_values, temp):
    game = Game(viertal, temp)
    try:
        game.wait_start_question()
        game.close_request()
        expect_exit_zero(game, "the close request at the start question")
    finally:
        game.kill()


def case_close_in_pause(viertal, banner_values, temp):
    game = Game(viertal, temp)
    try:
        game.wait_start_question()
        game.keys("j", "3")
        game.wait_discs([(3, 0, RED)], "the human's disc")  # its 500 ms pause runs now
        game.close_request()
        expect_exit_zero(game, "the close request during a disc pause", timeout=3)
    finally:
        game.kill()


def screenshots(viertal, temp, outdir):
    game = Game(viertal, temp)
    try:
        game.wait_start_question()
        time.sleep(0.2)
        subprocess.run(["import", "-window", str(game.window), os.path.join(outdir, "start.png")], check=True)
        play_to_a_win(game)
        time.sleep(1.5)
        subprocess.run(["import", "-window", str(game.window), os.path.join(outdir, "won.png")], check=True)
        game.keys("Escape")
        expect_exit_zero(game, "Escape")
    finally:
        game.kill()


CASES = {"start": case_start, "play": case_play, "sound": case_sound, "result": case_result,
         "close": case_close, "close_in_pause": case_close_in_pause}


def main():
    if len(sys.argv) < 4 or (sys.argv[3] not in CASES and sys.argv[3] != "screenshots"):
        print(__doc__, file=sys.stderr)
        return 2
    viertal, banner_values, case = sys.argv[1:4]
    try:
        need_tools("xdotool", "import")
        check("DISPLAY" in os.environ, "no DISPLAY: run under scripts/with-xvfb")
        with tempfile.TemporaryDirectory(prefix="viertal-e2e-") as temp:
            if case == "screenshots":
                screenshots(viertal, temp, sys.argv[4])
            else:
                CASES[case](viertal, banner_values, temp)
    except Failure as failure:
        print("FAIL %s: %s" % (case, failure), file=sys.stderr)
        return 1
    print("ok %s" % case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
