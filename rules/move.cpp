// move.cpp -- renewing a game and placing a disc.
#include "rules/move.h"

#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/win.h"

namespace {

constexpr int32_t FIRST_WIN_TEST = 7; // nobody has four before the seventh disc of a game

} // namespace

void renew_game() {
    game.disc_mark = "O";
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) game.drop_row[column] = START_DROP_ROW;
    load_tactic_weights();
    reset_board();
    game.win_found = 0;
    game.move_count = 0;
}

MoveOutcome place_disc(int32_t column, int32_t player) {
    if (column < 1 || column > COLUMN_COUNT) return MoveOutcome::refused;
    game.drop_row[column] -= DROP_ROW_STEP;
    if (!drop_cell(column, player)) return MoveOutcome::refused;
    game.move_count += 1;
    if (game.move_count >= FIRST_WIN_TEST) {
        game.test_player = player;
        has_four();
        if (game.win_found == 1) return MoveOutcome::won;
    }
    return game.move_count >= CELL_COUNT ? MoveOutcome::drawn : MoveOutcome::played;
}
