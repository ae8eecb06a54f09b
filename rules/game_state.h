// game_state.h -- the one process-wide game state: board, counters, style, driver's latest input.
//
// Everything the game remembers lives in `game`. The rules read and write it directly; the game
// driver owns it. Nothing is allocated, passed by handle or freed. Arrays count from 1 as the game
// counts its things (cells 1..42, padded slots 1..156, columns 1..7); slot 0 is never used.
#pragma once

#include <cstdint>
#include <string>

// Cell codes. The evaluation relies on these exact values, and on border slots being EMPTY.
constexpr int32_t EMPTY = 0;
constexpr int32_t COMPUTER = 1;
constexpr int32_t HUMAN = -1;

constexpr int32_t CELL_COUNT = 42;    // 7 columns x 6 rows
constexpr int32_t PADDED_COUNT = 156; // 12 rows of 13 slots: the board with a border all round
constexpr int32_t COLUMN_COUNT = 7;

// The board in its two forms. Cell c = 7 x row + column (row 0 at the bottom, column 1 left).
struct Board {
    int32_t cells[CELL_COUNT + 1];    // [1..42] EMPTY, COMPUTER or HUMAN
    int32_t padded[PADDED_COUNT + 1]; // [1..156] copy of cells in rows of 13; border slots stay EMPTY
};

// The ten weights of one playing style, in the order the evaluation uses them. All >= 0.
struct TacticWeights {
    int32_t own_run_1;       // pass 1: one computer disc next to the cell
    int32_t own_run_2;       // pass 1: two in a row (also the edge deduction)
    int32_t own_run_3;       // pass 1: three in a row
    int32_t opp_run_1;       // pass 1: one human disc next to the cell
    int32_t opp_run_2;       // pass 1: two human discs (also the edge deduction)
    int32_t opp_run_3;       // pass 1: three human discs
    int32_t own_line;        // pass 2: the cell completes a computer line of four
    int32_t opp_line;        // pass 2: the cell blocks a human line of four
    int32_t above_penalty_a; // pass 3: first pattern at the slot above (subtracted)
    int32_t above_penalty_b; // pass 3: second pattern at the slot above (subtracted)
};

struct GameState {
    // --- Lives for the whole process ---
    int32_t tactic; // 0..3, the computer's playing style; 0 at start, changed only by Space

    // --- Renewed at every game's set-up (renew_game, rules/move.h) ---
    Board board;
    int32_t move_count;                 // discs played in this game, 0..42
    int32_t drop_row[COLUMN_COUNT + 1]; // [1..7] text row of the column's next disc: 27, 23, ..., 7; <= 3 full
    int32_t win_found;                  // 1 once has_four found a line; 0 at set-up
    TacticWeights weights;              // loaded from `tactic` at set-up, fixed during a game
    std::string disc_mark;              // "O" or "X": decides the colour of the next disc

    // --- Working values of the rules, written before every use ---
    int32_t test_player;                     // COMPUTER or HUMAN: whose four has_four looks for
    int32_t column_scores[COLUMN_COUNT + 1]; // [1..7] scores of the latest score_columns; -999 full

    // --- The game driver's latest input and move (written by the driver only) ---
    int32_t code;    // character code of the latest input, or a column code from a click
    std::string key; // text of the latest read_key: empty, one byte, or 255 + key byte
    int32_t mouse_x; // frame pixels of the latest read_mouse, -1 without a valid mouse
    int32_t mouse_y;
    int32_t mouse_wheel;     // read and not used
    int32_t mouse_buttons;   // button bit set; > 0 counts as held
    int32_t computer_column; // 1..7, the computer's latest move
    int32_t placed;          // during a human move: 1 once the disc found an empty cell
};

extern GameState game;
