// fuzz_data_table.cpp -- fuzz target for read_int, read_text and the read position, on arbitrary
// tables.
//
// This target is built with data/reader.cpp and the table below in place of the game's own, so
// the real read operations run over items the fuzzer chooses. Input: pieces separated by zero
// bytes. The first piece is a script, one operation per byte (low two bits: 0 set the read
// position to the list (byte / 4) % 3, 1 read_int, 2 read_text, 3 check the read index); the other
// pieces are the items, filled cyclically into the slots that the script reaches. Every result
// is checked against a model of the read rules.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/data_table.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int32_t PICTURE_SLOTS = 5;   // picture items in this target's table, marker included
constexpr int32_t ITEM_CAPACITY = 400; // bytes per slot; longer items are cut (the game's: 208)
constexpr int32_t SLOTS = DIRECTION_ITEM_COUNT + BANNER_ITEM_COUNT + PICTURE_SLOTS;
static_assert(BANNER_ITEM_COUNT == 4096 + 128, "the slot macros below cover 4,224 banner items");

char storage[SLOTS][ITEM_CAPACITY + 1]; // the slots' texts, rewritten for every input

} // namespace

// The table the reader sees: item k of the whole table points at storage[k]. The macros spell
// out the pointer lists, since a constant array of pointers must be written element by element.
#define S1(n) storage[n]
#define S2(n) S1(n), S1((n) + 1)
#define S4(n) S2(n), S2((n) + 2)
#define S8(n) S4(n), S4((n) + 4)
#define S16(n) S8(n), S8((n) + 8)
#define S32(n) S16(n), S16((n) + 16)
#define S64(n) S32(n), S32((n) + 32)
#define S128(n) S64(n), S64((n) + 64)
#define S256(n) S128(n), S128((n) + 128)
#define S512(n) S256(n), S256((n) + 256)
#define S1024(n) S512(n), S512((n) + 512)
#define S2048(n) S1024(n), S1024((n) + 1024)
#define S4096(n) S2048(n), S2048((n) + 2048)
const char* const direction_items[DIRECTION_ITEM_COUNT] = {S4(0), S2(4), S1(6)};
const char* const banner_items[BANNER_ITEM_COUNT] = {S4096(7), S128(7 + 4096)};
const char* const picture_items[PICTURE_SLOTS] = {S4(7 + 4224), S1(7 + 4224 + 4)};
const int32_t picture_item_count = PICTURE_SLOTS;

namespace {

// read_int's rule: leading spaces, an optional "-", digits up to the first non-digit; 0 without
// digits. Values beyond 32 bits saturate at the nearest 32-bit limit.
int32_t model_int(const char* p) {
    while (*p == ' ') ++p;
    const bool negative = *p == '-';
    if (negative) ++p;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = std::min<int64_t>(value * 10 + (*p - '0'), int64_t{1} << 40);
    if (negative) value = -value;
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// The index where each list starts.
int32_t list_start(int32_t list) {
    return list == 0 ? 0 : list == 1 ? DIRECTION_ITEM_COUNT : DIRECTION_ITEM_COUNT + BANNER_ITEM_COUNT;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Split into the script and the items.
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            pieces.emplace_back();
        else
            pieces.back() += char(data[i]);
    }
    const std::string script = pieces[0];
    pieces.erase(pieces.begin());
    if (pieces.empty()) pieces.emplace_back("7991912");

    // Fill every slot the script can reach, in table order from each position it sets.
    int32_t next_piece = 0;
    std::vector<bool> filled(SLOTS, false);
    auto fill = [&](int32_t slot) {
        if (slot >= SLOTS || filled[size_t(slot)]) return;
        std::string text = pieces[size_t(next_piece++) % pieces.size()].substr(0, ITEM_CAPACITY);
        std::memcpy(storage[slot], text.c_str(), text.size() + 1);
        filled[size_t(slot)] = true;
    };

    FUZZ_CHECK(data_item_count() == SLOTS, "data_item_count %d, expected %d", data_item_count(), SLOTS);
    set_read_position(ReadPosition::directions);
    int32_t index = 0; // the model's read position
    for (unsigned char op : script) {
        switch (op & 3) {
        case 0: {
            const int32_t list = (op / 4) % 3;
            set_read_position(static_cast<ReadPosition>(list));
            index = list_start(list);
            break;
        }
        case 1: {
            fill(index);
            const int32_t got = read_int();
            const int32_t want = index < SLOTS ? model_int(storage[index]) : 0;
            FUZZ_CHECK(got == want, "read_int of item %d \"%s\" gave %d, expected %d", index,
                       index < SLOTS ? storage[index] : "", got, want);
            if (index < SLOTS) ++index;
            break;
        }
        case 2: {
            fill(index);
            const std::string got = read_text();
            const std::string want = index < SLOTS ? storage[index] : "";
            FUZZ_CHECK(got == want, "read_text of item %d gave %zu bytes, expected %zu", index, got.size(),
                       want.size());
            if (index < SLOTS) ++index;
            break;
        }
        default: FUZZ_CHECK(data_read_index() == index, "read index %d, expected %d", data_read_index(), index); break;
        }
    }
    return 0;
}
