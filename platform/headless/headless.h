// headless.h -- the test side of the headless platform: run a program on a game thread without a
// window, feed it keys and mouse states, read its frame and the tones it played.
//
// Time is virtual: pauses and tones advance a clock instead of sleeping, so a whole game runs in
// milliseconds. The test thread plays the window thread's part: it queues input under the same
// screen lock. The usual rhythm:
//
//     headless_start();                    // fresh Screen, clock at 0, nothing recorded
//     headless_run(program_main);          // game thread starts
//     ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);   // blocked waiting for input
//     headless_type("3");
//     ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
//     ... read screen.frame, headless_tones() ...
//     headless_key(27);
//     ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended); EXPECT_EQ(headless_exit_code(), 0);
//     headless_finish();                   // joins the game thread (ends it if it still runs)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen/screen.h"

enum class HeadlessStatus {
    waiting, // the game thread sleeps until input and nothing scheduled is left
    ended,   // the program called end_program
};

struct HeadlessTone {
    int32_t frequency; // Hz
    int32_t duration;  // ms
    double start_ms;   // virtual time the tone began
};

// Resets the Screen, the virtual clock, the schedule and the records. No game thread may run.
void headless_start();

// Starts `program` on the game thread.
void headless_run(void (*program)());

// Blocks until the game thread next waits for input with nothing scheduled, or has ended.
// Scheduled input is applied as the virtual clock passes its time, and the clock jumps ahead to
// the next scheduled item when the game waits for input. A waiting game stays parked until this
// is called again, so all input given in between (now or scheduled) is in place before it moves.
HeadlessStatus headless_wait_idle();

// Ends a game thread that still runs and joins it. Safe to call when none runs.
void headless_finish();

int32_t headless_exit_code(); // the code passed to end_program, -1 before

// Input now, as the window thread queues it (under the screen lock).
void headless_key(int32_t code);                            // one key code (< 256, or extended e.g. CLOSE_KEY)
void headless_type(const std::string& text);                // one key per byte
void headless_mouse(int32_t x, int32_t y, int32_t buttons); // window active, pointer inside
void headless_mouse_away();                                 // pointer outside the window

// Input at a virtual time (ms since headless_start), e.g. during a 500 ms pause.
void headless_key_at(double at_ms, int32_t code);
void headless_mouse_at(double at_ms, int32_t x, int32_t y, int32_t buttons);

double headless_now_ms();                   // the virtual clock
std::vector<HeadlessTone> headless_tones(); // every tone so far, in order
void headless_clear_tones();

// What a screen reader would be told (announce, name_cell, offer_choices).
std::vector<std::string> headless_said(); // every text announced so far, in order
void headless_clear_said();
std::string headless_cell_name(int32_t column, int32_t height); // "" before the game named it
std::vector<std::string> headless_choices();                    // the names of the choices offered now
std::vector<std::string> headless_touch_keys();                 // those of them that are touch keys too
// Makes the offered choice of that name as a page's control does: its key queued, or the left
// button pressed on its pixel and let go once the game withdraws the offer. False when no choice
// of that name is offered.
bool headless_choose(const std::string& name);

// Frame inspection (take no lock; call while the game waits or has ended).
uint32_t headless_pixel(int32_t x, int32_t y);                             // the full 0xAARRGGBB value
uint32_t headless_rgb(int32_t x, int32_t y);                               // low 24 bits only
std::string headless_text_at(int32_t row, int32_t column, int32_t length); // glyphs read back from the frame
bool headless_write_frame(const std::string& path);                        // BMP, or PNG when ImageMagick converts it
