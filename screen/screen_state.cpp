// screen_state.cpp -- the one Screen record and the error number.
#include "screen/screen_state.h"

Screen& screen = *new Screen();

// Stores the error number for last_error() and returns it. Lock-free, so it serves callers that
// hold the screen lock and callers that do not.
int32_t set_error(int32_t number) {
    screen.last_error.store(number, std::memory_order_relaxed);
    return number;
}

int32_t last_error() {
    return screen.last_error.load(std::memory_order_relaxed);
}
