#!/usr/bin/python3
"""browser_test.py -- the browser version in Debian's headless Chromium, through browser.py: the
headless transcripts' games by keys, by the controls a screen reader reaches, by held clicks and
taps, frame by frame, tone by tone and, through the accessibility tree, word by word with the
board's cells named as the headless game names them; the focus; the end and a new game; sound
only after a gesture; the layout; axe-core's checks; offline play and a new build for a returning
visitor. Never a request beyond the site, never an error on the console.

    browser_test.py CASE SITE_FOLDER GOLDEN_DIR [WEB_BUILD_DIR SOURCE_DIR]
"""
import os
import shutil
import subprocess
import re
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import poll, session  # noqa: E402
import driver  # noqa: E402
from driver import check, main  # noqa: E402

# The headless games the cases replay. The keys game: the picture, Space, "ja", a refused key, the
# player's win, Enter for the next game, Escape; in the browser some of its steps are made as a
# screen reader's user or a mouse makes them instead (BY_HAND), to the same frames and words. By
# keys and held clicks (or taps) in turn.
KEYS_GAME = "pic <32> j 9 2 2 4 3 5 <13> <27>"
# Steps of the keys game (by their place after the start) made by a choice's button, found in the
# accessibility tree and pressed with Space or Enter, or by a held click on a frame pixel.
ENTER = "\ue007"  # WebDriver's Enter key, Keys.ENTER, without importing Selenium at load time
BY_HAND = {1: ("ja", " "), 3: ("Rij 2", ENTER), 5: (323, 300), 8: ("Nieuw spel", ENTER)}
SCENARIO = "pic <32> @246,37 9 2 @190,300 4 @250,300 5 <13> <27>"
ENDED = "!document.getElementById('ended').hidden"
TOUCH_KEYS = ("Andere taktiek", "Stoppen", "Nog een keer spelen")  # the page's own buttons
ACTIVE = "document.activeElement.getAttribute('role') || document.activeElement.tagName"


def transcript(golden, scenario=SCENARIO):
    """The scenario's steps, the start first."""
    return driver.transcript(golden, scenario)


def told(golden, scenario):
    """What the headless game told a screen reader at each step of the scenario (golden/said.golden),
    the start first: [(step, [texts], [choices offered], [the 42 cells' names, top row first],
    frame hash)]."""
    steps, names = [], {}
    for line in driver.scenario_lines(golden, "said.golden", scenario):
        step, texts, offered, named, frame = [field.strip() for field in line.split("|")]
        for name in filter(None, named.split("; ")):
            names[name.split(":")[0]] = name  # "rij 3, hoogte 1"
        cells = [names["rij %d, hoogte %d" % (c, h)] for h in range(6, 0, -1) for c in range(1, 8)]
        offered = [name.removesuffix(" (touch key)") for name in filter(None, offered.split("; "))]
        steps.append((step, re.findall(r'"([^"]*)"', texts), offered, cells, frame))
    return steps


def check_told(browser, what, texts, offered, names, since):
    """The page handed the screen reader these texts, in order, since the since-th line (a line
    holds the texts of one run of the game), each line in a polite live region; it offers these
    choices as buttons a screen reader can press, and names the board's 42 cells so, in a grid of
    6 rows of 7."""
    lines = []

    def said():
        lines[:] = browser.said()[since[0]:]
        return " ".join(text for text, _ in lines) == " ".join(texts) and all(live == "polite" for _, live in lines)

    poll("%s: said %r" % (what, texts), said, seen=lambda: repr(lines))
    since[0] += len(lines)
    seen = []

    def offered_and_named():  # once the game waits again its choices are offered
        tree = browser.ax()
        log = [node.get("live") for node in tree if node["role"] == "log"]
        buttons = [node["name"] for node in tree if node["role"] == "button" and not node.get("disabled")
                   and node["name"] not in TOUCH_KEYS]
        rows = [node for node in tree if node["role"] in ("grid", "row", "gridcell")]
        shape = "".join({"grid": "G", "row": "/", "gridcell": "."}[node["role"]] for node in rows)
        cells = [node["name"] for node in rows if node["role"] == "gridcell"]
        seen[:] = [log, buttons, shape, [(c, n) for c, n in zip(cells, names) if c != n]]
        return log == ["polite"] and buttons == offered and shape == "G" + "/......." * 6 and cells == names

    poll("%s: the choices %r offered, the board named" % (what, offered), offered_and_named,
         seen=lambda: "live regions %r, buttons %r, board %r, cells named otherwise %r" % tuple(seen))


def check_tones(browser, what, tones, since):
    """The page asked, after the since-th tone, for exactly these tones, each at the desktop's
    loudness curve."""
    asked = poll(what + ": %d tones" % len(tones), lambda: browser.audio()["tones"][since[0]:]
                 if len(browser.audio()["tones"]) - since[0] >= len(tones) else None) if tones else []
    asked = [(round(t["frequency"]), round(1000 * (t["stop"] - t["start"]))) for t in asked]
    check(asked == tones and len(browser.audio()["tones"]) == since[0] + len(tones),
          "%s: tones %r, not %r" % (what, asked, tones))
    # Each rises from silence and falls back to it over a few milliseconds, at the desktop's level.
    edges = browser.audio()["edges"][since[0]:]
    check(all(first == last == 0 and 0 < third < 0.1 and abs(most - 0.3) < 1e-6 for first, third, most, last in edges),
          "%s: loudness curves (first, third, highest and last values) %r" % (what, edges))
    since[0] = len(browser.audio()["tones"])


def check_clean(browser, site):
    check(not browser.console_errors(), "the console shows errors: %r" % browser.console_errors())
    elsewhere = browser.js("return performance.getEntriesByType('resource').map(e => e.name)"
                           ".filter(n => !n.startsWith(location.origin + '/'))")
    check(not site.foreign and not elsewhere, "requests beyond the site: %r %r" % (site.foreign, elsewhere))


def check_unmoved(browser, what):
    """Nothing on the page moved while it opened: a layout shift of 0."""
    check(not browser.shifts(), "%s: the page moved as it opened: %r" % (what, browser.shifts()))


def browser_game(folder, golden, *_):
    """The keys game as the headless game plays it, frame, tone and word, some of its steps made by
    the choices' buttons as a screen reader's user makes them and by a held click; no timer or
    animation frame while the game waits and no sound before a key; the game's area has the focus,
    Tab moves it to the board and on, the arrows move among the board's cells; the game's keys kept
    from the browser, its shortcuts not; Escape dims the frame and the offer starts a new game;
    axe-core finds nothing at the start, at a turn, at the result, at the end."""
    from selenium.webdriver.common.keys import Keys

    with session(folder) as (site, browser):
        steps, words = transcript(golden, KEYS_GAME), told(golden, KEYS_GAME)
        browser.open()
        browser.wait_frame("the start screen", steps[0][1])
        check_unmoved(browser, "the page opened")
        said = [0]
        check_told(browser, "the start", *words[0][1:4], said)
        check(browser.js("return " + ACTIVE) == "application", "at the start the focus is on %s"
              % browser.js("return " + ACTIVE))
        browser.axe("the page opened")
        wakeups = browser.js("return JSON.stringify(__wakeups)")
        time.sleep(1.0)
        check(browser.js("return JSON.stringify(__wakeups)") == wakeups, "the waiting game asked for timers or "
              "frames: %s, then %s" % (wakeups, browser.js("return JSON.stringify(__wakeups)")))
        check(browser.audio()["contexts"] == 0, "sound was started before a key or a tap")
        # Whether each key was kept from the browser; Enter and Space on a button are the button's.
        browser.js("window.__kept = []; addEventListener('keydown', e => e.target.closest('button') &&"
                   " ['Enter', ' '].includes(e.key) || __kept.push(e.defaultPrevented));")
        since = [0]
        for number, ((step, frame, tones), (_, texts, offered, names, _)) in enumerate(zip(steps[1:], words[1:])):
            by, what = BY_HAND.get(number), "after " + step
            if by and isinstance(by[0], int):
                browser.held_click(*by, lambda: browser.wait_frame(what + " (a held click)", frame, timeout=20))
            elif by:
                browser.press("button", *by)
            else:
                browser.keys({"<32>": " ", "<13>": ENTER}.get(step, step))
            browser.wait_frame(what, frame, timeout=20)
            check_tones(browser, "after " + step, tones, since)
            check_told(browser, "after " + step, texts, offered, names, said)
            if step in ("j", "5"):
                browser.axe("the player's turn" if step == "j" else "a result")
            if step == "5":  # the focus was on "Rij 2", which the result hides: it goes to the game's area
                check(browser.js("return " + ACTIVE) == "application", "at the result the focus is on %s"
                      % browser.js("return " + ACTIVE))
        check(browser.audio()["contexts"] == 1, "%d sound contexts made" % browser.audio()["contexts"])
        # Every pitch reached the speakers, once at least: a starved audio thread (a loaded
        # machine) may drop a tone's blocks, so not every tone is looked for.
        pitches = {hz for _, _, tones in steps[1:] for hz, _ in tones}
        poll("the pitches %r heard" % sorted(pitches), lambda: pitches <= set(browser.audio()["blocks"]),
             seen=lambda: "heard %r" % sorted(set(browser.audio()["blocks"])))
        browser.keys(Keys.ESCAPE)
        browser.wait("the offer of a new game", ENDED)
        check(browser.js("return getComputedStyle(document.getElementById('frame')).filter").startswith("brightness"),
              "the last frame is not dimmed")
        check(browser.js("return __kept").count(False) == 0, "a key of the game reached the browser")
        check(browser.js("return document.activeElement.id") == "again", "the offer does not have the focus")
        browser.axe("the ended offer")

        browser.keys(Keys.ENTER)  # the offer has the focus
        browser.wait_frame("a new game", steps[0][1])
        check_focus(browser, words)
        browser.js("__kept.length = 0")
        browser.keys(Keys.F12)
        browser.keys("a", hold=Keys.CONTROL)
        browser.keys("j", hold=Keys.ALT)
        browser.keys(Keys.ARROW_DOWN)
        check(browser.js("return __kept") == [False] * 5 + [True], "F12, Ctrl+A and Alt+J are the browser's, the "
              "arrow the game's: %r" % browser.js("return __kept"))
        check_clean(browser, site)


def check_focus(browser, words):
    """From the game's area Tab goes to the board and then the choices, taking no key to the game;
    the arrows move among the board's cells, the game's keys still reach the game."""
    from selenium.webdriver.common.keys import Keys

    def focused():
        return browser.js("const e = document.activeElement; return [e.getAttribute('role') || e.tagName,"
                          " e.textContent]")

    frame, tones = browser.read_canvas(())[0], len(browser.audio()["tones"])
    check(focused()[0] == "application", "a new game's focus is on %r" % focused())
    browser.keys(Keys.TAB)
    check(focused() == ["gridcell", "rij 1, hoogte 1: leeg"], "Tab went to %r, not the board" % focused())
    moves = [(Keys.ARROW_UP, "rij 1, hoogte 2: leeg"), (Keys.ARROW_RIGHT, "rij 2, hoogte 2: leeg"),
             (Keys.ARROW_DOWN, "rij 2, hoogte 1: leeg"), (Keys.ARROW_DOWN, "rij 2, hoogte 1: leeg"),
             (Keys.ARROW_LEFT, "rij 1, hoogte 1: leeg"), (Keys.ARROW_LEFT, "rij 1, hoogte 1: leeg")]
    for key, cell in moves:
        browser.keys(key)
        check(focused() == ["gridcell", cell], "an arrow in the board went to %r, not %r" % (focused(), cell))
    for name in ("ja", "nee"):
        browser.keys(Keys.TAB)
        check(focused() == ["BUTTON", name], "Tab went to %r, not %s" % (focused(), name))
    for _ in range(3):
        browser.keys(Keys.TAB, hold=Keys.SHIFT)
    check(focused()[0] == "application", "Shift+Tab three times went to %r" % focused())
    check(browser.read_canvas(())[0] == frame and len(browser.audio()["tones"]) == tones,
          "Tab or an arrow in the board reached the game")
    browser.keys(Keys.TAB)
    browser.keys("j")  # from the board: the game's key
    browser.wait_frame("j typed in the board", next(frame for step, *_, frame in words if step == "j"))
    browser.keys(Keys.TAB, hold=Keys.SHIFT)


def touch_answers(browser):
    """The start question's answers standing as touch keys: [[text, left, top, width, height]]."""
    return browser.js("return [...document.querySelectorAll('#choices button.touch-key:not([hidden])')].map((b) =>"
                      " { const r = b.getBoundingClientRect(); return [b.textContent, r.left, r.top, r.width, r.height]; })")


def browser_phone(folder, golden, *_):
    """A phone on its side: the frame its height, the touch keys beside it and the start question's
    answers large over them; taps play as clicks, one press each; the keys give the style tones and
    the end, after which they show that they do nothing. Held upright: the answers large under the
    frame; turned, or with notches, the page lays itself out anew. axe-core finds nothing in either."""
    with session(folder, phone=True) as (site, browser):
        steps = {step: (frame, tones) for step, frame, tones in transcript(golden)}
        browser.open()
        browser.wait_frame("the start screen", steps["start"][0])
        check_unmoved(browser, "a phone on its side")
        frame, keys, answers = browser.box(), [browser.box("style-key"), browser.box("stop-key")], touch_answers(browser)
        check([round(v, 2) for v in frame] == [162, 0, 520, 390] and keys[0][0] + keys[0][2] <= 162 and
              keys[1][0] >= 682, "the frame at %r, the touch keys at %r" % (frame, keys))
        check([a[0] for a in answers] == ["ja", "nee"] and answers[0][1] + answers[0][3] <= 162 and
              answers[1][1] >= 682 and all(a[3] >= 64 and a[4] >= 44 and a[2] + a[4] <= k[1]
                                           for a, k in zip(answers, keys)),
              "the answers at %r, over the touch keys at %r" % (answers, keys))
        browser.axe("a phone on its side")
        # A notch each side and a bar under: the frame keeps clear of them, centred between them, at
        # the size the layout rule gives; without them it is back where it was.
        browser.cdp("Emulation.setSafeAreaInsetsOverride", insets={"left": 47, "right": 47, "bottom": 21})
        def clear_of_notches(box):  # 1280 x 960 device pixels, centred between the notches and above the bar
            left, top, width, height = box
            return ([round(3 * v) for v in (width, height)] == [1280, 960] and abs(left - (47 + (750 - width) / 2)) < 1
                    and abs(top - (369 - height) / 2) < 1)
        poll("the frame clear of the notches", lambda: clear_of_notches(browser.box()), seen=browser.box)
        browser.cdp("Emulation.setSafeAreaInsetsOverride", insets={})
        poll("the frame back without the notches", lambda: [round(v, 2) for v in browser.box()] == frame, seen=browser.box)
        browser.js("window.__presses = 0;"
                   "document.getElementById('frame').addEventListener('mousedown', () => __presses++);")
        centre = lambda box: (box[0] + box[2] / 2, box[1] + box[3] / 2)  # noqa: E731
        browser.tap(*centre(keys[0]))
        browser.wait_frame("the style key", steps["<32>"][0])
        check_tones(browser, "the style key", steps["<32>"][1], [0])
        browser.tap(*centre(answers[0][1:]))  # a button acts once the finger is lifted
        browser.wait_frame("a tap on the answer ja", steps["@246,37"][0])
        check(touch_answers(browser) == [], "the answers stay after the question: %r" % touch_answers(browser))
        browser.tap(*browser.point(190, 300), lambda: browser.wait_frame("a tap above column 2", steps["2"][0]))
        check(browser.js("return __presses") == 0, "a tap reached the page as a mouse press too")
        browser.tap(*centre(keys[1]))
        browser.wait("the end", ENDED)
        check(browser.js("return [...document.querySelectorAll('.touch-key')].filter((b) => !b.hidden)"
                         ".map((b) => b.getAttribute('aria-disabled') + ' ' + getComputedStyle(b).opacity)")
              == ["true 0.4"] * 2, "after the end the touch keys do not show that they do nothing")

        browser.cdp("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=3, mobile=True,
                    screenOrientation={"type": "portraitPrimary", "angle": 0})
        upright = lambda: [round(3 * v, 1) for v in browser.box()[2:]] == [1170, 878]  # noqa: E731 (device pixels)
        poll("turned upright, the frame laid out anew", upright, seen=browser.box)
        browser.open()
        browser.wait_frame("upright, the start screen", steps["start"][0])
        check_unmoved(browser, "a phone held upright")
        frame, answers = browser.box(), touch_answers(browser)
        check(upright() and [a[0] for a in answers] == ["ja", "nee"] and all(
            a[2] >= frame[1] + frame[3] and a[1] >= 0 and a[1] + a[3] <= 390 and a[3] >= 64 and a[4] >= 44
            for a in answers), "upright, the frame at %r, the answers at %r" % (frame, answers))
        browser.axe("a phone held upright")
        check_clean(browser, site)


def browser_screen_reader(folder, golden, *_):
    """The keys game under a real screen reader: Orca with Chromium under Xvfb, keys from the X
    server. Orca is in focus mode from the start, says the game's words at the question, after each
    of the player's moves and the computer's and at the result, as the headless game told them,
    reads the board's cells after the game with its own table commands as the headless game named
    them, and says the end's offer."""
    import orca

    words = told(golden, KEYS_GAME)
    with orca.orca_session() as reader, session(folder, desktop=reader.env) as (site, browser):
        def heard(since, text, among=False):  # all Orca said since then is the text, or holds it
            poll("Orca to say %r" % text, lambda: (str.__contains__ if among else str.__eq__)(
                " ".join(reader.speech()[since:]), text), 20, seen=lambda: "it said %r" % reader.speech()[since:])

        browser.open()
        reader.show()
        reader.wait_for(r"^Focus mode$", 30, since=0)
        heard(0, " ".join(words[0][1]), among=True)
        keys = {"<32>": "space", "<13>": "Return"}
        for step, texts, _, names, _ in words[1:-1]:
            since = len(reader.speech())
            reader.key(keys.get(step, step))
            heard(since, " ".join(texts))
            if "Je hebt gewonnen !" in texts:
                review_board(reader, names)
        reader.key("Escape")
        reader.wait_for(r"Nog een keer spelen")
        check_clean(browser, site)


def review_board(reader, names):
    """Reads the board as a player does after a game: to its first cell, up column 2 with Orca's
    own table commands, and back to focus mode."""
    reader.key("Tab")
    reader.wait_for("^" + re.escape(names[35]))  # rij 1, hoogte 1
    reader.key("Insert+a")
    reader.wait_for(r"^Browse mode$")
    for command, column, height in (("Alt+Shift+Right", 2, 1), ("Alt+Shift+Up", 2, 2), ("Alt+Shift+Up", 2, 3)):
        reader.key(command)
        reader.wait_for("^" + re.escape(names[(6 - height) * 7 + column - 1]) + "$")
    reader.key("Insert+a")
    reader.wait_for(r"^Focus mode$")


def browser_offline(folder, golden, web_build, source):
    """Installable; after one visit the page starts and plays with the network cut, with or
    without a query; a new build served to the same profile runs whole and is then the one kept."""
    from selenium.webdriver.common.keys import Keys

    scratch = tempfile.mkdtemp(prefix="viertal-sites-")
    first, pages = os.path.join(scratch, "first"), os.path.join(scratch, "page")
    try:
        if os.path.isdir(folder):
            shutil.copytree(folder, first)
            os.remove(os.path.join(first, "viertal-512.png"))  # missing from the host
        with session(first, profile=os.path.join(scratch, "profile")) as (site, browser):
            steps = transcript(golden)
            browser.open()
            browser.wait_frame("the start screen", steps[0][1])
            version = browser.js("return document.documentElement.dataset.version")
            browser.wait("the service worker", "navigator.serviceWorker.controller")
            manifest = browser.cdp("Page.getAppManifest")
            errors = browser.cdp("Page.getInstallabilityErrors")["installabilityErrors"] + manifest["errors"]
            check(not errors and '"orientation": "landscape"' in manifest["data"], "not installable: %r" % errors)

            site.stop()
            offline = dict(latency=0, downloadThroughput=-1, uploadThroughput=-1)
            browser.cdp("Network.enable")
            browser.cdp("Network.emulateNetworkConditions", offline=True, **offline)
            for path in ("", "?uit=1"):
                browser.open(path)
                browser.wait_frame("offline at /" + path, steps[0][1])
            browser.keys(" ")
            browser.wait_frame("offline, Space", steps[1][1])
            browser.keys(Keys.ESCAPE)
            browser.wait("the end, offline", ENDED)
            browser.cdp("Network.emulateNetworkConditions", offline=False, **offline)

            # A new build: another page script, so another version of everything.
            shutil.copytree(os.path.join(source, "platform", "web", "page"), pages)
            with open(os.path.join(pages, "page.js"), "a") as script:
                script.write("\ndocument.documentElement.dataset.build = 'second';\n")
            site.folder = os.path.join(scratch, "second")
            subprocess.run(["cmake", "-DBUILT=" + web_build, "-DSITE=" + site.folder, "-DPAGE=" + pages, "-DICONS="
                            + os.path.join(source, "tools", "icon"), "-P",
                            os.path.join(source, "tools", "web", "assemble.cmake")], check=True, capture_output=True)
            site.start()
            browser.open()
            browser.wait_frame("the new build's start screen", steps[0][1])
            new = browser.js("return document.documentElement.dataset.version")
            loaded = browser.js("return performance.getEntriesByType('resource').map(e => e.name)"
                                ".filter(n => /viertal\\.(js|wasm)|page\\.js/.test(n))")
            check(new != version and len(loaded) == 3 and all(name.endswith("?v=" + new) for name in loaded) and
                  browser.js("return document.documentElement.dataset.build") == "second",
                  "the returning visitor ran version %s with %r, not %s" % (new, loaded, version))
            poll("the new build kept alone", lambda: browser.driver.execute_async_script(
                "caches.keys().then(arguments[0])") == ["viertal-" + new])
            site.stop()
            browser.open("?weer=1")
            browser.wait_frame("the new build, offline", steps[0][1])
            check(browser.js("return document.documentElement.dataset.build") == "second", "offline, the old build ran")
            check_clean(browser, site)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


CASES = {name: f for name, f in dict(globals()).items() if name.startswith("browser_") and callable(f)}

if __name__ == "__main__":
    sys.exit(main(CASES))
