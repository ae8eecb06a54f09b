// platform.h -- the seam between the portable screen core and its platform backend.
//
// Exactly one backend is linked into each program: sdl_platform.cpp (the real window, sound and
// clock) or headless_platform.cpp (tests: no window, scripted input, recorded tones, virtual
// clock). Both define every platform_ procedure below; the core defines the *_locked helpers that
// a backend calls from its window thread.
#pragma once

#include <cstdint>
#include <string>

// --- Implemented by the backend, called by the core on the game thread ---

// Creates the window (client area width x height, given title) and starts servicing it.
// Returns 0, or an error number. Called by open_screen, without the screen lock.
int32_t platform_open_window(int32_t width, int32_t height, const std::string& title);

// Sleeps the game thread for that many milliseconds (virtual in tests). No lock held.
void platform_sleep(int32_t milliseconds);

// Seconds since a fixed start, from a high-resolution clock (virtual in tests).
double platform_seconds();

// Plays a tone and returns when it has ended (recorded in tests). No lock held.
void platform_tone(int32_t frequency, int32_t duration);

// Ends the process with that exit code, closing the window. Never returns.
[[noreturn]] void platform_end_program(int32_t code);

// Blocks until screen.input_serial differs from `seen`. Called without the screen lock.
void platform_sleep_until_input(uint64_t seen);

// Tells the window thread that rows changed, so it can show them without waiting for its next
// pass. Called with the screen lock held; must not block.
void platform_frame_changed();

// The program file's name without folder or extension ("viertal"); used as the window title.
std::string platform_program_name();

// --- Implemented by the core, called by a backend's window thread with the screen lock held ---

void queue_key_locked(int32_t code); // drops the oldest key when 15 are waiting
void set_mouse_position_locked(int32_t x, int32_t y);
void set_mouse_button_locked(int32_t bit, bool down); // bit 0..4
void add_mouse_wheel_locked(int32_t steps);
void set_window_active_locked(bool active);
void set_pointer_inside_locked(bool inside);
void mark_all_rows_changed_locked(); // e.g. after an expose: copy everything again
