// page_test.js -- the page script's rules under node: where it puts the frame and the touch keys
// (frameLayout), for a table of screens: the frame's size in device pixels as the rule gives it,
// and on every screen the frame centred in its room on whole device pixels, the keys on the
// screen, clear of the frame and of each other, the answers over the keys; and what a keydown
// types (keyOf).
//   node tests/web/page_test.js platform/web/page/page.js
"use strict";
const { frameLayout, keyOf } = require(require("path").resolve(process.argv[2]));

// [CSS width, height, device pixels a CSS pixel, touch keys, insets {left, top, right, bottom}],
// then the frame in device pixels and where the keys go.
const screens = [
  [1366, 768, 1.25, false, {}, [1280, 960]], // a whole 2 x fills the height
  [1920, 1080, 1.5, false, {}, [1920, 1440]], // 3 x fills 89 % of the largest fit: whole
  [700, 500, 1, false, {}, [640, 480]],
  [390, 844, 3, false, {}, [1170, 878]], // 1 x would fill 55 %: the largest fit, 1.83 x
  [100, 80, 1, false, {}, [100, 75]], // a tiny window: smaller than 1 x
  [844, 390, 3, true, {}, [1560, 1170], "beside"], // a phone on its side
  [390, 844, 3, true, {}, [1170, 878], "under"], // upright
  [390, 480, 2, true, {}, [780, 585], "under"], // upright, short: the keys stay on the screen
  [1024, 600, 1, true, {}, [640, 480], "beside"], // a tablet
  [844, 390, 3, true, { left: 47, right: 47, bottom: 21 }, [1280, 960], "beside"], // a notch each side: 2 x
  [1366, 768, 1.25, true, {}, [1280, 960], "beside"], // a touch laptop: as without keys
];

let failures = 0;
function expect(ok, what) {
  if (!ok) {
    console.log("FAILED: " + what);
    failures++;
  }
}

const whole = (value) => Math.abs(value - Math.round(value)) < 1e-6;
for (const [cssWidth, cssHeight, ratio, keys, insets, size, where] of screens) {
  const left = insets.left || 0, top = insets.top || 0;
  const width = cssWidth - left - (insets.right || 0), height = cssHeight - top - (insets.bottom || 0);
  const placed = frameLayout({ width, height, left, top, ratio, keys });
  const f = placed.frame, name = `${cssWidth} x ${cssHeight} at ${ratio}${keys ? " with keys" : ""}`;
  const device = [f.left, f.top, f.width, f.height].map((v) => v * ratio);
  expect(device.every(whole), `${name}: the frame ${JSON.stringify(device)} is not on whole device pixels`);
  expect(Math.round(device[2]) === size[0] && Math.round(device[3]) === size[1],
    `${name}: the frame is ${device[2]} x ${device[3]} device pixels, not ${size}`);
  // Centred across the screen and down it, within 2 device pixels (the screen need not be whole
  // device pixels), down it in the room the keys leave (over them when under).
  const below = placed.beside === false ? placed.keysTop + 64 - (f.top + f.height) + 12 : 0;
  expect(Math.abs(f.left - left - (left + width - f.left - f.width)) <= 2 / ratio + 1e-6 &&
    Math.abs(f.top - top - (top + height - below - f.top - f.height)) <= 2 / ratio + 1e-6,
    `${name}: the frame at ${JSON.stringify(f)} is not centred`);
  expect(f.left >= left && f.top >= top && f.left + f.width <= left + width + 1e-6 && f.top + f.height <= top + height + 1e-6,
    `${name}: the frame at ${JSON.stringify(f)} leaves the screen`);
  if (!keys) {
    expect(placed.beside === undefined, `${name}: keys placed without keys`);
    continue;
  }
  expect((placed.beside ? "beside" : "under") === where, `${name}: the keys ${placed.beside ? "beside" : "under"} the frame`);
  const boxes = [];
  for (const y of [placed.answersTop, placed.keysTop]) for (const x of placed.columns) boxes.push([x, y, x + 112, y + 64]);
  const frameBox = [f.left, f.top, f.left + f.width, f.top + f.height];
  const apart = (a, b) => a[2] <= b[0] + 1e-6 || b[2] <= a[0] + 1e-6 || a[3] <= b[1] + 1e-6 || b[3] <= a[1] + 1e-6;
  for (const [i, box] of boxes.entries()) {
    expect(box[0] >= left && box[1] >= top && box[2] <= left + width + 1e-6 && box[3] <= top + height + 1e-6,
      `${name}: key ${i} at ${box} leaves the screen`);
    expect(apart(box, frameBox), `${name}: key ${i} at ${box} covers the frame`);
    for (const other of boxes.slice(i + 1)) expect(apart(box, other), `${name}: key ${i} at ${box} covers another`);
  }
  expect(placed.answersTop + 64 <= placed.keysTop, `${name}: the answers are not over the keys`);
}
// Left out, the place, the density and the keys are 0, 1 and none.
const plain = frameLayout({ width: 700, height: 500 }).frame;
expect(JSON.stringify([plain.left, plain.top, plain.width, plain.height]) === "[30,10,640,480]",
  `the frame on 700 x 500 without the rest at ${JSON.stringify(plain)}`);

// Keydowns, as browsers report them, and what they type: [event, character, modifiers].
const altGr = (state) => state === "AltGraph";
const keydowns = [
  [{ key: "j" }, 106, 0],
  [{ key: "J", shiftKey: true }, 74, 1],
  [{ key: "é", ctrlKey: true, altKey: true, getModifierState: altGr }, 0xe9, 16 | 4 | 2], // AltGr
  [{ key: "a", metaKey: true, getModifierState: () => false }, 97, 8],
  [{ key: "Enter" }, 0, 0],
  [{ key: "😀" }, 0x1f600, 0], // one character, two UTF-16 units
  [{ key: "Dead" }, null], [{ key: "Process" }, null], [{ key: "Unidentified" }, null],
];
for (const [event, character, modifiers] of keydowns) {
  const got = keyOf(event);
  expect(got.character === character && (character === null || got.modifiers === modifiers),
    `keydown ${JSON.stringify(event)} types ${JSON.stringify(got)}`);
}
console.log(`page_test: ${screens.length} screens, ${keydowns.length} keydowns, ${failures} failed`);
process.exit(failures ? 1 : 0);
