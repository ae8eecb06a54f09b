// fixtures.h -- building positions for the rules tests: fresh games, cell lists, move strings.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>

#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "tests/support/reference_four.h"

// Starts a fresh game as the driver's set-up does, with style 0 so every test starts alike.
inline void start_game() {
    game.tactic = 0;
    load_tactic_weights();
    reset_board();
    game.move_count = 0;
    game.win_found = 0;
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) game.drop_row[column] = START_DROP_ROW;
}

// Writes `code` into each listed cell and counts the discs, without the gravity of a drop.
inline void put_cells(std::initializer_list<int32_t> cells, int32_t code) {
    for (int32_t cell : cells) {
        game.board.cells[cell] = code;
        ++game.move_count;
    }
}

// Drops one disc as the driver does: into the column, counted, its drop row lowered.
inline bool play_column(int32_t column, int32_t code) {
    if (!drop_cell(column, code)) return false;
    game.drop_row[column] -= DROP_ROW_STEP;
    ++game.move_count;
    return true;
}

// Plays a move string such as "4453" (columns 1..7), sides alternating from `first`.
inline void play_moves(const char* moves, int32_t first) {
    int32_t code = first;
    for (const char* p = moves; *p != '\0'; ++p, code = -code) play_column(*p - '0', code);
}

// Returns the reference answer to "does `code` have four in a line?" on the game's board.
inline bool reference_four(int32_t code) {
    return reference_four(game.board.cells, code);
}

// Plays random moves from a fresh game until `discs` are down or a side has four; returns false
// when the game ended early. Keeps the position reachable in a real game.
inline bool random_position(std::mt19937& rng, int32_t discs) {
    start_game();
    int32_t code = (rng() & 1) ? HUMAN : COMPUTER;
    while (game.move_count < discs) {
        int32_t column = static_cast<int32_t>(rng() % 7) + 1;
        if (!play_column(column, code)) continue;
        if (reference_four(code)) return false;
        code = -code;
    }
    return true;
}
