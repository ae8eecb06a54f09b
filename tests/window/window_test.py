#!/usr/bin/python3
"""window_test.py -- what only the real window shows: the game and the screen demo under a private
Xvfb, through the one driver (driver.py).

    window_test.py CASE PROGRAM [GOLDEN_DIR]
"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from driver import H, W, Display, Program, check, frame_hash, main  # noqa: E402

RED, YELLOW, WHITE = 0xFF4400, 0xFFFF00, 0xFFFFFF
ERROR_TONES = [(600, 120), (500, 240)]


def hole(column, row):
    return 64 * column + 67, 424 - 64 * row


def golden_start_hash(golden):
    """The hash of the start screen with the picture, from the headless games' transcript."""
    lines = open(os.path.join(golden, "games.golden")).read().splitlines()
    return lines[lines.index("== pic <close>") + 1].split()[-1]


def question(shot):
    return shot.colours(3, 31) == {YELLOW}


CASES = {}


def session(path, body, wm=False, started=False, **options):
    """Runs body(program) against a fresh display and program, and always cleans both up. With
    started, first waits for the program's window to show the start question."""
    display, program = Display(wm=wm), None
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

@case()
def game_start(p, golden, shim=None):
    """The start screen pixel for pixel as the headless game draws it, with the picture written
    into "temp" and nothing anywhere else; the window's icon; Escape ends with 0."""
    p.find_window()
    shot = p.wait_screen("the start screen", lambda s: frame_hash(s.rgb) == golden_start_hash(golden))
    check((shot.width, shot.height) == (W, H), "client area %dx%d" % (shot.width, shot.height))
    check(os.listdir(p.temp) == ["ZAQT.bmp"] and os.path.getsize(p.path("temp", "ZAQT.bmp")) == 921656,
          "temp holds %r" % os.listdir(p.temp))
    icon = p.display.run("xprop", "-id", p.window, "_NET_WM_ICON", capture_output=True, text=True).stdout
    check("Icon (48 x 48)" in icon, "no 48 x 48 window icon: %r" % icon[:100])
    p.keys("Escape")
    expect_exit(p, 0, "Escape at the start question")
    home = [os.path.join(d, f) for d, _, files in os.walk(p.path("home")) for f in files]
    check(home == [] and os.listdir(p.path("tmp")) == [] and p.stderr() == "",
          "written outside temp: %r %r; stderr %r" % (home, os.listdir(p.path("tmp")), p.stderr()))
    check(not p.outliving(), "processes outlive the game: %r" % p.outliving())


@case(started=True, audio=True)
def game_play(p, golden, shim=None):
    """Keys and held clicks play a game; a refused key sounds; Escape at the turn ends it."""
    p.click(246, 37)  # "ja"
    p.wait_screen("the question answered", lambda s: s.colours(3, 31) == set())
    p.keys("8", "3")
    p.wait_screen("the discs in 3 and 4", lambda s: s.pixel(*hole(3, 0)) == RED and s.pixel(*hole(4, 0)) == YELLOW)
    time.sleep(0.6)  # a click counts once the reply's pause is over
    p.click(195, 200)  # column 2, at the height of the third row
    p.wait_screen("the discs in 2 and 4", lambda s: s.pixel(*hole(2, 0)) == RED and s.pixel(*hole(4, 1)) == YELLOW)
    p.keys("Escape")
    expect_exit(p, 0, "Escape at the human's turn")
    tones = p.tones()
    check(len(tones) == 2 and all(abs(f - wf) <= wf * 0.02 and abs(d - wd) <= 8
                                  for (f, d), (wf, wd) in zip(tones, ERROR_TONES)),
          "the refused key sounded %r, expected %r" % (tones, ERROR_TONES))


@case(started=True)
def game_result(p, golden, shim=None):
    """A game won by keys typed ahead; the close request at the result ends with 0."""
    p.display.xdo("type", "--delay", 40, "j22435")
    p.wait_screen("the won game", lambda s: s.pixel(*hole(5, 1)) == RED and s.colours(3, 14) == {WHITE}, 15)
    p.close_request()
    expect_exit(p, 0, "the close request at the result")


@case(started=True)
def game_close_in_pause(p, golden, shim=None):
    p.keys("j", "3")
    p.wait_screen("the human's disc", lambda s: s.pixel(*hole(3, 0)) == RED)  # its 500 ms pause runs now
    p.close_request()
    expect_exit(p, 0, "the close request during a disc pause")


def game_no_sound(viertal, golden, shim=None):
    """No sound device: the game starts, and refused keys' tones still take their time."""
    def body(p):
        p.keys("j")
        p.wait_screen("the question answered", lambda s: s.colours(3, 31) == set())
        begin = time.monotonic()
        p.keys("8", "9", "3")
        p.wait_screen("the disc in column 3", lambda s: s.pixel(*hole(3, 0)) == RED)
        check(time.monotonic() - begin >= 0.70, "the disc came %.0f ms after two refused keys"
              % (1000 * (time.monotonic() - begin)))
        p.keys("Escape")
        expect_exit(p, 0, "Escape")
        check(p.stderr() == "", "stderr %r" % p.stderr())
    for env in ({"SDL_AUDIODRIVER": "bogus"}, {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/nonexistent/a.raw"}):
        session(viertal, body, started=True, env=env)


def game_read_only_temp(viertal, golden, shim=None):
    """A "temp" the player may not write (run as nobody when we are root): the game starts, shows
    no picture and writes nothing anywhere."""
    as_user = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.geteuid() == 0 else []
    copy = "/tmp/viertal-copy-%d" % os.getpid()  # the build tree may be closed to other users
    subprocess.run(["install", "-m", "755", viertal, copy], check=True)

    def body(p):
        for name in ("temp", "home", "tmp"):
            os.chmod(p.path(name), 0o555)
        p.find_window()
        p.wait_screen("the start question", question)
        p.keys("Escape")
        expect_exit(p, 0, "Escape")
        check(os.listdir(p.temp) == [] and p.stderr() == "", "temp %r, stderr %r" % (os.listdir(p.temp), p.stderr()))
    try:
        session(copy, body, prefix=as_user)
    finally:
        os.unlink(copy)


def game_no_display(viertal, golden, shim=None):
    """No display, or one that names no server: one Dutch line with SDL's reason, exit status 1."""
    for display in (None, ":31999"):
        p = Program(None, viertal, env={"DISPLAY": display})
        try:
            code, lines = p.exit_code(), p.stderr().splitlines()
            check(code == 1 and len(lines) == 1 and os.listdir(p.temp) == []
                  and lines[0].startswith("viertal: geen beeldscherm gevonden (is DISPLAY gezet?): "),
                  "DISPLAY=%s: exit %s, stderr %r" % (display, code, lines))
        finally:
            p.close()


def game_busy_display(viertal, golden, shim):
    """An X server that turns the first connections away: the start tries again and the window
    comes; one that never lets the game in ends it after about a second with the Dutch line.
    Then 40 quick starts in a row against a server kept busy with screenshots."""
    session(viertal, lambda p: (p.find_window(), p.keys("Escape"), expect_exit(p, 0, "a start after 5 refusals")),
            env={"LD_PRELOAD": shim, "VIERTAL_REFUSE_X": "5"})
    session(viertal, lambda p: check(p.exit_code() == 1 and "geen beeldscherm" in p.stderr(), "never let in: %r"
                                     % p.stderr()), env={"LD_PRELOAD": shim, "VIERTAL_REFUSE_X": "1000"})
    display = Display()
    busy = subprocess.Popen(["sh", "-c", "while import -window root -depth 8 rgb:- >/dev/null; do :; done"],
                            env=display.env)
    try:
        for start in range(40):
            p = Program(display, os.path.abspath(viertal))
            try:
                p.find_window()
                p.keys("Escape")
                expect_exit(p, 0, "quick start %d" % (start + 1))
            finally:
                p.close()
    finally:
        busy.kill()
        busy.wait()
        display.close()


@case(started=True)
def game_flood(p, golden, shim=None, seconds="6"):
    """Random keys and clicks for a while; the game then still answers Escape."""
    import random
    rng = random.Random(6)
    keys = list("1234567") * 6 + list("0890jJnNaqxz") + ["space"] * 4 + ["Left", "Up", "F1", "F10", "Tab", "Return"]
    end = time.monotonic() + float(seconds)
    while time.monotonic() < end:
        args = []
        for _ in range(40):
            args += ["key", rng.choice(keys)] if rng.random() < 0.75 else \
                ["mousemove", "--window", p.window, rng.randint(0, 639), rng.randint(0, 479), "click", "1"]
        p.display.xdo(*args)
        check(p.proc.poll() is None, "the program ended under the flood: %r" % p.stderr())
    time.sleep(2)  # most of what is queued plays out; more keys than 15 are dropped
    p.keys("Escape", "Escape")
    code = p.exit_code(60)
    check(code == 0, "exit %s after the flood; stderr %r" % (code, p.stderr()))


# --- The screen demo: the backend's keys, mouse, scaling, window manager and endings ---

def demo(exit_code=0, mode="input"):
    return {"SCREEN_DEMO_MODE": mode, "SCREEN_DEMO_EXIT": str(exit_code), "SCREEN_DEMO_FRAME": "{root}/frame.ppm"}


def scaled(frame, width, height, scale):
    left, top = (width - W * scale) // 2, (height - H * scale) // 2
    out = bytearray(3 * width * height)
    for y in range(H):
        row = b"".join(frame[3 * (y * W + x):3 * (y * W + x) + 3] * scale for x in range(W))
        for k in range(scale):
            start = 3 * ((top + y * scale + k) * width + left)
            out[start:start + len(row)] = row
    return bytes(out)


def shown(p, frame, width=W, height=H):
    p.wait_screen("the frame at %dx%d" % (width, height),
                  lambda s: (s.width, s.height) == (width, height) and s.rgb == frame)


def demo_frame(p):
    """Finds the demo's window and returns the frame it drew, as it wrote it before showing it."""
    p.find_window()
    deadline = time.monotonic() + 10
    while not os.path.exists(p.path("frame.ppm")) or os.path.getsize(p.path("frame.ppm")) < 15 + 3 * W * H:
        check(time.monotonic() < deadline, "the demo wrote no frame")
        time.sleep(0.05)
    with open(p.path("frame.ppm"), "rb") as f:
        return f.read().split(b"\n", 3)[3]


def logged(p, kind):
    return [line[len(kind) + 1:] for line in p.lines() if line.startswith(kind + " ")]


FIRST_KEYS = ["51", "106", "74", "32", "55", "27", "255 72", "3", "255 83", "255 59", "255 58", "255 58",
              "255 69", "255 91", "130", "156", "225", "13", "8", "9"]


@case(env=demo(exit_code=7))
def demo_input(p):
    """Keys as the game reads them (F10, Alt+x and a lone Shift give nothing; the locks and the
    Windows key do), held keys repeat,
    the mouse's buttons, wheel and position, a repaint after unmapping, and the close request."""
    frame = demo_frame(p)
    shown(p, frame)
    for command in ("windowunmap", "windowmap", "windowfocus"):
        p.display.xdo(command, "--sync", p.window)
    shown(p, frame)
    p.display.xdo("type", "--delay", 30, "3jJ 7")
    p.keys("Escape", "Up", "F10", "alt+x", "shift", "ctrl+c", "Delete", "F1", "Caps_Lock", "Caps_Lock", "Num_Lock", "Super_L",
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


@case(env=demo())
def demo_scaled(p):
    """A bigger window shows the frame at twice the size between black bars; clicks map back to
    frame pixels and a press on a bar is no click."""
    frame = demo_frame(p)
    p.display.xdo("windowmove", "--sync", p.window, 0, 0, "windowsize", "--sync", p.window, 1400, 1000)
    shown(p, scaled(frame, 1400, 1000, 2), 1400, 1000)
    p.click(260, 420)  # frame (100, 200)
    p.display.xdo("mousemove", "--window", p.window, 30, 500, "mousedown", 1, "sleep", 0.05,
                  "mousemove", "--window", p.window, 61, 21, "sleep", 0.08, "mouseup", 1)
    p.keys("1")
    time.sleep(0.3)
    p.close_request()
    expect_exit(p, 0, "the close request")
    mice = logged(p, "mouse")
    for state in ("0 100 200 0 1", "0 100 200 0 0", "1 -1 -1 -1 -1", "0 0 0 0 0"):
        check(state in mice, "mouse state %r never read; read %r" % (state, mice))
    after = mice[mice.index("0 100 200 0 0") + 1:]
    check(not any(m.endswith(" 1") for m in after), "a press on the bar counted: %r" % after)


@case(wm=True, env=demo(exit_code=3))
def demo_manager(p):
    """Under a window manager Alt+F4 neither closes nor queues a key, Alt+Enter fills the screen
    and comes back, and the manager's close queues the close key once."""
    frame = demo_frame(p)
    p.display.xdo("windowactivate", "--sync", p.window)
    for _ in range(5):
        p.keys("alt+F4", "2", delay=100)
    p.keys("alt+Return")
    shown(p, scaled(frame, 1600, 1200, 2), 1600, 1200)
    p.keys("alt+Return")
    shown(p, frame)
    time.sleep(0.8)  # a close request within 500 ms of an Alt release counts as Alt+F4
    p.display.run("wmctrl", "-c", "screen_demo", check=True)
    expect_exit(p, 3, "the manager's close")
    keys = logged(p, "key")
    check(keys == ["50"] * 5 + ["255 107"], "keys %r, expected 5 times 50, then 255 107" % keys)


def demo_endings(path):
    """end_program before the window gives its code, a returning program exits with 0, and losing
    the X server ends a waiting program with 1 instead of hanging it."""
    for mode, code in (("early", 5), ("return", 0)):
        session(path, lambda p: expect_exit(p, code, mode), env=demo(exit_code=code, mode=mode))
    session(path, lambda p: (p.find_window(), p.display.server.terminate(), expect_exit(p, 1, "the X server gone")),
            env=demo())


CASES.update({name: f for name, f in dict(globals()).items() if name.startswith(("game_", "demo_"))
              and name not in CASES and callable(f)})

if __name__ == "__main__":
    sys.exit(main(CASES))
