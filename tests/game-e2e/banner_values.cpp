// banner_values.cpp -- prints the banner's 4,224 colours from the data table, one a line, in the
// order the game draws them (column by column from x 146, each column from y 2 down to y 13).
// The end-to-end test compares them with the pixels of the real window.
#include <cstdio>

#include "data/data_table.h"

int main() {
    set_read_position(ReadPosition::banner);
    for (int32_t i = 0; i < BANNER_ITEM_COUNT; ++i) std::printf("%d\n", read_int());
    return 0;
}
