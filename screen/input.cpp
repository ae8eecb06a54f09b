// input.cpp -- the key queue and mouse state filled by the window thread, and the game's
// reading, pausing, timing, tone and end operations.
//
// Lock fairness: std::mutex gives no turn to a waiting thread, so a game loop that polls
// read_mouse or read_key with no pause between polls (the button-release wait) could keep
// taking the screen lock back before the window thread ever gets it, and never see the
// release. Each poll therefore counts the polls since the game last slept; from the
// TIGHT_POLLS-th on, a poll leaves the lock free for POLL_BACKOFF before it returns, so the
// window thread always gets its turn. Only a real sleep (pause of 1 ms or more, a tone, a
// sleep_until_input that blocked) restarts the count, so ordinary polling (read_key, read_mouse,
// pause(3)) never reaches the limit and stays as cheap as a lock and an unlock.
#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "screen/screen_core.h"

namespace {

constexpr int32_t TIGHT_POLLS = 16;                   // polls without a sleep before backing off
constexpr std::chrono::microseconds POLL_BACKOFF{50}; // lock left free per tight poll
thread_local int32_t polls_since_sleep = 0;           // the calling thread's current run of polls

// Counts one poll and, in a tight polling loop, lets other threads take the screen lock.
// Called after the poll released the lock.
void after_poll() {
    if (++polls_since_sleep >= TIGHT_POLLS) std::this_thread::sleep_for(POLL_BACKOFF);
}

// Records that the game thread really slept or blocked, so its next polls count from zero.
void slept() {
    polls_since_sleep = 0;
}

// Counts an input event and wakes every sleeper waiting for one. Screen lock held.
void bump_serial_locked() {
    ++screen.input_serial;
    screen.input_changed.notify_all();
}

} // namespace

// --- Called by the window thread (or the headless test) with the screen lock held ---

// Queues one key code; with 15 keys waiting the oldest is dropped first.
void queue_key_locked(int32_t code) {
    const int32_t next = (screen.key_write + 1) % KEY_SLOTS;
    if (next == screen.key_read) screen.key_read = (screen.key_read + 1) % KEY_SLOTS;
    screen.keys[screen.key_write] = code;
    screen.key_write = next;
    screen.key_arrived = true;
    bump_serial_locked();
}

// Stores the pointer position in frame pixels.
void set_mouse_position_locked(int32_t x, int32_t y) {
    screen.mouse_x = x;
    screen.mouse_y = y;
}

// Sets or clears one button bit (0 left, 1 right, 2 middle, 3 and 4 extra).
void set_mouse_button_locked(int32_t bit, bool down) {
    if (bit < 0 || bit > 4) return;
    const int32_t buttons = down ? (screen.mouse_buttons | 1 << bit) : (screen.mouse_buttons & ~(1 << bit));
    if (buttons == screen.mouse_buttons) return;
    screen.mouse_buttons = buttons;
    bump_serial_locked();
}

// Adds wheel steps: +1 away from the user, -1 towards.
void add_mouse_wheel_locked(int32_t steps) {
    screen.mouse_wheel += steps;
}

// Records whether the window has the focus.
void set_window_active_locked(bool active) {
    if (active == screen.window_active) return;
    screen.window_active = active;
    bump_serial_locked();
}

// Records whether the pointer is inside the client area.
void set_pointer_inside_locked(bool inside) {
    if (inside == screen.pointer_inside) return;
    screen.pointer_inside = inside;
    bump_serial_locked();
}

// Resets the key queue and the mouse state to empty and idle (headless tests only).
void reset_input_locked() {
    screen.key_read = screen.key_write = 0;
    screen.key_arrived = false;
    screen.mouse_x = screen.mouse_y = 0;
    screen.mouse_wheel = 0;
    screen.mouse_buttons = 0;
    screen.window_active = false;
    screen.pointer_inside = false;
    screen.input_serial = 0;
}

// --- Called by the game thread ---

// Takes the oldest key: one byte below 256, else byte 255 and the code's second byte; the
// empty text when no key waits. Never waits.
std::string read_key() {
    std::string text;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        screen.key_arrived = false;
        if (screen.key_read != screen.key_write) {
            const int32_t code = screen.keys[screen.key_read];
            screen.key_read = (screen.key_read + 1) % KEY_SLOTS;
            if (code >= 256)
                text = {char(0xFF), char((code >> 8) & 0xFF)};
            else
                text = std::string(1, char(code & 0xFF));
        }
    }
    after_poll();
    return text;
}

// Stores the mouse state and 0 and returns 0 while the window is active and the pointer inside;
// otherwise stores -1 into all five outputs and returns 1.
int32_t read_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons, int32_t& confinement) {
    bool valid = false;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        valid = screen.window_active && screen.pointer_inside;
        x = valid ? screen.mouse_x : -1;
        y = valid ? screen.mouse_y : -1;
        wheel = valid ? screen.mouse_wheel : -1;
        buttons = valid ? screen.mouse_buttons : -1;
        confinement = valid ? 0 : -1;
    }
    after_poll();
    return set_error(valid ? ERROR_NONE : ERROR_BAD_ARGUMENT);
}

// Sleeps; from 100 ms on, checks every 50 ms whether a key arrived (clearing the flag) and
// returns early if so, then sleeps the last 1 to 50 ms unchecked. The key stays queued.
void pause(int32_t milliseconds) {
    if (milliseconds <= 0) return; // no sleep: pause(0) in a loop is still a tight loop
    slept();
    int32_t remaining = milliseconds;
    if (remaining >= 100) {
        while (remaining > 50) {
            bool arrived = false;
            {
                std::lock_guard<std::mutex> hold(screen.lock);
                arrived = screen.key_arrived;
                screen.key_arrived = false;
            }
            if (arrived) return;
            sys_sleep(50);
            remaining -= 50;
        }
    }
    sys_sleep(remaining);
}

// Returns seconds since a fixed start, from the platform's high-resolution clock.
double timer_seconds() {
    return sys_seconds();
}

// Plays a tone and returns when it has ended. Frequencies outside 37..32767 Hz or a negative
// duration play nothing (error 1); a duration of 0 returns at once.
void tone(int32_t frequency, int32_t duration) {
    if (frequency < 37 || frequency > 32767 || duration < 0) {
        set_error(ERROR_BAD_ARGUMENT);
        return;
    }
    set_error(ERROR_NONE);
    if (duration == 0) return;
    slept();
    snd_tone(frequency, duration);
}

// Ends the process with that exit code; the window closes with it.
void end_program(int32_t code) {
    sys_end_program(code);
}

// Returns the input serial: it grows with every key and every button, focus or inside change.
uint64_t input_serial() {
    uint64_t serial = 0;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        serial = screen.input_serial;
    }
    after_poll();
    return serial;
}

// Sleeps until the input serial differs from `seen` (at once if it already does; that counts
// as a poll, not a sleep).
void sleep_until_input(uint64_t seen) {
    bool differs = false;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        differs = screen.input_serial != seen;
    }
    if (differs) {
        after_poll();
        return;
    }
    in_sleep_until_input(seen);
    slept();
}
