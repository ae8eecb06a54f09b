// in_win32.cpp -- Windows keyboard, mouse and window messages turned into key codes and
// mouse state.
//
// Characters come from WM_CHAR (UTF-16, converted to code page 437) once per repetition; keys
// that type no character come from WM_KEYDOWN as extended codes (255 in the low byte, a PC scan
// code in the second), numbered as on the other platforms. Everything with Alt held arrives as a
// system key and queues nothing, F10 included; Alt+Enter switches full screen, Alt+Space still
// opens the window menu. Everything here runs on the window thread with the screen lock held.
#include <algorithm>

#include "platform/cp437.h"
#include "platform/key_codes.h"
#include "platform/platform.h"
#include "platform/win32/win32.h"
#include "screen/screen.h"

#include <windowsx.h>

namespace {

// Keyboard and pointer facts the window thread tracks in message order.
struct InputTrack {
    bool mouse_tracked = false;   // TrackMouseEvent asked for the pointer's leaving
    bool mouse_in_window = false; // between the first movement and the leaving
    wchar_t high_surrogate = 0;   // first half of a character beyond the 16-bit range
    DWORD alt_released_at = 0;    // message time (ms) of the latest Alt release
    bool alt_released = false;    // an Alt key went up since the start
};
InputTrack track;

constexpr int32_t EXTENDED = 255; // low byte of every extended key code

// A close request this soon after an Alt release belongs to an Alt+F4 chord that a window
// manager turned into a close request a few milliseconds after the key; a player who lets go of
// Alt and then clicks the close button takes longer, and that close counts.
constexpr DWORD ALT_CHORD_CLOSE_MS = 150;

// Returns the second byte of a key's extended code: the PC scan code of the key, the same
// numbers the other platforms give, never "k"; -1 for the modifiers, which queue nothing alone.
int32_t scan_code(WPARAM key, LPARAM lparam) {
    const int32_t scan = scan_code_of_virtual_key(static_cast<int32_t>(key));
    // Anything else: the key's own scan code from the message.
    return scan != 0 ? scan : unlisted_key_code(static_cast<int32_t>(lparam >> 16));
}

// Handles a key press that types no character: queues its extended code once per repetition.
void on_key_down(WPARAM key, LPARAM lparam) {
    if (MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR) != 0) return; // WM_CHAR brings it
    const int32_t code = scan_code(key, lparam);
    if (code < 0) return;
    const int32_t repeats = static_cast<int32_t>(lparam & 0xFFFF);
    for (int32_t i = 0; i < (repeats > 0 ? repeats : 1); ++i) queue_key_locked(code << 8 | EXTENDED);
}

// Handles a typed UTF-16 unit: queues the character's code-page-437 byte once per repetition.
void on_char(WPARAM unit, LPARAM lparam) {
    char32_t code_point = static_cast<char32_t>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        track.high_surrogate = static_cast<wchar_t>(unit);
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (track.high_surrogate == 0) return;
        code_point = 0x10000 + ((static_cast<char32_t>(track.high_surrogate) - 0xD800) << 10) + (unit - 0xDC00);
    }
    track.high_surrogate = 0;
    const int32_t byte = cp437_from_unicode(code_point);
    if (byte < 0) return;
    const int32_t repeats = static_cast<int32_t>(lparam & 0xFFFF);
    for (int32_t i = 0; i < (repeats > 0 ? repeats : 1); ++i) queue_key_locked(byte);
}

// Notes the time of an Alt release: a lone Alt comes up as a system key, Alt after a chord
// (Alt+Enter) as an ordinary one.
void note_key_up(WPARAM key) {
    if (key != VK_MENU) return;
    track.alt_released = true;
    track.alt_released_at = static_cast<DWORD>(GetMessageTime());
}

// Handles a key with Alt held, or F10. Returns true when DefWindowProc must not see it; only
// Alt+Space goes on, for the window menu.
bool on_system_key(UINT message, WPARAM key, LPARAM lparam, InputAction& action) {
    const bool alt = (lparam & (1 << 29)) != 0;
    const bool repeat = (lparam & (1 << 30)) != 0;
    if (message == WM_SYSKEYUP) note_key_up(key);
    if (message == WM_SYSKEYDOWN && alt && key == VK_RETURN && !repeat) action = InputAction::toggle_full_screen;
    if (alt && key == VK_SPACE) return false; // VK_SPACE is also the character ' ' of WM_SYSCHAR
    return true;
}

// Returns true when a close request comes from an Alt+F4 chord: Alt is down, or went up only
// just before.
bool alt_chord_close() {
    if (GetKeyState(VK_MENU) < 0) return true;
    return track.alt_released && static_cast<DWORD>(GetMessageTime()) - track.alt_released_at < ALT_CHORD_CLOSE_MS;
}

// Stores the pointer position (client pixels) when it is over the frame, and whether it is;
// returns true when it is over the frame (not over a black bar).
bool set_pointer(HWND window, int32_t client_x, int32_t client_y) {
    RECT client;
    GetClientRect(window, &client);
    const FramePlacement place = place_frame(client.right, client.bottom);
    const int32_t dx = client_x - place.left, dy = client_y - place.top;
    const bool on_frame = dx >= 0 && dy >= 0 && dx / place.scale < FRAME_WIDTH && dy / place.scale < FRAME_HEIGHT;
    if (on_frame) set_mouse_position_locked(dx / place.scale, dy / place.scale);
    set_pointer_inside_locked(track.mouse_in_window && on_frame);
    return on_frame;
}

// Handles a pointer movement inside the client area. Returns true when the pointer is over the
// frame.
bool on_mouse_move(HWND window, LPARAM lparam) {
    track.mouse_in_window = true;
    return set_pointer(window, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
}

// Handles a button press or release; presses on the black bars are not the frame's.
void on_button(HWND window, int32_t bit, bool down, LPARAM lparam) {
    if (!on_mouse_move(window, lparam) && down) return;
    set_mouse_button_locked(bit, down);
}

} // namespace

bool is_input_message(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           message == WM_MOUSELEAVE || message == WM_ACTIVATE || message == WM_CLOSE;
}

void follow_mouse(HWND window, UINT message, WPARAM wparam) {
    if (message == WM_MOUSEMOVE && !track.mouse_tracked) {
        TRACKMOUSEEVENT leave = {sizeof leave, TME_LEAVE, window, 0};
        track.mouse_tracked = TrackMouseEvent(&leave) != 0;
    }
    const bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
                       message == WM_XBUTTONDOWN;
    const bool release =
        message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP || message == WM_XBUTTONUP;
    const WPARAM held = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2;
    if (press) SetCapture(window);
    if (release && (wparam & held) == 0) ReleaseCapture();
}

bool handle_input_message_locked(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                                 InputAction& action) {
    result = 0;
    switch (message) {
    case WM_KEYDOWN: on_key_down(wparam, lparam); return true;
    case WM_KEYUP: note_key_up(wparam); return false;
    case WM_CHAR: on_char(wparam, lparam); return true;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: return on_system_key(message, wparam, lparam, action);
    case WM_MOUSEMOVE: on_mouse_move(window, lparam); return true;
    case WM_MOUSELEAVE:
        track.mouse_tracked = false;
        track.mouse_in_window = false;
        set_pointer_inside_locked(false);
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: on_button(window, 0, message == WM_LBUTTONDOWN, lparam); return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: on_button(window, 1, message == WM_RBUTTONDOWN, lparam); return true;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: on_button(window, 2, message == WM_MBUTTONDOWN, lparam); return true;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        on_button(window, GET_XBUTTON_WPARAM(wparam) == XBUTTON1 ? 3 : 4, message == WM_XBUTTONDOWN, lparam);
        result = TRUE;
        return true;
    case WM_MOUSEWHEEL: {
        // Whole notches only: +1 per notch away from the user.
        const int32_t steps = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
        if (steps != 0) add_mouse_wheel_locked(steps);
        return true;
    }
    case WM_ACTIVATE: set_window_active_locked(LOWORD(wparam) != WA_INACTIVE); return false;
    case WM_CLOSE:
        // Only the close key; the game ends the program itself. Alt+F4 queues nothing.
        if (!alt_chord_close()) queue_key_locked(CLOSE_KEY);
        return true;
    default: return false;
    }
}
