// screen.h -- the screen facility: the window's frame and text grid, drawing, BMP loading, input,
// pauses, the clock, random numbers, tones and the end of the program.
//
// Plain procedures on the one process-wide Screen (screen_state.h); there is no handle. Every
// operation is called from the game's own thread (the game thread). Failures only set the error
// number that last_error() returns; nothing is shown or logged. Whatever touches the machine goes
// through the platform seam (platform/platform.h), which each program picks at link time.
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

// Colours are 0xAARRGGBB; the window shows the low 24 bits. The frame as open_screen leaves it:
constexpr uint32_t OPEN_BACKGROUND = 0xFF000000; // the frame and the text background
constexpr uint32_t OPEN_FOREGROUND = 0xFFFFFFFF; // the text

// print_text's line ends.
constexpr int32_t STAY_ON_LINE = 0; // the cursor stays behind the text
constexpr int32_t NEW_LINE = 1;     // the cursor moves to column 1 of the next row

// set_color's flags.
constexpr int32_t KEEP_FOREGROUND = 1;
constexpr int32_t KEEP_BACKGROUND = 2;

// draw_circle's fills, and the end angle of a closed circle (2 pi as a float).
constexpr int32_t OUTLINE = 0;
constexpr int32_t SOLID = -1; // any value but 0
constexpr float FULL_TURN = 6.2831859f;

// draw_line's modes, and its pattern for an unbroken line.
constexpr int32_t LINE = 0;
constexpr int32_t BOX = 1;
constexpr int32_t FILLED_BOX = 2;
constexpr int32_t SOLID_STYLE = 0xFFFF;

// The drawing flags: coordinates are frame pixels. The only kind there is; kept for the calls.
constexpr int32_t ABSOLUTE_COORDINATES = 4;

// The window's close request, as the key queue holds it: byte 255, then "k".
constexpr int32_t CLOSE_KEY = 0x6BFF;

// --- Graphics screen ---

// Opens the 640 x 480 window, black, with an 80 x 60 grid of 8 x 8 cells; 0, or 1 for another
// size or depth. Called once by the game driver at start-up (a second call clears the frame).
int32_t open_screen(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t pages, int32_t flags,
                    int32_t refresh);
// Sets the text grid (8 x 16 cells only), clears the frame and homes the cursor; returns the
// previous grid as columns + 65536 x rows. Called by the game driver at start-up.
int32_t set_text_grid(int32_t columns, int32_t rows);
// Moves the text cursor (0 keeps that coordinate; off the grid nothing moves, error 1). Called by
// the game driver before every text and disc, and by the board display.
void locate(int32_t row, int32_t column);
// Returns the text cursor's row, 1-based. Called by the board display for a hole's centre.
int32_t cursor_row();
// Returns the text cursor's column, 1-based. Called by the board display for a hole's centre.
int32_t cursor_column();
// Prints each byte as an opaque cell at the cursor, wrapping and scrolling; then STAY_ON_LINE
// or NEW_LINE. Called by the game driver and the board display for every text.
void print_text(const std::string& text, int32_t line_end);
// Prints a blank (0 and above) or "-", then the digits, on the line. Called by the game driver
// for the computer's column.
void print_number(int32_t value);
// Sets the text colours; KEEP_FOREGROUND and KEEP_BACKGROUND leave one as it is. Called by the
// game driver for the start question.
void set_color(uint32_t foreground, uint32_t background, int32_t flags);
// Draws a circle OUTLINE or a SOLID disc (or an arc or a slice between two angles); aspect 0 is
// a true circle. Clipped to the frame. Called by the board display for rings, fillers and discs.
void draw_circle(float x, float y, float radius, uint32_t colour, float aspect, float start_angle, float end_angle,
                 int32_t fill, int32_t flags);
// Draws a LINE, a BOX or a FILLED_BOX between two corners, both included, in either order.
// Called by the board display for the frame bars, and by the game driver to blank the frame.
void draw_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t mode, int32_t style, int32_t flags);
// Sets one pixel to exactly that value; off the frame nothing. Called by the game driver for the
// banner.
void set_pixel(float x, float y, uint32_t colour, int32_t flags);
// Draws a 24- or 32-bit BMP file with its top-left pixel on (0, 0); returns 0, 2 (cannot be
// opened, frame unchanged) or 3 (unreadable, or cut short: the complete rows stay drawn).
// Called by the picture file's display at every game.
int32_t load_bmp(const std::string& path);

// --- Input, timing and tones ---

// Takes the oldest key: "" when none waits, one byte, or byte 255 and a key byte. Never waits.
// Called by the game's input waits.
std::string read_key();
// Stores x, y, wheel, buttons and 0 and returns 0 while the window is active and the pointer over
// the frame; otherwise stores -1 into all five and returns 1. Called by the game's input waits.
int32_t read_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons, int32_t& confinement);
// Sleeps; from 100 ms on, returns within 50 ms once a key arrives (the key stays queued). Called
// by the game's input waits (3 ms) and after every disc (500 ms).
void pause(int32_t milliseconds);
// Returns seconds since a fixed start. Called by the game driver once, to seed random numbers.
double timer_seconds();
// Restarts the random sequence from the seed (generator 0 is the only one). Called by the game
// driver once at start-up.
void seed_random(double seed, int32_t generator);
// Returns the next random number in [0, 1). Called by the computer's choice of its opening.
double random_number(double argument = 1.0);
// Plays a tone (37..32767 Hz) and returns when it has ended. Called by the game's tone cues.
void tone(int32_t frequency, int32_t duration);
// Ends the program with that exit code; the window closes. The game's only way out.
[[noreturn]] void end_program(int32_t code);
// Returns the error number of the latest operation that set one. Called by the game driver
// after the picture's test and its display.
int32_t last_error();
// Records an error number for last_error and returns it: `return set_error(ERROR_CANNOT_OPEN);`.
// Called by the facility and by the picture file's operations (data/).
int32_t set_error(int32_t number);
// Compares byte by byte, unsigned; 0 when equal. Called by the game on keys and the disc mark.
int32_t text_compare(const std::string& a, const std::string& b);
// Returns up to count bytes from the 1-based position (count -1: to the end). Called by the game
// on keys.
std::string text_mid(const std::string& s, int32_t position, int32_t count);
// Returns the byte at the 1-based position as 0..255; 0 outside the text. Called by the game on
// keys.
int32_t char_code(const std::string& s, int32_t position);

// --- Sleeping instead of spinning ---
// The game's input waits poll; these let a poll that found nothing sleep until something can
// have changed, so a waiting game costs no CPU.

// Returns a count that grows with every queued key and every change of the mouse buttons, the
// window's focus or the pointer's being inside. Called by the game's input waits.
uint64_t input_serial();
// Returns once input_serial() differs from `seen` (at once if it already does). Called by the
// game's input waits.
void sleep_until_input(uint64_t seen);

// --- What a screen reader is told ---
// The frame is pixels only; these hand a screen reader the game's words for what it shows, the
// board to review and the choices of the current wait. Where no screen reader can be reached
// (the desktop windows today) they do nothing.

// One choice of the game's current wait, made by a click on a frame pixel or by a key.
struct Choice {
    const char* name; // what the choice says: "ja", "Rij 3"
    int32_t x, y;     // the frame pixel a click on which makes the choice, when key is 0
    int32_t key;      // the key code that makes it, or 0 for the click
    bool touch_key;   // its place on the frame is too small for a finger: a touch key beside it too
};

// Hands a text to the screen reader, to be said once, after whatever was handed before. A text
// equal to the one just before gets a word more: screen readers say a repeated text only once.
// Called by the game at every text it shows and at every move.
void announce(const char* text);
// Names the board cell of column 1..7 at height 1..6 (1 at the bottom), for review at any time.
// Called by the game at every game's set-up and for every disc.
void name_cell(int32_t column, int32_t height, const char* name);
// Offers the choices the game takes at its current wait, in place of those offered before; a
// count of 0 withdraws them. Called by the game before and after each wait for input.
void offer_choices(const Choice* choices, int32_t count);

// --- The program ---

// Defined by the program (the game, or a demo); the platform runs it on the game thread.
void program_main();
