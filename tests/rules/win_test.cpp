// win_test.cpp -- the four-in-a-row test against every line on the board and its false friends.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "data/data_table.h"
#include "rules/win.h"
#include "tests/rules/fixtures.h"

namespace {

// Returns the cells of every line of four on the board (69 of them).
std::vector<std::vector<int32_t>> all_lines() {
    std::vector<std::vector<int32_t>> lines;
    const int32_t steps[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
    for (int32_t row = 0; row < 6; ++row)
        for (int32_t column = 1; column <= 7; ++column)
            for (const auto& s : steps) {
                int32_t end_row = row + 3 * s[0], end_column = column + 3 * s[1];
                if (end_row > 5 || end_column < 1 || end_column > 7) continue;
                std::vector<int32_t> line;
                for (int32_t k = 0; k < 4; ++k) line.push_back(7 * (row + k * s[0]) + column + k * s[1]);
                lines.push_back(line);
            }
    return lines;
}

// Returns win_found after has_four for `player` on a fresh board holding `cells` of `player`.
int32_t four_for(int32_t player, const std::vector<int32_t>& cells, int32_t owner) {
    start_game();
    for (int32_t cell : cells) game.board.cells[cell] = owner;
    game.test_player = player;
    has_four();
    return game.win_found;
}

TEST(HasFour, FindsEveryLineOfFourOnTheBoardEdgesIncluded) {
    auto lines = all_lines();
    ASSERT_EQ(lines.size(), 69u);
    for (const auto& line : lines) {
        SCOPED_TRACE(testing::Message() << line[0] << "," << line[1] << "," << line[2] << "," << line[3]);
        EXPECT_EQ(four_for(HUMAN, line, HUMAN), 1);
        EXPECT_EQ(four_for(COMPUTER, line, COMPUTER), 1);
        EXPECT_EQ(four_for(COMPUTER, line, HUMAN), 0) << "the other player's four";
        EXPECT_EQ(four_for(HUMAN, line, COMPUTER), 0) << "the other player's four";
    }
}

TEST(HasFour, DoesNotJoinCellsAcrossTheEndOfARow) {
    const std::vector<std::vector<int32_t>> wraps = {
        {5, 6, 7, 8},    {6, 7, 8, 9},    {7, 8, 9, 10},  {33, 34, 35, 36}, // along a row into the next
        {5, 13, 21, 29}, {6, 14, 22, 30}, {3, 9, 15, 21}, {2, 8, 14, 20},   // diagonals over the side
    };
    for (const auto& cells : wraps) {
        SCOPED_TRACE(testing::Message() << cells[0] << "," << cells[1] << "," << cells[2] << "," << cells[3]);
        EXPECT_EQ(four_for(HUMAN, cells, HUMAN), 0);
    }
}

TEST(HasFour, NeedsFourOfOnePlayerAndTakesLongerLines) {
    EXPECT_EQ(four_for(COMPUTER, {}, COMPUTER), 0) << "empty board";
    start_game();
    put_cells({1, 2, 3}, COMPUTER);
    put_cells({4}, HUMAN);
    game.test_player = COMPUTER;
    has_four();
    EXPECT_EQ(game.win_found, 0) << "a line mixing both players";
    EXPECT_EQ(four_for(COMPUTER, {9, 10, 11, 12, 13}, COMPUTER), 1) << "five in a row";
    EXPECT_EQ(four_for(HUMAN, {1, 2, 3, 5, 6, 7}, HUMAN), 0) << "a gap splits the row";
}

TEST(HasFour, NeverClearsAFoundWin) {
    start_game();
    game.win_found = 1;
    game.test_player = HUMAN;
    has_four();
    EXPECT_EQ(game.win_found, 1);
}

TEST(HasFour, AgreesWithARowAndColumnReferenceOnRandomBoards) {
    std::mt19937 rng(20261206);
    for (int32_t trial = 0; trial < 20000; ++trial) {
        start_game();
        for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) {
            uint32_t r = rng() % 8; // sparse to full boards, not necessarily reachable
            game.board.cells[cell] = r < 3 ? HUMAN : r < 6 ? COMPUTER : EMPTY;
        }
        for (int32_t player : {HUMAN, COMPUTER}) {
            game.win_found = 0;
            game.test_player = player;
            has_four();
            ASSERT_EQ(game.win_found == 1, reference_four(player)) << "trial " << trial << " player " << player;
        }
    }
}

TEST(HasFour, SetsTheReadPositionItselfWhereverItStood) {
    start_game();
    put_cells({1, 9, 17, 25}, COMPUTER);
    game.test_player = COMPUTER;
    set_read_position(ReadPosition::banner);
    for (int32_t i = 0; i < 200; ++i) read_int(); // another reader left the position mid-banner
    has_four();
    EXPECT_EQ(game.win_found, 1);
    set_read_position(ReadPosition::picture);
    while (data_read_index() < data_item_count()) read_text(); // or at the very end
    game.win_found = 0;
    has_four();
    EXPECT_EQ(game.win_found, 1);
}

} // namespace
