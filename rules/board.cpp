// board.cpp -- the board model: padded copy, reset, drops and the consistency check.
#include "rules/board.h"

namespace {

// Returns true when the padded slot lies on the board rather than on the border.
bool is_board_slot(int32_t slot) {
    int32_t from_first = slot - 43; // slot 43 is cell 1
    return from_first >= 0 && from_first < 6 * 13 && from_first % 13 < 7;
}

// Returns the number of discs in column 1..7, counted from the bottom up to the first gap.
int32_t discs_in_column(int32_t column) {
    int32_t count = 0;
    while (count < 6 && game.board.cells[7 * count + column] != EMPTY) ++count;
    return count;
}

} // namespace

void copy_to_padded() {
    Board& board = game.board;
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) board.padded[pad_index(cell)] = board.cells[cell];
}

void reset_board() {
    Board& board = game.board;
    for (int32_t slot = 43; slot <= PADDED_COUNT; ++slot) board.padded[slot] = EMPTY;
    for (int32_t i = 1; i <= CELL_COUNT; ++i) {
        board.cells[i] = EMPTY;
        board.padded[i] = EMPTY;
    }
}

int32_t lowest_empty_cell(int32_t column) {
    if (column < 1 || column > COLUMN_COUNT) return 0;
    for (int32_t row = 0; row <= 5; ++row) {
        int32_t cell = 7 * row + column;
        if (game.board.cells[cell] == EMPTY) return cell;
    }
    return 0;
}

bool drop_cell(int32_t column, int32_t code) {
    int32_t cell = lowest_empty_cell(column);
    if (cell == 0) return false;
    game.board.cells[cell] = code;
    return true;
}

bool board_is_consistent() {
    const Board& board = game.board;
    for (int32_t slot = 1; slot <= PADDED_COUNT; ++slot)
        if (!is_board_slot(slot) && board.padded[slot] != EMPTY) return false;
    int32_t discs = 0;
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) {
        int32_t code = board.cells[cell];
        if (code != EMPTY && code != COMPUTER && code != HUMAN) return false;
        if (code == EMPTY) continue;
        ++discs;
        if (cell > 7 && board.cells[cell - 7] == EMPTY) return false; // a disc floating over a gap
    }
    if (discs != game.move_count) return false;
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) {
        int32_t filled = discs_in_column(column);
        int32_t row = game.drop_row[column];
        if (filled < 6 && row != START_DROP_ROW - DROP_ROW_STEP * filled) return false;
        if (filled == 6 && (row > 3 || (START_DROP_ROW - row) % DROP_ROW_STEP != 0)) return false;
    }
    return true;
}
