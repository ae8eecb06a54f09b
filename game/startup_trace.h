// startup_trace.h -- an optional trace point for measuring how fast the first start screen shows.
//
// Off unless the environment variable VIERTAL_TRACE_STARTUP is set and not empty. Then the first
// start screen prints one line on stderr,
//     viertal: start screen shown at monotonic 1234.567890 s (game thread from 1234.512345 s)
// with CLOCK_MONOTONIC times, so that a launcher that noted the same clock just before it started
// the process gets the whole start-up time, and the part spent before the game's own code ran.
#pragma once

// Notes the time the game's code starts. Called first thing by the game driver's start-up.
void trace_game_start();

// The first time it is called (when tracing): waits, at most 1 s, until the window has taken over
// every changed row of the frame, then prints the line. Does nothing otherwise.
// Called by the game driver right after draw_board at every set-up.
void trace_start_screen();
