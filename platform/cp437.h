// cp437.h -- converting typed Unicode text into the game's code-page-437 key bytes; used by the
// real-window platforms (SDL, Win32) and the browser's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Returns the code-page-437 byte (0..255) that shows the Unicode character, or -1 when the code
// page has no such character. Code points below 128 map to themselves; 1..31 and 127 also accept
// their picture forms (U+263A gives 1, U+2302 gives 127).
int32_t cp437_from_unicode(char32_t code_point);

// Returns the code-page-437 bytes of a UTF-8 text, in order, leaving out characters the code
// page lacks and malformed UTF-8 sequences.
std::vector<uint8_t> cp437_from_utf8(const std::string& text);
