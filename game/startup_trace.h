// startup_trace.h -- an optional trace point for measuring how fast the first start screen shows.
#pragma once

// The first time it is called, and only when the environment variable VIERTAL_TRACE_STARTUP is
// set and not empty: waits (at most 1 s) until the window has taken over every changed row of
// the frame, then prints one line on stderr,
//     viertal: start screen shown at monotonic 1234.567890 s
// with the CLOCK_MONOTONIC time, so that a launcher that noted the same clock just before it
// started the process gets the whole start-up time. Does nothing otherwise.
// Called by the game driver right after draw_board at every set-up.
void trace_start_screen();
