// picture_text.cpp -- decoder of the picture text: token by token into a buffered output.
//
// Tokens are taken off the current line one character at a time, as the picture was always read:
// a line that ends inside a token yields "nothing" for the missing characters, never a read past
// the item. After every token the rest of the line is compared with the end marker.
#include "data/picture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "data/data_table.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view END_MARKER = "EndeFini";
constexpr int32_t BUFFER_SIZE = 1 << 16; // bytes held before a write
constexpr int64_t MAX_COUNT = INT32_MAX; // run counts saturate at the 32-bit range

// Where decoded bytes go: a file, a string, or both; the buffer keeps writes large.
struct Output {
    int32_t file;      // open descriptor, or -1
    std::string* copy; // collects every byte when not null
    bool failed;       // a write failed; later writes have no effect
    int64_t room;      // bytes still taken; later ones are dropped
    int32_t used;      // bytes waiting in buffer
    unsigned char buffer[BUFFER_SIZE];
};

// Where the items come from: the data table's read position, or an array of items.
struct Source {
    const char* const* items; // null: read_text() from the data table
    int32_t count;            // items in the array
    int32_t next;             // next array item
};

// Empties the buffer into the file and the copy.
void flush(Output& out) {
    if (out.used == 0) return;
    if (out.copy != nullptr) out.copy->append(reinterpret_cast<const char*>(out.buffer), out.used);
    if (out.file >= 0 && !out.failed && !file_write(out.file, out.buffer, out.used)) out.failed = true;
    out.used = 0;
}

// Emits `count` bytes of value b.
void put_run(Output& out, unsigned char b, int64_t count) {
    count = std::min(count, out.room);
    out.room -= count > 0 ? count : 0;
    while (count > 0) {
        int32_t space = BUFFER_SIZE - out.used;
        int32_t chunk = count < space ? static_cast<int32_t>(count) : space;
        std::memset(out.buffer + out.used, b, chunk);
        out.used += chunk;
        count -= chunk;
        if (out.used == BUFFER_SIZE) flush(out);
    }
}

// Emits one byte.
void put_byte(Output& out, unsigned char b) {
    if (out.room <= 0) return;
    --out.room;
    out.buffer[out.used++] = b;
    if (out.used == BUFFER_SIZE) flush(out);
}

// Takes the first character off the line: 0..255, or -1 ("nothing") when the line is empty.
int32_t take(std::string_view& line) {
    if (line.empty()) return -1;
    unsigned char c = static_cast<unsigned char>(line.front());
    line.remove_prefix(1);
    return c;
}

// Returns the value of hex digit c, or -1 when c is not one.
int32_t hex_digit(int32_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Returns the byte that two characters spell in hex, read up to the first non-digit: "0E" 14,
// "E" then a non-digit 14, no leading digit 0.
unsigned char hex_byte(int32_t first, int32_t second) {
    int32_t high = hex_digit(first);
    if (high < 0) return 0;
    int32_t low = hex_digit(second);
    return static_cast<unsigned char>(low < 0 ? high : high * 16 + low);
}

// Takes the characters of a run count up to and including the next space (or the line's end)
// and returns the whole number they spell: an optional sign, then digits up to the first
// character that is not one; 0 without digits.
int64_t take_count(std::string_view& line) {
    int64_t count = 0;
    bool negative = false, first = true, digits_over = false;
    for (int32_t c = take(line); c >= 0 && c != ' '; c = take(line)) {
        if (first && (c == '-' || c == '+'))
            negative = c == '-';
        else if (!digits_over && c >= '0' && c <= '9')
            count = std::min(count * 10 + (c - '0'), MAX_COUNT);
        else
            digits_over = true;
        first = false;
    }
    return negative ? -count : count;
}

// Takes one token off the front of the line and emits its bytes.
void decode_token(std::string_view& line, Output& out) {
    int32_t c = take(line);
    if (c != ' ') { // literal token; nothing when the line was empty
        if (c >= 0) put_byte(out, static_cast<unsigned char>(c));
        return;
    }
    c = take(line);
    if (c != '-' && c != '+') { // hex token
        int32_t x = take(line);
        put_byte(out, hex_byte(c, x));
        return;
    }
    int64_t count = take_count(line); // a count of 0 or less writes nothing
    if (c == '-') {
        int32_t first = take(line);
        int32_t second = take(line);
        put_run(out, hex_byte(first, second), count);
    } else {
        int32_t character = take(line);
        if (character >= 0) put_run(out, static_cast<unsigned char>(character), count);
    }
}

// Returns the next item of the source; "" past its end.
std::string next_line(Source& source) {
    if (source.items == nullptr) return read_text();
    if (source.next >= source.count) return std::string();
    return source.items[source.next++];
}

// Decodes token by token until the rest of the line is the end marker, then flushes.
// The table's items are never empty, so an empty one means the data ran out without a marker:
// stop there too rather than read "" for ever.
void decode(Source& source, Output& out) {
    std::string held = next_line(source);
    std::string_view line = held;
    for (;;) {
        decode_token(line, out);
        if (line.empty()) {
            held = next_line(source);
            line = held;
            if (line.empty()) break;
        }
        if (line == END_MARKER) break;
    }
    flush(out);
}

} // namespace

bool decode_picture_into(int32_t file) {
    auto out = std::make_unique<Output>(); // 64 KiB: kept off the game thread's stack
    out->file = file;
    out->room = INT64_MAX;
    set_read_position(ReadPosition::picture);
    Source source{nullptr, 0, 0};
    decode(source, *out);
    return !out->failed;
}

std::string decode_picture_to_string(const char* const* items, int32_t count, int64_t limit) {
    std::string bytes;
    auto out = std::make_unique<Output>();
    out->file = -1;
    out->copy = &bytes;
    out->room = limit;
    Source source{items, count, 0};
    decode(source, *out);
    return bytes;
}
