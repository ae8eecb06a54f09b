#!/usr/bin/python3
"""faults.py -- the real program against a hostile "temp" directory, a missing sound device and a
missing display.

    faults.py VIERTAL CASE
    faults.py VIERTAL two_at_once [START_BARRIER_LIBRARY]
    faults.py VIERTAL killed START_BARRIER_LIBRARY

CASE is one of:
  missing_dir       "temp" names a directory that does not exist, a regular file, a path below one
  read_only         "temp" is a directory the program may not write (run as nobody when we are root)
  in_the_way        a directory, then a named pipe, named ZAQT.bmp stands in "temp"
  planted_link      ZAQT.bmp is a link to a picture outside "temp": shown as it is, never written
  dangling_link     ZAQT.bmp is a link to a file that does not exist: nothing is created through it
  file_limit        a file-size limit of 100 KiB cuts the picture short; the next start writes it whole
  two_at_once       two or three programs start together on an empty directory, three times; with the
                    barrier library (start_barrier.cpp) the first two rounds always race
  no_audio          no sound device: the program starts and a refused move's tones still take their time
  no_display        no DISPLAY, and one that names no server: one Dutch line, exit status 1
  killed            the program is killed while it writes the picture (needs START_BARRIER_LIBRARY)
Each case that gets a window waits for the start question and ends the program with Escape, which
must give exit status 0. Throughout, a listing of the whole scratch tree (cwd, HOME, TMPDIR, "temp"
and the files outside it) before and after the run proves that nothing was written but a whole
picture in "temp": no partial picture, no scratch file, nothing through a link, nothing outside.

Every case but no_display expects $DISPLAY to name a private Xvfb (scripts/with-xvfb).
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb_helpers import (PICTURE, PICTURE_SIZE, RED, Failure, Picture, Program, check, hole,  # noqa: E402
                          is_whole_picture, need_tools, open_to_all, process_uid, tree, tree_changes,
                          unprivileged_prefix)

FILE_LIMIT = 100 * 1024  # bytes, as "ulimit -f 100" sets it
ERROR_TONES_MS = 360     # 600 Hz for 120 ms, then 500 Hz for 240 ms


class Scratch:
    """A scratch tree: cwd/, home/, tmp/ and outside/ beside the "temp" directories of the case."""

    def __init__(self, root):
        self.root = root
        open_to_all(root)
        for name in ("cwd", "home", "tmp", "outside"):
            os.mkdir(self.path(name))
            open_to_all(self.path(name))

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def env(self):
        return {"HOME": self.path("home"), "TMPDIR": self.path("tmp"), "TEMP": None, "TMP": None}


def start(scratch, viertal, temp, **options):
    """Starts the program in the scratch tree's cwd with its HOME and TMPDIR."""
    env = scratch.env()
    env.update(options.pop("env", {}))
    return Program(viertal, temp, env=env, cwd=scratch.path("cwd"), **options)


def run_to_start_question(scratch, viertal, temp, what, **options):
    """Starts the program, waits for its start question, quits with Escape; returns the changes
    to the scratch tree. The program must report nothing on stderr."""
    before = tree(scratch.root)
    with start(scratch, viertal, temp, **options) as program:
        program.wait_start_question()
        if options.get("unprivileged") and unprivileged_prefix():
            check(process_uid(program.proc.pid) != 0, "the program runs as root: the permission test proves nothing")
        program.quit(what)
        check(program.stderr() == "", "%s: the program wrote to stderr: %r" % (what, program.stderr()))
    return tree_changes(before, tree(scratch.root))


def expect_unchanged(changes, what):
    check(not changes, "%s: the scratch tree changed: %s" % (what, "; ".join(changes)))


def expect_only_picture(scratch, changes, temp, what):
    """The only change is a whole picture file in temp."""
    picture = os.path.relpath(os.path.join(temp, PICTURE), scratch.root)
    check(changes == ["added %s (%d bytes)" % (picture, PICTURE_SIZE)],
          "%s: expected only a whole %s, got: %s" % (what, picture, "; ".join(changes) or "no change"))
    check(is_whole_picture(os.path.join(temp, PICTURE)), "%s: %s is not a whole picture" % (what, picture))


def solid_picture(path, colour):
    """Writes a 640 x 480, 24-bit BMP of one colour, laid out as the game's own picture."""
    header = b"BM" + struct.pack("<IHHIIiiHHIIiiII", PICTURE_SIZE, 0, 0, 54, 40, 640, 480, 1, 24, 0, 921602, 2834,
                                 2834, 0, 0)
    pixel = bytes((colour & 0xFF, colour >> 8 & 0xFF, colour >> 16))
    with open(path, "wb") as f:
        f.write(header + pixel * (640 * 480) + b"\0\0")


# --- The cases ---

def case_missing_dir(viertal, scratch):
    with open(scratch.path("a_file"), "w") as f:
        f.write("not a directory\n")
    for temp in (scratch.path("missing"), scratch.path("a_file"), scratch.path("missing", "deeper")):
        what = "temp=%s" % os.path.relpath(temp, scratch.root)
        expect_unchanged(run_to_start_question(scratch, viertal, temp, what), what)


def case_read_only(viertal, scratch):
    temp = scratch.path("temp")
    os.mkdir(temp)
    os.chmod(temp, 0o555)
    as_user = unprivileged_prefix()

    def as_user_succeeds(*command):
        return subprocess.run(as_user + list(command), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=10).returncode == 0

    check(as_user_succeeds("ls", temp), "an unprivileged user cannot even read %s: the test proves nothing" % temp)
    check(not as_user_succeeds("touch", os.path.join(temp, "probe")),
          "an unprivileged user can write %s: the test proves nothing" % temp)
    os.chmod(scratch.path("cwd"), 0o555)
    os.chmod(scratch.path("tmp"), 0o555)
    # The build tree may lie where only its owner may enter (a home directory): run a copy.
    copy_dir = tempfile.mkdtemp(prefix="viertal-copy-")
    try:
        open_to_all(copy_dir)
        copy = os.path.join(copy_dir, "viertal")
        shutil.copy2(viertal, copy)
        expect_unchanged(run_to_start_question(scratch, copy, temp, "read-only temp", unprivileged=True),
                         "read-only temp")
    finally:
        shutil.rmtree(copy_dir, ignore_errors=True)


def case_in_the_way(viertal, scratch):
    """Something that is no picture stands under the picture's name: a directory, a named pipe
    (whose opening must not block the start)."""
    in_a_directory = scratch.path("temp-directory")
    os.makedirs(os.path.join(in_a_directory, PICTURE))
    with open(os.path.join(in_a_directory, PICTURE, "inside.txt"), "w") as f:
        f.write("left alone\n")
    in_a_pipe = scratch.path("temp-pipe")
    os.mkdir(in_a_pipe)
    os.mkfifo(os.path.join(in_a_pipe, PICTURE))
    for temp, what in ((in_a_directory, "a directory named ZAQT.bmp"), (in_a_pipe, "a named pipe named ZAQT.bmp")):
        expect_unchanged(run_to_start_question(scratch, viertal, temp, what), what)


def case_planted_link(viertal, scratch):
    temp = scratch.path("temp")
    os.mkdir(temp)
    target = scratch.path("outside", "keep.bmp")
    solid_picture(target, 0x336699)
    os.symlink(target, os.path.join(temp, PICTURE))
    before = tree(scratch.root)
    with start(scratch, viertal, temp) as program:
        shot = program.wait_start_question()
        for x, y in ((0, 0), (620, 470), (30, 240), (600, 40)):
            check(shot.pixel(x, y) == 0x336699,
                  "(%d, %d) shows %06X, not the linked picture" % (x, y, shot.pixel(x, y)))
        program.quit("a planted link")
    expect_unchanged(tree_changes(before, tree(scratch.root)), "a planted link")


def case_dangling_link(viertal, scratch):
    temp = scratch.path("temp")
    os.mkdir(temp)
    target = scratch.path("outside", "none.bmp")
    link = os.path.join(temp, PICTURE)
    os.symlink(target, link)
    changes = run_to_start_question(scratch, viertal, temp, "a dangling link")
    check(not os.path.lexists(target), "the program created %s through the link" % target)
    check(os.listdir(temp) == [PICTURE], "temp holds %r" % os.listdir(temp))
    if os.path.islink(link):  # left as it was
        print("dangling link: left as it was")
        expect_unchanged(changes, "a dangling link")
    else:  # replaced by a whole picture of its own
        print("dangling link: replaced by a whole picture")
        check(is_whole_picture(link), "the link was replaced by a broken picture")
        check(len(changes) == 1 and changes[0].startswith("changed temp/%s " % PICTURE),
              "a dangling link: %s" % "; ".join(changes))


def case_file_limit(viertal, scratch):
    temp = scratch.path("temp")
    os.mkdir(temp)
    expect_unchanged(run_to_start_question(scratch, viertal, temp, "a 100 KiB file-size limit",
                                           file_limit=FILE_LIMIT), "a 100 KiB file-size limit")
    # The next start without the limit writes the picture whole and shows it.
    before = tree(scratch.root)
    with start(scratch, viertal, temp) as program:
        shot = program.wait_start_question()
        picture = Picture(os.path.join(temp, PICTURE))
        for x, y in ((0, 0), (620, 470), (30, 240)):
            check(shot.pixel(x, y) == picture.pixel(x, y), "(%d, %d) does not show the picture" % (x, y))
        program.quit("the start after the limit")
    expect_only_picture(scratch, tree_changes(before, tree(scratch.root)), temp, "the start after the limit")


def case_two_at_once(viertal, scratch, barrier_library=None):
    reference_dir = scratch.path("reference")
    os.mkdir(reference_dir)
    run_to_start_question(scratch, viertal, reference_dir, "the reference run")
    with open(os.path.join(reference_dir, PICTURE), "rb") as f:
        reference = f.read()
    check(is_whole_picture(os.path.join(reference_dir, PICTURE)), "the reference run wrote no whole picture")
    # Left to themselves, two programs started together race for the picture only now and then
    # (one's window may open 50 ms after the other's, and the picture takes about 10 ms). So the
    # first rounds line them up at their picture-file test (start_barrier.cpp): each finds no
    # picture, then all write at once. The last round starts them without help.
    rounds = [(2, True), (3, True), (2, False)] if barrier_library else [(2, False)] * 3
    for number, (count, lined_up) in enumerate(rounds, 1):
        what = "round %d (%d programs%s)" % (number, count, ", lined up" if lined_up else "")
        temp = scratch.path("round%d" % number)
        os.mkdir(temp)
        barrier = tempfile.mkdtemp(prefix="viertal-barrier-")
        env = {"LD_PRELOAD": barrier_library, "VIERTAL_BARRIER": "%s:%d" % (barrier, count),
               "ASAN_OPTIONS": "verify_asan_link_order=0"} if lined_up else {}
        before = tree(scratch.root)
        programs = [start(scratch, viertal, temp, env=env) for _ in range(count)]
        try:
            for i, p in enumerate(programs):  # side by side: a screenshot shows only what is on top
                p.find_window()
                p.move(*((0, 0), (650, 0), (0, 600))[i])
            shots = [p.wait_start_question() for p in programs]
            if lined_up:
                seen = [open(os.path.join(barrier, name)).read() for name in os.listdir(barrier)]
                check(seen == ["missing"] * count, "%s: the programs' picture tests saw %r" % (what, seen))
            check(os.listdir(temp) == [PICTURE], "%s: temp holds %r" % (what, sorted(os.listdir(temp))))
            with open(os.path.join(temp, PICTURE), "rb") as f:
                check(f.read() == reference, "%s: the picture differs from a single program's" % what)
            picture = Picture(os.path.join(temp, PICTURE))
            for i, shot in enumerate(shots):
                for x, y in ((0, 0), (620, 470), (30, 240), (600, 40)):
                    check(shot.pixel(x, y) == picture.pixel(x, y),
                          "%s, program %d: (%d, %d) does not show the picture" % (what, i + 1, x, y))
            for i, p in enumerate(programs):
                p.quit("%s, program %d" % (what, i + 1))
                check(p.stderr() == "", "%s: stderr %r" % (what, p.stderr()))
        finally:
            for p in programs:
                p.close()
            shutil.rmtree(barrier, ignore_errors=True)
        expect_only_picture(scratch, tree_changes(before, tree(scratch.root)), temp, what)


def case_killed(viertal, scratch, barrier_library):
    """Kills the program while it writes the picture: the picture is then absent or whole, and
    no scratch file stays behind. The barrier holds the program right after its picture test, so
    the kill can be timed to land within the writing (about 10 ms)."""
    rng = random.Random(4)
    temp = scratch.path("temp")
    os.mkdir(temp)
    before = tree(scratch.root)
    for attempt in range(1, 11):
        barrier = tempfile.mkdtemp(prefix="viertal-barrier-")
        env = {"LD_PRELOAD": barrier_library, "VIERTAL_BARRIER": "%s:2" % barrier,
               "ASAN_OPTIONS": "verify_asan_link_order=0"}
        with start(scratch, viertal, temp, env=env) as program:
            deadline = time.monotonic() + 10
            while not os.listdir(barrier):
                check(time.monotonic() < deadline and program.proc.poll() is None,
                      "the program never tested the picture")
                time.sleep(0.001)
            open(os.path.join(barrier, "go"), "w").close()  # lets it write
            time.sleep(rng.uniform(0, 0.02))
            program.kill()
        shutil.rmtree(barrier, ignore_errors=True)
        picture = os.path.join(temp, PICTURE)
        check(not os.path.lexists(picture) or is_whole_picture(picture), "kill %d left a partial picture" % attempt)
        check(set(os.listdir(temp)) <= {PICTURE}, "kill %d left: %s" % (attempt, ", ".join(
            "%s (%d bytes)" % (n, os.path.getsize(os.path.join(temp, n))) for n in sorted(os.listdir(temp)))))
        if os.path.exists(picture):
            os.unlink(picture)  # so that the next start writes it again
    expect_unchanged(tree_changes(before, tree(scratch.root)), "killed while writing")


def case_no_audio(viertal, scratch):
    settings = [("no such audio driver", {"SDL_AUDIODRIVER": "bogus"}),
                ("a sound device that cannot open",
                 {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": scratch.path("missing", "audio.raw")})]
    for what, env in settings:
        temp = scratch.path("temp-" + env["SDL_AUDIODRIVER"])
        os.mkdir(temp)
        before = tree(scratch.root)
        with start(scratch, viertal, temp, env=env) as program:
            program.wait_start_question()
            program.keys("j")
            program.wait_screen("the question answered", lambda s: s.cell_colours(3, 31) == set())
            begin = time.monotonic()
            program.keys("8", "9", "3")  # two refused keys, then a move
            program.wait_screen("the disc in column 3", lambda s: s.pixel(*hole(3, 0)) == RED)
            took = time.monotonic() - begin
            print("%s: the disc showed %.0f ms after the two refused keys and the move" % (what, took * 1000))
            check(took >= 2 * ERROR_TONES_MS / 1000 - 0.02,
                  "%s: the disc came %.0f ms after two refused keys: their tones took no time" % (what, took * 1000))
            program.quit(what)
            check(program.stderr() == "", "%s: stderr %r" % (what, program.stderr()))
        expect_only_picture(scratch, tree_changes(before, tree(scratch.root)), temp, what)


def case_no_display(viertal, scratch):
    free = next(n for n in range(31999, 32999) if not os.path.exists("/tmp/.X11-unix/X%d" % n))
    temp = scratch.path("temp")
    os.mkdir(temp)
    for display in (None, ":%d" % free):
        what = "DISPLAY=%s" % display if display else "no DISPLAY"
        before = tree(scratch.root)
        env = {"DISPLAY": display, "WAYLAND_DISPLAY": None, "SDL_VIDEODRIVER": None}
        with start(scratch, viertal, temp, env=env) as program:
            begin = time.monotonic()
            code = program.exit_code()
            took = time.monotonic() - begin
            lines = program.stderr().splitlines()
        check(code == 1, "%s: exit status %s, not 1" % (what, code))
        check(len(lines) == 1 and lines[0].startswith("viertal: ") and "beeldscherm" in lines[0],
              "%s: expected one Dutch line about the display on stderr, got %r" % (what, lines))
        print("%s: exit status 1 after %.0f ms: %s" % (what, took * 1000, lines[0]))
        expect_unchanged(tree_changes(before, tree(scratch.root)), what)


CASES = {"missing_dir": case_missing_dir, "read_only": case_read_only, "in_the_way": case_in_the_way,
         "planted_link": case_planted_link, "dangling_link": case_dangling_link, "file_limit": case_file_limit,
         "two_at_once": case_two_at_once, "killed": case_killed, "no_audio": case_no_audio,
         "no_display": case_no_display}


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[2] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    viertal, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    extra = [os.path.abspath(a) for a in sys.argv[3:]]
    try:
        if case != "no_display":
            need_tools("xdotool", "import")
            check("DISPLAY" in os.environ, "no DISPLAY: run under scripts/with-xvfb")
        root = tempfile.mkdtemp(prefix="viertal-faults-")
        try:
            CASES[case](viertal, Scratch(root), *extra)
        finally:
            for directory, names, _ in os.walk(root):
                for name in names:
                    os.chmod(os.path.join(directory, name), 0o755)
            shutil.rmtree(root, ignore_errors=True)
    except Failure as failure:
        print("FAIL %s: %s" % (case, failure), file=sys.stderr)
        return 1
    print("ok %s" % case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
