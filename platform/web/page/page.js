// page.js -- the page around the game: it starts the module, gives it the canvas, the keys, the
// pointer and the sound, lays the canvas out on any screen, offers a new game after the end and
// keeps the page's files for offline play. For screen readers it keeps what the game tells them:
// a log of the game's words, the board as a grid of named cells and a button for each choice of
// the game's current wait. The module reaches this through `Module.page`
// (platform/web/*.cpp); the game's own code knows nothing of it.
//
// The game runs only while no event handler does (the page has one thread): it yields at every
// wait, and a handler that changed its input calls wake(), which resumes it where it waits.
"use strict";

// Where the frame and the touch keys stand on a stage of `width` x `height` CSS pixels inside
// its insets (`left`, `top`: the safe area), at `ratio` device pixels a CSS pixel: centred on
// whole device pixels, at a whole scale where that fills at least 85 % of the largest fit, else
// at the largest fit. With `keys` (a touch screen) the touch keys, `keyWidth` x `keyHeight`, stand
// beside the frame or under it, with room kept for the start question's answers over them, so
// the frame stays put as they come and go. A pure function, so the unit tests check it for any
// screen (tests/web/page_test.js, through node). A key not measured yet (0) counts as 112 x 64.
const FRAME_WIDTH = 640, FRAME_HEIGHT = 480;
function frameLayout({ width, height, left = 0, top = 0, ratio = 1, keys = false, keyWidth = 0, keyHeight = 0 }) {
  const WHOLE_SCALE_FILL = 0.85, gap = 12;
  keyWidth ||= 112;
  keyHeight ||= 64;
  // The keys go where the frame can be larger: beside it, a column each side, or under it, two
  // rows (answers, then keys); the frame fits in the room they leave.
  let roomWidth = width, roomHeight = height, beside = false;
  if (keys) {
    const sideWidth = width - 2 * (keyWidth + 2 * gap), underHeight = height - 2 * keyHeight - 3 * gap;
    beside = Math.min(sideWidth / FRAME_WIDTH, height / FRAME_HEIGHT) >= Math.min(width / FRAME_WIDTH, underHeight / FRAME_HEIGHT);
    if (beside) roomWidth = sideWidth;
    else roomHeight = underHeight;
  }
  const deviceWidth = Math.floor(width * ratio), deviceHeight = Math.floor(roomHeight * ratio);
  const fit = Math.max(Math.min(Math.floor(roomWidth * ratio) / FRAME_WIDTH, deviceHeight / FRAME_HEIGHT), 0.05); // a tiny window too
  const whole = Math.floor(fit);
  const scale = whole >= 1 && whole / fit >= WHOLE_SCALE_FILL ? whole : fit;
  const frameWidth = Math.round(FRAME_WIDTH * scale), frameHeight = Math.round(FRAME_HEIGHT * scale);
  const frameLeft = Math.floor((deviceWidth - frameWidth) / 2), frameTop = Math.floor((deviceHeight - frameHeight) / 2);
  // Whole device pixels: the position and size in CSS pixels are device pixels over the ratio.
  const frame = { left: (Math.round(left * ratio) + frameLeft) / ratio, top: (Math.round(top * ratio) + frameTop) / ratio,
    width: frameWidth / ratio, height: frameHeight / ratio };
  if (!keys) return { frame };
  // The first answer on the left, over the style key; the second on the right, over Stop.
  if (beside) {
    const right = frame.left + frame.width, middle = frame.top + frame.height / 2;
    return { frame, beside, columns: [frame.left / 2 - keyWidth / 2 + left / 2, right + (left + width - right) / 2 - keyWidth / 2],
      answersTop: middle - gap / 2 - keyHeight, keysTop: middle + gap / 2 };
  }
  const centre = frame.left + frame.width / 2, answersTop = frame.top + frame.height + gap;
  return { frame, beside, columns: [centre - keyWidth - gap, centre + gap], answersTop, keysTop: answersTop + keyHeight + gap };
}

// What a keydown types, as the game takes it: the character (0 for none; null while a key is
// being composed, which types nothing yet) and the modifiers, Shift 1, Ctrl 2, Alt 4, Meta 8,
// AltGr 16 (which browsers report as Ctrl and Alt too).
function keyOf(event) {
  if (event.key === "Dead" || event.key === "Process" || event.key === "Unidentified") return { character: null };
  const characters = Array.from(event.key);
  const character = characters.length === 1 ? event.key.codePointAt(0) : 0;
  const modifiers = (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0) |
    (event.metaKey ? 8 : 0) | (event.getModifierState && event.getModifierState("AltGraph") ? 16 : 0);
  return { character, modifiers };
}

if (typeof module === "object") module.exports = { frameLayout, keyOf }; // under node, for the tests
else (function () {
  const TONE_LEVEL = 0.3; // the desktop's peak, well below clipping
  const TONE_EDGE = 0.004; // seconds of the fade-in and fade-out, as on the desktop
  const WHEEL_NOTCH = 100; // pixels of a wheel event that count as one step
  const SAID_KEPT = 20; // the log keeps this many of the latest texts, to read back
  const COLUMNS = 7, HEIGHTS = 6;

  const version = document.documentElement.dataset.version;
  const stage = document.getElementById("stage");
  const canvas = document.getElementById("frame");
  const gameArea = document.getElementById("game");
  const context = canvas.getContext("2d", { alpha: false });
  const styleKey = document.getElementById("style-key");
  const stopKey = document.getElementById("stop-key");
  const endBox = document.getElementById("ended");
  const endText = document.getElementById("ended-text");
  const again = document.getElementById("again");
  const board = document.getElementById("board");
  const choices = document.getElementById("choices");
  const said = document.getElementById("said");

  let game = null; // the running module, null before it runs and after the end
  let compiled = null; // the compiled module, a promise; a new game reuses it
  let audio = null; // the AudioContext, made at the first key, click or tap
  let resuming = false; // the browser was asked to start the sound, within a gesture
  let toneEnd = 0; // audio time at which the latest tone ends
  let wheelPixels = 0; // wheel movement not yet counted as a step

  // --- What the module calls ---
  const page = {
    wakeGame: null, // set while the game waits for input: resumes it

    // The game opened its window: the canvas takes the frame's size.
    open(width, height) {
      canvas.width = width;
      canvas.height = height;
      layOut();
    },

    // Rows first .. first+count-1 of the frame, as R, G, B, 255 bytes.
    showRows(bytes, first, count) {
      const pixels = new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, bytes.length);
      context.putImageData(new ImageData(pixels, FRAME_WIDTH, count), 0, first);
    },

    // A tone of that pitch (Hz) and length (ms); the game waits for it itself.
    tone(frequency, duration) {
      // Silent until the browser allows sound; a start asked for within the gesture that woke the
      // game is on its way, and the tone sounds as soon as it is there.
      makeSound();
      if (!audio || (audio.state !== "running" && !resuming)) return;
      if (frequency < 20 || frequency >= audio.sampleRate / 2) return; // beyond what the device carries: silence
      const now = audio.currentTime;
      // Tones played one after the other follow on without a gap or an overlap.
      const start = toneEnd > now && toneEnd < now + 0.05 ? toneEnd : now;
      const seconds = duration / 1000;
      const oscillator = audio.createOscillator();
      oscillator.type = "sine";
      oscillator.frequency.value = frequency;
      const gain = audio.createGain();
      gain.gain.value = 0;
      gain.gain.setValueCurveAtTime(envelope(seconds), start, seconds);
      oscillator.connect(gain).connect(audio.destination);
      oscillator.start(start);
      oscillator.stop(start + seconds);
      toneEnd = start + seconds;
    },

    // A text for the screen reader. The texts of one run of the game (until it next waits) make
    // one new line of the log, which screen readers say as it comes: lines added together are
    // said in any order.
    say(text) {
      if (!saying.length) queueMicrotask(sayLine);
      saying.push(text);
    },

    // The name of the board's cell in column 1..7 at height 1..6.
    nameCell(column, height, name) {
      if (cells[column] && cells[column][height]) cells[column][height].textContent = name;
    },

    // The index-th choice of the wait being offered; offered(count) then shows the first count.
    offer(index, name, touchKey) {
      const button = choiceButton(index);
      button.textContent = name;
      button.dataset.touchKey = touchKey ? "yes" : "";
    },

    // Shows the buttons of the count choices just offered and hides the others; with 0 the game
    // is busy (a disc, a tone): the buttons stay, so the focus does, but do nothing.
    offered(count) {
      buttons.forEach((button, index) => {
        if (count === 0) return button.setAttribute("aria-disabled", "true");
        button.removeAttribute("aria-disabled");
        if (index >= count && document.activeElement === button) gameArea.focus({ preventScroll: true });
        button.hidden = index >= count;
      });
      if (count > 0) sizeChoices();
    },

    // The game ended: its last frame stays, dimmed, and the page offers a new game.
    ended(code) {
      game = null;
      page.wakeGame = null;
      for (const button of buttons) button.hidden = true;
      for (const key of [styleKey, stopKey]) key.setAttribute("aria-disabled", "true"); // they do nothing now
      endText.textContent = code === 0 ? "Het spel is afgelopen." : "Het spel is gestopt door een fout (" + code + ").";
      document.body.classList.add("ended");
      endBox.hidden = false;
      layOut();
      again.focus();
    },
  };

  // --- For screen readers: the board as a grid of named cells, top row first as it is seen; the
  // arrow keys move among the cells while the board has the focus ---
  const cells = []; // cells[column][height]
  let reviewed = null; // the cell that takes the focus in the board
  for (let height = HEIGHTS; height >= 1; height--) {
    const row = board.appendChild(document.createElement("div"));
    row.setAttribute("role", "row");
    for (let column = 1; column <= COLUMNS; column++) {
      const cell = row.appendChild(document.createElement("div"));
      cell.setAttribute("role", "gridcell");
      cell.tabIndex = -1;
      cell.dataset.column = column;
      cell.dataset.height = height;
      (cells[column] = cells[column] || [])[height] = cell;
    }
  }
  function review(cell) {
    if (reviewed) reviewed.tabIndex = -1;
    reviewed = cell;
    cell.tabIndex = 0;
  }
  review(cells[1][1]);
  board.addEventListener("focusin", (event) => event.target.dataset.height && review(event.target)); // a screen reader's own moves
  board.addEventListener("keydown", (event) => {
    const step = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, 1], ArrowDown: [0, -1] }[event.key];
    if (!step || event.altKey || event.ctrlKey || event.metaKey) return;
    event.preventDefault();
    event.stopPropagation(); // the board's, not the game's
    const column = Math.min(COLUMNS, Math.max(1, +reviewed.dataset.column + step[0]));
    const height = Math.min(HEIGHTS, Math.max(1, +reviewed.dataset.height + step[1]));
    review(cells[column][height]);
    reviewed.focus();
  });

  // The choices' buttons, kept from one wait to the next so that the focus stays on them. A choice
  // whose place on the frame is too small for a finger is a touch key too, on a touch screen.
  const buttons = [];
  function choiceButton(index) {
    if (buttons[index]) return buttons[index];
    const button = choices.appendChild(document.createElement("button"));
    button.type = "button";
    button.className = "unseen";
    button.hidden = true;
    button.addEventListener("click", () => {
      if (game && game._web_choose && game._web_choose(index)) wake(); // while busy, made once offered again
    });
    return (buttons[index] = button);
  }

  // Makes the shown choices that are touch keys large on a touch screen, the rest unseen; lays the
  // page out again when that changed.
  function sizeChoices() {
    let changed = false;
    for (const button of buttons) {
      const large = !button.hidden && touchKeysShown() && button.dataset.touchKey === "yes";
      changed = changed || button.classList.contains("touch-key") !== large;
      button.classList.toggle("touch-key", large);
      button.classList.toggle("unseen", !large);
    }
    if (changed) layOut();
  }

  const saying = []; // the texts of the game's current run
  function sayLine() {
    const line = document.createElement("p");
    line.textContent = saying.join(" ");
    saying.length = 0;
    said.appendChild(line);
    while (said.childElementCount > SAID_KEPT) said.firstElementChild.remove();
  }

  // Resumes the game if it waits for input.
  function wake() {
    const wakeUp = page.wakeGame;
    page.wakeGame = null;
    if (wakeUp) wakeUp();
  }

  // The loudness of a tone over its length, sampled every half millisecond: from silence up in
  // a raised cosine, level, and down again, so it neither clicks nor thumps.
  function envelope(seconds) {
    const points = Math.max(3, Math.round(seconds * 2000) + 1);
    const curve = new Float32Array(points);
    for (let i = 0; i < points; i++) {
      const edge = Math.min(i, points - 1 - i) / 2000; // seconds to the nearer end
      curve[i] = TONE_LEVEL * (edge >= TONE_EDGE ? 1 : 0.5 - 0.5 * Math.cos((Math.PI * edge) / TONE_EDGE));
    }
    return curve;
  }

  // --- Sound: browsers allow it only after a key, a click or the end of a touch ---
  // Making the AudioContext takes tens of milliseconds, so the first gesture makes it only once
  // the frame that answers it is painted, unless a tone wants it sooner.
  function allowSound() {
    const activation = navigator.userActivation;
    if (activation && !activation.isActive) return; // not a gesture the browser counts
    if (audio) resume(); // suspended or interrupted
    else requestAnimationFrame(() => setTimeout(makeSound));
  }

  function makeSound() {
    const Context = window.AudioContext || window.webkitAudioContext;
    const activation = navigator.userActivation;
    if (audio || !Context || (activation && !activation.hasBeenActive)) return;
    audio = new Context();
    // Some browsers start sound only once something played: a silent sample.
    const silence = audio.createBufferSource();
    silence.buffer = audio.createBuffer(1, 1, audio.sampleRate);
    silence.connect(audio.destination);
    silence.start();
    resume();
  }

  function resume() {
    if (audio.state === "running" || resuming) return;
    resuming = true;
    audio.resume().catch(() => {}).then(() => (resuming = false));
  }
  for (const type of ["keydown", "pointerdown", "pointerup", "touchend", "click"])
    addEventListener(type, allowSound, { capture: true, passive: true });
  document.addEventListener("visibilitychange", () => {
    if (!document.hidden && audio) resume();
    sendFocus();
  });

  // --- Keys: the game's keys are the game's alone; the browser keeps its own shortcuts ---
  addEventListener("keydown", (event) => {
    if (!game || !game._web_key || event.isComposing) return;
    // Enter and Space on a button of the page do what the button says.
    if ((event.key === "Enter" || event.key === " ") && event.target.closest && event.target.closest("button")) return;
    const { character, modifiers } = keyOf(event);
    if (character === null) return;
    if (game._web_key(event.keyCode, character, modifiers)) {
      event.preventDefault(); // no scrolling on Space or the arrows, no going back on Backspace
      wake();
    }
  });

  // Queues a key as if typed, for the touch keys.
  function typeKey(keyNumber, character) {
    if (game && game._web_key && game._web_key(keyNumber, character, 0)) wake();
  }
  styleKey.addEventListener("click", () => typeKey(32, 32)); // Space: the next playing style
  stopKey.addEventListener("click", () => typeKey(27, 0)); // Escape: stop

  // --- Pointer: mouse, pen and finger alike; a finger is the left button held where it is ---
  let pointerId = null; // the pointer that pressed on the canvas and holds it

  function sendPointer(event, inside) {
    if (!game || !game._web_pointer) return;
    const box = canvas.getBoundingClientRect();
    const x = Math.floor(((event.clientX - box.left) * FRAME_WIDTH) / box.width);
    const y = Math.floor(((event.clientY - box.top) * FRAME_HEIGHT) / box.height);
    if (game._web_pointer(x, y, event.buttons & 31, inside ? 1 : 0)) wake();
  }

  canvas.addEventListener("pointerdown", (event) => {
    if (!event.isPrimary) return; // a second finger is not a second button
    event.preventDefault(); // no emulated mouse press after a touch, no focus or selection change
    pointerId = event.pointerId;
    canvas.setPointerCapture(event.pointerId); // the release comes here wherever it happens
    if (event.pointerType === "touch" && styleKey.hidden) showTouchKeys(); // a touch screen after all
    sendFocus(true); // a press on the page makes it the active window, as a click on a window does
    sendPointer(event, true);
  });
  canvas.addEventListener("pointermove", (event) => {
    if (event.isPrimary) sendPointer(event, event.pointerType !== "touch" || event.buttons !== 0);
  });
  for (const type of ["pointerup", "pointercancel"])
    canvas.addEventListener(type, (event) => {
      if (event.pointerId !== pointerId) return;
      pointerId = null;
      // A lifted finger leaves; a mouse stays over the canvas.
      const stays = event.pointerType !== "touch" && type === "pointerup";
      sendPointer({ clientX: event.clientX, clientY: event.clientY, buttons: stays ? event.buttons : 0 }, stays);
    });
  canvas.addEventListener("pointerleave", (event) => {
    if (event.isPrimary && pointerId === null) sendPointer(event, false);
  });
  canvas.addEventListener("contextmenu", (event) => event.preventDefault());
  canvas.addEventListener("wheel", (event) => {
    event.preventDefault();
    if (!game || !game._web_wheel) return;
    const pixels = event.deltaMode === 0 ? event.deltaY : event.deltaMode === 1 ? (event.deltaY * WHEEL_NOTCH) / 3 :
      event.deltaY * WHEEL_NOTCH;
    // A notch of a wheel is one step; the small movements of a touchpad add up to one.
    wheelPixels = Math.abs(pixels) >= WHEEL_NOTCH / 2 ? Math.sign(pixels) * Math.max(WHEEL_NOTCH, Math.abs(pixels)) :
      wheelPixels + pixels;
    const steps = Math.trunc(wheelPixels / WHEEL_NOTCH);
    wheelPixels -= steps * WHEEL_NOTCH;
    if (steps !== 0) game._web_wheel(-steps); // +1 is a step away from the player
  }, { passive: false });

  // --- Focus: the page having the focus is the window being active ---
  function sendFocus(pressed) {
    const active = pressed === true || (document.hasFocus() && !document.hidden);
    if (game && game._web_focus && game._web_focus(active ? 1 : 0)) wake();
  }
  addEventListener("focus", sendFocus);
  addEventListener("blur", sendFocus);

  // --- Layout: the frame centred on black, in whole device pixels where that fills the screen
  // well, else as large as fits with each frame pixel the nearest device pixels ---
  function showTouchKeys() {
    styleKey.hidden = stopKey.hidden = false;
    sizeChoices();
    layOut();
  }

  function touchKeysShown() {
    return !styleKey.hidden;
  }

  function layOut() {
    const view = window.visualViewport; // the visible part, without an address bar or keyboard
    stage.style.width = (view ? view.width : innerWidth) + "px";
    stage.style.height = (view ? view.height : innerHeight) + "px";
    const style = getComputedStyle(stage);
    const inset = (side) => parseFloat(style["padding" + side]) || 0;
    const left = inset("Left"), top = inset("Top");
    const width = stage.clientWidth - left - inset("Right"), height = stage.clientHeight - top - inset("Bottom");
    const keys = touchKeysShown();
    const placed = frameLayout({ width, height, left, top, ratio: window.devicePixelRatio || 1, keys,
      keyWidth: styleKey.offsetWidth, keyHeight: styleKey.offsetHeight });
    const frameBox = placed.frame;
    canvas.style.width = frameBox.width + "px";
    canvas.style.height = frameBox.height + "px";
    canvas.style.left = frameBox.left + "px";
    canvas.style.top = frameBox.top + "px";
    canvas.style.visibility = "visible";
    if (keys) {
      const answers = buttons.filter((button) => !button.hidden && button.classList.contains("touch-key"));
      answers.forEach((button, index) => place(button, placed.columns[index % 2], placed.answersTop));
      place(styleKey, placed.columns[0], placed.keysTop);
      place(stopKey, placed.columns[1], placed.keysTop);
    }
    if (!endBox.hidden) {
      endBox.style.width = frameBox.width + "px";
      place(endBox, frameBox.left, frameBox.top + frameBox.height / 2 - endBox.offsetHeight / 2);
    }
  }

  function place(element, x, y) {
    element.style.left = x + "px";
    element.style.top = y + "px";
  }

  // Some browsers tell a new size before its ratio of device pixels: once more at the next frame.
  function relayOut() {
    layOut();
    requestAnimationFrame(() => layOut());
  }
  addEventListener("resize", relayOut);
  if (window.visualViewport) visualViewport.addEventListener("resize", relayOut);
  // A new ratio of device pixels (zoom, another screen) changes the stage's size in device pixels.
  try {
    new ResizeObserver(relayOut).observe(stage, { box: "device-pixel-content-box" });
  } catch (error) {
    new ResizeObserver(relayOut).observe(stage); // browsers that count no device pixels
  }

  // --- Starting a game: the module compiled once, a fresh instance for every game ---
  function compile() {
    const url = "viertal.wasm?v=" + version;
    return fetch(url, { credentials: "same-origin" }).then((response) => {
      if (!response.ok) throw new Error(url + ": " + response.status);
      // Compiling while it downloads needs the right type from the server; any host works otherwise.
      if ((response.headers.get("Content-Type") || "").startsWith("application/wasm") && WebAssembly.compileStreaming)
        return WebAssembly.compileStreaming(response);
      return response.arrayBuffer().then((bytes) => WebAssembly.compile(bytes));
    });
  }

  // The module did not load or stopped: say so; the offer of a new game tries again.
  function failed(reason) {
    console.warn("Viertal:", reason);
    compiled = null;
    page.ended(-1);
    endText.textContent = typeof WebAssembly === "object" ? "Viertal kon niet laden. Probeer het nog eens." :
      "Viertal kan in deze browser niet starten.";
  }

  function start() {
    document.body.classList.remove("ended");
    endBox.hidden = true;
    for (const key of [styleKey, stopKey]) key.removeAttribute("aria-disabled");
    gameArea.focus({ preventScroll: true }); // screen readers pass the game's area the game's keys
    compiled = compiled || compile();
    const module = {
      page,
      instantiateWasm(imports, receive) {
        compiled.then((wasm) => WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm)))
          .catch(failed);
        return {};
      },
      onAbort: failed,
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
    };
    game = module; // its procedures appear on it as the module starts
    Viertal(module).then(() => sendFocus(), failed);
  }
  again.addEventListener("click", start);

  if (navigator.maxTouchPoints > 0 || matchMedia("(any-pointer: coarse)").matches) showTouchKeys();
  layOut();
  if (typeof WebAssembly !== "object" || typeof Viertal !== "function") failed("no WebAssembly");
  else start();

  // Keeps the page's files for the next visit, offline too; not while the first game loads.
  if ("serviceWorker" in navigator)
    addEventListener("load", () => navigator.serviceWorker.register("sw.js").catch((e) => console.warn(e)));
})();
