// key_codes.h -- the second byte of the game's extended key codes (255 in the low byte), as every
// platform numbers them: the PC scan codes of Windows' virtual keys, which browsers give as the
// keyCode of their key events too, and the rule for a key that no table names.
#pragma once

#include <cstdint>

// Returns the PC scan code of a virtual key that types no character (Home 71, Up 72, F1 59, F11
// 133, ...), -1 for Shift, Ctrl and Alt, which queue nothing alone, or 0 for a key not named here.
int32_t scan_code_of_virtual_key(int32_t key);

// Returns the low byte of a platform's own number for a key that no table names, kept clear of
// "k" (the close request's second byte) and of 0.
int32_t unlisted_key_code(int32_t number);
