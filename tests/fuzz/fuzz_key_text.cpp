// fuzz_key_text.cpp -- fuzz target for the key-text helpers text_compare, text_mid and char_code.
//
// Input: 4 bytes position, 4 bytes count (little-endian, signed), 1 byte length of a, then the
// bytes of a and the rest as b. Every result is checked against a plain model of the rules:
// unsigned byte comparison, 1-based positions, count -1 meaning "to the end", 0 outside the text.
#include <cstdint>
#include <cstring>
#include <string>

#include "screen/screen.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Returns the little-endian signed 32-bit value at p.
int32_t read_i32(const uint8_t* p) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    int32_t out;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

// The sign of text_compare's result as the rules give it: -1, 0 or 1.
int32_t model_compare(const std::string& a, const std::string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) return uint8_t(a[i]) < uint8_t(b[i]) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// text_mid as the rules give it; a count below -1 is taken as a wrong call giving "".
std::string model_mid(const std::string& s, int64_t position, int64_t count) {
    if (s.empty() || position < 1 || position > int64_t(s.size()) || count == 0 || count < -1) return "";
    int64_t available = int64_t(s.size()) - (position - 1);
    int64_t take = count == -1 || count > available ? available : count;
    return s.substr(size_t(position - 1), size_t(take));
}

// char_code as the rules give it: the byte at the 1-based position, 0 outside the text.
int32_t model_code(const std::string& s, int64_t position) {
    if (position < 1 || position > int64_t(s.size())) return 0;
    return uint8_t(s[size_t(position - 1)]);
}

// Returns -1, 0 or 1 by the sign of v.
int32_t sign(int32_t v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    const int32_t position = read_i32(data);
    const int32_t count = read_i32(data + 4);
    size_t a_length = data[8];
    if (a_length > size - 9) a_length = size - 9;
    const std::string a(reinterpret_cast<const char*>(data + 9), a_length);
    const std::string b(reinterpret_cast<const char*>(data + 9 + a_length), size - 9 - a_length);

    FUZZ_CHECK(sign(text_compare(a, b)) == model_compare(a, b), "text_compare of %zu and %zu bytes", a.size(),
               b.size());
    FUZZ_CHECK(sign(text_compare(b, a)) == -model_compare(a, b), "text_compare swapped");
    FUZZ_CHECK(text_compare(a, a) == 0, "text_compare of a text with itself");

    for (const std::string* s : {&a, &b}) {
        FUZZ_CHECK(text_mid(*s, position, count) == model_mid(*s, position, count), "text_mid(%zu bytes, %d, %d)",
                   s->size(), position, count);
        FUZZ_CHECK(text_mid(*s, position, -1) == model_mid(*s, position, -1), "text_mid(%zu bytes, %d, -1)", s->size(),
                   position);
        FUZZ_CHECK(char_code(*s, position) == model_code(*s, position), "char_code(%zu bytes, %d)", s->size(),
                   position);
        // The game's own uses: the second byte of an extended key, the first byte's code.
        FUZZ_CHECK(text_mid(*s, 2, -1) == model_mid(*s, 2, -1), "text_mid(key, 2, -1)");
        FUZZ_CHECK(char_code(*s, 1) == model_code(*s, 1), "char_code(key, 1)");
    }
    return 0;
}
