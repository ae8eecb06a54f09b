// move.h -- a game's bookkeeping in one place: renewing a game, and placing a disc with all that
// follows from it. The game driver, viertal-lab, the tests and the benchmarks all play through
// these two, so a move is counted and judged the same way everywhere.
#pragma once

#include <cstdint>

// What a placed disc did to the game.
enum class MoveOutcome {
    refused, // no column 1..7, or a full one: nothing written or counted
    played,  // the game goes on
    won,     // the disc's side has four in a line (game.win_found is 1)
    drawn,   // the 42nd disc, without four in a line
};

// Renews everything a game starts afresh: the board emptied, move_count 0, every drop_row 27,
// no win found, the weights of game.tactic loaded and the disc mark "O". The playing style lives
// on. Called by the game driver at every game's set-up.
void renew_game();

// Places a disc of `player` (HUMAN or COMPUTER) in the lowest empty cell of the column and counts
// it; from the seventh disc on, tests whether that side now has four in a line; a 42nd disc
// without one draws the game. Lowers the column's drop_row, on a refused full column too.
MoveOutcome place_disc(int32_t column, int32_t player);
