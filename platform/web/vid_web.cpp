// vid_web.cpp -- the browser page: the game on the page's thread, the canvas, the clock, the end.
//
// main() runs the program directly: every sleep and every wait for input yields to the browser
// through Asyncify and comes back where it left off, so the game's loop stays as it is. While
// the game waits for input no timer and no animation frame is pending; the page's input
// handlers wake it. The frame goes to the canvas as whole changed rows at every yield.
#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "platform/platform.h"
#include "platform/web/web.h"
#include "screen/screen_state.h"

namespace {

// The frame in the canvas's byte order (R, G, B, 255), rows copied as they change.
uint32_t canvas_rows[FRAME_HEIGHT][FRAME_WIDTH];

// Converts a frame pixel (0x..RRGGBB) to the canvas's bytes, read as a little-endian word.
uint32_t canvas_pixel(uint32_t pixel) {
    return 0xFF000000u | (pixel & 0xFFu) << 16 | (pixel & 0xFF00u) | (pixel >> 16 & 0xFFu);
}

// clang-format off
EM_JS(void, page_open, (int32_t width, int32_t height), { Module.page.open(width, height); });
EM_JS(void, page_show_rows, (const uint32_t* pixels, int32_t bytes, int32_t first, int32_t count), {
    Module.page.showRows(HEAPU8.subarray(pixels, pixels + bytes), first, count);
});
EM_JS(void, page_ended, (int32_t code), { Module.page.ended(code); });
// Parks the game for good: nothing resumes it, and nothing of it runs again.
EM_JS(void, page_halt, (), { Asyncify.handleSleep(function() {}); });
// clang-format on

} // namespace

void show_changed_rows() {
    std::lock_guard<std::mutex> hold(screen.lock);
    if (!screen.opened) return;
    take_changed_rows_locked([](int32_t first, int32_t count) {
        for (int32_t y = first; y < first + count; ++y)
            for (int32_t x = 0; x < FRAME_WIDTH; ++x) canvas_rows[y][x] = canvas_pixel(screen.frame[y][x]);
        page_show_rows(canvas_rows[first], count * FRAME_WIDTH * 4, first, count);
    });
}

// Sets "temp" to the in-memory /tmp, where the picture file lives, and runs the program.
int main() {
    setenv("temp", "/tmp", 1);
    program_main();
    sys_end_program(0);
}

// The canvas already stands on the page; it gets its size and, at the first wait, the frame.
int32_t vid_open_window(int32_t width, int32_t height, const std::string&) {
    page_open(width, height);
    return 0;
}

// Nothing to wake: the rows go to the canvas when the game next yields.
void vid_frame_changed() {}

std::string vid_program_name() {
    return "viertal";
}

// Milliseconds of the page's monotonic clock, as seconds.
double sys_seconds() {
    return emscripten_get_now() / 1000.0;
}

// Yields to the browser for that long; its events run meanwhile.
void sys_sleep(int32_t milliseconds) {
    if (milliseconds <= 0) return;
    show_changed_rows();
    emscripten_sleep(static_cast<uint32_t>(milliseconds));
}

// Shows the last frame, lets the page dim it and offer a new game, and parks the game for good.
void sys_end_program(int32_t code) {
    show_changed_rows();
    page_ended(code);
    for (;;) page_halt();
}
