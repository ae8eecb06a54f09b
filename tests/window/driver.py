"""driver.py -- the one driver of the real-window tests: a private Xvfb, the program started in a
scratch HOME, TMPDIR and "temp" with only the environment it needs, its window found by process
id, keys, held clicks, screenshots, the close request, tones through SDL's disk audio driver,
stderr and exit code. The Windows program runs the same way under Wine, in a scratch Wine prefix.
Nothing is left behind: no process, no file, no X server.

Needs Debian's /usr/bin/python3 with python3-xlib, Xvfb, xdotool and ImageMagick's import; wine64
for the Windows program.
"""
import array
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT = 10.0
W, H = 640, 480
WINE = "/usr/lib/wine/wine64"  # Debian's wine64


class Failure(Exception):
    pass


class Skip(Exception):
    """The case cannot run here; its message says what would make it run."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def poll(what, probe, timeout=TIMEOUT, seen=None):
    """Calls probe() until it gives something true and returns that; fails after `timeout`,
    saying what seen() gives then (else the last value)."""
    deadline, value = time.monotonic() + timeout, None
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.05)
    check(False, "%s: not after %.0f s (%s)" % (what, timeout, seen() if seen else repr(value)[:300]))


def frame_hash(rgb):
    """FNV-1a over the RGB bytes, as the unit tests hash their frames."""
    h = 14695981039346656037
    for byte in rgb:
        h = ((h ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return "%016x" % h


def scenario_lines(golden, name, scenario):
    """The lines of a scenario of a headless transcript (golden/NAME), the start first and up to
    the end of the program. A start the transcript leaves out, as equal to the scenario's before,
    is that one's."""
    lines = open(os.path.join(golden, name)).read().splitlines()
    at = lines.index("== " + scenario) + 1
    steps = []
    for line in lines[at:]:
        if line.startswith("==") or line.split("|")[1].strip().startswith("ended"):
            break
        steps.append(line)
    if not steps or not steps[0].startswith("start |"):
        steps.insert(0, next(line for line in reversed(lines[:at]) if line.startswith("start |")))
    return steps


def transcript(golden, scenario):
    """A scenario of the headless games' transcript (golden/games.golden), the start first:
    [(step, frame hash after it, [(Hz, ms) of its tones])]."""
    steps = []
    for line in scenario_lines(golden, "games.golden", scenario):
        fields = [field.strip() for field in line.split("|")]
        steps.append((fields[0], fields[-1], [tuple(map(int, tone.split("/"))) for tone in fields[4].split()]))
    return steps


class Display:
    """A private Xvfb (and, with wm, openbox, with its configuration file `wm_config` if given) on
    a display number of its own choosing; with resources, the X resources a desktop sets (as xrdb
    lines: "Xft.dpi: 192")."""

    def __init__(self, wm=False, size="1600x1200", resources=None, wm_config=None):
        for tool in ("Xvfb", "xdotool", "import") + (("openbox", "xprop") if wm else ()):
            check(shutil.which(tool), "%s is missing (run scripts/install-deps)" % tool)
        read, write = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", size + "x24", "-nolisten",
                                        "tcp", "-noreset"], pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.name = ":" + f.readline().strip()  # written once it accepts clients
        check(self.name != ":", "Xvfb did not start")
        self.env = {"DISPLAY": self.name, "PATH": "/usr/bin:/bin"}
        self.wm = None
        if wm:
            self.wm = subprocess.Popen(["openbox"] + (["--config-file", wm_config] if wm_config else []), env=self.env,
                                       stderr=subprocess.DEVNULL)
            # openbox owns the screen's window-manager selection once it manages windows.
            poll("openbox", lambda: b"window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                                              capture_output=True).stdout)
        self.xdo("mousemove", 0, 0)  # the pointer starts away from any window
        if resources:
            self.run("xrdb", "-nocpp", "-merge", input=resources.encode(), check=True)

    def run(self, *command, **options):
        return subprocess.run(list(map(str, command)), env=self.env, timeout=TIMEOUT, **options)

    def xdo(self, *args):
        self.run("xdotool", *args, check=True)

    def close(self):
        for process in (self.wm, self.server):
            if process:
                process.terminate()
                process.wait()


class WinePrefix:
    """A scratch Wine prefix, set up once, in which Windows programs then start in about a second.
    Wine sets TEMP and TMP to the prefix's own temp folder, in the folder of `user` if given."""

    def __init__(self, display, user=None):
        check(os.access(WINE, os.X_OK), "%s is missing (run scripts/install-deps)" % WINE)
        self.root = tempfile.mkdtemp(prefix="viertal-wine-")
        # No downloads of Wine's .NET and HTML engines, and none of its debugging chatter.
        # A UTF-8 locale: Wine spells a Windows name in the Unix one's code page, so without it a
        # folder named in Cyrillic or Chinese cannot be made at all.
        self.env = dict(display.env, HOME=self.root, WINEPREFIX=os.path.join(self.root, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="C.UTF-8")
        if user:
            self.env.update(USER=user, LOGNAME=user)
        subprocess.run([WINE, "wineboot", "--init"], env=self.env, timeout=180, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wineserver("-w")
        temps = glob.glob(os.path.join(self.env["WINEPREFIX"], "drive_c", "users", "*", "Temp"))
        check(len(temps) == 1, "the prefix's temp folders: %r" % temps)
        self.temp = temps[0]

    def wineserver(self, option):
        subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), option], env=self.env, timeout=60)

    def close(self):
        self.wineserver("-k")  # and with it every Wine process of the prefix
        shutil.rmtree(self.root, ignore_errors=True)


class Program:
    """One run of a program in its own scratch tree: home/, tmp/ and temp/ (or `temp`); with
    `wine`, a Windows program in that WinePrefix, which is then where its temp folder is."""

    def __init__(self, display, path, env=None, temp=None, audio=False, prefix=(), wine=None):
        if wine:
            env, temp, prefix = {**wine.env, "temp": None, **(env or {})}, wine.temp, (WINE,)
        self.display, self.window = display, None
        self.root = tempfile.mkdtemp(prefix="viertal-window-")
        os.chmod(self.root, 0o755)
        for name in ("home", "tmp", "temp"):
            os.mkdir(self.path(name))
            os.chmod(self.path(name), 0o777)
        self.temp = temp or self.path("temp")
        self.audio = self.path("audio.raw")
        environment = dict(display.env, HOME=self.path("home"),
                           TMPDIR=self.path("tmp"), XDG_RUNTIME_DIR=self.path("tmp"), temp=self.temp,
                           SDL_AUDIODRIVER="disk" if audio else "dummy", SDL_DISKAUDIOFILE=self.audio)
        environment.update(env or {})
        self.stderr_file = open(self.path("stderr.txt"), "w+")
        self.started = time.time()  # just before the process starts, for the start-up benchmarks
        self.proc = subprocess.Popen(list(prefix) + [path], env={k: v for k, v in environment.items() if v is not None},
                                     cwd=self.path("tmp"), stdout=subprocess.PIPE, stderr=self.stderr_file, text=True)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def stderr(self):
        self.stderr_file.flush()
        with open(self.stderr_file.name) as f:
            return f.read()

    def outliving(self):
        """Processes, the program's own aside, started with this run's scratch tree."""
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if self.root.encode() in f.read() and int(pid) != self.proc.pid:
                        found.append(int(pid))
            except OSError:
                pass
        return found

    def find_window(self):
        def found():
            check(self.proc.poll() is None, "the program ended with %s before its window showed; stderr %r"
                  % (self.proc.returncode, self.stderr()))
            ids = self.display.run("xdotool", "search", "--all", "--onlyvisible", "--pid", self.proc.pid, "--name", ".",
                                   capture_output=True, text=True).stdout.split()
            return int(ids[0]) if len(ids) == 1 else None

        self.window = poll("the program's one window", found)
        self.display.xdo("windowactivate" if self.display.wm else "windowfocus", "--sync", self.window)
        if self.display.wm:  # a manager hands it the keyboard later
            poll("the window to get the keyboard", lambda: self.display.run(
                "xdotool", "getwindowfocus", capture_output=True, text=True).stdout.strip() == str(self.window))
        return self.window

    def screenshot(self):
        """The window's pixels as RGB bytes, with its width and height."""
        out = self.display.run("import", "-window", self.window, "-depth", "8", "ppm:-", capture_output=True)
        check(out.returncode == 0, "import failed: %r" % out.stderr[-200:])
        header = out.stdout.split(b"\n", 3)  # "P6", "W H", "255", the pixels
        width, height = map(int, header[1].split())
        return width, height, header[3]

    def wait_screen(self, what, test, timeout=TIMEOUT):
        """Takes screenshots until test(Shot) holds; returns that shot."""
        deadline = time.monotonic() + timeout
        while True:
            shot = Shot(*self.screenshot())
            if test(shot):
                return shot
            check(self.proc.poll() is None, "the program ended (%s) while waiting for %s; stderr %r"
                  % (self.proc.returncode, what, self.stderr()))
            if time.monotonic() > deadline:
                path = os.path.join(tempfile.gettempdir(), "viertal-failed-%d.ppm" % os.getpid())
                with open(path, "wb") as f:
                    f.write(b"P6\n%d %d\n255\n" % (shot.width, shot.height) + shot.rgb)
                raise Failure("the window never showed %s; last screenshot in %s" % (what, path))
            time.sleep(0.05)

    def keys(self, *names, delay=40):
        self.display.xdo("key", "--delay", delay, *names)

    def click(self, x, y, button=1, hold=0.08):
        """Moves to (x, y) in the window and presses and releases as a person does."""
        self.display.xdo("mousemove", "--window", self.window, x, y, "mousedown", button, "sleep", hold, "mouseup", button)
        time.sleep(0.05)

    def close_request(self):
        """Sends WM_DELETE_WINDOW, as a window manager's close button does."""
        from Xlib import X, display, protocol
        d = display.Display(self.display.name)
        w = d.create_resource_object("window", self.window)
        delete = d.intern_atom("WM_DELETE_WINDOW")
        w.send_event(protocol.event.ClientMessage(window=w, client_type=d.intern_atom("WM_PROTOCOLS"),
                                                  data=(32, [delete, X.CurrentTime, 0, 0, 0])), event_mask=0)
        d.sync()
        d.close()

    def exit_code(self, timeout=TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %g s; stderr %r" % (timeout, self.stderr()))

    def lines(self):
        """What the program printed on stdout, once it has ended."""
        return self.proc.stdout.read().splitlines()

    def samples(self):
        """The samples SDL's disk audio driver wrote: 16 bits, one channel, 22,050 a second."""
        samples = array.array("h")
        with open(self.audio, "rb") as f:
            samples.frombytes(f.read())
        return samples

    def tones(self):
        """The disk audio file as (frequency Hz, duration ms) of each steady tone in it."""
        samples = self.samples()
        loud = [(i, s > 0) for i, s in enumerate(samples) if abs(s) >= 200]
        crossings = [i for (i, up), (_, was_up) in zip(loud[1:], loud) if up != was_up]
        tones, start = [], 0
        for i in range(1, len(crossings) + 1):
            if i == len(crossings) or abs((crossings[i] - crossings[i - 1]) - (crossings[start + 1] - crossings[start])) > 3:
                if i - 1 - start >= 10:
                    half = (crossings[i - 1] - crossings[start]) / (i - 1 - start)
                    tones.append((22050 / (2 * half), 1000 * (crossings[i - 1] - crossings[start] + half) / 22050))
                start = i
        return tones

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.stderr_file.close()
        for directory, names, _ in os.walk(self.root):
            for name in names:
                os.chmod(os.path.join(directory, name), 0o755)
        shutil.rmtree(self.root, ignore_errors=True)


class Shot:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self.rgb[i] << 16 | self.rgb[i + 1] << 8 | self.rgb[i + 2]

    def colours(self, row, column):
        """The colours other than black in a text cell of 8 x 16."""
        return {self.pixel(x, y) for y in range(16 * row - 16, 16 * row) for x in range(8 * column - 8, 8 * column)} - {0}


def main(cases):
    """Runs the case named on the command line: python3 FILE CASE ARGUMENTS..."""
    if len(sys.argv) < 2 or sys.argv[1] not in cases:
        print("usage: %s CASE ARGUMENTS...; cases: %s" % (sys.argv[0], " ".join(cases)), file=sys.stderr)
        return 2
    try:
        cases[sys.argv[1]](*sys.argv[2:])
    except Skip as reason:
        print("SKIPPED %s: %s" % (sys.argv[1], reason))
        return 77  # what CTest counts as a skipped test
    except Failure as failure:
        print("FAILED %s: %s" % (sys.argv[1], failure), file=sys.stderr)
        return 1
    print("ok %s" % sys.argv[1])
    return 0
