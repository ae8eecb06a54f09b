// screen_bench.cpp -- the SDL window's cost while the game waits, and its key-to-screen latency.
//
// SCREEN_BENCH_MODE selects the measurement (run-screen-bench.sh drives both under Xvfb):
//   idle     draws a board-like picture, then waits for input the way the game does (read_key,
//            read_mouse, pause(3), sleep until input) until the close request; the script reads
//            the process's CPU time meanwhile.
//   latency  reacts to every key as the game reacts to a column key (a disc and a line of text);
//            the script times each key from outside, from the key sent to the X server to the
//            change of the window's contents (key_latency.py).
// Either mode prints "ready" once its picture is drawn, and ends on Escape or the close request.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "screen/screen.h"

namespace {

constexpr float FULL_TURN = 6.2831859f;

// Draws a picture like the game's: a blue plate with 42 dark holes and a prompt.
void draw_board_picture() {
    set_text_grid(80, 30);
    draw_line(40, 60, 600, 460, 0x0000A0, 2, 0xFFFF, 0);
    for (int32_t row = 1; row <= 6; ++row)
        for (int32_t column = 1; column <= 7; ++column)
            draw_circle(float(80 * column), float(440 - 64 * (row - 1) - 32), 26, 0x000020, 0, 0, FULL_TURN, -1, 4);
    locate(2, 3);
    print_text("Welke rij?", 0);
}

// Waits as the game's input poll does until a key arrives or a button is held; returns the key
// (empty for a click).
std::string wait_for_input() {
    for (;;) {
        const uint64_t seen = input_serial();
        const std::string key = read_key();
        int32_t x = 0, y = 0, wheel = 0, buttons = 0, confinement = 0;
        read_mouse(x, y, wheel, buttons, confinement);
        if (!key.empty() || buttons > 0) return key;
        pause(3);
        if (input_serial() == seen) sleep_until_input(seen);
    }
}

// Returns true for the window's close request.
bool is_close(const std::string& key) {
    return key.size() == 2 && char_code(key, 1) == 255 && text_mid(key, 2, -1) == "k";
}

// Draws the reaction to a key, as the game draws a disc: the disc, its column number and a text.
void react(const std::string& key, int32_t count) {
    const int32_t column = 1 + count % 7;
    const uint32_t colour = count % 2 ? 0xFFFF00 : 0xFF4400;
    draw_circle(float(80 * column), 40, 20, colour, 0, 0, FULL_TURN, -1, 4);
    locate(30, 1);
    print_text("Mijn zet " + key, 0);
}

} // namespace

// Runs the measurement chosen by SCREEN_BENCH_MODE.
void program_main() {
    const char* mode_value = std::getenv("SCREEN_BENCH_MODE");
    const std::string mode = mode_value ? mode_value : "idle";
    open_screen(640, 480, 32, 1, 0, 0);
    draw_board_picture();
    std::printf("ready\n");
    std::fflush(stdout);
    for (int32_t count = 0;; ++count) {
        const std::string key = wait_for_input();
        if (is_close(key) || key == "\x1b") break;
        if (mode == "latency" && !key.empty()) react(key, count);
    }
    end_program(0);
}
