// data_table.h -- the constant data table and its single read position.
//
// The table is one ordered list of text items: the seven step directions, the banner's 4,224
// colour values (352 columns of 12, column by column), then the picture text ending with the
// marker "EndeFini". Every reader sets the read position to the start of its list before it reads;
// reading on past one list continues with the next, and past the last item yields 0 and "".
#pragma once

#include <cstdint>
#include <string>

enum class ReadPosition { directions, banner, picture };

// Makes the next read yield the first item of that list.
void set_read_position(ReadPosition position);

// Yields the item at the read position as an integer and moves on: leading spaces skipped, an
// optional "-", then decimal digits up to the first non-digit; 0 without digits or past the end.
int32_t read_int();

// Returns the integer that read_int makes of one item text (saturated to the 32-bit range).
int32_t parse_int(const char* text);

// Yields the item at the read position as a byte string and moves on; "" past the end.
std::string read_text();

// Where the read position stands: 0-based item index, data_item_count() once past the end.
int32_t data_read_index();

// --- The table itself (generated files in data/; see tools/) ---

constexpr int32_t DIRECTION_ITEM_COUNT = 7;
constexpr int32_t BANNER_ITEM_COUNT = 352 * 12;

extern const char* const direction_items[DIRECTION_ITEM_COUNT];
extern const char* const banner_items[BANNER_ITEM_COUNT];
extern const char* const picture_items[]; // the picture text, then "EndeFini" as the last item
extern const int32_t picture_item_count;  // including the end marker

// Total number of items in the table.
int32_t data_item_count();
