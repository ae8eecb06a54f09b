"""xvfb_helpers.py -- the real program under a private Xvfb for the fault and soak tests: starting it
the way a test needs (another user, a file-size limit, its own environment), finding its window,
watching its process, and listing a directory tree to prove what it wrote.

Builds on the game's end-to-end test (tests/game-e2e/game_e2e.py) for screenshots, the hole
positions and the picture file's pixels. Expects Debian's /usr/bin/python3 and $DISPLAY naming a
private Xvfb (scripts/with-xvfb) for everything that needs a window.
"""
import os
import pwd
import resource
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "game-e2e"))
from game_e2e import (Failure, Picture, Screenshot, check, hole, need_tools,  # noqa: E402,F401
                      xdo, RED, YELLOW, PICTURE_SIZE)

TIMEOUT = 10.0  # seconds for any single wait
PICTURE = "ZAQT.bmp"


def unprivileged_prefix():
    """The command prefix that runs a program as an ordinary user: root writes where the permission
    bits say no, so as root the program runs as nobody; otherwise as ourselves."""
    if os.geteuid() != 0:
        return []
    pwd.getpwnam("nobody")
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def open_to_all(path):
    """Lets any user walk through a directory (mkdtemp makes them 0700)."""
    os.chmod(path, 0o755)


class Program:
    """One run of the program: its process, its stderr (kept in a file), its window."""

    def __init__(self, viertal, temp, env=None, unprivileged=False, file_limit=None, cwd=None):
        environment = dict(os.environ)
        environment["SDL_AUDIODRIVER"] = "dummy"
        if temp is None:
            environment.pop("temp", None)
        else:
            environment["temp"] = temp
        for name, value in (env or {}).items():
            if value is None:
                environment.pop(name, None)
            else:
                environment[name] = value
        command = (unprivileged_prefix() if unprivileged else []) + [viertal]

        def limit():
            if file_limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_limit, file_limit))

        handle, self.stderr_path = tempfile.mkstemp(prefix="viertal-stderr-", suffix=".txt")
        self._stderr = os.fdopen(handle, "w+")
        self.proc = subprocess.Popen(command, env=environment, cwd=cwd, stdout=subprocess.DEVNULL,
                                     stderr=self._stderr, preexec_fn=limit)
        self.window = None

    def find_window(self):
        """Waits for this process's visible window and focuses it; returns its id."""
        deadline = time.monotonic() + TIMEOUT
        while True:
            out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name",
                                  "^viertal$"], capture_output=True, text=True, timeout=TIMEOUT)
            ids = out.stdout.split()
            if len(ids) == 1:
                self.window = int(ids[0])
                return self.window
            check(self.proc.poll() is None,
                  "the program ended with %s before its window showed; stderr: %r" % (self.proc.returncode,
                                                                                      self.stderr()))
            check(time.monotonic() < deadline, "no window of the program within %g s (found %r)" % (TIMEOUT, ids))
            time.sleep(0.05)

    def move(self, x, y):
        """Moves the window so that screenshots of two windows never overlap."""
        xdo("windowmove", "--sync", self.window, x, y)

    def focus(self):
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
            check(self.proc.poll() is None, "the program ended (%s) while waiting for %s; stderr: %r"
                  % (self.proc.returncode, what, self.stderr()))
            check(time.monotonic() < deadline, "the screen never showed %s" % what)
            time.sleep(0.05)

    def wait_start_question(self):
        """Finds the window and waits until the start question shows its yellow "ja"."""
        if self.window is None:
            self.find_window()
        return self.wait_screen("the start question", lambda s: s.cell_colours(3, 31) == {YELLOW})

    def keys(self, *names):
        self.focus()
        xdo("key", "--delay", "40", *names)

    def quit(self, what, timeout=TIMEOUT):
        """Presses Escape and expects exit code 0 within the timeout."""
        self.keys("Escape")
        code = self.exit_code(timeout)
        check(code == 0, "exit code %s after Escape (%s); stderr: %r" % (code, what, self.stderr()))

    def exit_code(self, timeout=TIMEOUT):
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure("the program did not end within %g s" % timeout)
        return self.proc.returncode

    def stderr(self):
        self._stderr.flush()
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def close(self):
        self.kill()
        self._stderr.close()
        os.unlink(self.stderr_path)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


def process_times(pid):
    """CPU seconds (user + system) the process has used so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_bytes(pid):
    with open("/proc/%d/statm" % pid) as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def process_uid(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("Uid:"):
                return int(line.split()[1])
    return -1


def tree(root):
    """Everything under root as {relative path: description}: type and mode; for files and links
    also size, modification time, inode, link target and, for files up to 1 MiB, the content.
    Two listings compare equal only when nothing under root was created, removed, renamed,
    written or changed in kind."""
    listing = {}
    for directory, names, files in os.walk(root, followlinks=False):
        for name in names + files:
            path = os.path.join(directory, name)
            st = os.lstat(path)
            entry = {"mode": st.st_mode}
            if os.path.islink(path):
                entry["target"] = os.readlink(path)
            elif not os.path.isdir(path):  # a directory's own size and time change with what comes and goes
                entry.update(size=st.st_size, mtime=st.st_mtime_ns, inode=st.st_ino)
                if os.path.isfile(path) and st.st_size <= 1 << 20:
                    with open(path, "rb") as f:
                        entry["content"] = f.read()
            listing[os.path.relpath(path, root)] = entry
    return listing


def tree_changes(before, after):
    """The paths that were added, removed or changed between two listings, as readable lines."""
    lines = []
    for path in sorted(set(before) | set(after)):
        if path not in after:
            lines.append("removed " + path)
        elif path not in before:
            lines.append("added %s (%d bytes)" % (path, after[path].get("size", 0)))
        elif before[path] != after[path]:
            changed = [k for k in after[path] if before[path].get(k) != after[path][k]]
            lines.append("changed %s (%s)" % (path, ", ".join(changed)))
    return lines


def is_whole_picture(path):
    """Tells whether path is a regular file holding a whole picture: 921,656 bytes, "BM", the size
    field, the pixel offset, 640 x 480 at 24 bits."""
    if os.path.islink(path) or not os.path.isfile(path):
        return False
    with open(path, "rb") as f:
        data = f.read()
    return (len(data) == PICTURE_SIZE and data[:2] == b"BM" and int.from_bytes(data[2:6], "little") == PICTURE_SIZE
            and int.from_bytes(data[10:14], "little") == 54 and int.from_bytes(data[18:22], "little") == 640
            and int.from_bytes(data[22:26], "little") == 480 and int.from_bytes(data[28:30], "little") == 24)
