// evaluate.h -- the computer opponent: four playing styles and the choice of a column.
//
// Each open column is scored by the cell where the computer's disc would land there: a weighted
// count of disc patterns around it in three passes (runs next to the cell, lines through it,
// patterns around the slot above it). The ten weights of the current style are game.weights.
#pragma once

#include <cstdint>

constexpr int32_t TACTIC_COUNT = 4; // styles 0..3
constexpr int32_t FULL_COLUMN_SCORE = -999;

// Sets game.weights to the row of the style game.tactic (0..3). Called at every game set-up.
void load_tactic_weights();

// Returns the score of the computer's disc landing in cell 1..42; reads the board only through
// copy_to_padded and the padded copy and changes nothing in the game state but `padded`.
int32_t evaluate_cell(int32_t cell);

// Fills game.column_scores[1..7]: evaluate_cell of each column's landing cell, -999 when full.
void score_columns();

// Returns the opening column 2 + floor(4 r) for a random number r in [0, 1): 2, 3, 4 or 5.
int32_t opening_column(double r);

// Returns the column of the computer's move, 1..7: the opening (from the next random_number)
// when move_count is 0; column 4 while move_count is below 4 and cell 4 is empty; otherwise the
// best-scoring column, the lowest among equals. Returns 0 only on a full board, where the game
// driver never asks.
int32_t choose_computer_column();
