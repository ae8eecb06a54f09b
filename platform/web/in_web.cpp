// in_web.cpp -- the page's keys, pointer, wheel and focus turned into key codes (keys_web.cpp)
// and mouse state, and the game's wait for them.
//
// The page script hands every keydown, pointer and focus event to one of the web_ procedures
// below (while the game waits, so with no other code running) and wakes the game when one says
// that input changed. Characters arrive as Unicode and are queued in code page 437; keys that
// type nothing are queued as extended codes with the PC scan codes of the other platforms.
#include <emscripten.h>

#include <cstdint>
#include <mutex>

#include "platform/platform.h"
#include "platform/web/web.h"
#include "screen/screen_state.h"

namespace {

// Parks the game until the page script calls the wake-up it leaves behind.
// clang-format off
EM_JS(void, page_wait_for_input, (), {
    Asyncify.handleSleep(function(wakeUp) { Module.page.wakeGame = wakeUp; });
});
// clang-format on

} // namespace

// Queues the key of a keydown event (its keyCode, character and modifiers, as web_key_code in
// web.h takes them). Returns 1 when a key was queued (the page then keeps the key from the
// browser and wakes the game), else 0.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t web_key(int32_t key_number, int32_t character, int32_t modifiers) {
    const int32_t code = web_key_code(key_number, character, modifiers);
    if (code < 0) return 0;
    std::lock_guard<std::mutex> hold(screen.lock);
    queue_key_locked(code);
    return 1;
}

// Stores the pointer: frame pixels (only used when on the frame), the five button bits and
// whether it is over the frame. Returns 1 when the game must wake (buttons or inside changed).
extern "C" EMSCRIPTEN_KEEPALIVE int32_t web_pointer(int32_t x, int32_t y, int32_t buttons, int32_t inside) {
    std::lock_guard<std::mutex> hold(screen.lock);
    const uint64_t before = screen.input_serial;
    const bool on_frame = x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT;
    if (on_frame) set_mouse_position_locked(x, y);
    for (int32_t bit = 0; bit < 5; ++bit) set_mouse_button_locked(bit, (buttons >> bit & 1) != 0);
    set_pointer_inside_locked(inside != 0 && on_frame);
    return screen.input_serial != before;
}

// Adds wheel steps, +1 a notch away from the player.
extern "C" EMSCRIPTEN_KEEPALIVE void web_wheel(int32_t steps) {
    std::lock_guard<std::mutex> hold(screen.lock);
    add_mouse_wheel_locked(steps);
}

// Records whether the page has the focus (the window being active). Returns 1 when it changed.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t web_focus(int32_t active) {
    std::lock_guard<std::mutex> hold(screen.lock);
    const uint64_t before = screen.input_serial;
    set_window_active_locked(active != 0);
    return screen.input_serial != before;
}

// Shows the frame, then yields to the browser until input arrived since `seen`.
void in_sleep_until_input(uint64_t seen) {
    show_changed_rows();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(screen.lock);
            if (screen.input_serial != seen) return;
        }
        page_wait_for_input();
    }
}
