// web.h -- what the browser platform's files share. The page has one thread: the game runs on
// it and gives it back to the browser at every wait (Asyncify unwinds the game's stack and
// rewinds it when the wait is over), so the page's event handlers run only while the game waits.
// The page script (page/page.js) is `Module.page`; it owns the canvas, the events and the sound.
#pragma once

// Hands the frame rows drawn since the last time to the canvas. Called before every wait: the
// browser paints the canvas only while the game waits, so that is when the rows must be there.
void show_changed_rows();
