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

bool traced = false; // the first start screen has been traced (or tracing is off)

// Tells whether the window thread still has rows of the frame to copy.
bool frame_waits_for_window() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return screen.frame_changed;
}

} // namespace

void trace_start_screen() {
    if (traced) return;
    traced = true;
    const char* wanted = std::getenv("VIERTAL_TRACE_STARTUP");
    if (wanted == nullptr || wanted[0] == '\0') return;
    for (int32_t waited = 0; waited < 1000 && frame_waits_for_window(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "viertal: start screen shown at monotonic %lld.%06ld s\n",
                 static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
}
