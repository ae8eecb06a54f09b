// board_test.cpp -- cell numbering, the padded copy and its border, drops, the invariant checker.
#include <gtest/gtest.h>

#include <cstring>

#include "rules/board.h"
#include "tests/rules/fixtures.h"

namespace {

// Returns true when the padded slot is one of the 42 board slots.
bool is_board_slot(int32_t slot) {
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell)
        if (pad_index(cell) == slot) return true;
    return false;
}

TEST(PadIndex, MapsEachCellToRowTimesThirteenPlusFortyTwoPlusColumn) {
    EXPECT_EQ(pad_index(1), 43);
    EXPECT_EQ(pad_index(7), 49);
    EXPECT_EQ(pad_index(8), 56);
    EXPECT_EQ(pad_index(36), 108);
    EXPECT_EQ(pad_index(42), 114);
    for (int32_t row = 0; row < 6; ++row)
        for (int32_t column = 1; column <= 7; ++column)
            EXPECT_EQ(pad_index(7 * row + column), 13 * row + 42 + column) << "row " << row << " column " << column;
}

TEST(PadIndex, LeavesSixBorderSlotsBetweenRowsAndRowsBelowAndAbove) {
    for (int32_t slot = 30; slot <= 36; ++slot) EXPECT_FALSE(is_board_slot(slot)) << slot;
    for (int32_t slot = 121; slot <= 127; ++slot) EXPECT_FALSE(is_board_slot(slot)) << slot;
    for (int32_t slot = 50; slot <= 55; ++slot) EXPECT_FALSE(is_board_slot(slot)) << slot;
    // Up to three steps in any direction from any cell stay inside 1..156.
    const int32_t steps[] = {1, -1, 13, -13, 14, -14, 12, -12};
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell)
        for (int32_t d : steps) {
            EXPECT_GE(pad_index(cell) + 3 * d, 1);
            EXPECT_LE(pad_index(cell) + 3 * d, PADDED_COUNT);
        }
}

TEST(PaddedBoard, SideStepsFromTheEdgeColumnsReadBorderNeverTheNextRow) {
    start_game();
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) game.board.cells[cell] = HUMAN;
    copy_to_padded();
    for (int32_t row = 0; row < 6; ++row) {
        int32_t right = pad_index(7 * row + 7), left = pad_index(7 * row + 1);
        for (int32_t k = 1; k <= 3; ++k) {
            EXPECT_EQ(game.board.padded[right + k], EMPTY) << "row " << row << " step " << k;
            EXPECT_EQ(game.board.padded[left - k], EMPTY) << "row " << row << " step " << k;
        }
    }
    for (int32_t slot = 30; slot <= 36; ++slot) EXPECT_EQ(game.board.padded[slot], EMPTY);
    for (int32_t slot = 121; slot <= 127; ++slot) EXPECT_EQ(game.board.padded[slot], EMPTY);
}

TEST(PaddedBoard, CopyFillsOnlyBoardSlotsAndIsStaleUntilCopiedAgain) {
    start_game();
    game.board.padded[50] = 77; // a marker in a border slot: copying must not touch it
    game.board.cells[10] = COMPUTER;
    game.board.cells[42] = HUMAN;
    copy_to_padded();
    EXPECT_EQ(game.board.padded[50], 77);
    EXPECT_EQ(game.board.padded[pad_index(10)], COMPUTER);
    EXPECT_EQ(game.board.padded[114], HUMAN);
    ASSERT_TRUE(drop_cell(5, HUMAN));
    EXPECT_EQ(game.board.padded[pad_index(5)], EMPTY) << "the padded form changes only by copying";
    copy_to_padded();
    EXPECT_EQ(game.board.padded[pad_index(5)], HUMAN);
}

TEST(ResetBoard, EmptiesEveryCellAndEverySlotBorderIncluded) {
    for (int32_t i = 1; i <= CELL_COUNT; ++i) game.board.cells[i] = 5;
    for (int32_t i = 1; i <= PADDED_COUNT; ++i) game.board.padded[i] = -7;
    start_game();
    for (int32_t i = 1; i <= CELL_COUNT; ++i) EXPECT_EQ(game.board.cells[i], EMPTY) << i;
    for (int32_t i = 1; i <= PADDED_COUNT; ++i) EXPECT_EQ(game.board.padded[i], EMPTY) << i;
    EXPECT_TRUE(board_is_consistent());
}

TEST(Drops, FillAColumnFromTheBottomAndRefuseASeventhDisc) {
    start_game();
    for (int32_t row = 0; row < 6; ++row) {
        EXPECT_EQ(lowest_empty_cell(3), 7 * row + 3);
        ASSERT_TRUE(play_column(3, row % 2 ? HUMAN : COMPUTER));
        EXPECT_EQ(game.board.cells[7 * row + 3], row % 2 ? HUMAN : COMPUTER);
    }
    Board before = game.board;
    EXPECT_EQ(lowest_empty_cell(3), 0);
    EXPECT_FALSE(drop_cell(3, HUMAN));
    EXPECT_EQ(0, std::memcmp(&before, &game.board, sizeof before)) << "a refused drop changes nothing";
    EXPECT_EQ(game.drop_row[3], 3);
    EXPECT_EQ(lowest_empty_cell(0), 0);
    EXPECT_EQ(lowest_empty_cell(8), 0);
    EXPECT_FALSE(drop_cell(8, HUMAN));
    EXPECT_TRUE(board_is_consistent());
}

TEST(BoardIsConsistent, AcceptsPlayedGamesAndRefusedMovesOnAFullColumn) {
    start_game();
    play_moves("4453221177", HUMAN);
    EXPECT_TRUE(board_is_consistent());
    play_moves("1111", COMPUTER); // column 1 now full: its sixth disc took the drop row to 3
    EXPECT_EQ(game.drop_row[1], 3);
    EXPECT_TRUE(board_is_consistent());
    EXPECT_FALSE(play_column(1, HUMAN));
    game.drop_row[1] -= DROP_ROW_STEP; // the driver lowers it on a refused attempt as well
    EXPECT_TRUE(board_is_consistent());
    game.drop_row[1] = 2;
    EXPECT_FALSE(board_is_consistent()) << "off the steps of 4";
}

TEST(BoardIsConsistent, CatchesEachKindOfCorruption) {
    auto fresh = [] {
        start_game();
        play_moves("443", HUMAN);
    };
    fresh();
    ASSERT_TRUE(board_is_consistent());
    game.board.padded[55] = HUMAN;
    EXPECT_FALSE(board_is_consistent()) << "border slot written";
    fresh();
    game.board.cells[5] = 2;
    EXPECT_FALSE(board_is_consistent()) << "a code that is no cell code";
    fresh();
    game.board.cells[20] = COMPUTER;
    ++game.move_count;
    EXPECT_FALSE(board_is_consistent()) << "a disc floating over empty cells";
    fresh();
    ++game.move_count;
    EXPECT_FALSE(board_is_consistent()) << "move count off";
    fresh();
    game.drop_row[4] = 27;
    EXPECT_FALSE(board_is_consistent()) << "drop row off";
}

} // namespace
