// screen_state.cpp -- the one Screen record and the error number helper.
#include "screen/screen_state.h"

#include <atomic>

Screen screen;

// Stores the error number for last_error() and returns it. Lock-free (an atomic store), so it
// serves callers that hold the screen lock and callers that do not.
int32_t set_error(int32_t number) {
    std::atomic_ref<int32_t>(screen.last_error).store(number, std::memory_order_relaxed);
    return number;
}

// Returns the error number of the latest operation that set one.
int32_t last_error() {
    return std::atomic_ref<int32_t>(screen.last_error).load(std::memory_order_relaxed);
}
