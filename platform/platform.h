// platform.h -- the seam between the portable game and the machine it runs on.
//
// Everything that touches an operating system, a window system or a sound device is declared
// here and defined under platform/, never in game/, rules/, data/ or screen/. Each program links
// exactly one platform, picked at link time:
//
//   platform_sdl       the real window on Linux: sdl/ (window, input, tones, clock), posix/ (files)
//   platform_win32     the real window on Windows: win32/ (all of it, files included)
//   platform_web       the browser page: web/ (canvas, events, Web Audio, the game on the page's
//                      one thread through Asyncify) with posix/ on the in-memory file system
//   platform_headless  the tests' double: headless/ (no window, scripted input, recorded tones,
//                      virtual clock) with the files of the machine it runs on (posix/ or win32/)
//
// A window platform defines every vid_, in_, snd_ and sys_ procedure; an operating system's
// files define every file_ procedure; the linker reports any that is missing. The real windows
// (SDL, Win32) keep the process's first thread for the window and run the game on a second one,
// the game thread; what they share for that is window_thread.h. "Game thread" below means the
// thread that runs program_main(); "window thread" the one that services the window. The page
// has one thread for both: its event handlers run while the game waits.
#pragma once

#include <cstdint>
#include <string>

#include "screen/screen.h"

// --- The window (vid_) ---

// Creates the window with a client area of width x height and that title, and returns 0 once it
// shows the frame, or an error number. Called once by open_screen on the game thread, no lock held.
int32_t vid_open_window(int32_t width, int32_t height, const std::string& title);

// Tells the window that frame rows changed, so it shows them without waiting for its next pass.
// Called by every drawing operation on the game thread with the screen lock held; never blocks.
void vid_frame_changed();

// Returns the program file's name without folder or extension ("viertal"), the window's title.
// Called once by open_screen on the game thread, no lock held.
std::string vid_program_name();

// --- Input (in_) ---

// Blocks until screen.input_serial differs from `seen` (a key, a button, focus or the pointer
// changed). Called by sleep_until_input on the game thread, no lock held.
void in_sleep_until_input(uint64_t seen);

// --- Sound (snd_) ---

// Plays a tone of that pitch (Hz) and returns once its duration (ms, at least 1) has passed,
// with or without a sound device. Called by tone on the game thread, no lock held.
void snd_tone(int32_t frequency, int32_t duration);

// --- The screen reader (acc_) ---
// Where a screen reader can be reached (the page), the game's words for it; the desktop windows
// do nothing with them (acc_null.cpp). Called by the facility's announce, name_cell and
// offer_choices on the game thread, no lock held.

// Hands a text to the screen reader, said once after what was handed before.
void acc_announce(const char* text);

// Names the board cell of column 1..7 at height 1..6 (1 at the bottom).
void acc_name_cell(int32_t column, int32_t height, const char* name);

// Offers the choices of the current wait in place of those before (count 0: none); their names
// last only for the call. A choice made
// by a click presses the left button on its pixel, and lets go once the game withdraws the offer,
// that is, once the game has taken the input.
void acc_offer_choices(const Choice* choices, int32_t count);

// --- Time and the process (sys_) ---

// Returns seconds since a fixed start, from a high-resolution clock (virtual in the tests).
// Called by timer_seconds and the platform itself, any thread, no lock held.
double sys_seconds();

// Sleeps the game thread for that many milliseconds (virtual in the tests); 0 or less returns.
// Called by pause on the game thread, no lock held.
void sys_sleep(int32_t milliseconds);

// Ends the process with that exit code, closing the window; never returns (in the tests it ends
// only the game thread). Called by end_program on the game thread, no lock held.
[[noreturn]] void sys_end_program(int32_t code);

// --- Files (file_) ---
// Descriptors are plain numbers, -1 for none. A file that comes from a directory anyone may write
// is not trusted: opening never blocks on a pipe and never follows a link to create a file.

// Returns the name of the file `name` in the directory that the variable "temp" names: on
// Linux "temp", else "TEMP", else "TMPDIR", else "/tmp", then "/" and the name; on Windows the
// value of "temp" found in any case, then "\" and the name. Formed afresh at every call.
// Called by the picture file (data/) on the game thread.
std::string file_in_temp(const std::string& name);

// Opens a file for reading bytes; returns its descriptor or -1. Called by load_bmp, and by
// picture_file_exists, which closes it again at once.
int32_t file_open_read(const std::string& path);

// Returns the size of an open regular file in bytes, or -1 for anything else (a directory, a
// pipe). Called by load_bmp.
int64_t file_size(int32_t file);

// Reads up to `count` bytes from `position` on; returns how many, 0 at the end, -1 on failure.
// Called by load_bmp.
int64_t file_read_at(int32_t file, int64_t position, void* bytes, int64_t count);

// Closes a descriptor from file_open_read. Called by load_bmp and picture_file_exists.
void file_close(int32_t file);

// Starts writing a new file that will get the name `path` only when it is ended whole: until
// then nothing stands under that name, and a program killed meanwhile leaves no cut-off file
// behind. Returns its descriptor, or -1. One new file at a time. Called by extract_picture.
int32_t file_begin_new(const std::string& path);

// Appends bytes to the new file; false when the write failed (a full disk, a size limit).
// Called by the picture text's decoder.
bool file_write(int32_t file, const void* bytes, int64_t count);

// Finishes the new file: with `keep` it is flushed to the disk and only then named (replacing
// whatever stood under the name, never following a link there), and true is returned once the
// name stands; without `keep`, or when any step fails, it is removed and false returned.
// Called by extract_picture.
bool file_end_new(int32_t file, bool keep);

// --- The facility's side: called by a window thread (or the headless test) with the screen
// lock held; defined in screen/ ---

void queue_key_locked(int32_t code);                  // drops the oldest key when 15 are waiting
void set_mouse_position_locked(int32_t x, int32_t y); // frame pixels
void set_mouse_button_locked(int32_t bit, bool down); // bit 0..4
void add_mouse_wheel_locked(int32_t steps);           // +1 a notch away from the player
void set_window_active_locked(bool active);
void set_pointer_inside_locked(bool inside);
void mark_all_rows_changed_locked(); // e.g. after an expose: copy everything again
void reset_screen_locked();          // the frame as open_screen leaves it, no input: headless only
// Makes choice `index` of the latest offer (acc_offer_choices' order) as a screen reader's button
// does: true when its input was given now; false when there is no such choice or a click for the
// last one is still held, or when the game is busy, which makes it once the choice is offered again.
bool make_offered_choice_locked(int32_t index);
