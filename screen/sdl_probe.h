// sdl_probe.h -- timing probes of the SDL window, for the demo program and the benchmarks.
//
// Lets a program measure how long a key takes to show its effect: the window thread stamps each
// key it queues, and counts the frame changes that each presentation covers.
#pragma once

#include <cstdint>

// Platform_seconds() when the window thread took the newest queued key from the window system.
double sdl_probe_key_received();

// The number of frame changes signalled so far; call it after drawing a reaction.
uint64_t sdl_probe_frame_changes();

// Blocks until a presentation shows the frame with at least `changes` changes, and returns
// platform_seconds() just after that presentation.
double sdl_probe_wait_presented(uint64_t changes);

// The number of presentations so far (each costs a full copy to the window).
uint64_t sdl_probe_presentations();
