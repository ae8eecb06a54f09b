// key_codes.cpp -- Windows' virtual keys as PC scan codes, for the Win32 and browser platforms,
// and the code of a key no table names, for every real platform.
#include "platform/key_codes.h"

int32_t scan_code_of_virtual_key(int32_t key) {
    switch (key) {
    case 16:  // Shift
    case 17:  // Ctrl
    case 18:  // Alt
    case 160: // the left and right Shift, Ctrl and Alt
    case 161:
    case 162:
    case 163:
    case 164:
    case 165: return -1;
    case 36: return 71;   // Home (and the keypad's 7 with Num Lock off)
    case 38: return 72;   // Up
    case 33: return 73;   // Page Up
    case 37: return 75;   // Left
    case 12: return 76;   // the keypad's 5 with Num Lock off
    case 39: return 77;   // Right
    case 35: return 79;   // End
    case 40: return 80;   // Down
    case 34: return 81;   // Page Down
    case 45: return 82;   // Insert
    case 46: return 83;   // Delete
    case 122: return 133; // F11
    case 123: return 134; // F12
    case 44: return 55;   // Print Screen
    case 19: return 69;   // Pause
    case 93: return 93;   // the menu key
    case 91: return 91;   // the left Windows key
    case 92: return 92;   // the right one
    case 20: return 58;   // Caps Lock
    case 144: return 69;  // Num Lock
    case 145: return 70;  // Scroll Lock
    default: break;
    }
    if (key >= 112 && key <= 120) return 59 + (key - 112);  // F1..F9
    if (key >= 124 && key <= 135) return 100 + (key - 124); // F13..F24
    return 0;
}

int32_t unlisted_key_code(int32_t number) {
    const int32_t byte = number & 0xFF;
    return (byte == 'k' || byte == 0) ? 0xFE : byte;
}
