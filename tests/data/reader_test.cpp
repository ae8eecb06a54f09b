// reader_test.cpp -- the data table's one read position: list order, restarts, the end, parsing.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "data/data_table.h"

namespace {

TEST(ReadPosition, DirectionsThenTheFirstBannerValue) {
    set_read_position(ReadPosition::directions);
    const int32_t expected[] = {12, -1, -14, -13, 12, 1, 14};
    for (int32_t d : expected) EXPECT_EQ(read_int(), d);
    EXPECT_EQ(read_int(), 7991912) << "reading on past the directions enters the banner";
}

TEST(ReadPosition, AfterTheLastBannerValueComesTheFirstPictureItem) {
    set_read_position(ReadPosition::banner);
    for (int32_t i = 0; i < BANNER_ITEM_COUNT; ++i) read_int();
    EXPECT_EQ(read_text(), std::string(picture_items[0]));
    EXPECT_EQ(data_read_index(), DIRECTION_ITEM_COUNT + BANNER_ITEM_COUNT + 1);
}

TEST(ReadPosition, SettingAgainMidListRestartsThatList) {
    set_read_position(ReadPosition::directions);
    read_int();
    read_int();
    read_int();
    set_read_position(ReadPosition::directions);
    EXPECT_EQ(read_int(), 12);
    EXPECT_EQ(read_int(), -1);
    set_read_position(ReadPosition::banner);
    for (int32_t i = 0; i < 100; ++i) read_int();
    set_read_position(ReadPosition::banner);
    EXPECT_EQ(read_text(), banner_items[0]);
    EXPECT_EQ(read_text(), banner_items[1]);
    set_read_position(ReadPosition::picture);
    EXPECT_EQ(read_text(), std::string(picture_items[0]));
}

TEST(ReadPosition, PastTheEndGivesZeroAndEmptyTextForEver) {
    set_read_position(ReadPosition::picture);
    std::string last;
    for (int32_t i = 0; i < picture_item_count; ++i) last = read_text();
    EXPECT_EQ(last, "EndeFini");
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read_text(), "");
        EXPECT_EQ(read_int(), 0);
        EXPECT_EQ(data_read_index(), data_item_count()) << "the position stays at the end";
    }
    set_read_position(ReadPosition::directions);
    EXPECT_EQ(read_int(), 12) << "a new setting leaves the end again";
}

TEST(ParseInt, TakesSpacesSignAndDigitsUpToTheFirstOtherCharacter) {
    EXPECT_EQ(parse_int("7991912"), 7991912);
    EXPECT_EQ(parse_int("-14"), -14);
    EXPECT_EQ(parse_int("   -13"), -13);
    EXPECT_EQ(parse_int("12abc"), 12);
    EXPECT_EQ(parse_int("4 5"), 4);
    EXPECT_EQ(parse_int("-0"), 0);
    EXPECT_EQ(parse_int(""), 0);
    EXPECT_EQ(parse_int("BM8 10 0E"), 0) << "a picture item is no number";
    EXPECT_EQ(parse_int("-"), 0);
    EXPECT_EQ(parse_int("--5"), 0);
    EXPECT_EQ(parse_int("+5"), 0) << "only a minus sign is taken";
    EXPECT_EQ(parse_int("\t5"), 0) << "only spaces are skipped";
    EXPECT_EQ(parse_int("- 5"), 0);
}

TEST(ParseInt, SaturatesAbsurdlyLongNumbersInsteadOfOverflowing) {
    EXPECT_EQ(parse_int("2147483647"), INT32_MAX);
    EXPECT_EQ(parse_int("-2147483648"), INT32_MIN);
    EXPECT_EQ(parse_int("2147483648"), INT32_MAX);
    EXPECT_EQ(parse_int("-2147483649"), INT32_MIN);
    std::string huge(5000, '9');
    EXPECT_EQ(parse_int(huge.c_str()), INT32_MAX);
    EXPECT_EQ(parse_int(("-" + huge).c_str()), INT32_MIN);
    EXPECT_EQ(parse_int((std::string(300, '0') + "42").c_str()), 42) << "leading zeros are harmless";
}

} // namespace
