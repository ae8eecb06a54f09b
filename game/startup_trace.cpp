// startup_trace.cpp -- the start-up trace point for the benchmark (off unless asked for).
#include "game/startup_trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

#include "screen/screen_state.h"

namespace {

bool traced = false;   // the first start screen has been traced (or tracing is off)
double game_start = 0; // CLOCK_MONOTONIC seconds when the game's code started

// Returns CLOCK_MONOTONIC in seconds.
double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Tells whether tracing was asked for.
bool tracing() {
    const char* wanted = std::getenv("VIERTAL_TRACE_STARTUP");
    return wanted != nullptr && wanted[0] != '\0';
}

// Tells whether the window thread still has rows of the frame to copy.
bool frame_waits_for_window() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return screen.frame_changed;
}

} // namespace

void trace_game_start() {
    game_start = monotonic_seconds();
}

void trace_start_screen() {
    if (traced) return;
    traced = true;
    if (!tracing()) return;
    for (int32_t waited = 0; waited < 1000 && frame_waits_for_window(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::fprintf(stderr, "viertal: start screen shown at monotonic %.6f s (game thread from %.6f s)\n",
                 monotonic_seconds(), game_start);
}
