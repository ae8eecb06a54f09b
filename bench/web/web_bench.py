#!/usr/bin/python3
"""web_bench.py -- the browser version measured in Debian's headless Chromium, through the tests'
driver (tests/window/browser.py: the site served from 127.0.0.1, a private profile per browser).

    web_bench.py SITE_FOLDER GOLDEN_DIR

Page load: navigation start to the end of the putImageData call after which the canvas holds
exactly the headless transcript's start screen (checked by its hash); WEB_BENCH_RUNS (10) first
visits, each in a fresh profile, and as many returning visits (service worker installed). Then
WEB_BENCH_IDLE_RUNS (3) pages, each: the main thread's time in tasks (DevTools' TaskDuration)
and the timers and animation frames fired while the game waits WEB_BENCH_SECONDS (20) at the
start question; then the transcript's game by keys, each key timed from its keydown's time stamp
to the first putImageData after it and to the next animation frame, which paints it (the first
key on a page apart: it also starts the sound, and making the AudioContext takes long). Last, the
files a first visit asked for, as gzip -9 would send them (1 KB = 1000 bytes). Prints the rows
of the README's whole-program table.
"""
import gzip
import os
import re
import statistics
import sys
import time

sys.dont_write_bytecode = True
TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tests", "window"))
from browser import CHROMEDRIVER, CHROMIUM, Browser, Site, frame_hash  # noqa: E402
from browser_test import transcript  # noqa: E402
from driver import Failure, Skip, check  # noqa: E402

RUNS = int(os.environ.get("WEB_BENCH_RUNS", "10"))
IDLE_RUNS = int(os.environ.get("WEB_BENCH_IDLE_RUNS", "3"))
SECONDS = float(os.environ.get("WEB_BENCH_SECONDS", "20"))

# Put into the page before its own scripts: the end of every putImageData call, and each
# keydown's time stamp with the first putImageData after it and the animation frame after that
# (the driver's recorder counts the timers and animation frames asked for and fired).
PROBE = r"""
(() => {
  const bench = window.__bench = { puts: [], keys: [] };
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (...rest) {
    const result = put.apply(this, rest);
    const now = performance.now(), key = bench.keys[bench.keys.length - 1];
    bench.puts.push(now);
    if (key && key.put === null) {
      key.put = now;
      requestAnimationFrame(() => { key.shown = performance.now(); });
    }
    return result;
  };
  addEventListener("keydown", (event) => bench.keys.push({ stamp: event.timeStamp, put: null, shown: null }),
                   { capture: true });
})();
"""

# The transcript's clicks by their keys: "ja" and the columns under the clicks.
CLICK_KEYS = {"@246,37": "j", "@190,300": "2", "@250,300": "3"}


def game_keys(steps):
    """The transcript's steps that change the frame, as keys: [(key, frame hash after it)]."""
    from selenium.webdriver.common.keys import Keys

    named = dict(CLICK_KEYS, **{"<32>": " ", "<13>": Keys.ENTER})
    keys, previous = [], steps[0][1]
    for step, frame, _ in steps[1:]:
        if frame != previous:
            check(step in named or len(step) == 1, "no key for the step %s of the transcript" % step)
            keys.append((named.get(step, step), frame))
        previous = frame
    return keys


def new_browser(site):
    browser = Browser(site)
    browser.cdp("Page.addScriptToEvaluateOnNewDocument", source=PROBE)
    return browser


def wait_quiet(browser, quiet=0.3, timeout=20):
    """Waits until the page has drawn and asked for no timer for `quiet` seconds (the game then
    waits for input: its sleeps ask for timers)."""
    last, since, deadline = None, time.monotonic(), time.monotonic() + timeout
    while time.monotonic() < deadline:
        now = browser.js("return window.__bench && [__bench.puts.length, __wakeups.timers]")
        if now != last:
            last, since = now, time.monotonic()
        elif now and now[0] and time.monotonic() - since >= quiet:
            return
        time.sleep(0.05)
    check(False, "the page did not settle in %d s" % timeout)


def visit(browser, start):
    """Opens the page; returns the ms from navigation start to the putImageData that completed
    the start screen. Only cheap scripts poll until the page settles; then the frame is read."""
    browser.open()
    wait_quiet(browser)
    browser.wait_frame("the start screen", start)
    puts = browser.js("return __bench.puts")
    check(frame_hash(browser.frame()) == start and browser.js("return __bench.puts.length") == len(puts),
          "the start screen changed after it was complete")
    return puts[-1]


def page_loads(site, start):
    """First and returning visits, a fresh profile each; and what the first one asked for."""
    first, returning, asked = [], [], None
    for _ in range(RUNS):
        browser = new_browser(site)
        try:
            site.requests.clear()
            first.append(visit(browser, start))
            browser.wait("the service worker", "navigator.serviceWorker.controller !== null")
            asked = asked or list(site.requests)
            returning.append(visit(browser, start))
        finally:
            browser.quit()
    return first, returning, asked


# Screens the page opens on for its layout shift: CSS pixels, device pixels a CSS pixel, a phone.
SHIFT_SCREENS = [(1366, 768, 1, False), (844, 390, 3, True), (390, 844, 3, True)]


def opening_shifts(site, start):
    """The cumulative layout shift of the page as it opens on each screen, user input or not."""
    scores = []
    for width, height, ratio, phone in SHIFT_SCREENS:
        browser = Browser(site, phone=phone)
        try:
            browser.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=ratio,
                        mobile=phone)
            browser.open()
            browser.wait_frame("the start screen", start)
            scores.append(sum(score for score, _ in browser.shifts()))
        finally:
            browser.quit()
    return scores


def busy_seconds(browser):
    """The main thread's time in tasks so far, without the DevTools commands that ask for it."""
    metrics = {m["name"]: m["value"] for m in browser.cdp("Performance.getMetrics")["metrics"]}
    return metrics["TaskDuration"] - metrics["DevToolsCommandDuration"]


def idle(browser):
    """The main thread's busy share (%) and the timers and animation frames fired (and asked
    for) while the game waits SECONDS at the start question, its service worker installed."""
    browser.wait("the service worker", "navigator.serviceWorker.controller !== null")
    wait_quiet(browser)
    wakeups = "return [__wakeups.fired, __wakeups.timers + __wakeups.frames]"
    browser.cdp("Performance.enable")
    before = browser.js(wakeups)
    busy = busy_seconds(browser)
    time.sleep(SECONDS)
    busy = busy_seconds(browser) - busy
    after = browser.js(wakeups)
    browser.cdp("Performance.disable")
    return 100 * busy / SECONDS, [b - a for a, b in zip(before, after)]


def key_latencies(browser, keys):
    """Plays the keys, each once the game waits; returns [(ms to putImageData, ms to shown)]."""
    for key, frame in keys:
        browser.keys(key)
        browser.wait_frame("after %r" % key, frame, timeout=20)
        wait_quiet(browser)
    timed = browser.js("return __bench.keys")
    check(len(timed) == len(keys) and all(k["put"] and k["shown"] for k in timed),
          "keys without a change of the canvas: %r" % timed)
    return [(k["put"] - k["stamp"], k["shown"] - k["stamp"]) for k in timed]


def asked_files(folder, asked):
    """{file: (requests, bytes, gzip -9 bytes)} of the paths the page asked for."""
    files = {}
    for path in asked:
        name = path.split("?")[0].lstrip("/") or "index.html"
        data = open(os.path.join(folder, name), "rb").read()
        requests = files.get(name, (0,))[0] + 1
        files[name] = (requests, len(data), len(gzip.compress(data, 9)))
    return files


def picture_items(source):
    """The picture's text as the module holds it: the string items of data/picture_items.cpp."""
    text = open(os.path.join(source, "data", "picture_items.cpp"), encoding="latin-1").read()
    body = text[text.index("picture_items[] = {"):]
    escape = {"n": "\n", "t": "\t", "r": "\r"}

    def unescape(match):
        code = match.group(1)
        return chr(int(code, 8)) if code[0] in "01234567" else escape.get(code, code)

    return [re.sub(r"\\([0-7]{1,3}|.)", unescape, s).encode("latin-1")
            for s in re.findall(r'"((?:[^"\\]|\\.)*)"', body)]


def wasm_sections(module):
    """{section id: bytes} of a WebAssembly module (10 is the code, 11 the data)."""
    sections, at = {}, 8
    while at < len(module):
        kind, size, shift, at = module[at], 0, 0, at + 1
        while True:
            size, shift, at = size | (module[at] & 127) << shift, shift + 7, at + 1
            if module[at - 1] < 128:
                break
        sections[kind], at = sections.get(kind, b"") + module[at:at + size], at + size
    return sections


def spread(values):
    return "%.0f ms (min %.0f, max %.0f)" % (statistics.median(values), min(values), max(values))


def tail(values):
    values = sorted(values)
    return "%.1f ms (p90 %.1f, max %.1f)" % (statistics.median(values), values[round(0.9 * (len(values) - 1))],
                                               values[-1])


def measure(site, start, keys):
    """Page loads, then the waiting game and its keys on IDLE_RUNS pages."""
    first, returning, asked = page_loads(site, start)
    busy, wakeups, latencies = [], [], []
    for _ in range(IDLE_RUNS):
        browser = new_browser(site)
        try:
            visit(browser, start)
            share, woken = idle(browser)
            busy.append(share)
            wakeups.append(woken)
            latencies.append(key_latencies(browser, keys))
        finally:
            browser.quit()
    check(not site.foreign, "requests beyond the site: %r" % site.foreign)
    return first, returning, asked, busy, wakeups, latencies


def key_rows(latencies):
    """The rows of key to changed canvas: each page's first key apart, as it also starts the sound."""
    later = [latency for page in latencies for latency in page[1:]]
    for index, what in enumerate(("the first putImageData after it", "the next animation frame, which paints it")):
        print("| browser: key to changed canvas, %d keys on %d pages, each page's first left out (keydown's time "
              "stamp to %s) | %s | < 16 ms |" % (len(later), len(latencies), what, tail([k[index] for k in later])))
    puts, frames = zip(*(page[0] for page in latencies))
    print("| browser: the first key on a page, which also starts the sound (%d pages): to the putImageData; to the "
          "animation frame | %.1f ms; %.1f ms (max %.1f; %.1f) | |"
          % (len(puts), statistics.median(puts), statistics.median(frames), max(puts), max(frames)))


def bytes_rows(folder, asked):
    """The rows of the bytes of a first visit, and what in the module takes the room."""
    files = asked_files(folder, asked)
    again = sum(f[2] * (f[0] - 1) for f in files.values())
    print("| browser: bytes of a first visit, gzip -9 of the %d files asked for (its service worker asks for %.1f KB "
          "of them again) | %.1f KB | < 500 KB |" % (len(files), again / 1e3, sum(f[2] for f in files.values()) / 1e3))
    print("| browser: per file, gzip -9 (raw): %s | | |" % ", ".join(
        "%s %.1f KB (%.1f KB)" % (name, f[2] / 1e3, f[1] / 1e3) for name, f in sorted(files.items(),
                                                                                       key=lambda item: -item[1][2])))
    sections = wasm_sections(open(os.path.join(folder, "viertal.wasm"), "rb").read())
    code, data, items = sections.get(10, b""), sections.get(11, b""), picture_items(TOP)
    picture = b"\0".join(items) + b"\0"  # as the module holds them, each ended by a zero
    found = items[0] in data and items[-2] in data
    print("| browser: viertal.wasm's code; its data; the picture's text (%s its data) alone; gzip -9 | %s | |"
          % ("in" if found else "NOT FOUND in", "; ".join("%.1f KB" % (len(gzip.compress(part, 9)) / 1e3)
                                                          for part in (code, data, picture))))


def main():
    folder, golden = sys.argv[1], sys.argv[2]
    if not os.path.isfile(os.path.join(folder, "index.html")):
        raise Skip("%s is not built: cmake --build BUILD --target web" % folder)
    for tool in (CHROMIUM, CHROMEDRIVER):
        check(os.path.exists(tool), "%s is missing (run scripts/install-deps)" % tool)
    steps = transcript(golden)
    site = Site(folder)
    try:
        first, returning, asked, busy, wakeups, latencies = measure(site, steps[0][1], game_keys(steps))
        shifts = opening_shifts(site, steps[0][1])
    finally:
        site.stop()
    print("| browser: page load to the first complete start screen (%d first visits, fresh profiles, headless "
          "Chromium) | %s | < 300 ms |" % (len(first), spread(first)))
    print("| browser: the same, returning visits (service worker installed; %d runs) | %s | |"
          % (len(returning), spread(returning)))
    print("| browser: layout shift as the page opens on %s | %s | 0 |" % (
        ", ".join("%d x %d%s" % (w, h, " (phone)" if phone else "") for w, h, _, phone in SHIFT_SCREENS),
        "; ".join("%.2f" % score for score in shifts)))
    key_rows(latencies)
    print("| browser: main-thread busy time at the start question, %d x %.0f s; timers and animation frames fired "
          "(asked for) meanwhile, at most | %.3f %% (max %.3f); %d (%d) | < 0.5 %%; none |"
          % (len(busy), SECONDS, statistics.median(busy), max(busy), max(w[0] for w in wakeups),
             max(w[1] for w in wakeups)))
    bytes_rows(folder, asked)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Skip as skip:
        sys.exit("web_bench: not measured: %s" % skip)
    except Failure as failure:
        sys.exit("web_bench: %s" % failure)
