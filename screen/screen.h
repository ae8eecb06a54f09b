// screen.h -- the screen facility: window frame, text grid, drawing, BMP loading, input,
// pauses, clock, random numbers, tones and the end of the program.
//
// Plain procedures on the one process-wide Screen (screen_state.h); there is no handle. Every
// operation is called from the game's own thread. Failures only set the error number that
// last_error() returns. The platform (SDL2 window or headless test double) is chosen at link time.
#pragma once

#include <cstdint>
#include <string>

// Error numbers of last_error().
constexpr int32_t ERROR_NONE = 0;
constexpr int32_t ERROR_BAD_ARGUMENT = 1; // an operation called wrongly
constexpr int32_t ERROR_CANNOT_OPEN = 2;  // a file that cannot be opened
constexpr int32_t ERROR_BAD_FILE = 3;     // a file that cannot be read or written as expected

constexpr int32_t FRAME_WIDTH = 640;
constexpr int32_t FRAME_HEIGHT = 480;

// The window's close request, as the key queue holds it: byte 255, then "k".
constexpr int32_t CLOSE_KEY = 0x6BFF;

// --- Graphics screen ---

int32_t open_screen(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t pages, int32_t flags,
                    int32_t refresh);
int32_t set_text_grid(int32_t columns, int32_t rows);
void locate(int32_t row, int32_t column);
int32_t cursor_row();
int32_t cursor_column();
void print_text(const std::string& text, int32_t line_end);
void print_number(int32_t value);
void set_color(uint32_t foreground, uint32_t background, int32_t flags);
void draw_circle(float x, float y, float radius, uint32_t colour, float aspect, float start_angle, float end_angle,
                 int32_t fill, int32_t flags);
void draw_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t mode, int32_t style, int32_t flags);
void set_pixel(float x, float y, uint32_t colour, int32_t flags);
int32_t load_bmp(const std::string& path);

// --- Input, timing and tones ---

std::string read_key();
int32_t read_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons, int32_t& confinement);
void pause(int32_t milliseconds);
double timer_seconds();
void seed_random(double seed, int32_t generator);
double random_number(double argument = 1.0);
void tone(int32_t frequency, int32_t duration);
[[noreturn]] void end_program(int32_t code);
int32_t last_error();
int32_t text_compare(const std::string& a, const std::string& b);
std::string text_mid(const std::string& s, int32_t position, int32_t count);
int32_t char_code(const std::string& s, int32_t position);

// --- Sleeping instead of spinning ---
// The game's input waits poll; these let a poll that found nothing sleep until something can
// have changed, so a waiting game costs no CPU. input_serial() counts every queued key and every
// change of the mouse buttons, window focus or pointer-inside state; sleep_until_input(seen)
// returns once it differs from `seen` (at once if it already does).
uint64_t input_serial();
void sleep_until_input(uint64_t seen);

// --- The program ---
// Defined by the program (the game, or a demo); the backend runs it on the game thread.
void program_main();
