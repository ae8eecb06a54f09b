// win32.h -- what the Win32 platform's files share: the window's geometry and its input.
//
// Private to platform/win32 (vid_win32.cpp, in_win32.cpp, size_win32.cpp), and to the Windows-only checks
// (tests/windows), which drive the message handling without a window.
#pragma once

#include <windows.h>

#include <cstdint>

// Where the frame lies in the client area: whole-number scale, centred, black bars around it.
struct FramePlacement {
    int32_t scale; // 1 or more
    int32_t left;  // client x of frame pixel 0
    int32_t top;   // client y of frame pixel 0
};

// Returns the placement of the frame in a client area of that size.
FramePlacement place_frame(int32_t client_width, int32_t client_height);

// Returns the outer window size for a client area of that size, with the window's frame.
SIZE outer_size(int32_t client_width, int32_t client_height);

// Returns where the window starts in the work area, for a client area of that size at the
// screen's whole-number scale (window_scale.h) for its dots an inch.
RECT start_window(const RECT& work, int32_t dpi, int32_t client_width, int32_t client_height);

// Keeps a new size of the window at least the frame's client area at 1 x plus the window's frame;
// returns true when it was asked for less. Not when `free_size` (full screen, minimised).
bool hold_least_size(WINDOWPOS& position, bool free_size);

// What the window procedure must do after an input message, beyond the input state itself.
enum class InputAction { none, toggle_full_screen };

// Returns true for the messages that may be input: Windows' keyboard and mouse ranges, the
// pointer's leaving, focus and the close request. Only these take the screen lock.
bool is_input_message(UINT message);

// Turns a keyboard, mouse, focus or close message into key codes and mouse state. Returns true
// when the message was the window's to handle (the caller then returns `result`), false when it
// goes on to DefWindowProc. Called by the window thread with the screen lock held; it calls
// nothing that sends a message back to the window, which would take the lock a second time.
bool handle_input_message_locked(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                                 InputAction& action);

// Follows the mouse after an input message, without the screen lock (these calls send messages
// to the window): asks once per visit to be told when the pointer leaves, and holds the mouse
// while a button is down, so that its release outside the window still arrives.
void follow_mouse(HWND window, UINT message, WPARAM wparam);
