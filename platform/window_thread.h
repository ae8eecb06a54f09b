// window_thread.h -- what the real-window platforms (SDL, Win32) share: the game thread, the
// hand-over of the window between it and the window thread, the end request, and the program's
// name. Used only by platform/sdl and platform/win32; the headless platform has no window thread.
//
// The window thread (the process's first) starts the game thread, waits for the game's request
// for a window, creates it, announces it open, and services it until the game asks for the end.
// vid_open_window, vid_program_name, sys_sleep and in_sleep_until_input are defined here for both.
#pragma once

#include <cstdint>
#include <string>

// What the game asked for in open_screen.
struct WindowRequest {
    int32_t width, height; // client area
    std::string title;
};

// Keeps argv[0] for vid_program_name; `separators` are the characters that end a folder name.
void set_program_file(const char* argv0, const char* separators);

// Runs program_main() on a thread of its own; a program that returns ends like end_program(0).
void start_game_thread();

// Blocks the window thread until the game asks for the window; true with the request, or false
// with the exit code when the game ended before asking.
bool wait_for_window_request(WindowRequest& request, int32_t& end_code);

// Lets the game thread, waiting in vid_open_window, go on.
void announce_window_open();

// Records the game's end request. Returns true when the window is open: the platform must then
// wake its window thread, which ends the process.
bool request_end(int32_t code);

// Tells the window thread whether the game asked for the end, and with which code.
bool end_requested(int32_t& code);
