// text_helpers.cpp -- byte-string helpers the game applies to key texts.
#include <string>

#include "screen/screen.h"

// Compares byte by byte as unsigned values; a text that begins the other is the smaller one.
// Returns 0 when equal, negative when a sorts first, positive otherwise.
int32_t text_compare(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// Returns up to count bytes from the 1-based position (count -1: to the end); empty when the
// text is empty, the position is outside 1..length, or count is 0. Another negative count is
// a wrong call: empty text and error 1.
std::string text_mid(const std::string& s, int32_t position, int32_t count) {
    if (count < -1) {
        set_error(ERROR_BAD_ARGUMENT);
        return {};
    }
    if (s.empty() || position < 1 || size_t(position) > s.size() || count == 0) return {};
    const size_t start = size_t(position) - 1;
    return count == -1 ? s.substr(start) : s.substr(start, size_t(count));
}

// Returns the byte at the 1-based position as 0..255; 0 when the position is outside the text.
int32_t char_code(const std::string& s, int32_t position) {
    if (position < 1 || size_t(position) > s.size()) return 0;
    return static_cast<unsigned char>(s[size_t(position) - 1]);
}
