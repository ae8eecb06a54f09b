// screen_demo.cpp -- a small program of the screen facility for the real-window tests.
//
// SCREEN_DEMO_MODE selects what it does:
//   input (default)  opens the window, draws a box, discs, text and corner pixels, prints
//                    "ready" once they are drawn, then
//                    prints every key and every changed mouse state it reads ("key 51",
//                    "key 255 72", "mouse RESULT X Y WHEEL BUTTONS"); the close request ends
//                    it with exit code SCREEN_DEMO_EXIT (default 0).
//   early            ends with exit code SCREEN_DEMO_EXIT before opening any window.
//   return           opens the window and returns from program_main.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "screen/screen.h"
#include "screen/screen_state.h"

namespace {

// Returns the environment variable's value, or `fallback` when it is unset.
std::string env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

// Prints one line of the demo's log at once, so the test sees it while the demo runs.
void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Draws a picture with something in every corner, so that a shift or a scale shows.
void draw_scene() {
    set_text_grid(80, 30);
    draw_line(630, 470, 600, 440, 0x00C000, 2, 0xFFFF, 0);
    draw_circle(320, 240, 38, 0xFFFF00, 0, 0, 6.2831859f, -1, 4);
    draw_circle(0, 0, 30, 0x4080FF, 0, 0, 6.2831859f, 0, 4);
    locate(2, 3);
    print_text("Wil je beginnen?", 1);
    set_pixel(639, 0, 0xFFFFFF, 4);
    set_pixel(0, 479, 0x123456, 4);
}

// Returns the log line of a key text.
std::string key_line(const std::string& key) {
    std::string line = "key";
    for (unsigned char c : key) line += " " + std::to_string(c);
    return line;
}

// Reads keys and the mouse as the game does (poll, pause 3 ms, sleep until input) and logs
// them; returns when the close request was read.
void log_input() {
    std::string last_mouse;
    for (;;) {
        const uint64_t seen = input_serial();
        const std::string key = read_key();
        int32_t x = 0, y = 0, wheel = 0, buttons = 0, confinement = 0;
        const int32_t result = read_mouse(x, y, wheel, buttons, confinement);
        const std::string mouse = "mouse " + std::to_string(result) + " " + std::to_string(x) + " " +
                                  std::to_string(y) + " " + std::to_string(wheel) + " " + std::to_string(buttons);
        if (mouse != last_mouse) say(mouse);
        last_mouse = mouse;
        if (!key.empty()) say(key_line(key));
        if (key.size() == 2 && char_code(key, 1) == 255 && text_mid(key, 2, -1) == "k") return;
        if (key.empty()) {
            pause(3);
            if (input_serial() == seen) sleep_until_input(seen);
        }
    }
}

} // namespace

// Runs the mode chosen by SCREEN_DEMO_MODE.
void program_main() {
    const std::string mode = env("SCREEN_DEMO_MODE", "input");
    const int32_t exit_code = std::atoi(env("SCREEN_DEMO_EXIT", "0").c_str());
    if (mode == "early") end_program(exit_code);
    if (open_screen(640, 480, 32, 1, 0, 0) != 0) {
        say("open_screen failed");
        end_program(2);
    }
    if (mode == "return") return;
    draw_scene();
    say("ready");
    log_input();
    say("end " + std::to_string(exit_code));
    end_program(exit_code);
}
