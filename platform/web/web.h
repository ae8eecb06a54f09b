// web.h -- what the browser platform's files share. The page has one thread: the game runs on
// it and gives it back to the browser at every wait (Asyncify unwinds the game's stack and
// rewinds it when the wait is over), so the page's event handlers run only while the game waits.
// The page script (page/page.js) is `Module.page`; it owns the canvas, the events and the sound.
#pragma once

#include <cstdint>

// Hands the frame rows drawn since the last time to the canvas. Called before every wait: the
// browser paints the canvas only while the game waits, so that is when the rows must be there.
void show_changed_rows();

// Returns the code a keydown queues, or -1 for none: `key_number` is the event's keyCode,
// `character` the Unicode character it types (0 for none), `modifiers` its bits: 1 Shift, 2 Ctrl,
// 4 Alt, 8 Meta, 16 AltGr. Nothing while Alt is held (AltGr types), nothing with Ctrl or Meta
// (the browser's shortcuts), nothing for a modifier alone, F10, or Tab, F5, F11 and F12, which
// stay the browser's.
int32_t web_key_code(int32_t key_number, int32_t character, int32_t modifiers);
