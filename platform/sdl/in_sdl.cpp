// in_sdl.cpp -- SDL keyboard, mouse and window events turned into key codes and mouse state.
//
// Characters come from SDL's text input (UTF-8, converted to code page 437); keys that type no
// character are queued as extended codes (255 in the low byte, a PC scan code in the second).
// Alt chords, F10 and a lone Shift, Ctrl or AltGr queue nothing. Everything here runs on the window
// thread with the screen lock held.
#include <SDL.h>

#include "platform/cp437.h"
#include "platform/key_codes.h"
#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "screen/screen.h"

namespace {

// Keyboard and pointer facts the window thread tracks in event order.
struct InputTrack {
    bool left_alt = false;        // left Alt is down
    bool right_alt = false;       // right Alt (AltGr on many layouts) is down
    bool mouse_in_window = false; // between the window's enter and leave events
    bool alt_released = false;    // an Alt key went up since the start
    uint32_t alt_released_at = 0; // SDL event time (ms) of the latest Alt release
};
InputTrack track;

constexpr int32_t EXTENDED = 255; // low byte of every extended key code

// A window manager turns Alt+F4 into a close request, and that request can arrive after the Alt
// release already did (a quick chord, a busy machine): the manager sends it a few milliseconds
// after the key. Close requests this soon after an Alt release belong to the chord; a player who
// lets go of Alt and then clicks the close button takes longer, and that close counts.
constexpr uint32_t ALT_CHORD_CLOSE_MS = 150;

// Returns the second byte of a key's extended code: the PC scan code where there is one (the
// keypad's digits with Num Lock off give those of the arrows and Home, End, ...), never "k".
int32_t scan_code(SDL_Scancode key) {
    switch (key) {
    case SDL_SCANCODE_HOME: return 71;
    case SDL_SCANCODE_UP: return 72;
    case SDL_SCANCODE_PAGEUP: return 73;
    case SDL_SCANCODE_LEFT: return 75;
    case SDL_SCANCODE_RIGHT: return 77;
    case SDL_SCANCODE_END: return 79;
    case SDL_SCANCODE_DOWN: return 80;
    case SDL_SCANCODE_PAGEDOWN: return 81;
    case SDL_SCANCODE_INSERT: return 82;
    case SDL_SCANCODE_DELETE: return 83;
    case SDL_SCANCODE_F11: return 133;
    case SDL_SCANCODE_F12: return 134;
    case SDL_SCANCODE_PRINTSCREEN: return 55;
    case SDL_SCANCODE_PAUSE: return 69;
    case SDL_SCANCODE_APPLICATION: return 93;
    case SDL_SCANCODE_LGUI: return 91;
    case SDL_SCANCODE_RGUI: return 92;
    case SDL_SCANCODE_CAPSLOCK: return 58;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 69;
    case SDL_SCANCODE_SCROLLLOCK: return 70;
    case SDL_SCANCODE_KP_7: return 71;
    case SDL_SCANCODE_KP_8: return 72;
    case SDL_SCANCODE_KP_9: return 73;
    case SDL_SCANCODE_KP_4: return 75;
    case SDL_SCANCODE_KP_5: return 76;
    case SDL_SCANCODE_KP_6: return 77;
    case SDL_SCANCODE_KP_1: return 79;
    case SDL_SCANCODE_KP_2: return 80;
    case SDL_SCANCODE_KP_3: return 81;
    case SDL_SCANCODE_KP_0: return 82;
    case SDL_SCANCODE_KP_PERIOD: return 83;
    default: break;
    }
    if (key >= SDL_SCANCODE_F1 && key <= SDL_SCANCODE_F9) return 59 + (key - SDL_SCANCODE_F1);
    if (key >= SDL_SCANCODE_F13 && key <= SDL_SCANCODE_F24) return 100 + (key - SDL_SCANCODE_F13);
    return unlisted_key_code(static_cast<int32_t>(key)); // anything else: its USB usage number
}

// Returns true for Shift, Ctrl, Alt and AltGr, which queue nothing alone: they are held for the
// key that follows (Shift+J must not give the first move away as a lone Shift would). Every
// other key, the locks and the Windows keys included, is an answer.
bool is_modifier(SDL_Keycode sym) {
    switch (sym) {
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
    case SDLK_LCTRL:
    case SDLK_RCTRL:
    case SDLK_LALT:
    case SDLK_RALT:
    case SDLK_MODE: return true;
    default: return false;
    }
}

// Returns true for keys whose character arrives as a text event (so the key press is skipped).
bool types_text(const SDL_Keysym& key) {
    const SDL_Keycode sym = key.sym;
    if (sym >= 32 && sym != SDLK_DELETE && (sym & SDLK_SCANCODE_MASK) == 0) return true;
    switch (sym) {
    case SDLK_KP_DIVIDE:
    case SDLK_KP_MULTIPLY:
    case SDLK_KP_MINUS:
    case SDLK_KP_PLUS: return true;
    default: break;
    }
    const bool num_lock = (key.mod & KMOD_NUM) != 0;
    return num_lock && ((sym >= SDLK_KP_1 && sym <= SDLK_KP_0) || sym == SDLK_KP_PERIOD);
}

// Returns the code a key press queues, or -1 for none. Alt and F10 were filtered already.
int32_t key_code(const SDL_Keysym& key) {
    switch (key.sym) {
    case SDLK_ESCAPE: return 27;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_TAB: return 9;
    case SDLK_BACKSPACE: return 8;
    default: break;
    }
    if (is_modifier(key.sym)) return -1;
    // Ctrl+letter types the control character of that letter (no text event comes for it).
    if ((key.mod & KMOD_CTRL) != 0 && key.sym >= SDLK_a && key.sym <= SDLK_z) return key.sym - SDLK_a + 1;
    if (types_text(key)) return -1;
    return (scan_code(key.scancode) << 8) | EXTENDED;
}

// Handles a key press or release.
void on_key(const SDL_KeyboardEvent& event, InputActions& actions) {
    const bool down = event.type == SDL_KEYDOWN;
    if (event.keysym.sym == SDLK_LALT) track.left_alt = down;
    if (event.keysym.sym == SDLK_RALT) track.right_alt = down;
    if (!down && (event.keysym.sym == SDLK_LALT || event.keysym.sym == SDLK_RALT)) {
        track.alt_released = true;
        track.alt_released_at = event.timestamp;
    }
    if (!down) return;
    if (track.left_alt || track.right_alt) {
        const bool enter = event.keysym.sym == SDLK_RETURN || event.keysym.sym == SDLK_KP_ENTER;
        if (enter && !event.repeat) actions.toggle_full_screen = true;
        return;
    }
    if (event.keysym.sym == SDLK_F10) return;
    const int32_t code = key_code(event.keysym);
    if (code >= 0) queue_key_locked(code);
}

// Handles typed text. The right Alt may type characters: on many layouts it is AltGr (é, €),
// which SDL cannot tell apart from a right Alt. The left Alt makes a chord.
void on_text(const SDL_TextInputEvent& event) {
    if (track.left_alt) return;
    for (uint8_t byte : cp437_from_utf8(event.text)) queue_key_locked(byte);
}

// Stores the pointer position and whether it is over the frame (not over a black bar).
void set_pointer(int32_t x, int32_t y) {
    const bool on_frame = x >= 0 && x < FRAME_WIDTH && y >= 0 && y < FRAME_HEIGHT;
    if (on_frame) set_mouse_position_locked(x, y);
    set_pointer_inside_locked(track.mouse_in_window && on_frame);
}

// Maps an SDL button to its bit in the buttons set (-1 for none).
int32_t button_bit(uint8_t button) {
    switch (button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
    }
}

// Handles a button press or release; presses on the black bars are not the frame's.
void on_button(const SDL_MouseButtonEvent& event) {
    track.mouse_in_window = true;
    set_pointer(event.x, event.y);
    const int32_t bit = button_bit(event.button);
    if (bit < 0) return;
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    const bool on_frame = event.x >= 0 && event.x < FRAME_WIDTH && event.y >= 0 && event.y < FRAME_HEIGHT;
    if (down && !on_frame) return;
    set_mouse_button_locked(bit, down);
}

// Handles a wheel turn: +1 per step away from the user.
void on_wheel(const SDL_MouseWheelEvent& event) {
    int32_t steps = event.y;
    if (event.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
    if (steps != 0) add_mouse_wheel_locked(steps);
}

// Returns true when a close request arriving at `timestamp` (SDL ms) comes from Alt+F4: Alt is
// down, or was released only just before.
bool alt_chord_close(uint32_t timestamp) {
    if (track.left_alt || track.right_alt) return true;
    return track.alt_released && timestamp - track.alt_released_at < ALT_CHORD_CLOSE_MS;
}

// Handles focus, pointer crossing and the close request.
void on_window(const SDL_WindowEvent& event, SDL_Renderer* renderer) {
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED: set_window_active_locked(true); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: set_window_active_locked(false); break;
    case SDL_WINDOWEVENT_ENTER: {
        track.mouse_in_window = true;
        int32_t wx = 0, wy = 0;
        SDL_GetMouseState(&wx, &wy);
        float lx = 0, ly = 0;
        SDL_RenderWindowToLogical(renderer, wx, wy, &lx, &ly);
        set_pointer(static_cast<int32_t>(lx), static_cast<int32_t>(ly));
        break;
    }
    case SDL_WINDOWEVENT_LEAVE:
        track.mouse_in_window = false;
        set_pointer_inside_locked(false);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        // Alt+F4 queues nothing; every other close request queues the close key.
        if (!alt_chord_close(event.timestamp)) queue_key_locked(CLOSE_KEY);
        break;
    default: break;
    }
}

} // namespace

// Dispatches one event to its handler.
void handle_input_event_locked(const SDL_Event& event, SDL_Renderer* renderer, InputActions& actions) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: on_key(event.key, actions); break;
    case SDL_TEXTINPUT: on_text(event.text); break;
    case SDL_MOUSEMOTION:
        track.mouse_in_window = true;
        set_pointer(event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: on_button(event.button); break;
    case SDL_MOUSEWHEEL: on_wheel(event.wheel); break;
    case SDL_WINDOWEVENT: on_window(event.window, renderer); break;
    case SDL_QUIT:
        if (!alt_chord_close(event.quit.timestamp)) queue_key_locked(CLOSE_KEY);
        break;
    default: break;
    }
}
