// realclock_test.cpp -- pause on a real clock: a minimal platform that really sleeps, and a
// second thread queuing keys as the window thread would. Lower bounds are exact; upper bounds
// are generous, guarding against a pause that ignores keys, not measuring speed.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "screen/platform.h"
#include "screen/screen_state.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// --- A platform with a real clock and no window ---
int32_t platform_open_window(int32_t, int32_t, const std::string&) {
    return 0;
}
void platform_sleep(int32_t ms) {
    std::this_thread::sleep_for(milliseconds(ms));
}
double platform_seconds() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}
void platform_tone(int32_t, int32_t duration) {
    platform_sleep(duration);
}
[[noreturn]] void platform_end_program(int32_t code) {
    std::exit(code);
}
void platform_sleep_until_input(uint64_t seen) {
    std::unique_lock<std::mutex> hold(screen.lock);
    screen.input_changed.wait(hold, [&] { return screen.input_serial != seen; });
}
void platform_frame_changed() {}
std::string platform_program_name() {
    return "realclock";
}

namespace {

// Returns the milliseconds that pause(ms) took while a key arrives after key_after_ms (none if < 0).
int64_t timed_pause(int32_t ms, int32_t key_after_ms) {
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        screen.key_read = screen.key_write = 0;
        screen.key_arrived = false;
    }
    std::future<void> window;
    if (key_after_ms >= 0)
        window = std::async(std::launch::async, [key_after_ms] {
            std::this_thread::sleep_for(milliseconds(key_after_ms));
            std::lock_guard<std::mutex> hold(screen.lock);
            queue_key_locked('x');
        });
    const auto start = Clock::now();
    pause(ms);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    if (window.valid()) window.wait();
    return took;
}

TEST(RealClockPause, WithoutKeysSleepsTheWholeTime) {
    const int64_t took = timed_pause(500, -1);
    EXPECT_GE(took, 500);
    EXPECT_LT(took, 5000);
}

TEST(RealClockPause, AKeyEndsALongPauseEarly) {
    const int64_t took = timed_pause(2000, 100);
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 1500); // within 50 ms of the key on an idle machine
    EXPECT_EQ(read_key(), "x");
}

TEST(RealClockPause, AShortPauseIsNeverCutShort) {
    EXPECT_GE(timed_pause(99, 10), 99);
}

TEST(RealClockSleepUntilInput, WakesWhenAKeyIsQueued) {
    const uint64_t seen = input_serial();
    auto window = std::async(std::launch::async, [] {
        std::this_thread::sleep_for(milliseconds(50));
        std::lock_guard<std::mutex> hold(screen.lock);
        queue_key_locked('y');
    });
    const auto start = Clock::now();
    sleep_until_input(seen);
    EXPECT_GE(Clock::now() - start, milliseconds(40));
    window.wait();
    EXPECT_NE(input_serial(), seen);
}

} // namespace
