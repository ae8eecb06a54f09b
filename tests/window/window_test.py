#!/usr/bin/python3
"""window_test.py -- what only the real window shows: the game and the screen demo under a private
Xvfb, through the one driver (driver.py).

    window_test.py CASE PROGRAM [GOLDEN_DIR]
"""
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from driver import H, W, WINE, Display, Program, Shot, Skip, WinePrefix, check, frame_hash, main, transcript  # noqa: E402

RED, YELLOW, WHITE = 0xFF4400, 0xFFFF00, 0xFFFFFF
ERROR_TONES = [(600, 120), (500, 240)]


def hole(column, row):
    return 64 * column + 67, 424 - 64 * row


def golden_hash(golden, scenario, step):
    """The frame hash after a step of a scenario of the headless games' transcript."""
    return next(frame for name, frame, _ in transcript(golden, scenario) if name == step)


def golden_start_hash(golden):
    """The hash of the start screen with the picture, from the headless games' transcript."""
    return golden_hash(golden, "pic <close>", "start")


def question(shot):
    return shot.colours(3, 31) == {YELLOW}


CASES = {}


def session(path, body, wm=False, started=False, resources=None, **options):
    """Runs body(program) against a fresh display (with these X resources) and program, and always
    cleans both up. With started, first waits for the program's window to show the start question."""
    display, program = Display(wm=wm, resources=resources), None
    try:
        program = Program(display, os.path.abspath(path), **options)
        if started:
            program.find_window()
            program.wait_screen("the start question", question)
        return body(program)
    finally:
        if program:
            program.close()
        display.close()


def case(**options):
    """Registers a case that runs body(program, *arguments) in a session of the program named
    by its first argument."""
    def register(body):
        CASES[body.__name__] = lambda path, *arguments: session(path, lambda p: body(p, *arguments), **options)
        return body
    return register


def expect_exit(program, code, what):
    got = program.exit_code()
    check(got == code, "%s: exit code %s, expected %s; stderr %r" % (what, got, code, program.stderr()))


# --- The game ---

@case(audio=True)
def game_start(p, golden, shim=None):
    """The start screen pixel for pixel as the headless game draws it, with the picture written
    into "temp" and the window's icon; then keys and held clicks play, a refused key sounds its
    tones, three quiet seconds close the sound device, and Escape ends with 0, leaving nothing
    anywhere else and no process behind."""
    p.find_window()
    shot = p.wait_screen("the start screen", lambda s: frame_hash(s.rgb) == golden_start_hash(golden))
    check((shot.width, shot.height) == (W, H), "client area %dx%d" % (shot.width, shot.height))
    check(os.listdir(p.temp) == ["ZAQT.bmp"] and os.path.getsize(p.path("temp", "ZAQT.bmp")) == 921656,
          "temp holds %r" % os.listdir(p.temp))
    icon = p.display.run("xprop", "-id", p.window, "_NET_WM_ICON", capture_output=True, text=True).stdout
    check("Icon (48 x 48)" in icon, "no 48 x 48 window icon: %r" % icon[:100])
    p.click(246, 37)  # "ja"
    p.wait_screen("the question answered", lambda s: s.colours(3, 31) == set())
    p.keys("8", "3")
    p.wait_screen("the discs in 3 and 4", lambda s: s.pixel(*hole(3, 0)) == RED and s.pixel(*hole(4, 0)) == YELLOW)
    time.sleep(0.6)  # a click counts once the reply's pause is over
    p.click(195, 200)  # column 2, at the height of the third row
    p.wait_screen("the discs in 2 and 4", lambda s: s.pixel(*hole(2, 0)) == RED and s.pixel(*hole(4, 1)) == YELLOW)
    time.sleep(3.5)  # three quiet seconds close the sound device: the disk driver's file stops growing
    size = os.path.getsize(p.audio)
    time.sleep(0.3)
    check(os.path.getsize(p.audio) == size, "the sound device stays open while the game is quiet")
    p.keys("Escape")
    expect_exit(p, 0, "Escape at the human's turn")
    tones, loud = p.tones(), [abs(s) for s in p.samples() if abs(s) >= 200]
    check(loud[0] < max(loud) / 4 and loud[-1] < max(loud) / 4 and 9000 < max(loud) <= 9831,
          "a tone starts or stops with a click, or goes beyond its amplitude of 9,830: peak %d" % max(loud))
    check(len(tones) == 2 and all(abs(f - wf) <= wf * 0.02 and abs(d - wd) <= 8
                                  for (f, d), (wf, wd) in zip(tones, ERROR_TONES)),
          "the refused key sounded %r, expected %r" % (tones, ERROR_TONES))
    home = [os.path.join(d, f) for d, _, files in os.walk(p.path("home")) for f in files]
    said = [line for line in p.stderr().splitlines() if not line.startswith("CRITICAL: ")]  # SDL's disk driver
    check(home == [] and os.listdir(p.path("tmp")) == [] and said == [],
          "written outside temp: %r %r; stderr %r" % (home, os.listdir(p.path("tmp")), said))
    check(not p.outliving(), "processes outlive the game: %r" % p.outliving())


@case(resources="Xft.dpi: 192", env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/nonexistent/a.raw"})
def game_dense(p, golden, shim=None):
    """A desktop scaled to 200 % and no sound device: the window opens at twice the size, each
    frame pixel 2 x 2 device pixels; clicks on "ja" and above a column land as at 1 x; refused
    keys' tones still take their time, and nothing is said on stderr."""
    p.find_window()
    p.wait_screen("the start screen at 2 x", lambda s: at_one(s) and frame_hash(at_one(s).rgb) == golden_start_hash(golden))
    p.click(2 * 246, 2 * 37)  # "ja"
    p.wait_screen("the question answered", lambda s: at_one(s) and at_one(s).colours(3, 31) == set())
    begin = time.monotonic()
    p.keys("8", "9", "3")
    p.wait_screen("the disc in column 3", lambda s: at_one(s) and at_one(s).pixel(*hole(3, 0)) == RED)
    check(time.monotonic() - begin >= 0.70, "the disc came %.0f ms after two refused keys"
          % (1000 * (time.monotonic() - begin)))
    p.wait_screen("the reply in column 4", lambda s: at_one(s) and at_one(s).pixel(*hole(4, 0)) == YELLOW)
    time.sleep(0.6)  # a click counts once the reply's pause is over
    p.click(2 * 195, 2 * 200)  # above column 2
    p.wait_screen("the discs in 2 and 3", lambda s: at_one(s) and at_one(s).pixel(*hole(2, 0)) == RED and
                  at_one(s).pixel(*hole(3, 0)) == RED)
    p.keys("Escape")
    expect_exit(p, 0, "Escape")
    check(p.stderr() == "", "stderr %r" % p.stderr())


def game_busy_display(viertal, golden, shim):
    """An X server that turns the first connections away: the start tries again and the window
    comes; one that never lets the game in, or no display at all, ends it with one Dutch line
    and SDL's reason, exit status 1. (The bench starts the game 40 times against a busy one.)"""
    for env in ({"DISPLAY": None}, {"LD_PRELOAD": shim, "VIERTAL_REFUSE_X": "1000"}):
        session(viertal, lambda p: check(p.exit_code() == 1 and os.listdir(p.temp) == [] and re.fullmatch(
            r"viertal: geen beeldscherm gevonden \(is DISPLAY gezet\?\): .+\n", p.stderr()), "%r: stderr %r"
            % (env, p.stderr())), env=env)
    session(viertal, lambda p: (p.find_window(), p.keys("Escape"), expect_exit(p, 0, "a start after 5 refusals")),
            env={"LD_PRELOAD": shim, "VIERTAL_REFUSE_X": "5"})


# --- The screen demo: the platform's keys, mouse, scaling, window manager and endings ---

def demo(exit_code=0, mode="input"):
    return {"SCREEN_DEMO_MODE": mode, "SCREEN_DEMO_EXIT": str(exit_code)}


def scaled(frame, width, height, scale):
    left, top = (width - W * scale) // 2, (height - H * scale) // 2
    out = bytearray(3 * width * height)
    for y in range(H):
        row = b"".join(frame[3 * (y * W + x):3 * (y * W + x) + 3] * scale for x in range(W))
        for k in range(scale):
            start = 3 * ((top + y * scale + k) * width + left)
            out[start:start + len(row)] = row
    return bytes(out)


def at_one(shot):
    """The frame at 1 x, when the shot shows it at 2 x, centred between black bars (else None)."""
    if shot.width < 2 * W or shot.height < 2 * H:
        return None
    left, top = (shot.width - 2 * W) // 2, (shot.height - 2 * H) // 2
    starts = [3 * ((top + 2 * y) * shot.width + left) for y in range(H)]
    rows = b"".join(shot.rgb[start:start + 6 * W] for start in starts)
    frame = bytearray(3 * W * H)
    for colour in range(3):  # every other pixel of every other row
        frame[colour::3] = rows[colour::6]
    return Shot(W, H, frame) if scaled(frame, shot.width, shot.height, 2) == shot.rgb else None


def shown(p, frame, width=W, height=H):
    p.wait_screen("the frame at %dx%d" % (width, height),
                  lambda s: (s.width, s.height) == (width, height) and s.rgb == frame)


def demo_frame(p):
    """Finds the demo's window and returns what it shows once its picture is there: at 640 x 480
    the frame itself, as the game's start screen proves pixel for pixel."""
    p.find_window()
    return p.wait_screen("the demo's picture", lambda s: s.pixel(320, 240) == YELLOW and s.pixel(0, 479) == 0x123456).rgb


FIRST_KEYS = ["51", "106", "74", "32", "55", "27", "255 72", "3", "255 83", "255 59", "255 73", "255 58", "255 58",
              "255 69", "255 91", "130", "156", "225", "13", "8", "9"]


@case(env=demo(exit_code=7))
def demo_input(p):
    """Keys as the game reads them (F10, Alt+x and a lone Shift give nothing; the locks and the
    Windows key do), held keys repeat,
    the mouse's buttons, wheel and position, a repaint after unmapping, and the close request."""
    frame = demo_frame(p)
    for command in ("windowunmap", "windowmap", "windowfocus"):
        p.display.xdo(command, "--sync", p.window)
    shown(p, frame)
    p.display.xdo("type", "--delay", 30, "3jJ 7")
    p.keys("Escape", "Up", "F10", "alt+x", "shift", "ctrl+c", "Delete", "F1", "Prior", "Caps_Lock", "Caps_Lock", "Num_Lock", "Super_L",
           delay=30)
    p.display.run("xmodmap", "-e", "keycode 248 = eacute sterling", "-e", "keycode 249 = ssharp", check=True)
    p.keys("eacute", "shift+eacute", "ssharp", "Return", "BackSpace", "Tab", delay=30)
    for key in ("Down", "a"):
        p.display.xdo("keydown", key, "sleep", 1, "keyup", key)
    p.click(100, 200)
    p.click(300, 50, button=3)
    p.display.xdo("click", 4, "click", 4, "click", 5, "mousemove", "--window", p.window, 639, 479)
    for button in (2, 8, 9):
        p.click(639, 479, button)
    time.sleep(0.3)
    p.close_request()
    expect_exit(p, 7, "the close request")
    lines = p.lines()
    keys = [l[4:] for l in lines if l.startswith("key ")]
    mice = [l[6:] for l in lines if l.startswith("mouse ")]
    check(keys[:len(FIRST_KEYS)] == FIRST_KEYS, "keys %r, expected %r first" % (keys, FIRST_KEYS))
    held = keys[len(FIRST_KEYS):-1]
    check(held == ["255 80"] * held.count("255 80") + ["97"] * held.count("97") and
          min(held.count("255 80"), held.count("97")) >= 4, "held Down and a gave %r" % held)
    check(keys[-1] == "255 107" and lines[-1] == "end 7", "last key %r, last line %r" % (keys[-1], lines[-1]))
    check(mice[0] == "1 -1 -1 -1 -1" and mice[-1] == "0 639 479 1 0", "first and last mouse states %r" % mice)
    for state in ("0 100 200 0 1", "0 100 200 0 0", "0 300 50 0 2", "0 639 479 1 4", "0 639 479 1 8", "0 639 479 1 16"):
        check(state in mice, "mouse state %r never read; read %r" % (state, mice))


@case(wm=True, env=demo(exit_code=3))
def demo_manager(p):
    """Under a window manager the window keeps the frame's size at least, Alt+F4 neither closes nor
    queues a key, Alt+Enter fills the screen with the frame at twice the size between black bars
    (clicks map back, a press on a bar is no click) and comes back, and the manager's close 200 ms
    after Alt queues the close key once."""
    frame = demo_frame(p)
    for _ in range(5):
        p.keys("alt+F4", "2", delay=100)
    p.display.xdo("windowsize", p.window, 300, 200)  # the window keeps the frame's size at least
    time.sleep(0.3)
    shown(p, frame)
    p.keys("alt+Return")
    shown(p, scaled(frame, 1600, 1200, 2), 1600, 1200)
    p.click(360, 520)  # the frame stands at (160, 120) at twice the size: this is (100, 200)
    p.display.xdo("mousemove", "--window", p.window, 30, 500, "mousedown", 1, "sleep", 0.05,
                  "mousemove", "--window", p.window, 161, 121, "sleep", 0.08, "mouseup", 1)  # from a bar
    p.keys("alt+Return")
    shown(p, frame)
    p.keys("alt")
    time.sleep(0.2)  # a player lets go of Alt and clicks the close button: that close counts
    p.display.run("wmctrl", "-c", "screen_demo", check=True)
    expect_exit(p, 3, "the manager's close")
    lines = p.lines()
    keys = [line[4:] for line in lines if line.startswith("key ")]
    check(keys == ["50"] * 5 + ["255 107"], "keys %r, expected 5 times 50, then 255 107" % keys)
    mice = [line[6:] for line in lines if line.startswith("mouse ")]
    check("0 100 200 0 1" in mice and "0 100 200 0 0" in mice and "1 -1 -1 -1 -1" in mice and "0 0 0 0 0" in mice,
          "a click at twice the size, and a press on a bar: %r" % mice)
    after = mice[mice.index("0 100 200 0 1") + 2:]  # after the click's release
    check(not any(m.endswith(" 1") for m in after), "a press on the bar counted: %r" % after)


def demo_endings(path):
    """end_program before the window gives its code, a returning program exits with 0, and losing
    the X server ends a waiting program with 1 instead of hanging it."""
    for mode, code in (("early", 5), ("return", 0)):
        session(path, lambda p: expect_exit(p, code, mode), env=demo(exit_code=code, mode=mode))
    session(path, lambda p: (p.find_window(), p.display.server.terminate(), expect_exit(p, 1, "the X server gone")),
            env=demo())


# --- The Windows program under Wine ---

def built(path):
    """Skips the case without the Windows build, which the default build leaves out."""
    if not os.path.exists(path):
        raise Skip("%s is not built; `cmake --build BUILD --target windows` builds it (make test does)" % path)
    return os.path.abspath(path)


def linux_picture(viertal):
    """The picture file as the Linux program writes it."""
    def body(p):
        p.find_window()
        p.keys("Escape")
        expect_exit(p, 0, "the Linux program")
        return open(p.path("temp", "ZAQT.bmp"), "rb").read()
    return session(viertal, body)


def windows_game(exe, golden, viertal):
    """The Windows program under Wine and a window manager, as on Linux: the start screen, centred
    on the screen, with the game's icons; the
    picture byte for byte the Linux program's, for a user named in Cyrillic and Chinese, left
    alone by a second start; the window made larger, then smaller than the frame, keeps the
    frame's client area; Alt+F4 does nothing; Space, a refused key's tones, keys and held clicks to
    the frame of the headless win; Escape; Alt+Enter at twice the size, a new frame there, and back; the manager's
    close 200 ms after Alt ends with 0."""
    exe = built(exe)
    picture = linux_picture(viertal)
    display = Display(wm=True)
    # A user name outside the ANSI code page of a Western Windows: its temp folder has no ANSI name.
    prefix, program = WinePrefix(display, user="\u041f\u043e\u043b\u044c\u0437\u043e\u0432\u0430\u0442\u0435\u043b\u044c \u7528\u6237"), None
    try:
        program = p = Program(display, os.path.abspath(exe), wine=prefix)
        p.find_window()
        shot = p.wait_screen("the start screen", lambda s: frame_hash(s.rgb) == golden_start_hash(golden))
        check((shot.width, shot.height) == (W, H), "client area %dx%d" % (shot.width, shot.height))
        info = display.run("xwininfo", "-id", str(p.window), capture_output=True, text=True).stdout
        x, y = (int(re.search(r"Absolute upper-left %s: +(-?\d+)" % a, info).group(1)) for a in "XY")
        check(x == (1600 - W) // 2 and abs(y - (1200 - H) // 2) < 40, "the window starts at %d,%d, not centred" % (x, y))
        icons = re.findall(r"Icon \(\d+ x \d+\)", display.run("xprop", "-id", p.window, "_NET_WM_ICON",
                                                               capture_output=True, text=True).stdout)
        check(icons == ["Icon (32 x 32)", "Icon (16 x 16)"], "the window's icons: %r" % icons)
        file = os.path.join(p.temp, "ZAQT.bmp")
        check(os.listdir(p.temp) == ["ZAQT.bmp"] and open(file, "rb").read() == picture,
              "the picture differs from the Linux program's, or more was left: %r" % os.listdir(p.temp))
        written = os.stat(file)
        display.xdo("windowsize", p.window, 900, 700)
        p.wait_screen("the window larger", lambda s: (s.width, s.height) == (900, 700))
        display.xdo("windowsize", p.window, 300, 200)
        p.wait_screen("the window back at the frame's size", lambda s: (s.width, s.height) == (W, H)
                      and frame_hash(s.rgb) == golden_start_hash(golden))
        p.keys("alt+F4", "alt+F4")
        time.sleep(0.5)
        check(p.proc.poll() is None and frame_hash(p.screenshot()[2]) == golden_start_hash(golden),
              "Alt+F4 closed the game or answered the question")
        p.keys("space")  # the next playing style, with two tones
        p.wait_screen("the next style", lambda s: frame_hash(s.rgb) == golden_hash(golden, "pic <32> j22435 rm x <27>",
                                                                                   "<32>"))
        p.keys("j")
        p.wait_screen("the question answered", lambda s: s.colours(3, 31) == set())
        begin = time.monotonic()
        p.keys("8", "2")  # a refused key: 600 Hz for 120 ms and 500 Hz for 240 ms
        p.wait_screen("the disc in column 2", lambda s: s.pixel(*hole(2, 0)) == RED)
        check(time.monotonic() - begin >= 0.36, "the disc came %.0f ms after a refused key"
              % (1000 * (time.monotonic() - begin)))
        for move, column in enumerate((2, 4, 3), 2):
            p.wait_screen("the reply to move %d" % (move - 1), lambda s: sum(
                s.pixel(*hole(c, r)) == YELLOW for c in range(1, 8) for r in range(6)) == move - 1)
            time.sleep(0.6)  # a click counts once the reply's pause is over
            p.click(hole(column, 5)[0], 200)
        p.keys("5")
        p.wait_screen("the human's win", lambda s: frame_hash(s.rgb) == golden_hash(
            golden, "pic <32> j22435 rm x <27>", "j22435"), timeout=20)
        p.keys("Escape")
        expect_exit(p, 0, "Escape")
        p.close()

        program = p = Program(display, os.path.abspath(exe), wine=prefix)
        p.find_window()
        p.wait_screen("the start screen again", lambda s: frame_hash(s.rgb) == golden_start_hash(golden))
        again = os.stat(file)
        check((again.st_ino, again.st_mtime_ns) == (written.st_ino, written.st_mtime_ns),
              "the second start wrote the picture again")
        frame = p.screenshot()[2]
        p.keys("alt+Return")
        shown(p, scaled(frame, 1600, 1200, 2), 1600, 1200)
        p.keys("space")  # a frame changed in full screen shows whole
        p.wait_screen("the next style in full screen", lambda s: at_one(s) and frame_hash(at_one(s).rgb) == golden_hash(
            golden, "pic <32> j22435 rm x <27>", "<32>"))
        p.keys("alt+Return")
        p.wait_screen("the window again", lambda s: (s.width, s.height) == (W, H) and frame_hash(s.rgb) == golden_hash(
            golden, "pic <32> j22435 rm x <27>", "<32>"))
        p.keys("alt")
        time.sleep(0.2)  # a player lets go of Alt and clicks the close button: that close counts
        p.display.run("wmctrl", "-c", "viertal", check=True)
        expect_exit(p, 0, "the manager's close")
    finally:
        if program:
            program.close()
        prefix.close()
        display.close()


def windows_units(exe, game):
    """The Windows-only code's own checks (tests/windows) under Wine; and the program without a
    display, which says in a message box (Wine's trace shows the call) that it has no window."""
    exe, game = built(exe), built(game)
    display = Display()
    prefix = WinePrefix(display)
    try:
        run = subprocess.run([WINE, exe], env=prefix.env, capture_output=True, text=True, timeout=60)
        check(run.returncode == 0 and run.stdout.endswith("ok: 0 failed\n"), "exit code %d: %s%s"
              % (run.returncode, run.stdout, run.stderr))
        run = subprocess.run([WINE, game], env=dict(prefix.env, DISPLAY="", WINEDEBUG="+relay"), capture_output=True,
                             timeout=60)
        calls = [line for line in run.stderr.decode(errors="replace").splitlines() if "Call user32.MessageBoxW(" in line]
        check(run.returncode == 1 and len(calls) == 1 and 'L"viertal: kan geen venster openen' in calls[0],
              "without a display: exit code %d, message boxes %r" % (run.returncode, calls))
    finally:
        prefix.close()
        display.close()


CASES.update({name: f for name, f in dict(globals()).items() if name.startswith(("game_", "demo_", "windows_"))
              and name not in CASES and callable(f)})

if __name__ == "__main__":
    sys.exit(main(CASES))
