"""browser.py -- the driver of the browser version's tests and measurements: the built folder
served from 127.0.0.1 by a server that the test starts and stops, and Debian's headless Chromium
with a private profile, driven through WebDriver and the DevTools protocol. Every request the
browser makes goes through that server (it is the browser's proxy too, loopback included), so a
request for anything but the site is seen and refused (and counted, unless it is one of the few
connections Chromium makes for itself whatever the page). The canvas is read back as RGB bytes,
hashed as the real-window driver hashes its screenshots; what the page asks Web Audio to play,
and the sound that comes out, are recorded by a script put into the page before its own.

Needs Debian's chromium, chromium-driver and python3-selenium (scripts/install-deps).
"""
import base64
import http.server
import os
import shutil
import tempfile
import threading
import time
import urllib.parse

from driver import H, TIMEOUT, W, Skip, check, frame_hash  # noqa: F401 (shared with the tests)

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
# What Chromium itself still connects to, whatever page it shows and in spite of the switches
# below: its update service, its sign-in and its default search engine (a warm-up connection).
BROWSER_OWN = ("CONNECT update.googleapis.com:443", "CONNECT accounts.google.com:443",
               "CONNECT start.duckduckgo.com:443")

# Put into every page before its own scripts: counts the timers and animation frames the page
# asks for; records each oscillator it starts (pitch, start, stop, on the context's clock) and the
# peak loudness and zero crossings of what reaches the speakers, block by block, so a test sees
# both what was asked for and what sounded.
RECORDER = r"""
(() => {
  const wakeups = window.__wakeups = { timers: 0, frames: 0 };
  for (const name of ["setTimeout", "setInterval"]) {
    const original = window[name];
    window[name] = function (...rest) { wakeups.timers++; return original.apply(this, rest); };
  }
  const requestFrame = window.requestAnimationFrame;
  window.requestAnimationFrame = function (callback) { wakeups.frames++; return requestFrame.call(this, callback); };

  const Original = window.AudioContext;
  if (!Original) return;
  const record = window.__audio = { tones: [], blocks: [], contexts: 0 };
  window.AudioContext = function (...options) {
    const context = new Original(...options);
    record.contexts++;
    const tap = context.createScriptProcessor(1024, 1, 1);
    tap.onaudioprocess = (event) => {
      const samples = event.inputBuffer.getChannelData(0);
      let peak = 0, crossings = 0;
      for (let i = 0; i < samples.length; i++) {
        peak = Math.max(peak, Math.abs(samples[i]));
        if (i > 0 && (samples[i - 1] < 0) !== (samples[i] < 0)) crossings++;
      }
      if (peak > 0.01) record.blocks.push({ time: event.playbackTime, peak, crossings, rate: context.sampleRate,
                                            length: samples.length });
    };
    tap.connect(context.destination);
    const connect = AudioNode.prototype.connect;
    const createOscillator = context.createOscillator.bind(context);
    context.createOscillator = () => {
      const oscillator = createOscillator();
      const tone = { frequency: 0, start: null, stop: null };
      record.tones.push(tone);
      const start = oscillator.start.bind(oscillator), stop = oscillator.stop.bind(oscillator);
      oscillator.start = (when) => { tone.frequency = oscillator.frequency.value; tone.start = when; start(when); };
      oscillator.stop = (when) => { tone.stop = when; stop(when); };
      return oscillator;
    };
    AudioNode.prototype.connect = function (target, ...rest) {
      if (target === context.destination && this !== tap) connect.call(this, tap);
      return connect.call(this, target, ...rest);
    };
    return context;
  };
  window.AudioContext.prototype = Original.prototype;
})();
"""


class Site:
    """A folder served on 127.0.0.1 at a port of its own, which is also the browser's proxy: it
    answers requests for itself from the folder (which can be swapped for another build) and
    records and refuses every other. stop() cuts the network; start() brings it back."""

    def __init__(self, folder):
        self.folder, self.requests, self.foreign = folder, [], []
        self.server = None
        self.port = 0
        self.start()

    def start(self):
        site = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=site.folder, **kwargs)

            def do_CONNECT(self):
                if "CONNECT " + self.path not in BROWSER_OWN:
                    site.foreign.append("CONNECT " + self.path)
                self.send_error(403)

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                if url.scheme and url.netloc != "127.0.0.1:%d" % site.port:
                    site.foreign.append(self.path)
                    self.send_error(403)
                    return
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


def site_folder(folder):
    """The built folder, or Skip with what builds it."""
    if not os.path.isfile(os.path.join(folder, "index.html")):
        raise Skip("%s is not built: cmake --build BUILD --target web" % folder)
    for tool in (CHROMIUM, CHROMEDRIVER):
        check(os.path.exists(tool), "%s is missing (run scripts/install-deps)" % tool)
    return folder


class Browser:
    """Headless Chromium with a private profile, through `site` as its proxy. With `phone` the
    viewport is a phone on its side (844 x 390 at 3 device pixels per pixel) with touch."""

    def __init__(self, site, phone=False, profile=None, size=(1000, 750)):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        self.site = site
        self.own_profile = profile is None
        self.profile = profile or tempfile.mkdtemp(prefix="viertal-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--user-data-dir=" + self.profile,
                         "--window-size=%d,%d" % size, "--no-first-run", "--disable-quic",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync",
                         "--disable-default-apps", "--disable-extensions", "--disable-gpu", "--no-pings",
                         "--disable-domain-reliability", "--disable-client-side-phishing-detection",
                         "--disable-breakpad", "--metrics-recording-only", "--disable-features=OptimizationHints,"
                         "OptimizationGuideModelDownloading,NetworkTimeServiceQuerying,MediaRouter,Translate,"
                         "AutofillServerCommunication",
                         "--proxy-server=http://127.0.0.1:%d" % site.port, "--proxy-bypass-list=<-loopback>"):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
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

    # --- The frame ---
    def frame(self):
        """The canvas's RGB bytes, 640 x 480, rows top first."""
        data = self.js("""
            const canvas = document.getElementById('frame');
            if (canvas.width !== 640 || canvas.height !== 480) return null;
            const rgba = canvas.getContext('2d').getImageData(0, 0, 640, 480).data;
            let text = '';
            for (let i = 0; i < rgba.length; i += 4)
              text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
            return btoa(text);""")
        return base64.b64decode(data) if data else b""

    def wait_frame(self, what, expected_hash, timeout=TIMEOUT):
        """Waits until the canvas shows the frame with that hash; returns its bytes."""
        deadline, rgb = time.monotonic() + timeout, b""
        while time.monotonic() < deadline:
            rgb = self.frame()
            if rgb and frame_hash(rgb) == expected_hash:
                return rgb
            time.sleep(0.05)
        check(False, "%s: the canvas shows %s, not %s" % (what, frame_hash(rgb) if rgb else "nothing",
                                                          expected_hash))

    def wait(self, what, script, timeout=TIMEOUT):
        """Waits until the script's expression is true; returns its value."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = self.js("return " + script)
            if value:
                return value
            time.sleep(0.05)
        check(False, "%s: still not the case after %.0f s" % (what, timeout))

    def canvas_box(self):
        """The canvas's place on the page in CSS pixels: left, top, width, height."""
        return self.js("const r = document.getElementById('frame').getBoundingClientRect();"
                       "return [r.left, r.top, r.width, r.height];")

    def page_point(self, x, y):
        """The page point (CSS pixels) at the middle of frame pixel (x, y)."""
        left, top, width, height = self.canvas_box()
        return left + (x + 0.5) * width / W, top + (y + 0.5) * height / H

    # --- Input ---
    def keys(self, *keys):
        """Types keys (Selenium names, e.g. Keys.ESCAPE, or text), each pressed and released."""
        from selenium.webdriver.common.action_chains import ActionChains

        for key in keys:
            ActionChains(self.driver).send_keys(key).perform()

    def chord(self, modifier, key):
        """Holds a modifier (Keys.CONTROL, Keys.ALT) while typing a key."""
        from selenium.webdriver.common.action_chains import ActionChains

        ActionChains(self.driver).key_down(modifier).send_keys(key).key_up(modifier).perform()

    def mouse(self, kind, x, y, button="left", buttons=1):
        px, py = self.page_point(x, y)
        self.cdp("Input.dispatchMouseEvent", type=kind, x=px, y=py, button=button, buttons=buttons, clickCount=1)

    def held_click(self, x, y, settled=None):
        """Presses the left button at frame pixel (x, y), holds it until `settled()` is true (the
        game has seen it), and lets go."""
        self.mouse("mouseMoved", x, y, button="none", buttons=0)
        self.mouse("mousePressed", x, y)
        if settled:
            settled()
        else:
            time.sleep(0.1)
        self.mouse("mouseReleased", x, y, buttons=0)

    def tap(self, x, y, hold=0.05):
        """A finger on the page at CSS point (x, y), lifted after `hold` seconds."""
        self.cdp("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
        time.sleep(hold)
        self.cdp("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def tap_frame(self, x, y, hold=0.05):
        self.tap(*self.page_point(x, y), hold=hold)

    def tap_element(self, element_id):
        box = self.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                      "return [r.left + r.width / 2, r.top + r.height / 2];", element_id)
        self.tap(*box)

    # --- Sound ---
    def audio(self):
        """What the recorder saw: {'tones': [...], 'blocks': [...], 'contexts': n}."""
        return self.js("return window.__audio || {tones: [], blocks: [], contexts: 0}")

    # --- What the page said and asked for ---
    def console_errors(self):
        return [entry["message"] for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]

    def quit(self):
        try:
            self.driver.quit()
        finally:
            if self.own_profile:
                shutil.rmtree(self.profile, ignore_errors=True)
