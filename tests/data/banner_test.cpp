// banner_test.cpp -- the banner list: size, colours, the frame's end columns, where it is drawn.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "data/data_table.h"

namespace {

constexpr int32_t GREEN = 0x79F268;

// Returns the banner value at column 0..351, row 0..11, read through the table.
int32_t banner_value(int32_t column, int32_t row) {
    set_read_position(ReadPosition::banner);
    int32_t value = 0;
    for (int32_t n = 0; n <= column * 12 + row; ++n) value = read_int();
    return value;
}

TEST(Banner, UsesOnlyTheSixteenGreensAndBlackWrittenPlainly) {
    const std::set<int32_t> palette = {7991912, 0,       7265631, 4821567, 6208849, 3236650, 4359481, 7529570,
                                       7727973, 6803032, 3831090, 7001435, 5217860, 6473045, 5548360, 5878605};
    std::map<int32_t, int32_t> counts;
    set_read_position(ReadPosition::banner);
    for (int32_t n = 0; n < BANNER_ITEM_COUNT; ++n) {
        std::string text = banner_items[n];
        int32_t value = read_int();
        ASSERT_TRUE(palette.count(value)) << "item " << n << " is " << text;
        ASSERT_EQ(text, std::to_string(value)) << "plain decimal, no padding or sign: item " << n;
        ++counts[value];
    }
    EXPECT_GT(counts[GREEN], 1000) << "a title in bright green";
    EXPECT_GT(counts[0], 1000) << "on black";
    EXPECT_EQ(counts.size(), 16u) << "with all fourteen darker greens as anti-aliasing at the edges";
}

TEST(Banner, FirstAndLastColumnAreThreeGreenOverNineBlack) {
    for (int32_t column : {0, 351}) {
        for (int32_t row = 0; row < 12; ++row)
            EXPECT_EQ(banner_value(column, row), row < 3 ? GREEN : 0) << "column " << column << " row " << row;
    }
    EXPECT_EQ(banner_value(0, 0), GREEN) << "drawn at (146, 2)";
    EXPECT_EQ(banner_value(0, 3), 0) << "drawn at (146, 5)";
}

TEST(Banner, EveryColumnBetweenTheEndsCarriesTheTopLineAndTheTitleHasNoStrayColumns) {
    int32_t lit_columns = 0;
    for (int32_t column = 0; column < 352; ++column) {
        EXPECT_EQ(std::string(banner_items[column * 12]), "7991912") << "top line, column " << column;
        bool lit = false;
        for (int32_t row = 2; row < 12; ++row) lit |= std::string(banner_items[column * 12 + row]) != "0";
        lit_columns += lit;
    }
    EXPECT_GT(lit_columns, 200) << "the title spans most of the width";
    EXPECT_LT(lit_columns, 340) << "with gaps between the letters";
}

} // namespace
