"""browser.py -- the driver of the browser version's tests and measurements: the built folder
served from 127.0.0.1 by a server the test starts and stops, which is also the browser's proxy
(loopback included), so a request for anything but the site is seen and refused; and Debian's
headless Chromium with a private profile, through WebDriver and the DevTools protocol. The canvas
is read back and hashed as the real-window driver hashes its screenshots; a script put into the
page before its own counts timers, records what Web Audio is asked to play and what sounds, and
every text the page hands screen readers. What screen readers get is read from Chromium's
accessibility tree, and axe-core (npm, tests/window/package.json) checks the page.
Needs Debian's chromium, chromium-driver and python3-selenium, and npm's axe-core (scripts/install-deps).
"""
import base64
import contextlib
import http.server
import os
import shutil
import tempfile
import threading
import time
import urllib.parse

from driver import H, TIMEOUT, W, Skip, check, frame_hash, poll  # noqa: F401 (shared with the tests)

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
AXE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "node_modules", "axe-core", "axe.min.js")
# What Chromium connects to for itself whatever the page, in spite of the switches below: its
# update service, its sign-in and its default search engine (a warm-up connection).
BROWSER_OWN = {"update.googleapis.com:443", "accounts.google.com:443", "start.duckduckgo.com:443"}
SWITCHES = ["--headless=new", "--no-sandbox", "--no-first-run", "--disable-quic", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--disable-default-apps", "--disable-extensions",
            "--disable-gpu", "--no-pings", "--disable-domain-reliability", "--disable-client-side-phishing-detection",
            "--disable-breakpad", "--metrics-recording-only", "--proxy-bypass-list=<-loopback>",
            "--disable-features=OptimizationHints,OptimizationGuideModelDownloading,NetworkTimeServiceQuerying,"
            "MediaRouter,Translate,AutofillServerCommunication"]

# Counts the timers and animation frames asked for and those that fired; records each oscillator started (pitch,
# start, stop on the context's clock), each loudness curve (its first, third, highest and last
# values) and, block by block, the pitch of what reaches the speakers loudly; each text added
# to the page's live region, with the politeness the page gave that region; and each layout shift.
RECORDER = r"""(() => {
  const shifts = window.__shifts = [];
  new PerformanceObserver((list) => {
    for (const shift of list.getEntries()) shifts.push([shift.value, shift.sources.map((s) => s.node && s.node.id)]);
  }).observe({ type: "layout-shift", buffered: true });
  const said = window.__said = [];
  document.addEventListener("DOMContentLoaded", () => {
    const region = document.querySelector("[aria-live], [role=log], [role=status], [role=alert]");
    if (!region) return;
    const live = region.getAttribute("aria-live") ||
      { log: "polite", status: "polite", alert: "assertive" }[region.getAttribute("role")];
    new MutationObserver((changes) => {
      for (const change of changes) for (const node of change.addedNodes) said.push([node.textContent, live]);
    }).observe(region, { childList: true, subtree: true });
  });
  const wakeups = window.__wakeups = { timers: 0, frames: 0, fired: 0 };
  for (const [name, count] of [["setTimeout", "timers"], ["setInterval", "timers"], ["requestAnimationFrame", "frames"]]) {
    const original = window[name];
    window[name] = function (callback, ...rest) {
      wakeups[count]++;
      const counted = typeof callback !== "function" ? callback
        : function (...args) { wakeups.fired++; return callback.apply(this, args); };
      return original.call(this, counted, ...rest);
    };
  }
  const Original = window.AudioContext, record = window.__audio = { tones: [], blocks: [], contexts: 0, edges: [] };
  const curve = AudioParam.prototype.setValueCurveAtTime;
  AudioParam.prototype.setValueCurveAtTime = function (values, ...rest) {
    record.edges.push([values[0], values[2], Math.max(...values), values[values.length - 1]]);
    return curve.call(this, values, ...rest);
  };
  window.AudioContext = function (...options) {
    const context = new Original(...options), tap = context.createScriptProcessor(2048, 1, 1);
    record.contexts++;
    tap.onaudioprocess = (event) => {
      const samples = event.inputBuffer.getChannelData(0);
      let peak = 0, crossings = 0;
      for (let i = 0; i < samples.length; i++) {
        peak = Math.max(peak, Math.abs(samples[i]));
        crossings += i > 0 && (samples[i - 1] < 0) !== (samples[i] < 0);
      }
      if (peak > 0.2) record.blocks.push(Math.round(crossings * context.sampleRate / samples.length / 2 / 100) * 100);
    };
    tap.connect(context.destination);
    const connect = AudioNode.prototype.connect, createOscillator = context.createOscillator.bind(context);
    AudioNode.prototype.connect = function (target, ...rest) {
      if (target === context.destination && this !== tap) connect.call(this, tap);
      return connect.call(this, target, ...rest);
    };
    context.createOscillator = () => {
      const oscillator = createOscillator(), start = oscillator.start.bind(oscillator), stop = oscillator.stop.bind(oscillator);
      const tone = {};
      record.tones.push(tone);
      oscillator.start = (when) => { tone.frequency = oscillator.frequency.value; tone.start = when; start(when); };
      oscillator.stop = (when) => { tone.stop = when; stop(when); };
      return oscillator;
    };
    return context;
  };
  window.AudioContext.prototype = Original.prototype;
})();"""


class Site:
    """A folder served on 127.0.0.1, and the browser's proxy: it answers for itself from the
    folder (which may be swapped for another build) and records and refuses every other request.
    stop() cuts the network; start() brings it back on the same port."""

    def __init__(self, folder):
        self.folder, self.requests, self.foreign, self.port, self.server = folder, [], [], 0, None
        self.start()

    def start(self):
        site = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=site.folder, **kwargs)

            def do_CONNECT(self):
                if self.path not in BROWSER_OWN:
                    site.foreign.append("CONNECT " + self.path)
                self.send_error(403)

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                if url.scheme and url.netloc != "127.0.0.1:%d" % site.port:
                    site.foreign.append(self.path)
                    return self.send_error(403)
                self.path = urllib.parse.urlunsplit(("", "", url.path, url.query, ""))
                site.requests.append(self.path)
                super().do_GET()

            def end_headers(self):
                self.send_header("Cache-Control", "no-cache")  # every build is seen at once
                super().end_headers()

            def log_message(self, *args):
                pass

        class Server(http.server.ThreadingHTTPServer):
            allow_reuse_address = True

            def handle_error(self, request, address):
                pass  # the browser hung up: a refused connection or a page that went away

        self.server = Server(("127.0.0.1", self.port), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        if self.server:
            self.server.shutdown()
            self.server.server_close()
            self.server = None

    @property
    def address(self):
        return "http://127.0.0.1:%d/" % self.port


class Browser:
    """Headless Chromium with a private profile (or `profile`, kept), through `site` as its proxy.
    With `phone`, the viewport is a phone on its side (844 x 390, 3 device pixels a pixel), touch.
    With `desktop` (the environment of a desktop session: its display and session bus), Chromium
    shows its window there and hands its accessibility tree to the desktop's screen reader."""

    def __init__(self, site, phone=False, profile=None, desktop=None):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        self.site, self.own_profile = site, profile is None
        self.profile = profile or tempfile.mkdtemp(prefix="viertal-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        switches = SWITCHES + ["--user-data-dir=" + self.profile, "--window-size=1000,750",
                               "--proxy-server=http://127.0.0.1:%d" % site.port]
        if desktop:
            switches = [s for s in switches if s != "--headless=new"] + ["--force-renderer-accessibility",
                                                                           "--window-position=0,0"]
            options.add_experimental_option("excludeSwitches", ["enable-automation"])  # no bar for Tab to reach
            options.add_experimental_option("prefs", {"translate": {"enabled": False}})  # the switch alone still offers it
        for switch in switches:
            options.add_argument(switch)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER, env=desktop), options=options)
        self.driver.set_script_timeout(TIMEOUT)
        self.cdp("Page.addScriptToEvaluateOnNewDocument", source=RECORDER)
        if phone:
            self.cdp("Emulation.setDeviceMetricsOverride", width=844, height=390, deviceScaleFactor=3, mobile=True,
                     screenOrientation={"type": "landscapePrimary", "angle": 90})
            self.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)

    def cdp(self, command, **parameters):
        return self.driver.execute_cdp_cmd(command, parameters)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def open(self, path=""):
        self.driver.get(self.site.address + path)

    def wait(self, what, expression, timeout=TIMEOUT):
        return poll(what, lambda: self.js("return " + expression), timeout)

    def frame(self):
        """The canvas's RGB bytes, 640 x 480, rows top first (empty before the game opened it)."""
        return self.read_canvas(())[1]

    def read_canvas(self, known):
        """A quick sum of the canvas taken in the page, and its RGB bytes unless the sum is among
        `known` (then empty)."""
        total, data = self.js("""const canvas = document.getElementById('frame');
            if (!canvas || canvas.width !== 640 || canvas.height !== 480) return [0, ''];
            const rgba = canvas.getContext('2d').getImageData(0, 0, 640, 480).data, words = new Int32Array(rgba.buffer);
            let sum = 0;
            for (let i = 0; i < words.length; i++) sum = Math.imul(sum ^ words[i], 16777619);
            if (arguments[0].includes(sum)) return [sum, ''];
            const rgb = new Uint8Array(640 * 480 * 3);
            for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) rgb.set(rgba.subarray(i, i + 3), j);
            let text = '';
            for (let i = 0; i < rgb.length; i += 8192) text += String.fromCharCode.apply(null, rgb.subarray(i, i + 8192));
            return [sum, btoa(text)];""", list(known))
        return total, base64.b64decode(data)

    def wait_frame(self, what, expected_hash, timeout=TIMEOUT):
        """Waits until the canvas shows the frame with that hash. The canvas is read back and
        hashed only when its quick sum is new: reading it all takes the page's thread long enough
        to make its sound stutter."""
        hashes = {}  # quick sum: frame hash

        def shows():
            total, rgb = self.read_canvas(list(hashes))
            if total not in hashes:
                hashes[total] = frame_hash(rgb)
            return hashes[total] == expected_hash

        poll(what + ": the frame " + expected_hash, shows, timeout)

    def box(self, element="frame"):
        """An element's place on the page in CSS pixels: left, top, width, height."""
        return self.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                       "return [r.left, r.top, r.width, r.height];", element)

    def point(self, x, y):
        """The page point (CSS pixels) in the middle of frame pixel (x, y)."""
        left, top, width, height = self.box()
        return left + (x + 0.5) * width / W, top + (y + 0.5) * height / H

    def keys(self, *keys, hold=None):
        """Types keys (Selenium's names or text), each pressed and let go; with `hold` (Keys.ALT,
        Keys.CONTROL) held around them."""
        from selenium.webdriver.common.action_chains import ActionChains

        for key in keys:
            chain = ActionChains(self.driver)
            (chain.key_down(hold).send_keys(key).key_up(hold) if hold else chain.send_keys(key)).perform()

    def held_click(self, x, y, settled):
        """Presses the left button at frame pixel (x, y), holds it until settled(), and lets go."""
        px, py = self.point(x, y)

        def mouse(kind, buttons):
            self.cdp("Input.dispatchMouseEvent", type=kind, x=px, y=py, button="left", buttons=buttons, clickCount=1)

        mouse("mouseMoved", 0)
        mouse("mousePressed", 1)
        settled()
        mouse("mouseReleased", 0)

    def tap(self, x, y, settled=lambda: time.sleep(0.05)):
        """A finger on the page at CSS point (x, y), lifted once settled() (the game saw it)."""
        self.cdp("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
        settled()
        self.cdp("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def shifts(self):
        """The page's layout shifts so far, user input or not: [[score, [ids of what moved]]]."""
        return self.js("return window.__shifts")

    def said(self):
        """Every text added to the page's live region so far: [[text, politeness]]."""
        return self.js("return window.__said")

    def ax(self):
        """The page's accessibility tree as Chromium hands it to screen readers, in reading order:
        [{'role', 'name', 'node' (the DOM node's backend id), and its properties: 'live',
        'disabled', 'focused', ...}] of the nodes it does not ignore."""
        nodes = {node["nodeId"]: node for node in self.cdp("Accessibility.getFullAXTree")["nodes"]}
        order, stack = [], [next(node for node in nodes.values() if not node.get("parentId"))]
        while stack:
            node = stack.pop()
            if not node.get("ignored"):
                entry = {p["name"]: p["value"].get("value") for p in node.get("properties", [])}
                entry.update(role=node.get("role", {}).get("value"), name=node.get("name", {}).get("value", ""),
                             node=node.get("backendDOMNodeId"))
                order.append(entry)
            stack.extend(nodes[child] for child in reversed(node.get("childIds", [])) if child in nodes)
        return order

    def press(self, role, name, key):
        """Focuses the node of that role and name in the accessibility tree, as a screen reader's
        user moves to it, and presses the key there (Keys.ENTER, " ")."""
        from selenium.webdriver.common.action_chains import ActionChains

        found = [node for node in self.ax() if node["role"] == role and node["name"] == name]
        check(len(found) == 1, "%d nodes %s %r in the accessibility tree" % (len(found), role, name))
        self.cdp("DOM.focus", backendNodeId=found[0]["node"])
        ActionChains(self.driver).send_keys(key).perform()

    def axe(self, what):
        """Runs axe-core's checks on the page as it stands; fails on any violation, whatever its impact."""
        if not self.js("return !!window.axe"):
            check(os.path.isfile(AXE), "%s is missing (run scripts/install-deps)" % AXE)
            self.js(open(AXE).read())
        found = self.driver.execute_async_script(
            "axe.run(document, { resultTypes: ['violations'] }).then((r) => arguments[0](r.violations.map((v) =>"
            " [v.id, v.impact, v.nodes.map((n) => n.target.join(' ')).slice(0, 3)])))")
        check(not found, "%s: axe-core finds %r" % (what, found))

    def audio(self):
        """What the recorder saw: {'tones': [{frequency, start, stop}], 'edges': [[first, third, most,
        last]], 'blocks': [Hz], 'contexts': n}."""
        return self.js("return window.__audio")

    def console_errors(self):
        return [entry["message"] for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]

    def quit(self):
        try:
            self.driver.quit()
        finally:
            if self.own_profile:
                shutil.rmtree(self.profile, ignore_errors=True)


@contextlib.contextmanager
def session(folder, **options):
    """A Site for the built folder and a Browser on it (Skip when either is missing); both go
    at the end."""
    if not os.path.isfile(os.path.join(folder, "index.html")):
        raise Skip("%s is not built: cmake --build BUILD --target web" % folder)
    for tool in (CHROMIUM, CHROMEDRIVER):
        check(os.path.exists(tool), "%s is missing (run scripts/install-deps)" % tool)
    site = Site(folder)
    try:
        browser = Browser(site, **options)
        try:
            yield site, browser
        finally:
            browser.quit()
    finally:
        site.stop()
