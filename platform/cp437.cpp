// cp437.cpp -- Unicode to code page 437, for characters typed into the window.
#include "platform/cp437.h"

#include <array>

namespace {

// Unicode of the picture forms of bytes 1..31 (index 0 unused: byte 0 stays 0).
constexpr std::array<char32_t, 32> LOW_PICTURES = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

// Unicode of bytes 128..255, in byte order.
constexpr std::array<char32_t, 128> HIGH_HALF = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 128
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 136
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 144
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 152
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // 160
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // 168
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // 176
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // 184
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // 192
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // 200
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // 208
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // 216
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // 224
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // 232
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // 240
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // 248
};

// Look-alikes that keyboards produce for glyphs of the code page.
struct Alias {
    char32_t code_point;
    uint8_t byte;
};
constexpr std::array<Alias, 4> ALIASES = {{
    {0x03B2, 225}, // Greek beta, drawn like sharp s
    {0x03BC, 230}, // Greek mu, drawn like the micro sign
    {0x2126, 234}, // ohm sign, drawn like Omega
    {0x2302, 127}, // house, the picture form of 127
}};

// Decodes the UTF-8 sequence at text[i], advancing i; returns U+FFFF for a malformed one.
char32_t next_code_point(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i++);
    if (lead < 0x80) return lead;
    int32_t more = 0;
    char32_t cp = 0;
    char32_t least = 0; // smallest code point allowed for this length (no overlong forms)
    if ((lead & 0xE0) == 0xC0) {
        more = 1;
        cp = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2;
        cp = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3;
        cp = lead & 0x07;
        least = 0x10000;
    } else
        return 0xFFFF;
    for (int32_t k = 0; k < more; ++k) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return 0xFFFF;
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFF;
    return cp;
}

} // namespace

// Returns the byte that shows the code point, or -1.
int32_t cp437_from_unicode(char32_t code_point) {
    if (code_point < 0x80) return static_cast<int32_t>(code_point);
    for (size_t b = 1; b < LOW_PICTURES.size(); ++b)
        if (LOW_PICTURES[b] == code_point) return static_cast<int32_t>(b);
    for (size_t k = 0; k < HIGH_HALF.size(); ++k)
        if (HIGH_HALF[k] == code_point) return static_cast<int32_t>(128 + k);
    for (const Alias& a : ALIASES)
        if (a.code_point == code_point) return a.byte;
    return -1;
}

// Returns the bytes of the text's characters that the code page has.
std::vector<uint8_t> cp437_from_utf8(const std::string& text) {
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < text.size()) {
        const int32_t b = cp437_from_unicode(next_code_point(text, i));
        if (b >= 0) bytes.push_back(static_cast<uint8_t>(b));
    }
    return bytes;
}
