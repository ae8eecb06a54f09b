// text_test.cpp -- opening the screen, the text grid, the cursor, opaque printing and the font.
#include <climits>

#include "screen_fixture.h"

namespace {

constexpr uint32_t PICTURE = 0xFF336699;

// Returns true when every pixel of the cell (row, column) of the 8 x 16 grid has that value.
bool cell_is(int32_t row, int32_t column, uint32_t colour) {
    for (int32_t y = 16 * (row - 1); y < 16 * row; ++y)
        for (int32_t x = 8 * (column - 1); x < 8 * column; ++x)
            if (headless_pixel(x, y) != colour) return false;
    return true;
}

TEST(OpenScreen, StartsBlackWithWhiteTextOnAnEightByEightGrid) {
    headless_start();
    EXPECT_EQ(open_screen(640, 480, 32, 1, 0, 0), 0);
    EXPECT_EQ(pixels_of(0xFF000000).size(), size_t(FRAME_WIDTH * FRAME_HEIGHT));
    EXPECT_EQ(screen.foreground, 0xFFFFFFFFu);
    EXPECT_EQ(screen.background, 0xFF000000u);
    EXPECT_EQ(screen.columns, 80);
    EXPECT_EQ(screen.rows, 60);
    EXPECT_EQ(screen.cell_height, 8);
    EXPECT_EQ(screen.title, "viertal");
    print_text("Hi", 0); // the 8 x 8 cells show the 8 x 16 glyphs squeezed
    EXPECT_EQ(headless_text_at(1, 1, 2), "Hi");
    EXPECT_EQ(cursor_column(), 3);
}

TEST(OpenScreen, RefusesWrongArgumentsAndChangesNothing) {
    headless_start();
    for (int32_t depth : {0, 3, 12, 33}) EXPECT_EQ(open_screen(640, 480, depth, 1, 0, 0), ERROR_BAD_ARGUMENT);
    EXPECT_EQ(open_screen(0, 480, 32, 1, 0, 0), ERROR_BAD_ARGUMENT);
    EXPECT_EQ(open_screen(640, -480, 32, 1, 0, 0), ERROR_BAD_ARGUMENT);
    EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT);
    EXPECT_FALSE(screen.opened);
    print_text("x", 0); // nothing is drawn before the screen is open
    EXPECT_EQ(pixels_of(0xFFFFFFFF).size(), 0u);
    EXPECT_EQ(open_screen(640, 480, 24, 1, 0, 0), 0);
}

using TextTest = ScreenTest;

TEST_F(TextTest, SetTextGridAcceptsOnlyEightBySixteenCells) {
    headless_start();
    ASSERT_EQ(open_screen(640, 480, 32, 1, 0, 0), 0);
    locate(5, 5);
    set_pixel(3, 3, 0x00FF0000, 4);
    for (auto [c, r] : {std::pair{80, 60}, {80, 34}, {40, 30}, {81, 30}, {0, 30}, {80, -1}}) {
        EXPECT_EQ(set_text_grid(c, r), 80 + 65536 * 60);
        EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT);
    }
    EXPECT_EQ(headless_pixel(3, 3), 0x00FF0000u);
    EXPECT_EQ(cursor_row(), 5);
    EXPECT_EQ(set_text_grid(80, 30), 80 + 65536 * 60);
    EXPECT_EQ(last_error(), 0);
    EXPECT_EQ(headless_pixel(3, 3), 0xFF000000u);
    EXPECT_EQ(cursor_row(), 1);
    EXPECT_EQ(cursor_column(), 1);
    EXPECT_EQ(set_text_grid(80, 30), 80 + 65536 * 30);
}

TEST_F(TextTest, CellsAreOpaque) {
    fill_frame(PICTURE);
    locate(4, 10);
    print_text(" ", 0);
    EXPECT_TRUE(cell_is(4, 10, 0xFF000000));
    EXPECT_TRUE(cell_is(4, 9, PICTURE));
    EXPECT_TRUE(cell_is(4, 11, PICTURE));
    EXPECT_TRUE(cell_is(3, 10, PICTURE));
    EXPECT_TRUE(cell_is(5, 10, PICTURE));
    set_color(0x00FFFF00, 0x00123456, 2); // foreground only: background stays black
    locate(4, 11);
    print_text("W", 0);
    EXPECT_EQ(screen.background, 0xFF000000u);
    EXPECT_EQ(headless_text_at(4, 10, 2), " W");
    int32_t yellow = 0, black = 0;
    for (int32_t y = 48; y < 64; ++y)
        for (int32_t x = 80; x < 88; ++x) {
            yellow += headless_pixel(x, y) == 0x00FFFF00;
            black += headless_pixel(x, y) == 0xFF000000;
        }
    EXPECT_GT(yellow, 10);
    EXPECT_EQ(yellow + black, 128);
}

TEST_F(TextTest, SetColorFlagsOmitEitherColour) {
    set_color(1, 2, 1);
    EXPECT_EQ(screen.foreground, 0xFFFFFFFFu);
    EXPECT_EQ(screen.background, 2u);
    set_color(3, 4, 2);
    EXPECT_EQ(screen.foreground, 3u);
    EXPECT_EQ(screen.background, 2u);
    set_color(5, 6, 3);
    EXPECT_EQ(screen.foreground, 3u);
}

TEST_F(TextTest, PrintNumberPutsABlankOrAMinusBeforeTheDigits) {
    locate(2, 1);
    print_number(4);
    EXPECT_EQ(headless_text_at(2, 1, 2), " 4");
    EXPECT_EQ(cursor_column(), 3);
    print_number(-3);
    EXPECT_EQ(headless_text_at(2, 3, 2), "-3");
    EXPECT_EQ(cursor_column(), 5);
    locate(3, 1);
    print_number(INT_MIN);
    print_number(0);
    EXPECT_EQ(headless_text_at(3, 1, 13), "-2147483648 0");
}

TEST_F(TextTest, LocateOffTheGridKeepsTheCursor) {
    locate(7, 12);
    for (auto [r, c] : {std::pair{-1, 5}, {31, 5}, {5, 81}, {5, -2}, {INT_MIN, INT_MAX}}) {
        locate(r, c);
        EXPECT_EQ(cursor_row(), 7);
        EXPECT_EQ(cursor_column(), 12);
    }
    print_text("ok", 0);
    EXPECT_EQ(headless_text_at(7, 12, 2), "ok");
    locate(0, 3); // 0 keeps that coordinate
    EXPECT_EQ(cursor_row(), 7);
    EXPECT_EQ(cursor_column(), 3);
    locate(9, 0);
    EXPECT_EQ(cursor_row(), 9);
    EXPECT_EQ(cursor_column(), 3);
}

TEST_F(TextTest, TextWrapsAfterColumnEightyAndLineEndStartsTheNextRow) {
    locate(2, 79);
    print_text("abc", 0);
    EXPECT_EQ(headless_text_at(2, 79, 2), "ab");
    EXPECT_EQ(headless_text_at(3, 1, 1), "c");
    EXPECT_EQ(cursor_row(), 3);
    EXPECT_EQ(cursor_column(), 2);
    print_text("d", 1);
    EXPECT_EQ(cursor_row(), 4);
    EXPECT_EQ(cursor_column(), 1);
    print_text("", 1); // an empty text still takes its line end
    EXPECT_EQ(cursor_row(), 5);
    print_text(std::string("a\0b", 3), 0); // every byte is a cell, 0 included
    EXPECT_EQ(cursor_column(), 4);
    EXPECT_EQ(headless_text_at(5, 1, 3), "a b");
}

TEST_F(TextTest, PrintingPastTheLastCellScrollsTheGridUp) {
    locate(29, 1);
    print_text("boven", 0);
    locate(30, 80);
    print_text("x", 0);
    EXPECT_EQ(cursor_row(), 30);
    EXPECT_EQ(cursor_column(), 1);
    EXPECT_EQ(headless_text_at(28, 1, 5), "boven");
    EXPECT_EQ(headless_text_at(29, 80, 1), "x");
    EXPECT_TRUE(cell_is(30, 1, 0xFF000000));
}

TEST_F(TextTest, EveryGlyphReadsBackAsItsOwnCode) {
    // Prints all 256 codes in rows of 32 and reads them back from the pixels. Glyphs that look
    // alike (the blanks) read as the first look-alike in the reader's order, so each code must
    // read as a code whose glyph is identical to its own.
    for (int32_t code = 0; code < 256; ++code) {
        locate(2 + code / 32 * 2, 2 + code % 32 * 2);
        print_text(std::string(1, char(code)), 0);
    }
    int32_t distinct = 0;
    for (int32_t code = 0; code < 256; ++code) {
        const std::string read = headless_text_at(2 + code / 32 * 2, 2 + code % 32 * 2, 1);
        ASSERT_EQ(read.size(), 1u);
        const int32_t got = static_cast<unsigned char>(read[0]);
        distinct += got == code;
        EXPECT_EQ(std::memcmp(font_8x16[got], font_8x16[code], 16), 0) << "code " << code << " read as " << got;
    }
    EXPECT_EQ(distinct, 254); // only the blanks 0 and 255 read as the space
    if (const char* sheet = std::getenv("VIERTAL_FONT_SHEET")) {
        EXPECT_TRUE(headless_write_frame(sheet));
    }
}

TEST_F(TextTest, GlyphsOfTheGameTextsAreNotBlank) {
    for (char c : std::string("Wil je beginnen [ja][nee] ?Welke rij!.0123456789")) {
        if (c == ' ') continue;
        int32_t bits = 0;
        for (uint8_t row : font_8x16[static_cast<unsigned char>(c)]) bits += __builtin_popcount(row);
        EXPECT_GE(bits, 4) << c; // "." is the smallest: 2 x 2
    }
}

} // namespace
