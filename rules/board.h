// board.h -- the board model: cell numbering, the padded copy, dropping discs.
//
// Cells are numbered 1..42 as 7 x row + column (row 0 at the bottom); the padded copy lays them
// into rows of 13 slots with EMPTY border slots all round, so the win test and the evaluation can
// step up to three slots in any direction without a bounds check. Everything works on `game`.
#pragma once

#include <cstdint>

#include "rules/game_state.h"

constexpr int32_t START_DROP_ROW = 27; // text row of a column's first disc
constexpr int32_t DROP_ROW_STEP = 4;   // text rows between the discs of a column

// Returns the padded slot of cell 1..42: 13 x row + 42 + column (cell 1 -> 43, cell 42 -> 114).
constexpr int32_t pad_index(int32_t cell) {
    return (cell - 1) / 7 * 6 + cell + 42;
}

// Copies the 42 cells into their padded slots; border slots are not touched.
// Called first by every reader of `padded`, so the padded form is always fresh.
void copy_to_padded();

// Empties the whole board, border slots included. Called by renew_game at every game's set-up.
void reset_board();

// Returns the lowest EMPTY cell of column 1..7, or 0 when the column is full (or out of range).
int32_t lowest_empty_cell(int32_t column);

// Writes `code` (HUMAN or COMPUTER) into the column's lowest empty cell; false when it is full.
// Does not touch move_count or drop_row: place_disc counts the move.
bool drop_cell(int32_t column, int32_t code);

// Returns true when the board and its counters agree: border slots EMPTY, cells only EMPTY,
// COMPUTER or HUMAN, no empty cell below a disc, move_count equal to the discs on the board and
// each drop_row equal to 27 - 4 x the column's discs (3 or lower, in steps of 4, once full).
bool board_is_consistent();
