// reader.cpp -- the data table's single read position and its three read operations.
#include "data/data_table.h"

#include <climits>

namespace {

// The one read position, shared by every reader for the life of the process: the index of the
// next item, counted from 0 over the three lists in table order.
int32_t read_index = 0;

// Returns the item at `index`, or nullptr past the end of the table.
const char* item_at(int32_t index) {
    if (index < 0) return nullptr;
    if (index < DIRECTION_ITEM_COUNT) return direction_items[index];
    index -= DIRECTION_ITEM_COUNT;
    if (index < BANNER_ITEM_COUNT) return banner_items[index];
    index -= BANNER_ITEM_COUNT;
    if (index < picture_item_count) return picture_items[index];
    return nullptr;
}

// Takes the item at the read position and moves on; stays at the end once there.
const char* next_item() {
    const char* item = item_at(read_index);
    if (item != nullptr) ++read_index;
    return item;
}

} // namespace

int32_t data_item_count() {
    return DIRECTION_ITEM_COUNT + BANNER_ITEM_COUNT + picture_item_count;
}

int32_t data_read_index() {
    return read_index;
}

void set_read_position(ReadPosition position) {
    switch (position) {
    case ReadPosition::directions: read_index = 0; break;
    case ReadPosition::banner: read_index = DIRECTION_ITEM_COUNT; break;
    case ReadPosition::picture: read_index = DIRECTION_ITEM_COUNT + BANNER_ITEM_COUNT; break;
    }
}

int32_t parse_int(const char* text) {
    const char* p = text;
    while (*p == ' ') ++p;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    // Accumulate in 64 bits and saturate, so an absurdly long digit string cannot overflow;
    // the table's own numbers are far inside the 32-bit range.
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) value = int64_t{INT32_MAX} + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

int32_t read_int() {
    const char* p = next_item();
    return p == nullptr ? 0 : parse_int(p);
}

std::string read_text() {
    const char* p = next_item();
    return p == nullptr ? std::string() : std::string(p);
}
