// wide_names.cpp -- WTF-8 to 16-bit units and back (see wide_names.h).
#include "platform/wide_names.h"

#include <cstdint>

namespace {

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes the character at `at` (advanced past it); U+FFFD and one byte for a malformed one:
// a stray continuation, a cut-off sequence, an overlong form, or a value past U+10FFFF.
char32_t decode(const std::string& name, size_t& at) {
    const auto lead = static_cast<unsigned char>(name[at]);
    const int32_t length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
    if (length == 1) return name[at++];
    if (length == 0 || at + length > name.size()) return ++at, U'\uFFFD';
    char32_t value = lead & (0x7F >> length);
    for (int32_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(name[at + i]);
        if (!is_continuation(byte)) return ++at, U'\uFFFD';
        value = value << 6 | (byte & 0x3F);
    }
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF) return ++at, U'\uFFFD';
    at += length;
    return value;
}

void encode(char32_t value, std::string& out) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | value >> 6);
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | value >> 12);
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | value >> 18);
        out += static_cast<char>(0x80 | (value >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

std::u16string wide_name(const std::string& name) {
    std::u16string out;
    out.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        const char32_t value = decode(name, at);
        if (value < 0x10000) {
            out += static_cast<char16_t>(value); // lone surrogates too: they were written as such
        } else {
            out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string narrow_name(const std::u16string& name) {
    std::string out;
    out.reserve(name.size());
    for (size_t at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at];
        if (is_high_surrogate(unit) && at + 1 < name.size() && is_low_surrogate(name[at + 1])) {
            encode(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (name[at + 1] - 0xDC00), out);
            ++at;
        } else {
            encode(unit, out);
        }
    }
    return out;
}
