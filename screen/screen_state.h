// screen_state.h -- the one process-wide Screen: frame, text grid, input, error number.
//
// Shared by the game thread (every operation of screen.h) and the platform's window thread (its
// copy of the changed rows and its input handling, platform/platform.h). Every field between
// `lock` and `last_error` is read or written only with `lock` held (that is the screen lock),
// but for what the game thread alone keeps, which says so.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "screen/screen.h"

constexpr int32_t KEY_SLOTS = 16; // a ring of 16 slots holds at most 15 keys

// What makes a choice: a click on a frame pixel, or a key (then x and y are unused).
struct ChoiceInput {
    int32_t x, y, key;
    bool operator==(const ChoiceInput&) const = default;
};
constexpr int32_t MOST_CHOICES = 8; // a wait offers at most the seven columns and one more

struct Screen {
    std::mutex lock;                       // the screen lock
    std::condition_variable input_changed; // notified whenever input_serial grows

    // --- Frame and text layer (written by the game thread's drawing operations) ---
    bool opened;                               // open_screen succeeded
    uint32_t frame[FRAME_HEIGHT][FRAME_WIDTH]; // 0xAARRGGBB; the window shows the low 24 bits
    bool row_changed[FRAME_HEIGHT];            // rows written since the window's last copy
    bool frame_changed;                        // any row_changed set
    int32_t cursor_row;                        // 1..rows
    int32_t cursor_column;                     // 1..columns
    uint32_t foreground;                       // glyph pixels; 0xFFFFFFFF after open_screen
    uint32_t background;                       // non-glyph pixels; 0xFF000000 after open_screen
    int32_t columns, rows;                     // text grid: 80 x 60 after open_screen
    int32_t cell_width, cell_height;           // 8 x 8 after open_screen, 8 x 16 at 80 x 30
    std::string title;                         // window title: the program file's name

    // --- Input (filled by the window thread, drained by the game thread) ---
    int32_t keys[KEY_SLOTS];  // key codes: < 256 one byte; >= 256 extended, low byte 255
    int32_t key_read;         // 0..15, next slot to read; empty when equal to key_write
    int32_t key_write;        // 0..15, next slot to fill
    bool key_arrived;         // set by every queued key; cleared by read_key and pause's checks
    int32_t mouse_x, mouse_y; // client pixels of the last pointer movement, 0..639 / 0..479
    int32_t mouse_wheel;      // running count: +1 away from the user, -1 towards
    int32_t mouse_buttons;    // bit 0 left, 1 right, 2 middle, 3 and 4 the extra buttons
    bool window_active;       // the window has the focus
    bool pointer_inside;      // the pointer is inside the client area
    uint64_t input_serial;    // grows with every key, button, focus or inside change

    // --- What a screen reader was told (the game thread only, no lock) ---
    std::string last_announcement; // the text announce handed over last, as handed

    // --- The inputs of the choices offered, which a screen reader's buttons make (screen lock) ---
    ChoiceInput offered[MOST_CHOICES]; // the current wait's, the buttons' order; kept while busy
    int32_t offered_count;             // 0 while the game is busy (the offer withdrawn)
    int32_t shown_count;               // the buttons: the choices of the latest offer
    bool choice_held;                  // a choice's click holds the left button down
    bool choice_pending;               // a button was pressed while the game was busy:
    ChoiceInput pending_choice;        // its choice is made once offered again

    // --- Results (no lock: set by callers that hold the screen lock and by callers that do not) ---
    std::atomic<int32_t> last_error; // error number of the latest failing or succeeding operation
};

// Never destroyed: when Xlib ends the process because the X server went away, exit() must not
// destroy the lock or the condition variable that a parked game thread still holds or waits on.
extern Screen& screen;

// Hands each run of frame rows written since the window's last copy to copy(first, count), marks
// them copied and returns true when there was any. For the platforms' window code; screen lock held.
template <typename Copy>
bool take_changed_rows_locked(Copy copy) {
    if (!screen.frame_changed) return false;
    bool taken = false;
    for (int32_t y = 0; y < FRAME_HEIGHT;) {
        if (!screen.row_changed[y]) {
            ++y;
            continue;
        }
        const int32_t first = y;
        while (y < FRAME_HEIGHT && screen.row_changed[y]) screen.row_changed[y++] = false;
        copy(first, y - first);
        taken = true;
    }
    screen.frame_changed = false;
    return taken;
}
