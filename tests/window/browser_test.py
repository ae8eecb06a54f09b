#!/usr/bin/python3
"""browser_test.py -- the browser version in Debian's headless Chromium, through browser.py: the
game played by keys, held clicks and taps to the frames and tones of the headless transcript, the
end and a new game, sound only after a gesture, the page offline and a new build for a returning
visitor; never a request beyond the site, never an error on the console.

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
from browser import Browser, Site, site_folder  # noqa: E402
from driver import TIMEOUT, check, main  # noqa: E402

# The headless game that every case replays: the picture, Space, "ja" clicked, a refused key, then
# keys and clicks in turn to the player's win, Enter for the next game, Escape.
SCENARIO = "pic <32> @246,37 9 2 @190,300 4 @250,300 5 <13> <27>"


def transcript(golden):
    """The scenario's steps from the headless transcript: [(step, frame hash, [(Hz, ms)])]."""
    lines = open(os.path.join(golden, "games.golden")).read().splitlines()
    first = lines.index("== " + SCENARIO) + 1
    steps = []
    for line in lines[first:]:
        if line.startswith("=="):
            break
        fields = [field.strip() for field in line.split("|")]
        if fields[1].startswith("ended"):
            continue
        tones = [tuple(int(n) for n in tone.split("/")) for tone in fields[4].split()]
        steps.append((fields[0], fields[-1], tones))
    return steps


def played(browser, since, count=0):
    """The tones asked for since the `since`-th: (Hz, ms) each, in order; first waits (a while)
    until at least `count` were."""
    deadline = time.monotonic() + 5
    while len(browser.audio()["tones"]) - since < count and time.monotonic() < deadline:
        time.sleep(0.05)
    return [(round(t["frequency"]), round(1000 * (t["stop"] - t["start"])))
            for t in browser.audio()["tones"][since:]]


def check_sounded(browser, tones, since_block):
    """Sound comes out for the tones: loud blocks at about each pitch (zero crossings per second)."""
    deadline, wanted, heard = time.monotonic() + 3, {float(hz) for hz, _ in tones}, set()
    while not wanted <= heard and time.monotonic() < deadline:
        blocks = browser.audio()["blocks"][since_block:]
        heard = {round(b["crossings"] * b["rate"] / b["length"] / 2, -2) for b in blocks if b["peak"] > 0.2}
        time.sleep(0.05)
    check(wanted <= heard, "tones %r asked for, pitches heard %r in %r" % (tones, sorted(heard), [
        (round(b["time"], 3), round(b["peak"], 2), b["crossings"]) for b in browser.audio()["blocks"][since_block:]]))


def check_clean(browser, site):
    errors = browser.console_errors()
    check(not errors, "the console shows errors: %r" % errors)
    check(not site.foreign, "requests beyond the site: %r" % site.foreign)
    elsewhere = browser.js("return performance.getEntriesByType('resource').map(e => e.name)"
                           ".filter(n => !n.startsWith(location.origin + '/'))")
    check(not elsewhere, "the page loaded from elsewhere: %r" % elsewhere)


def play_step(browser, step, frame, settled):
    """Plays one step of the scenario by keys or held clicks; waits for its frame."""
    from selenium.webdriver.common.keys import Keys

    if step.startswith("@"):
        x, y = map(int, step[1:].split(","))
        browser.held_click(x, y, settled=lambda: browser.wait_frame("the click " + step, frame))
    else:
        named = {"<32>": " ", "<13>": Keys.ENTER}
        browser.keys(named.get(step, step))
        settled()


# Screens (CSS pixels and device pixels per CSS pixel) and the frame's size on them in device
# pixels: a whole multiple where it fills the screen well, else as large as fits.
SCREENS = [((1366, 768, 1.25), (1280, 960)), ((1920, 1080, 1.5), (1920, 1440)), ((700, 500, 1), (640, 480)),
           ((390, 844, 3), (1170, 878))]


def check_layout(browser):
    """On every screen the frame stands centred on whole device pixels, at the expected size."""
    for (width, height, ratio), size in SCREENS:
        browser.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=ratio,
                     mobile=False)
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            box = [round(v * ratio, 3) for v in browser.canvas_box()]
            # Within the browser's layout unit (1/64 of a CSS pixel), which it snaps to device pixels.
            if all(abs(v - w) < ratio / 64 for v, w in zip(box[2:], size)):
                break
            time.sleep(0.05)
        margins = (box[0], width * ratio - box[0] - box[2], box[1], height * ratio - box[1] - box[3])
        whole = all(abs(v - round(v)) < ratio / 64 for v in box)
        check(all(abs(v - w) < ratio / 64 for v, w in zip(box[2:], size)) and whole and abs(margins[0] - margins[1]) <= 2
              and abs(margins[2] - margins[3]) <= 2, "on %gx%g at %g: the frame at %r device pixels, not %r, centred"
              % (width, height, ratio, box, size))
    browser.cdp("Emulation.clearDeviceMetricsOverride")


def browser_game(folder, golden, *_):
    """A whole game by keys and held clicks, frame by frame and tone by tone as headless; nothing
    is asked of a timer or an animation frame while the game waits; the game's keys are kept from
    the browser and its own shortcuts are not; Escape dims the frame and offers a new game."""
    site = Site(site_folder(folder))
    browser = Browser(site)
    try:
        browser.open()
        steps = transcript(golden)
        browser.wait_frame("the start screen", steps[0][1])
        wakeups = browser.js("return Object.assign({}, window.__wakeups)")
        time.sleep(1.0)
        check(browser.js("return window.__wakeups") == wakeups, "the waiting game asked for timers or frames: "
              "%r, then %r" % (wakeups, browser.js("return window.__wakeups")))
        check(browser.audio()["contexts"] == 0, "sound was started before a key or a tap")
        browser.js("""window.__kept = [];
                      addEventListener('keydown', e => __kept.push([e.key, e.defaultPrevented]));""")
        for step, frame, tones in steps[1:]:
            tones_before, blocks_before = len(browser.audio()["tones"]), len(browser.audio()["blocks"])
            play_step(browser, step, frame, lambda: browser.wait_frame("after " + step, frame, timeout=20))
            heard = played(browser, tones_before, len(tones))
            check(heard == tones, "after %s: tones %r, not %r" % (step, heard, tones))
            if tones:
                check_sounded(browser, tones, blocks_before)
        from selenium.webdriver.common.keys import Keys
        browser.keys(Keys.ESCAPE)  # the scenario's end
        browser.wait("the page's offer of a new game", "!document.getElementById('ended').hidden")
        check(browser.js("return getComputedStyle(document.getElementById('frame')).filter").startswith("brightness"),
              "the last frame is not dimmed")
        kept = dict((key, prevented) for key, prevented in browser.js("return __kept"))
        check(kept.get(" ") and kept.get("9") and kept.get("Escape"), "keys the game took reached the browser: %r"
              % kept)

        browser.keys(Keys.ENTER)  # the offer has the focus: Enter takes it
        browser.wait_frame("a new game", steps[0][1])
        browser.js("__kept.length = 0")
        browser.keys(Keys.F12)
        browser.chord(Keys.CONTROL, "a")
        browser.chord(Keys.ALT, "j")
        browser.keys(Keys.ARROW_DOWN)
        kept = browser.js("return __kept")
        check([prevented for _, prevented in kept] == [False, False, False, False, False, True],
              "F12, Ctrl+A and Alt+J must stay the browser's, the arrow the game's: %r" % kept)
        check_layout(browser)
        check_clean(browser, site)
    finally:
        browser.quit()
        site.stop()


def browser_phone(folder, golden, *_):
    """A phone on its side with touch: the frame fills the height, the two touch keys stand beside
    it; taps play as clicks (one press each) and the keys give the style tones and the end."""
    site = Site(site_folder(folder))
    browser = Browser(site, phone=True)
    try:
        browser.open()
        steps = dict((step, (frame, tones)) for step, frame, tones in transcript(golden))
        browser.wait_frame("the start screen", transcript(golden)[0][1])
        left, top, width, height = browser.canvas_box()
        check(abs(height - 390) < 0.01 and abs(width - 520) < 0.01, "the frame is %gx%g at (%g, %g), not the "
              "whole height of the phone" % (width, height, left, top))
        keys = browser.js("return ['style-key', 'stop-key'].map(id => document.getElementById(id))"
                          ".map(b => { const r = b.getBoundingClientRect(); return [b.hidden, r.left, r.right]; })")
        check(not keys[0][0] and not keys[1][0] and keys[0][2] <= left and keys[1][1] >= left + width,
              "the touch keys are not beside the frame: %r" % keys)
        browser.js("window.__presses = 0; document.getElementById('frame')"
                   ".addEventListener('mousedown', () => __presses++);")

        browser.tap_element("style-key")
        browser.wait_frame("the style key", steps["<32>"][0])
        heard = played(browser, 0, 2)
        check(heard == steps["<32>"][1], "the style key's tones: %r" % heard)
        check_sounded(browser, steps["<32>"][1], 0)
        browser.tap_frame(246, 37)
        browser.wait_frame("ja, tapped", steps["@246,37"][0])
        browser.tap_frame(190, 300)  # above column 2, as the key 2
        browser.wait_frame("column 2, tapped", steps["2"][0])
        check(browser.js("return __presses") == 0, "a tap reached the page as a mouse press too")
        browser.tap_element("stop-key")
        browser.wait("the end", "!document.getElementById('ended').hidden")
        check_clean(browser, site)
    finally:
        browser.quit()
        site.stop()


def assemble(web_build, source, into, page_folder):
    """Makes a site from the built script and module with the page files of `page_folder`."""
    subprocess.run(["cmake", "-DBUILT=" + web_build, "-DSITE=" + into, "-DPAGE=" + page_folder,
                    "-DICONS=" + os.path.join(source, "tools", "icon"), "-P",
                    os.path.join(source, "tools", "web", "assemble.cmake")], check=True, capture_output=True)
    return into


def browser_offline(folder, golden, web_build, source):
    """After one visit the page starts and plays with the network cut, with or without a query;
    a new build served to the same profile runs whole (its page, script and module) and is then
    the one kept."""
    site_folder(folder)
    scratch = tempfile.mkdtemp(prefix="viertal-sites-")
    profile = tempfile.mkdtemp(prefix="viertal-profile-")
    site = browser = None
    try:
        first = os.path.join(scratch, "first")
        shutil.copytree(folder, first)
        os.remove(os.path.join(first, "viertal-512.png"))  # a file missing from the host
        site = Site(first)
        browser = Browser(site, profile=profile)
        steps = transcript(golden)
        browser.open()
        browser.wait_frame("the start screen", steps[0][1])
        version = browser.js("return document.documentElement.dataset.version")
        browser.wait("the service worker", "navigator.serviceWorker.controller !== null")
        manifest = browser.cdp("Page.getAppManifest")
        errors = browser.cdp("Page.getInstallabilityErrors")["installabilityErrors"] + manifest["errors"]
        check(not errors and '"orientation": "landscape"' in manifest["data"], "not installable: %r" % errors)

        site.stop()
        browser.cdp("Network.enable")
        browser.cdp("Network.emulateNetworkConditions", offline=True, latency=0, downloadThroughput=-1,
                    uploadThroughput=-1)
        for path in ("", "?uit=1"):
            browser.open(path)
            browser.wait_frame("offline at /%s" % path, steps[0][1])
        from selenium.webdriver.common.keys import Keys
        browser.keys(" ")
        browser.wait_frame("offline, Space", steps[1][1])
        browser.keys(Keys.ESCAPE)
        browser.wait("the end, offline", "!document.getElementById('ended').hidden")
        browser.cdp("Network.emulateNetworkConditions", offline=False, latency=0, downloadThroughput=-1,
                    uploadThroughput=-1)

        # A new build: another page script, so another version of everything.
        pages = os.path.join(scratch, "page")
        shutil.copytree(os.path.join(source, "platform", "web", "page"), pages)
        with open(os.path.join(pages, "page.js"), "a") as script:
            script.write("\ndocument.documentElement.dataset.build = 'second';\n")
        site.folder = assemble(web_build, source, os.path.join(scratch, "second"), pages)
        site.start()
        site.requests.clear()
        browser.open()
        browser.wait_frame("the new build's start screen", steps[0][1])
        new = browser.js("return [document.documentElement.dataset.version, document.documentElement.dataset.build]")
        check(new[0] != version and new[1] == "second", "the returning visitor got %r, not the new build" % new)
        loaded = browser.js("return performance.getEntriesByType('resource').map(e => e.name)"
                            ".filter(n => /viertal\\.(js|wasm)|page\\.js/.test(n))")
        check(len(loaded) == 3 and all(name.endswith("?v=" + new[0]) for name in loaded),
              "the new page ran with %r" % loaded)
        deadline = time.time() + 10
        while time.time() < deadline and browser.driver.execute_async_script(
                "caches.keys().then(k => arguments[0](k.join(',')))") != "viertal-" + new[0]:
            time.sleep(0.1)
        site.stop()
        browser.open("?weer=1")
        browser.wait_frame("the new build, offline", steps[0][1])
        check(browser.js("return document.documentElement.dataset.build") == "second", "offline, the old build ran")
        check_clean(browser, site)
    finally:
        if browser:
            browser.quit()
        if site:
            site.stop()
        shutil.rmtree(scratch, ignore_errors=True)
        shutil.rmtree(profile, ignore_errors=True)


CASES = {name: f for name, f in dict(globals()).items() if name.startswith("browser_") and callable(f)}

if __name__ == "__main__":
    sys.exit(main(CASES))
