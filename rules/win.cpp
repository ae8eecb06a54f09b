// win.cpp -- four-in-a-row test on the padded board.
//
// Every line of four has an end disc from which the other three lie up-left (+12), left (-1),
// down-left (-14) or down (-13): the first four items of the direction list. Border slots are
// EMPTY, so a line can never run over the edge into the next row. The four directions are read
// from the data table once per test; they are the same for every cell.
#include "rules/win.h"

#include "data/data_table.h"
#include "rules/board.h"

void has_four() {
    copy_to_padded();
    set_read_position(ReadPosition::directions);
    int32_t steps[4]; // up-left, left, down-left, down
    for (int32_t& step : steps) step = read_int();
    const int32_t* padded = game.board.padded;
    const int32_t player = game.test_player;
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) {
        int32_t p = pad_index(cell);
        if (padded[p] != player) continue;
        for (int32_t i = 0; i < 4; ++i) {
            int32_t d = steps[i];
            if (padded[p + d] == player && padded[p + 2 * d] == player && padded[p + 3 * d] == player) {
                game.win_found = 1;
                return;
            }
        }
    }
}
