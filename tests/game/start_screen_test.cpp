// start_screen_test.cpp -- the start screen: picture, banner, start question, board and hint.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "data/data_table.h"
#include "game/board_display.h"
#include "tests/game/game_harness.h"

namespace {

constexpr int32_t BANNER_LEFT = 146, BANNER_RIGHT = 497, BANNER_TOP = 2, BANNER_BOTTOM = 13;
constexpr const char* QUESTION = "Wil je beginnen [ja][nee] ?";
constexpr const char* HINT = "Met Spatie andere taktiek selecteren.";
constexpr const char* LABELS = "1       2       3       4       5       6       7";

// The colour of the first pixel in a text cell that differs from black: the glyph's colour.
uint32_t glyph_colour(int32_t row, int32_t column) {
    for (int32_t y = 16 * (row - 1); y < 16 * row; ++y) {
        for (int32_t x = 8 * (column - 1); x < 8 * column; ++x) {
            if (headless_rgb(x, y) != BLACK) return headless_rgb(x, y);
        }
    }
    return BLACK;
}

// Tells whether pixel (x, y) lies in the banner.
bool in_banner(int32_t x, int32_t y) {
    return x >= BANNER_LEFT && x <= BANNER_RIGHT && y >= BANNER_TOP && y <= BANNER_BOTTOM;
}

// FNV-1a over every full pixel value of the frame outside the banner (the banner is checked
// against the data table on its own, so a new banner image leaves this hash alone).
uint64_t frame_hash_without_banner() {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (int32_t y = 0; y < 480; ++y) {
        for (int32_t x = 0; x < 640; ++x) {
            if (in_banner(x, y)) continue;
            uint32_t pixel = headless_pixel(x, y);
            for (int32_t i = 0; i < 4; ++i) {
                hash ^= (pixel >> (8 * i)) & 0xFF;
                hash *= 0x100000001b3ULL;
            }
        }
    }
    return hash;
}

// Reads the picture file's pixel (x, y) as load_bmp puts it into the frame (bottom row first).
uint32_t picture_pixel(const std::string& path, int32_t x, int32_t y) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(54 + (479 - y) * 1920 + 3 * x);
    unsigned char bgr[3] = {};
    file.read(reinterpret_cast<char*>(bgr), 3);
    return 0xFF000000u | bgr[2] << 16 | bgr[1] << 8 | bgr[0];
}

class StartScreen : public ::testing::Test {
  protected:
    void TearDown() override { headless_finish(); }
};

TEST_F(StartScreen, AsksWhoBeginsWithTheAnswersInYellow) {
    start_game();
    EXPECT_EQ(message_line(), QUESTION);
    EXPECT_EQ(glyph_colour(3, 14), WHITE);  // "W"
    EXPECT_EQ(glyph_colour(3, 30), WHITE);  // "["
    EXPECT_EQ(glyph_colour(3, 31), YELLOW); // "j"
    EXPECT_EQ(glyph_colour(3, 32), YELLOW); // "a"
    EXPECT_EQ(glyph_colour(3, 33), WHITE);  // "]"
    EXPECT_EQ(glyph_colour(3, 35), YELLOW); // "nee"
    EXPECT_EQ(glyph_colour(3, 37), YELLOW);
    EXPECT_EQ(glyph_colour(3, 38), WHITE); // "]"
    EXPECT_EQ(glyph_colour(3, 40), WHITE); // "?"
    EXPECT_EQ(headless_text_at(30, 23, 37), HINT);
    EXPECT_EQ(glyph_colour(30, 23), WHITE);
    EXPECT_EQ(computer_notice(), "          ");
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./......./.......");
    EXPECT_EQ(tones_heard(), "");
}

TEST_F(StartScreen, BannerPixelsAreTheDataTableColumnByColumn) {
    start_game();
    set_read_position(ReadPosition::banner); // the game waits, so the read position is free
    for (int32_t x = BANNER_LEFT; x <= BANNER_RIGHT; ++x) {
        for (int32_t y = BANNER_TOP; y <= BANNER_BOTTOM; ++y) {
            uint32_t expected = static_cast<uint32_t>(read_int());
            ASSERT_EQ(headless_pixel(x, y), expected) << "banner pixel (" << x << ", " << y << ")";
        }
    }
}

TEST_F(StartScreen, BoardHasItsHolesRingsAndFrame) {
    start_game();
    for (int32_t column = 1; column <= 7; ++column) {
        for (int32_t row = 0; row <= 5; ++row) {
            SCOPED_TRACE("hole " + std::to_string(column) + "," + std::to_string(row));
            int32_t x = 64 * column + 67, y = 424 - 64 * row;
            EXPECT_EQ(headless_rgb(x, y), BLACK); // the hole shows the background
            EXPECT_EQ(headless_rgb(x + 25, y), BLACK);
            EXPECT_EQ(headless_rgb(x - 24, y), BLACK); // x - 25: the left neighbour's outermost ring
            EXPECT_EQ(headless_rgb(x, y - 25), BLACK);
            EXPECT_EQ(headless_rgb(x + 26, y), BOARD_COLOUR); // the ring's inner edge
            EXPECT_EQ(headless_rgb(x - 26, y), BOARD_COLOUR);
            EXPECT_EQ(headless_rgb(x, y + 26), BOARD_COLOUR);
            EXPECT_EQ(headless_rgb(x + 38, y), BOARD_COLOUR);
        }
    }
    for (int32_t i = 0; i <= 5; ++i) {
        for (int32_t j = 0; j <= 4; ++j) EXPECT_EQ(headless_rgb(163 + 64 * i, 136 + 64 * j), BOARD_COLOUR);
    }
    // The frame's corners, and nothing of the board beyond them.
    EXPECT_EQ(headless_rgb(93, 64), BOARD_COLOUR);
    EXPECT_EQ(headless_rgb(554, 64), BOARD_COLOUR);
    EXPECT_EQ(headless_rgb(93, 462), BOARD_COLOUR);
    EXPECT_EQ(headless_rgb(554, 462), BOARD_COLOUR);
    for (int32_t y = 0; y < 480; ++y) {
        bool text_row = (y >= 32 && y <= 47) || y >= 464;
        for (int32_t x = 0; x < 640; ++x) {
            bool board = x >= 93 && x <= 554 && y >= 64 && y <= 462;
            if (board || text_row || in_banner(x, y)) continue;
            ASSERT_EQ(headless_rgb(x, y), BLACK) << "stray pixel at (" << x << ", " << y << ")";
        }
    }
}

// The whole start screen without a picture, pinned: a change shows here and is accepted on
// purpose by updating the hash (the failure message prints the new one).
TEST_F(StartScreen, FrameMatchesItsGoldenHash) {
    start_game();
    constexpr uint64_t GOLDEN = 0x61e327c89e0648a1ULL;
    uint64_t hash = frame_hash_without_banner();
    EXPECT_EQ(hash, GOLDEN) << std::hex << "new hash 0x" << hash;
}

TEST_F(StartScreen, PictureIsWrittenIntoTempAndShownBehindTheBoard) {
    std::string temp = scratch_directory();
    std::string path = temp + "/ZAQT.bmp";
    start_game(temp);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 921656u);
    for (auto [x, y] : {std::pair{0, 0}, {639, 479}, {320, 20}, {131, 424}, {515, 104}, {600, 300}}) {
        EXPECT_EQ(headless_pixel(x, y), picture_pixel(path, x, y)) << "(" << x << ", " << y << ")";
    }
    EXPECT_EQ(message_line(), QUESTION); // the texts stand on black cells over the picture
    EXPECT_EQ(headless_text_at(30, 23, 37), HINT);
}

TEST_F(StartScreen, InputReplacesTheHintByTheColumnNumbers) {
    start_game();
    press(" ");
    EXPECT_EQ(headless_text_at(30, 17, 49), LABELS);
    EXPECT_EQ(message_line(), QUESTION);
}

// A new game covers everything of the previous one: discs, notice and result. Without a picture
// the frame is blanked first, so no disc of the old game can look like one of the new game.
TEST_F(StartScreen, NextGameStartsOnAClearScreenWithOrWithoutPicture) {
    for (bool with_picture : {false, true}) {
        SCOPED_TRACE(with_picture ? "with picture" : "without picture");
        start_game(with_picture ? scratch_directory() : "");
        uint64_t first = frame_hash_without_banner();
        press("j");
        play_line(HUMAN_WINS);
        ASSERT_EQ(message_line().substr(0, 18), "Je hebt gewonnen !");
        press("x");
        EXPECT_EQ(message_line(), QUESTION);
        EXPECT_EQ(frame_hash_without_banner(), first);
    }
}

} // namespace
