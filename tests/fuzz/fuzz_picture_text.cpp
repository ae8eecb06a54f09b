// fuzz_picture_text.cpp -- fuzz target for the picture-text decoder on arbitrary items.
//
// Input: items separated by zero bytes (an item never holds one); a first byte of 'E' appends
// the end marker "EndeFini" as a last item, otherwise the items may end without it. The decoder
// (decode_picture_to_string, the same code extract_picture runs) must give exactly what a plain
// model of the token rules gives:
//   - a character other than a space is written as it is;
//   - a space and two characters, the first neither "-" nor "+", is one byte in hex, read up to
//     the first character that is no hex digit (none: 0);
//   - " -N HH" writes N times the hex byte HH, " +N c" N times the character c; N is taken up to
//     and including the next space: an optional sign, then digits up to the first non-digit,
//     saturating at the 32-bit limit; N <= 0 writes nothing;
//   - a character taken from an empty line is "nothing" (a missing hex digit, no run character);
//   - after every token the rest of the line is compared with "EndeFini";
//   - an empty item, or the end of the items, ends the text (the game's items are never empty).
// Output is capped at LIMIT bytes in both, so a huge run count costs no memory.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "data/picture.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int64_t LIMIT = 200000; // bytes kept of the decoded text: a few of the decoder's 64 KiB buffers

// The token rules over a list of items, written out plainly.
struct Model {
    explicit Model(const std::vector<std::string>& list) : items(list) {}

    const std::vector<std::string>& items;
    size_t next = 0;
    std::string line;
    size_t at = 0; // first character of `line` not yet taken
    std::string out;

    // Takes one character off the line: 0..255, or -1 when the line is used up.
    int take() { return at < line.size() ? static_cast<unsigned char>(line[at++]) : -1; }

    // Returns the value of a hex digit, or -1 for any other character.
    static int hex(int c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    // Returns the byte two characters spell in hex, read up to the first non-digit.
    static int hex_pair(int a, int b) {
        if (hex(a) < 0) return 0;
        return hex(b) < 0 ? hex(a) : hex(a) * 16 + hex(b);
    }
    // Writes count times the byte, within LIMIT.
    void emit(int byte, int64_t count) {
        count = std::min<int64_t>(count, LIMIT - int64_t(out.size()));
        if (count > 0) out.append(size_t(count), char(byte));
    }
    // Makes the next item the current line; false when it is empty (or the items ran out).
    bool next_item() {
        line = next < items.size() ? items[next++] : "";
        at = 0;
        return !line.empty();
    }

    // Decodes token by token until the end marker or the end of the items.
    std::string run() {
        next_item();
        for (;;) {
            int c = take();
            if (c == ' ') {
                c = take();
                if (c == '-' || c == '+') {
                    std::string spelled;
                    for (int d = take(); d >= 0 && d != ' '; d = take()) spelled += char(d);
                    int64_t n = 0;
                    size_t i = 0;
                    bool negative = false;
                    if (!spelled.empty() && (spelled[0] == '-' || spelled[0] == '+')) negative = spelled[i++] == '-';
                    for (; i < spelled.size() && spelled[i] >= '0' && spelled[i] <= '9'; ++i)
                        n = std::min<int64_t>(n * 10 + (spelled[i] - '0'), INT32_MAX);
                    if (negative) n = -n;
                    if (c == '-') {
                        int a = take();
                        int b = take();
                        emit(hex_pair(a, b), n);
                    } else {
                        int ch = take();
                        if (ch >= 0) emit(ch, n);
                    }
                } else {
                    int x = take();
                    emit(hex_pair(c, x), 1);
                }
            } else if (c >= 0) {
                emit(c, 1);
            }
            if (at >= line.size() && !next_item()) break;
            if (line.compare(at, std::string::npos, "EndeFini") == 0) break;
        }
        return out;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool marker = data[0] == 'E';
    std::vector<std::string> items(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0)
            items.emplace_back();
        else
            items.back() += char(data[i]);
    }
    if (marker) items.emplace_back("EndeFini");
    std::vector<const char*> pointers;
    for (const std::string& item : items) pointers.push_back(item.c_str());

    const std::string got = decode_picture_to_string(pointers.data(), int32_t(pointers.size()), LIMIT);
    const std::string want = Model(items).run();
    if (got != want) {
        size_t first = 0;
        while (first < got.size() && first < want.size() && got[first] == want[first]) ++first;
        FUZZ_CHECK(got == want, "decoded %zu bytes, expected %zu; first difference at byte %zu", got.size(),
                   want.size(), first);
    }
    return 0;
}
