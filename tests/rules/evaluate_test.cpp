// evaluate_test.cpp -- the computer's scores and choices: worked positions, the opening rules,
// ties and full columns, and styles 0 and 2 agreeing everywhere.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "rules/evaluate.h"
#include "screen/screen.h"
#include "tests/rules/fixtures.h"

namespace {

using Scores = std::array<int32_t, 7>;

// Returns column_scores[1..7] after score_columns with style `tactic`.
Scores scores_with(int32_t tactic) {
    game.tactic = tactic;
    load_tactic_weights();
    score_columns();
    Scores s;
    for (int32_t c = 1; c <= 7; ++c) s[c - 1] = game.column_scores[c];
    return s;
}

// Sets up the position of human and computer discs with move_count = the discs on the board.
void position(std::initializer_list<int32_t> human, std::initializer_list<int32_t> computer) {
    start_game();
    put_cells(human, HUMAN);
    put_cells(computer, COMPUTER);
}

TEST(WorkedPositions, ThreeHumanDiscsInColumnOneMustBeBlocked) {
    position({1, 8, 15}, {4, 5});
    EXPECT_EQ(scores_with(0), (Scores{56, 3, 16, 3, 6, 16, 0}));
    EXPECT_EQ(choose_computer_column(), 1);
}

TEST(WorkedPositions, CompletingFourBeatsTheEdgeColumn) {
    position({9, 10, 11}, {2, 3, 4});
    Scores s = scores_with(0);
    EXPECT_EQ(s[0], 402) << "the edge rule takes own_run_2 back once";
    EXPECT_EQ(s[4], 416);
    EXPECT_EQ(choose_computer_column(), 5);
}

TEST(WorkedPositions, TheSlotAbovePenalty) {
    position({1, 8}, {2, 9});
    EXPECT_EQ(scores_with(0), (Scores{12, 17, 9, -33, 0, 0, 0}));
    EXPECT_EQ(choose_computer_column(), 2);
}

TEST(WorkedPositions, EdgeRuleSpendsTheFirstSidewaysRunOnlyAndNeverDown) {
    position({}, {2, 3});
    EXPECT_EQ(evaluate_cell(1), 3) << "own_run_2 taken off and added back";
    position({}, {5, 6});
    EXPECT_EQ(evaluate_cell(7), 3) << "the same at column 7";
    position({}, {1, 8});
    EXPECT_EQ(evaluate_cell(15), 3 + 13) << "straight down the run earns in full";
    position({}, {3, 4});
    EXPECT_EQ(evaluate_cell(2), 3 + 13) << "columns 2 to 6 are never affected";
    position({9, 10, 17}, {2, 3});
    EXPECT_EQ(evaluate_cell(1), 3 + 1 + 11) << "only the first run loses its run-2 weight";
}

TEST(StyleWeights, EachStyleScoresTheWorkedPositionsByItsOwnWeights) {
    struct Case {
        int32_t tactic, col1, col5, above_a, above_b;
    };
    // col1/col5: the CompletingFour position; above_a: column 4 of TheSlotAbove position;
    // above_b: cell 4 under three computer discs on cells 12..14.
    const Case cases[] = {
        {0, 402, 416, -33, 81}, {1, 133, 138, -11, 25}, {2, 804, 832, -66, 162}, {3, 147, 154, -13, 47}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tactic " << c.tactic);
        position({9, 10, 11}, {2, 3, 4});
        Scores s = scores_with(c.tactic);
        EXPECT_EQ(s[0], c.col1);
        EXPECT_EQ(s[4], c.col5);
        position({1, 8}, {2, 9});
        EXPECT_EQ(scores_with(c.tactic)[3], c.above_a);
        position({5, 6, 7}, {12, 13, 14});
        EXPECT_EQ(scores_with(c.tactic)[3], c.above_b);
    }
}

TEST(StyleWeights, AStyleOutsideZeroToThreeFallsBackToStyleZero) {
    game.tactic = 0;
    load_tactic_weights();
    TacticWeights zero = game.weights;
    game.tactic = 9;
    load_tactic_weights();
    EXPECT_EQ(0, std::memcmp(&zero, &game.weights, sizeof zero));
    game.tactic = 0;
}

TEST(ChooseColumn, OpeningPlaysColumnTwoToFiveFromTheRandomNumber) {
    EXPECT_EQ(opening_column(0.0), 2);
    EXPECT_EQ(opening_column(std::nextafter(0.25, 0.0)), 2);
    EXPECT_EQ(opening_column(0.25), 3);
    EXPECT_EQ(opening_column(0.5), 4);
    EXPECT_EQ(opening_column(0.75), 5);
    EXPECT_EQ(opening_column(std::nextafter(1.0, 0.0)), 5);
    for (int32_t k = 0; k < 1000; ++k) EXPECT_EQ(opening_column(k / 1000.0), 2 + k * 4 / 1000) << k;
    EXPECT_EQ(opening_column(std::nan("")), 2) << "a bad number still gives a column on the board";
    EXPECT_EQ(opening_column(-1.0), 2);
    EXPECT_EQ(opening_column(1.0), 5);
}

TEST(ChooseColumn, OpeningDrawsTheNextRandomNumber) {
    int32_t seen[8] = {};
    for (int32_t seed = 1; seed <= 400; ++seed) {
        seed_random(seed, 0);
        double r = random_number();
        seed_random(seed, 0);
        start_game();
        int32_t column = choose_computer_column();
        ASSERT_EQ(column, opening_column(r)) << "seed " << seed;
        ++seen[column];
    }
    for (int32_t column = 2; column <= 5; ++column) EXPECT_GT(seen[column], 60) << column;
    EXPECT_EQ(seen[1] + seen[6] + seen[7], 0);
}

TEST(ChooseColumn, AnswersInColumnFourEarlyWhileItsBottomCellIsFree) {
    for (int32_t first = 1; first <= 7; ++first) {
        start_game();
        play_column(first, HUMAN);
        int32_t column = choose_computer_column();
        if (first != 4) {
            EXPECT_EQ(column, 4) << "human began in " << first;
        } else {
            Scores s = scores_with(0);
            EXPECT_EQ(s[column - 1], *std::max_element(s.begin(), s.end())) << "the evaluation decides";
        }
    }
    start_game();
    play_moves("23", COMPUTER); // computer opened in 2, the human answered in 3
    EXPECT_EQ(choose_computer_column(), 4);
    start_game();
    play_moves("773", HUMAN); // three discs, cell 4 free
    EXPECT_EQ(choose_computer_column(), 4);
    start_game();
    play_moves("1717", HUMAN); // four discs, cell 4 still free: now the evaluation decides
    EXPECT_EQ(game.move_count, 4);
    EXPECT_EQ(choose_computer_column(), 7);
    start_game();
    play_moves("4", COMPUTER); // one disc, but on cell 4: no early answer in column 4
    EXPECT_EQ(choose_computer_column(), 3) << "column 3 is the first of the columns next to the disc";
}

TEST(ChooseColumn, NeverPlaysAFullColumnAndTakesTheLowestOfEqualBest) {
    start_game();
    game.move_count = 5; // past the opening rules on an empty board: every column scores 0
    EXPECT_EQ(choose_computer_column(), 1);
    start_game();
    play_moves("111111", HUMAN);
    Scores s = scores_with(0);
    EXPECT_EQ(s[0], FULL_COLUMN_SCORE);
    EXPECT_NE(choose_computer_column(), 1);
    start_game();
    const char* fill = "123456712345671234567123456712345671234567";
    play_moves(fill, HUMAN);
    ASSERT_EQ(game.move_count, 42);
    EXPECT_EQ(scores_with(0), (Scores{-999, -999, -999, -999, -999, -999, -999}));
    EXPECT_EQ(choose_computer_column(), 0) << "no column on a full board";
}

TEST(ChooseColumn, StylesZeroAndTwoAgreeOnThousandsOfRandomPositions) {
    std::mt19937 rng(4453);
    int32_t positions = 0;
    while (positions < 5000) {
        if (!random_position(rng, 1 + static_cast<int32_t>(rng() % 40))) continue;
        ++positions;
        Scores zero = scores_with(0);
        int32_t column_zero = choose_computer_column();
        Scores two = scores_with(2);
        int32_t column_two = choose_computer_column();
        for (int32_t c = 0; c < 7; ++c) {
            if (zero[c] != FULL_COLUMN_SCORE) {
                ASSERT_EQ(two[c], 2 * zero[c]) << "position " << positions;
            }
        }
        ASSERT_EQ(column_zero, column_two) << "position " << positions;
        // The choice is open, and (past the opening rules) the first of the best.
        ASSERT_NE(lowest_empty_cell(column_zero), 0);
        if (game.move_count >= 4 || game.board.cells[4] != EMPTY) {
            int32_t first_best = static_cast<int32_t>(std::max_element(zero.begin(), zero.end()) - zero.begin()) + 1;
            ASSERT_EQ(column_zero, first_best) << "position " << positions;
        }
    }
}

TEST(EvaluateCell, ChangesNothingButThePaddedCopy) {
    std::mt19937 rng(7);
    for (int32_t trial = 0; trial < 200; ++trial) {
        if (!random_position(rng, 20)) continue;
        game.tactic = trial % 4;
        load_tactic_weights();
        GameState before = game;
        for (int32_t column = 1; column <= 7; ++column)
            if (int32_t cell = lowest_empty_cell(column)) evaluate_cell(cell);
        EXPECT_EQ(0, std::memcmp(before.board.cells, game.board.cells, sizeof before.board.cells));
        EXPECT_EQ(0, std::memcmp(&before.weights, &game.weights, sizeof before.weights));
        EXPECT_EQ(before.move_count, game.move_count);
        EXPECT_TRUE(board_is_consistent());
    }
}

} // namespace
