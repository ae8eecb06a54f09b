// keys_web.cpp -- the browser's key events as the game's key codes: characters in code page 437,
// other keys as extended codes with the PC scan codes of the other platforms. Portable (no
// browser in it), so the unit tests check it directly.
#include "platform/cp437.h"
#include "platform/web/web.h"

namespace {

constexpr int32_t EXTENDED = 255; // low byte of every extended key code

// Modifier bits, as the page script sets them from the event (1 is Shift, unused here).
constexpr int32_t CTRL = 2, ALT = 4, META = 8, ALT_GRAPH = 16;

// Returns the second byte of the extended code of a key that types nothing, from the browser's
// key number (KeyboardEvent.keyCode), or 0 for keys that queue nothing: the modifiers alone,
// F10, and F5, F11 and F12, which stay the browser's (reload, full screen, its tools).
int32_t scan_code(int32_t key_number) {
    switch (key_number) {
    case 16:             // Shift
    case 17:             // Ctrl
    case 18:             // Alt
    case 225:            // AltGr
    case 116:            // F5
    case 121:            // F10
    case 122:            // F11
    case 123: return 0;  // F12
    case 36: return 71;  // Home (and the keypad's 7 with Num Lock off)
    case 38: return 72;  // Up
    case 33: return 73;  // Page Up
    case 37: return 75;  // Left
    case 12: return 76;  // the keypad's 5 with Num Lock off
    case 39: return 77;  // Right
    case 35: return 79;  // End
    case 40: return 80;  // Down
    case 34: return 81;  // Page Down
    case 45: return 82;  // Insert
    case 46: return 83;  // Delete
    case 44: return 55;  // Print Screen
    case 19: return 69;  // Pause
    case 20: return 58;  // Caps Lock
    case 144: return 69; // Num Lock
    case 145: return 70; // Scroll Lock
    case 91: return 91;  // the left Windows key
    case 92: return 92;  // the right one
    case 93: return 93;  // the menu key
    default: break;
    }
    if (key_number >= 112 && key_number <= 120) return 59 + (key_number - 112);  // F1..F9
    if (key_number >= 124 && key_number <= 135) return 100 + (key_number - 124); // F13..F24
    // Anything else: its own number, kept clear of "k" (the close request) and of 0.
    const int32_t byte = key_number & 0xFF;
    return (byte == 'k' || byte == 0) ? 0xFE : byte;
}

} // namespace

int32_t web_key_code(int32_t key_number, int32_t character, int32_t modifiers) {
    // AltGr types characters; on Windows the browser reports it as Ctrl and Alt besides.
    const bool alt_graph = (modifiers & ALT_GRAPH) != 0;
    if (!alt_graph && (modifiers & ALT) != 0) return -1;           // nothing while Alt is held
    if (!alt_graph && (modifiers & (CTRL | META)) != 0) return -1; // the browser's shortcuts
    switch (key_number) {
    case 27: return 27; // Escape
    case 13: return 13; // Enter
    case 9: return 9;   // Tab
    case 8: return 8;   // Backspace
    default: break;
    }
    if (character > 0) return cp437_from_unicode(static_cast<char32_t>(character));
    const int32_t scan = scan_code(key_number);
    return scan == 0 ? -1 : (scan << 8) | EXTENDED;
}
