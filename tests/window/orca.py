"""orca.py -- the page under a real screen reader: a private Xvfb with openbox, a session bus of
its own with AT-SPI switched on, speech-dispatcher whose only voice writes each utterance as a
line of text, Orca with preferences of its own, and Chromium (not headless) on the page. The test
reads what Orca said and presses keys through the X server, where Orca sees them. Everything lives
in a scratch folder that goes at the end, with every process started.

    with orca_session() as s:
        ... a browser started with s.env shows the page; s.show()
        s.key("Tab")
        index, text = s.wait_for(r"^Nieuw spel")

`wait_for` looks from the cursor on: what came after the last key pressed or the last utterance
waited for. Orca's own record (every SPEECH OUTPUT line, what it sent even when speech was cut
short) is in `s.debug_file` until the end.

Needs Debian's orca, speech-dispatcher, at-spi2-core, dbus-x11, xvfb, openbox, xdotool, x11-utils
and chromium (scripts/install-deps). One Orca per user at a time, machine-wide: Orca refuses to
start beside another, so these tests cannot run in parallel.
"""
import contextlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from driver import TIMEOUT, Display, Skip, check, poll  # noqa: E402

TOOLS = ("dbus-daemon", "gdbus", "speech-dispatcher", "orca")  # and the Display's
GREETING = "Screen reader on."  # Orca's first words once it listens to AT-SPI
# speech-dispatcher's one voice: sd_generic runs GenericExecuteSynth for each piece of text, which
# appends "seconds language text" to the log, newlines turned to spaces. sd_generic would cut the
# text at every "." followed by a space and run the command per piece; a divider that never occurs
# (\x01) and a large chunk keep one utterance one line. Its audio output must open even though
# nothing is played: ALSA's "null" device, so nothing can reach a real one.
SPEECHD_CONF = """LogLevel 3
LogDir "{logs}"
AudioOutputMethod "alsa"
AudioALSADevice "null"
DisableAutoSpawn
AddModule "textlog" "sd_generic" "textlog.conf"
DefaultModule textlog
LanguageDefaultModule "nl" "textlog"
LanguageDefaultModule "en" "textlog"
"""
TEXTLOG_CONF = """GenericExecuteSynth "printf '%s %s %s\\\\n' \\"$(date +%s.%N)\\" '$LANGUAGE' \\"$(printf %s '$DATA' | tr '\\\\n' ' ')\\" >> {log}"
GenericDelimiters "\x01"
GenericMaxChunkLength 100000
AddVoice "nl" "MALE1" "nl"
AddVoice "en" "MALE1" "en"
GenericLanguage "nl" "nl" "utf-8"
GenericLanguage "en" "en" "utf-8"
"""
OPENBOX_CONF = """<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>1</number></desktops>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
"""
# Orca's user-settings.conf (read by its JSON backend from the -u folder; a profile's values win
# over "general", so both get them). Only what makes it quiet and repeatable changes; what it says
# about a page stays as a player hears it with Orca's defaults (verbose, punctuation "most").
ORCA_SETTINGS = {
    "enableKeyEcho": False,  # no "1", "space", "escape" between the page's own words
    "enableEchoByCharacter": False, "enableEchoByWord": False, "enableEchoBySentence": False,
    "enablePauseBreaks": False,  # otherwise one presentation is cut into several utterances
    "enableTutorialMessages": False,  # no "To move to ... press ..." hints after a pause
    "enableSound": False, "enableBraille": False,  # no sound icons, no braille display to look for
    "enableMouseReview": False,  # the pointer's place says nothing
    "presentToolTips": False, "speakProgressBarUpdates": False,
    "enableMnemonicSpeaking": False, "enablePositionSpeaking": False,
}


class Session:
    """What runs for one page; made by orca_session()."""

    def __init__(self, scratch):
        self.scratch, self.processes, self.cursor, self.orca, self.display = scratch, [], 0, None, None
        self.log, self.debug_file = os.path.join(scratch, "speech.log"), os.path.join(scratch, "orca-debug.txt")
        folders = {name: os.path.join(scratch, name) for name in ("home", "config", "runtime", "data", "cache", "logs")}
        for folder in folders.values():
            os.makedirs(folder, mode=0o700)
        self.env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": folders["home"],
                    "XDG_CONFIG_HOME": folders["config"], "XDG_RUNTIME_DIR": folders["runtime"],
                    "XDG_DATA_HOME": folders["data"], "XDG_CACHE_HOME": folders["cache"], "TMPDIR": folders["cache"]}
        try:
            # openbox without key bindings: by default it takes Shift+Alt+arrows (Orca's table
            # navigation) to send the window to another desktop, and Alt+Tab and more.
            config = os.path.join(folders["config"], "openbox.xml")
            with open(config, "w") as f:
                f.write(OPENBOX_CONF)
            self.display = Display(wm=True, size="1280x1024", wm_config=config)
            self.env["DISPLAY"] = self.display.name
            self._bus()
            self._speech(folders["config"], folders["logs"])
            self._orca()
        except BaseException:
            self.close()
            raise

    def _start(self, command, **options):
        """Starts a process in a process group of its own, for the end to take it all."""
        process = subprocess.Popen(command, env=self.env, start_new_session=True, stdin=subprocess.DEVNULL,
                                   **{"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, **options})
        self.processes.append(process)
        return process

    def _bus(self):
        """A session bus (dbus-daemon in the foreground: its process id is known), which starts the
        accessibility bus when asked; then AT-SPI switched on, as a desktop's settings would."""
        bus = self._start(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                           "--address=unix:path=" + os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")],
                          stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        bus.stdout.close()
        check(self.env["DBUS_SESSION_BUS_ADDRESS"], "dbus-daemon did not start")
        self._run("gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus", "--method",
                  "org.freedesktop.DBus.Properties.Set", "org.a11y.Status", "IsEnabled", "<true>", check=True)

    def _speech(self, config, logs):
        """speech-dispatcher started here and now (no autospawn): Orca finds its socket."""
        os.makedirs(os.path.join(config, "speech-dispatcher", "modules"))
        with open(os.path.join(config, "speech-dispatcher", "speechd.conf"), "w") as f:
            f.write(SPEECHD_CONF.format(logs=logs))
        with open(os.path.join(config, "speech-dispatcher", "modules", "textlog.conf"), "w") as f:
            f.write(TEXTLOG_CONF.format(log=self.log))
        open(self.log, "w").close()
        daemon = self._start(["speech-dispatcher", "--run-single", "--timeout", "0"])
        socket = os.path.join(self.env["XDG_RUNTIME_DIR"], "speech-dispatcher", "speechd.sock")
        poll("speech-dispatcher's socket", lambda: os.path.exists(socket) or daemon.poll() is not None)
        check(daemon.poll() is None, "speech-dispatcher ended: see %s" % logs)

    def _orca(self):
        others = self._run("pgrep", "-u", str(os.getuid()), "-x", "orca").stdout.split()
        check(not others, "another Orca runs for this user (%s): Orca would not start" % b" ".join(others).decode())
        prefs = os.path.join(self.scratch, "orca")
        os.makedirs(prefs)
        with open(os.path.join(prefs, "user-settings.conf"), "w") as f:
            json.dump({"general": ORCA_SETTINGS, "profiles": {"default": dict(ORCA_SETTINGS, profile=["Default", "default"])},
                       "pronunciations": {}, "keybindings": {}}, f, indent=4)
        self.orca = self._start(["orca", "-u", prefs, "--debug-file=" + self.debug_file])
        self.wait_for(GREETING, 30)

    def show(self):
        """Keys go to the browser's window (started with this session's env) from now on."""
        self.window = poll("the browser's window", lambda: self._run(
            "xdotool", "search", "--onlyvisible", "--class", "chromium").stdout.split()[-1:], 30)[0].decode()
        self.focus()

    def _run(self, *command, **options):
        return subprocess.run(command, env=self.env, capture_output=True, timeout=TIMEOUT, **options)

    def focus(self):
        """Makes Chromium's window the active one, which keys go to."""
        self._run("xdotool", "windowactivate", "--sync", self.window, check=True)

    def key(self, *names):
        """Presses and lets go each key (xdotool's names: "Tab", "4", "Insert+a", "KP_Insert+space"),
        from the X server as a keyboard would, 50 ms apart (Orca takes the same Orca key twice
        within 0.5 s as a double press). The cursor moves to what is said from now on."""
        self.cursor = len(self.speech())
        if self._run("xdotool", "getactivewindow").stdout.strip().decode() != self.window:
            self.focus()
        self._run("xdotool", "key", "--delay", "50", *names, check=True)

    def speech(self):
        """The texts said so far, in order, from the speech log ("seconds language text" a line)."""
        with open(self.log, encoding="utf-8", errors="replace") as f:
            lines = f.read().split("\n")[:-1]  # a line is whole once its newline is written
        return [(line.split(" ", 2) + ["", ""])[2].strip() for line in lines]

    def wait_for(self, what, timeout=TIMEOUT, since=None):
        """Waits until an utterance from the since-th on (by default: after the last key pressed or
        the last utterance waited for) matches `what`, a regular expression (searched) or a
        predicate on the text; returns (index, text) and moves the cursor past it."""
        since = self.cursor if since is None else since
        matches = what if callable(what) else re.compile(what).search
        found = poll("Orca to say %r" % getattr(what, "pattern", what),
                     lambda: next(((i, text) for i, text in enumerate(self.speech()[since:], since) if matches(text)),
                                  None), timeout, seen=lambda: "it said %r" % self.speech()[since:])
        self.cursor = found[0] + 1
        return found

    def close(self):
        """Ends every process started, each with its process group (Orca may outlive SIGTERM,
        Chromium has many): Orca first (once the browser is gone, Orca takes 2.5 s to end), then
        the newest first; then any that left its group: Chromium's crash handlers start sessions
        of their own, but name the profile's folder."""
        first = [process for process in self.processes if process is self.orca]
        for process in first + [process for process in reversed(self.processes) if process is not self.orca]:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(3)
            except subprocess.TimeoutExpired:
                pass
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
            process.wait()
        poll("the session's processes to end", lambda: not self._strays(signal.SIGKILL), seen=self._strays)
        if self.display:
            self.display.close()

    def _strays(self, sig=None):
        """Live processes still in one of the sessions started, or naming the scratch folder; each
        is sent `sig`."""
        sessions, found = {process.pid for process in self.processes}, []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/stat" % pid) as f:
                    state, _, _, session = f.read().rpartition(")")[2].split()[:4]
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    named = self.scratch.encode() in f.read()
            except (OSError, ValueError):
                continue  # gone meanwhile
            if state != "Z" and (int(session) in sessions or named):  # the dead wait for init to reap them
                found.append(int(pid))
                if sig:
                    with contextlib.suppress(ProcessLookupError):
                        os.kill(int(pid), sig)
        return found


@contextlib.contextmanager
def orca_session():
    """A Session in a scratch folder, removed with all it holds at the end."""
    for tool in TOOLS:
        if not shutil.which(tool):
            raise Skip("%s is missing (run scripts/install-deps)" % tool)
    scratch = tempfile.mkdtemp(prefix="viertal-orca-")
    try:
        session = Session(scratch)
        try:
            yield session
        finally:
            session.close()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
