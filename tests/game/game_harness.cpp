// game_harness.cpp -- running the whole game headless and reading the screen like a player.
#include "tests/game/game_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "data/picture.h"
#include "game/driver.h"
#include "rules/game_state.h"
#include "screen/screen.h"

const std::string ERROR_TONES = "600/120 500/240";
const std::string HUMAN_WIN_TONES = "200/120 300/120 400/120 500/120 600/120 700/120 800/120 900/120";
const std::string COMPUTER_WIN_TONES = "900/120 700/180 1050/240";

namespace {

double fixed_seed = 0; // the seed of start_seeded_game

// The game with a fixed random sequence from the first game on.
void seeded_program() {
    start_up();
    seed_random(fixed_seed, 0);
    play_games();
}

// The scratch directories of this test program, removed when it ends.
struct Scratch {
    std::string root;
    int32_t count = 0;
    ~Scratch() {
        if (!root.empty()) std::filesystem::remove_all(root);
    }
} scratch;

// Runs `program` with "temp" pointing at `temp` (or at a directory that does not exist).
void run(void (*program)(), const std::string& temp) {
    headless_start();
    game = GameState{};
    std::string directory = temp.empty() ? scratch_directory() + "/absent" : temp;
    setenv("temp", directory.c_str(), 1);
    set_picture_fallback_directory(scratch_directory());
    headless_run(program);
    settle();
}

} // namespace

std::string scratch_directory() {
    if (scratch.root.empty()) {
        std::string base = (std::filesystem::temp_directory_path() / "viertal-game-XXXXXX").string();
        char* made = mkdtemp(base.data());
        if (made == nullptr) std::abort();
        scratch.root = made;
    }
    std::string directory = scratch.root + "/" + std::to_string(++scratch.count);
    std::filesystem::create_directory(directory);
    return directory;
}

void start_game(const std::string& temp) {
    run(program_main, temp);
}

void start_seeded_game(double seed, const std::string& temp) {
    fixed_seed = seed;
    run(seeded_program, temp);
}

void settle() {
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting) << "the game ended with " << headless_exit_code();
}

void press(const std::string& keys) {
    headless_type(keys);
    settle();
}

void click(int32_t x, int32_t y) {
    headless_mouse(x, y, 1);
    settle();
    headless_mouse(x, y, 0);
    settle();
}

void play_line(const std::string& columns) {
    for (char column : columns) {
        SCOPED_TRACE(std::string("move ") + column);
        press(std::string(1, column));
    }
}

std::string message_line() {
    return headless_text_at(3, 14, 27);
}

std::string computer_notice() {
    return headless_text_at(3, 59, 10);
}

uint32_t disc_at(int32_t column, int32_t row) {
    return headless_rgb(64 * column + 67, 424 - 64 * row);
}

std::string discs_on_screen() {
    std::string text;
    for (int32_t row = 5; row >= 0; --row) {
        for (int32_t column = 1; column <= 7; ++column) {
            uint32_t colour = disc_at(column, row);
            text += colour == RED ? 'R' : colour == YELLOW ? 'Y' : '.';
        }
        if (row > 0) text += '/';
    }
    return text;
}

std::string tones_heard() {
    std::string text;
    for (const HeadlessTone& t : headless_tones()) {
        if (!text.empty()) text += ' ';
        text += std::to_string(t.frequency) + "/" + std::to_string(t.duration);
    }
    return text;
}
