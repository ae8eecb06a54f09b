// evaluate.cpp -- move evaluation: weighted pattern counts around each landing cell.
//
// The evaluation keeps its odd corners on purpose, because they make the computer's character:
// pass 1 looks up-left twice and never down-right, the first run of two beside a cell in column 1
// or 7 earns nothing extra (its run-2 weight is taken off and added back), passes 2 and 3 ignore
// vertical lines, and pass 3's patterns mix both players' discs.
#include "rules/evaluate.h"

#include "data/data_table.h"
#include "rules/board.h"
#include "rules/game_state.h"
#include "screen/screen.h"

namespace {

// The ten weights of each style, in TacticWeights order. Style 2 is style 0 doubled.
constexpr TacticWeights STYLE_WEIGHTS[TACTIC_COUNT] = {
    {3, 13, 199, 1, 11, 44, 199, 44, 33, 22},
    {0, 4, 66, 1, 3, 14, 66, 14, 11, 7},
    {6, 26, 398, 2, 22, 88, 398, 88, 66, 44},
    {1, 6, 88, 1, 5, 22, 57, 29, 13, 11},
};

constexpr int32_t BEST_START = -998; // beaten by every open column, never by a full one

// Working values of one evaluate_cell call.
struct Evaluation {
    const int32_t* padded;
    int32_t candidate; // padded slot of the cell under evaluation, 43..114
    int32_t score;
    int32_t edge_penalty_used; // 1 once the edge rule has taken its deduction
};

// Takes a run-2 weight off once for a cell in column 1 or 7, in any direction but straight down.
void apply_edge_rule(Evaluation& e, int32_t direction_number, int32_t weight) {
    if (e.edge_penalty_used != 0 || direction_number == 4) return;
    if ((e.candidate - 30) % 13 == 0) {
        e.score -= weight;
        e.edge_penalty_used = 1;
    }
    if ((e.candidate - 36) % 13 == 0) {
        e.score -= weight;
        e.edge_penalty_used = 1;
    }
}

// Pass 1: adds the run weights of the discs next to the cell along all seven directions.
void score_runs(Evaluation& e, const TacticWeights& w) {
    set_read_position(ReadPosition::directions);
    for (int32_t i = 1; i <= 7; ++i) {
        int32_t d = read_int();
        int32_t first = e.padded[e.candidate + d];
        if (first == EMPTY) continue;
        bool human = first == HUMAN;
        int32_t run_1 = human ? w.opp_run_1 : w.own_run_1;
        int32_t run_2 = human ? w.opp_run_2 : w.own_run_2;
        int32_t run_3 = human ? w.opp_run_3 : w.own_run_3;
        e.score += run_1;
        if (e.padded[e.candidate + 2 * d] != first) continue;
        apply_edge_rule(e, i, run_2);
        e.score += run_2;
        if (e.padded[e.candidate + 3 * d] == first) e.score += run_3;
    }
}

// Adds to the count of whichever player owns the slot at `from` the length of that player's run
// starting there in steps of `step`; an EMPTY slot adds nothing.
void count_run(const int32_t* padded, int32_t from, int32_t step, int32_t& computer, int32_t& human) {
    int32_t owner = padded[from];
    if (owner == EMPTY) return;
    int32_t& count = owner == HUMAN ? human : computer;
    for (int32_t slot = from; padded[slot] == owner; slot += step) ++count;
}

// Pass 2: adds own_line / opp_line for each axis on which the cell joins three or more discs.
void score_lines(Evaluation& e, const TacticWeights& w) {
    set_read_position(ReadPosition::directions);
    for (int32_t i = 1; i <= 3; ++i) {
        int32_t d = read_int();
        int32_t computer = 0;
        int32_t human = 0;
        count_run(e.padded, e.candidate + d, d, computer, human);
        count_run(e.padded, e.candidate - d, -d, computer, human);
        if (computer > 2) e.score += w.own_line;
        if (human > 2) e.score += w.opp_line;
    }
}

// Returns how many of the three slots from `from` in steps of `step` pass their tests in turn:
// the first two stop the walk when they fail, the third only adds.
int32_t walk_pattern(const int32_t* padded, int32_t from, int32_t step, bool first_not_human, int32_t want_1,
                     int32_t want_2, int32_t want_3) {
    int32_t slot_1 = padded[from + step];
    bool pass_1 = first_not_human ? slot_1 != HUMAN : slot_1 == want_1;
    if (!pass_1) return 0;
    if (padded[from + 2 * step] != want_2) return 1;
    return padded[from + 3 * step] == want_3 ? 3 : 2;
}

// Pass 3: subtracts the penalties for the two mixed patterns around the slot above the cell.
void score_above(Evaluation& e, const TacticWeights& w) {
    int32_t above = e.candidate + 13;
    set_read_position(ReadPosition::directions);
    for (int32_t i = 1; i <= 3; ++i) {
        int32_t d = read_int();
        int32_t first = walk_pattern(e.padded, above, d, true, EMPTY, COMPUTER, HUMAN) +
                        walk_pattern(e.padded, above, -d, false, COMPUTER, HUMAN, HUMAN);
        if (first > 2) e.score -= w.above_penalty_a;
        int32_t second = walk_pattern(e.padded, above, d, false, HUMAN, COMPUTER, COMPUTER) +
                         walk_pattern(e.padded, above, -d, false, COMPUTER, COMPUTER, COMPUTER);
        if (second > 2) e.score -= w.above_penalty_b;
    }
}

} // namespace

void load_tactic_weights() {
    int32_t tactic = game.tactic;
    if (tactic < 0 || tactic >= TACTIC_COUNT) tactic = 0; // only ever 0..3; never index past the table
    game.weights = STYLE_WEIGHTS[tactic];
}

int32_t evaluate_cell(int32_t cell) {
    copy_to_padded();
    Evaluation e{game.board.padded, pad_index(cell), 0, 0};
    score_runs(e, game.weights);
    score_lines(e, game.weights);
    score_above(e, game.weights);
    return e.score;
}

void score_columns() {
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) {
        int32_t cell = lowest_empty_cell(column);
        game.column_scores[column] = cell == 0 ? FULL_COLUMN_SCORE : evaluate_cell(cell);
    }
}

int32_t opening_column(double r) {
    if (!(r >= 0.0)) return 2; // also NaN: never let a bad number pick a column off the range
    if (r >= 1.0) return 5;
    return 2 + static_cast<int32_t>(4.0 * r);
}

int32_t choose_computer_column() {
    if (game.move_count == 0) return opening_column(random_number());
    if (game.move_count < 4 && game.board.cells[4] == EMPTY) return 4;
    score_columns();
    int32_t best = BEST_START;
    int32_t choice = 0;
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) {
        if (game.column_scores[column] > best) {
            best = game.column_scores[column];
            choice = column;
        }
    }
    return choice;
}
