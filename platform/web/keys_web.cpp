// keys_web.cpp -- the browser's key events as the game's key codes: characters in code page 437,
// other keys as extended codes numbered as on the other platforms (a key event's keyCode is the
// key's Windows virtual-key number). Portable (no browser in it), so the unit tests check it.
#include "platform/cp437.h"
#include "platform/key_codes.h"
#include "platform/web/web.h"

namespace {

constexpr int32_t EXTENDED = 255; // low byte of every extended key code

// Modifier bits, as the page script sets them from the event (1 is Shift, unused here).
constexpr int32_t CTRL = 2, ALT = 4, META = 8, ALT_GRAPH = 16;

// Returns true for keys that type nothing and still queue nothing here: Tab moves the focus on the
// page (to the board, the choices), F5, F11 and F12 stay the browser's (reload, full screen, its
// tools), F10 queues nothing anywhere, nor AltGr alone.
bool left_to_the_browser(int32_t key_number) {
    switch (key_number) {
    case 9:                // Tab
    case 116:              // F5
    case 121:              // F10
    case 122:              // F11
    case 123:              // F12
    case 225: return true; // AltGr
    default: return false;
    }
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
    case 8: return 8;   // Backspace
    default: break;
    }
    if (character > 0) return cp437_from_unicode(static_cast<char32_t>(character));
    if (left_to_the_browser(key_number)) return -1;
    int32_t scan = scan_code_of_virtual_key(key_number);
    if (scan == 0) scan = unlisted_key_code(key_number);
    return scan < 0 ? -1 : scan << 8 | EXTENDED;
}
