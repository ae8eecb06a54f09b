// snd_win32.cpp -- tones through the system's Beep, held for their whole duration.
//
// Beep plays the tone through the sound card and returns when it has ended. Where it returns
// early (no sound device, a pitch it refuses, or an emulation that only rings the bell) the game
// thread still waits out the rest, because the game's rhythm counts on every tone taking its time.
#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"

void snd_tone(int32_t frequency, int32_t duration) {
    if (duration <= 0) return;
    const double end = sys_seconds() + duration / 1000.0;
    if (frequency >= 37 && frequency <= 32767) Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(duration));
    for (double now = sys_seconds(); now < end; now = sys_seconds())
        std::this_thread::sleep_for(std::chrono::duration<double>(end - now));
}
