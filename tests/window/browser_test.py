#!/usr/bin/python3
"""browser_test.py -- the browser version in Debian's headless Chromium, through browser.py: the
headless transcript's game by keys, held clicks and taps, frame by frame and tone by tone; the
end and a new game; sound only after a gesture; the layout; offline play and a new build for a
returning visitor. Never a request beyond the site, never an error on the console.

    browser_test.py CASE SITE_FOLDER GOLDEN_DIR [WEB_BUILD_DIR SOURCE_DIR]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import poll, session  # noqa: E402
import driver  # noqa: E402
from driver import check, main  # noqa: E402

# The headless game every case replays: the picture, Space, "ja" clicked, a refused key, then
# keys and clicks in turn to the player's win, Enter for the next game, Escape.
SCENARIO = "pic <32> @246,37 9 2 @190,300 4 @250,300 5 <13> <27>"
ENDED = "!document.getElementById('ended').hidden"
# Screens (CSS pixels, device pixels a CSS pixel) and the frame on them in device pixels: a whole
# multiple where it fills the screen well, else as large as fits.
SCREENS = [((1366, 768, 1.25), (1280, 960)), ((1920, 1080, 1.5), (1920, 1440)), ((700, 500, 1), (640, 480)),
           ((390, 844, 3), (1170, 878))]


def transcript(golden):
    """The scenario's steps, the start first."""
    return driver.transcript(golden, SCENARIO)


def check_tones(browser, what, tones, since):
    """The page asked, after the since-th tone, for exactly these tones, and each pitch sounded."""
    asked = poll(what + ": %d tones" % len(tones), lambda: browser.audio()["tones"][since[0]:]
                 if len(browser.audio()["tones"]) - since[0] >= len(tones) else None) if tones else []
    asked = [(round(t["frequency"]), round(1000 * (t["stop"] - t["start"]))) for t in asked]
    check(asked == tones and len(browser.audio()["tones"]) == since[0] + len(tones),
          "%s: tones %r, not %r" % (what, asked, tones))
    # Each rises from silence and falls back to it over a few milliseconds, at the desktop's level.
    edges = browser.audio()["edges"][since[0]:]
    check(all(first == last == 0 and 0 < third < 0.1 and abs(most - 0.3) < 1e-6 for first, third, most, last in edges),
          "%s: loudness curves (first, third, highest and last values) %r" % (what, edges))
    if tones:
        poll(what + ": pitches %r heard" % tones, lambda: {hz for hz, _ in tones} <= set(browser.audio()["blocks"][
            since[1]:]))
    since[:] = len(browser.audio()["tones"]), len(browser.audio()["blocks"])


def check_clean(browser, site):
    check(not browser.console_errors(), "the console shows errors: %r" % browser.console_errors())
    elsewhere = browser.js("return performance.getEntriesByType('resource').map(e => e.name)"
                           ".filter(n => !n.startsWith(location.origin + '/'))")
    check(not site.foreign and not elsewhere, "requests beyond the site: %r %r" % (site.foreign, elsewhere))


def check_layout(browser):
    """On every screen the frame stands centred, at the expected size, on whole device pixels
    (within the browser's layout unit of 1/64 CSS pixel, which it snaps to device pixels)."""
    for (width, height, ratio), size in SCREENS:
        browser.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=ratio,
                     mobile=False)
        near = lambda a, b: abs(a - b) < ratio / 64  # noqa: E731
        box = []

        def placed():
            box[:] = [v * ratio for v in browser.box()]
            margins = box[0] - (width * ratio - box[0] - box[2]), box[1] - (height * ratio - box[1] - box[3])
            return (all(near(v, w) for v, w in zip(box[2:], size)) and all(near(v, round(v)) for v in box) and
                    all(abs(m) <= 2 for m in margins))

        poll("on %gx%g at %g the frame centred at %r device pixels" % (width, height, ratio, size), placed,
             seen=lambda: "at %r" % box)
    browser.cdp("Emulation.clearDeviceMetricsOverride")


def browser_game(folder, golden, *_):
    """The whole game by keys and held clicks; no timer or animation frame while the game waits
    and no sound before a key; the game's keys kept from the browser, its shortcuts not; Escape
    dims the frame and the offer starts a new game; the layout on four screens."""
    from selenium.webdriver.common.keys import Keys

    with session(folder) as (site, browser):
        steps = transcript(golden)
        browser.open()
        browser.wait_frame("the start screen", steps[0][1])
        wakeups = browser.js("return JSON.stringify(__wakeups)")
        time.sleep(1.0)
        check(browser.js("return JSON.stringify(__wakeups)") == wakeups, "the waiting game asked for timers or "
              "frames: %s, then %s" % (wakeups, browser.js("return JSON.stringify(__wakeups)")))
        check(browser.audio()["contexts"] == 0, "sound was started before a key or a tap")
        browser.js("window.__kept = []; addEventListener('keydown', e => __kept.push(e.defaultPrevented));")
        since = [0, 0]
        for step, frame, tones in steps[1:]:
            if step.startswith("@"):
                browser.held_click(*map(int, step[1:].split(",")), lambda: browser.wait_frame("held " + step, frame))
            else:
                browser.keys({"<32>": " ", "<13>": Keys.ENTER}.get(step, step))
                browser.wait_frame("after " + step, frame, timeout=20)
            check_tones(browser, "after " + step, tones, since)
        check(browser.audio()["contexts"] == 1, "%d sound contexts made" % browser.audio()["contexts"])
        browser.keys(Keys.ESCAPE)
        browser.wait("the offer of a new game", ENDED)
        check(browser.js("return getComputedStyle(document.getElementById('frame')).filter").startswith("brightness"),
              "the last frame is not dimmed")
        check(browser.js("return __kept").count(False) == 0, "a key of the game reached the browser")

        browser.keys(Keys.ENTER)  # the offer has the focus
        browser.wait_frame("a new game", steps[0][1])
        browser.js("__kept.length = 0")
        browser.keys(Keys.F12)
        browser.keys("a", hold=Keys.CONTROL)
        browser.keys("j", hold=Keys.ALT)
        browser.keys(Keys.ARROW_DOWN)
        check(browser.js("return __kept") == [False] * 5 + [True], "F12, Ctrl+A and Alt+J are the browser's, the "
              "arrow the game's: %r" % browser.js("return __kept"))
        check_layout(browser)
        check_clean(browser, site)


def browser_phone(folder, golden, *_):
    """A phone on its side: the frame its height, the touch keys beside it; taps play as clicks,
    one press each; the keys give the style tones and the end."""
    with session(folder, phone=True) as (site, browser):
        steps = {step: (frame, tones) for step, frame, tones in transcript(golden)}
        browser.open()
        browser.wait_frame("the start screen", steps["start"][0])
        frame, keys = browser.box(), [browser.box("style-key"), browser.box("stop-key")]
        check([round(v, 2) for v in frame] == [162, 0, 520, 390] and keys[0][0] + keys[0][2] <= 162 and
              keys[1][0] >= 682, "the frame at %r, the touch keys at %r" % (frame, keys))
        browser.js("window.__presses = 0;"
                   "document.getElementById('frame').addEventListener('mousedown', () => __presses++);")
        centre = lambda box: (box[0] + box[2] / 2, box[1] + box[3] / 2)  # noqa: E731
        browser.tap(*centre(keys[0]))
        browser.wait_frame("the style key", steps["<32>"][0])
        check_tones(browser, "the style key", steps["<32>"][1], [0, 0])
        for step, x, y in (("@246,37", 246, 37), ("2", 190, 300)):  # "ja", then above column 2
            browser.tap(*browser.point(x, y), lambda: browser.wait_frame("a tap for " + step, steps[step][0]))
        check(browser.js("return __presses") == 0, "a tap reached the page as a mouse press too")
        browser.tap(*centre(keys[1]))
        browser.wait("the end", ENDED)
        check_clean(browser, site)


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
