// snd_sdl.cpp -- tones through SDL audio: a sine wave with short ramps, timed by the wall clock.
//
// The sound device is opened at the first tone and closed again after a few quiet seconds, so
// a program that plays nothing runs no audio thread. Without a sound device a tone still blocks
// for its duration, as the game's rhythm expects.
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include <SDL.h>

#include "platform/platform.h"
#include "platform/sdl/sdl.h"

namespace {

constexpr int32_t SAMPLE_RATE = 22050;    // samples per second
constexpr double AMPLITUDE = 0.3 * 32767; // peak sample value, well below clipping
constexpr double RAMP_SECONDS = 0.004;    // fade-in and fade-out, so the tone starts and stops without a click
constexpr double QUIET_SECONDS = 3.0;     // idle time after which the device is closed
constexpr double DRAIN_SECONDS = 0.5;     // longest wait for queued samples at the end
constexpr double PI = 3.14159265358979323846;

// The sound device; the game thread opens it, the window thread closes it when idle. Never freed.
struct Sound {
    std::mutex lock;
    bool subsystem_tried = false; // SDL's audio subsystem was started (or failed to)
    bool subsystem_ok = false;
    SDL_AudioDeviceID device = 0; // 0 when closed
    double busy_until = 0;        // sys_seconds() when the latest tone ends
};
Sound& sound = *new Sound;

// Opens the sound device if it is closed; leaves it closed when there is none. Lock held.
void open_device_locked() {
    if (!sound.subsystem_tried) {
        sound.subsystem_tried = true;
        sound.subsystem_ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    if (!sound.subsystem_ok || sound.device != 0) return;
    SDL_AudioSpec want = {};
    want.freq = SAMPLE_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 512;
    SDL_AudioSpec have = {};
    sound.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (sound.device != 0) SDL_PauseAudioDevice(sound.device, 0);
}

// Returns the samples of a tone: a sine starting at phase 0, faded in and out.
std::vector<int16_t> tone_samples(int32_t frequency, int32_t duration) {
    const int64_t count = static_cast<int64_t>(duration) * SAMPLE_RATE / 1000;
    const double ramp = RAMP_SECONDS * SAMPLE_RATE; // samples
    std::vector<int16_t> samples(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const double edge = static_cast<double>(std::min(i, count - 1 - i)); // samples to the nearer end
        const double fade = edge >= ramp ? 1.0 : 0.5 - 0.5 * std::cos(PI * edge / ramp);
        const double wave = std::sin(2.0 * PI * frequency * static_cast<double>(i) / SAMPLE_RATE);
        samples[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(AMPLITUDE * fade * wave));
    }
    return samples;
}

} // namespace

// Plays the tone and returns once its duration has passed by the wall clock. Pitches outside
// what the sample rate can carry play silence for the duration.
void snd_tone(int32_t frequency, int32_t duration) {
    if (duration <= 0) return;
    const double start = sys_seconds();
    const double end = start + duration / 1000.0;
    {
        std::lock_guard<std::mutex> hold(sound.lock);
        open_device_locked();
        sound.busy_until = end;
        if (sound.device != 0 && frequency >= 20 && frequency < SAMPLE_RATE / 2) {
            const std::vector<int16_t> samples = tone_samples(frequency, duration);
            SDL_QueueAudio(sound.device, samples.data(), static_cast<uint32_t>(samples.size() * sizeof(int16_t)));
        }
    }
    wake_window(); // it sleeps until the device's closing is due, and that just moved
    for (double now = sys_seconds(); now < end; now = sys_seconds())
        std::this_thread::sleep_for(std::chrono::duration<double>(end - now));
}

double audio_close_due() {
    std::lock_guard<std::mutex> hold(sound.lock);
    return sound.device == 0 ? 0 : sound.busy_until + QUIET_SECONDS;
}

// Lets queued samples play out (at most DRAIN_SECONDS), so a tone just before the end of the
// program is heard whole.
void drain_audio() {
    std::lock_guard<std::mutex> hold(sound.lock);
    if (sound.device == 0) return;
    const double give_up = sys_seconds() + DRAIN_SECONDS;
    while (SDL_GetQueuedAudioSize(sound.device) != 0 && sys_seconds() < give_up) SDL_Delay(5);
    SDL_Delay(30); // the device's own buffer of 512 samples
}

// Closes the device after QUIET_SECONDS without a tone; skips the check while a tone is queued.
void close_idle_audio(double now) {
    std::unique_lock<std::mutex> hold(sound.lock, std::try_to_lock);
    if (!hold.owns_lock() || sound.device == 0) return;
    if (now < sound.busy_until + QUIET_SECONDS || SDL_GetQueuedAudioSize(sound.device) != 0) return;
    SDL_CloseAudioDevice(sound.device);
    sound.device = 0;
}
