"""watcher.py -- a program's window seen from outside, through the X server, for the benchmarks:
the moments its contents change (the DAMAGE extension: the server reports every drawing into the
window), what it shows (its pixels, by XGetImage) and keys sent through XTEST. The program
carries no probe of its own; this sees what any other X client could.

Times are time.time(), the wall clock, noted as each report is read: the programs' own times
(bench/game/timed_main.cpp) use the same clock, under Wine too.

Needs Debian's /usr/bin/python3 with python3-xlib.
"""
import select
import time

from Xlib import X, XK, display, error
from Xlib.ext import damage  # XTEST comes with the display: fake_input

from driver import TIMEOUT, Failure, check, frame_hash


class Watcher:
    """One X connection that hears of windows being shown and of the changes of one window."""

    def __init__(self, name):
        self.x = display.Display(name)
        check(self.x.has_extension("DAMAGE"), "the X server has no DAMAGE extension")
        self.x.damage_query_version()
        self.x.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)  # windows shown
        self.pid_atom = self.x.intern_atom("_NET_WM_PID")
        self.x.sync()
        self.pid = self.window = None
        self.changes = []  # when each change of the window's contents was heard of

    def watch(self, pid=None, window=None):
        """Watches the given window, or the first window the process `pid` shows from now on."""
        self.pid, self.window, self.changes = pid, None, []
        if window is not None:
            self._follow(self.x.create_resource_object("window", window))
            self.x.sync()
            self._take(0)
            self.changes = []  # the whole window, reported as changed when the watching starts

    def _follow(self, window):
        """Asks the server for the window's changes; the first report is the whole window, at once
        (for a window just shown, the moment it appeared)."""
        self.window = window
        window.damage_create(damage.DamageReportRawRectangles)  # freed with the window

    def _take(self, timeout):
        """Waits at most `timeout` for news from the server, then handles all that came: a window of
        the watched process shown, or a change of the watched window, noted at the time it was read."""
        if not self.x.pending_events():
            select.select([self.x], [], [], max(timeout, 0))
        now = time.time()
        while self.x.pending_events():
            event = self.x.next_event()
            if event.type == X.MapNotify and self.window is None and self.pid is not None:
                try:
                    owner = event.window.get_full_property(self.pid_atom, X.AnyPropertyType)
                except error.BadWindow:  # shown and gone again before this was read
                    continue
                if owner and owner.value[0] == self.pid:
                    self._follow(event.window)
            elif event.type == self.x.extension_event.DamageNotify and self.window is not None \
                    and event.drawable.id == self.window.id:
                self.changes.append(now)

    def wait(self, what, done, timeout=TIMEOUT):
        """Handles news until done() holds."""
        deadline = time.time() + timeout
        while not done():
            check(time.time() < deadline, "no %s within %g s" % (what, timeout))
            self._take(deadline - time.time())

    def pause(self, seconds):
        """Handles news for `seconds`."""
        end = time.time() + seconds
        while time.time() < end:
            self._take(end - time.time())

    def image(self):
        """The window's pixels, 4 bytes each (blue, green, red, 0), row after row."""
        geometry = self.window.get_geometry()
        return self.window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xFFFFFF).data

    def quiet(self, seconds, timeout=TIMEOUT):
        """Waits until the window has shown something and then not changed for `seconds`."""
        self.wait("window", lambda: self.changes, timeout)
        deadline = time.time() + timeout
        while time.time() - self.changes[-1] < seconds:
            check(time.time() < deadline, "the window kept changing for %g s" % timeout)
            self._take(self.changes[-1] + seconds - time.time())

    def shown(self, expected, quiet=0.02, timeout=TIMEOUT):
        """The time the window came to show exactly the pixels `expected`: that of its latest change
        before an image of it matched. An image is fetched only once the window has not changed for
        `quiet` s, so that fetching it slows none of the program's drawing, and counts only when no
        change came in while it was fetched."""
        deadline = time.time() + timeout
        while True:
            self.quiet(quiet, deadline - time.time())
            seen = len(self.changes)
            pixels = self.image()
            self._take(0)
            if pixels == expected and len(self.changes) == seen:
                return self.changes[-1]
            self.wait("change of the window", lambda: len(self.changes) > seen, deadline - time.time())

    def key_latency(self, keysym_name):
        """Presses and releases a key through XTEST; returns the seconds from the press reaching the
        server to the next change of the window."""
        code = self.x.keysym_to_keycode(XK.string_to_keysym(keysym_name))
        self._take(0)
        before = len(self.changes)
        self.x.xtest_fake_input(X.KeyPress, code)
        self.x.sync()
        sent = time.time()
        try:
            self.wait("change after the key %s" % keysym_name, lambda: len(self.changes) > before)
        finally:
            self.x.xtest_fake_input(X.KeyRelease, code)
            self.x.sync()
        return self.changes[before] - sent

    def close(self):
        self.x.close()


def rgb(pixels):
    """Red, green and blue bytes of each pixel of an image(), as the screenshots give them."""
    out = bytearray(len(pixels) // 4 * 3)
    out[0::3], out[1::3], out[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
    return bytes(out)


def start_frame(watcher, pid, start_hash, timeout=TIMEOUT):
    """The pixels of the start screen as process `pid` shows it once settled, checked once against
    the headless frame's hash (slow in Python, so later starts compare bytes)."""
    watcher.watch(pid)
    watcher.quiet(0.5, timeout)
    pixels = watcher.image()
    if frame_hash(rgb(pixels)) != start_hash:
        raise Failure("the settled window is not the start screen")
    return pixels
