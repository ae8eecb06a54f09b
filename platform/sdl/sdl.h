// sdl.h -- what the SDL platform's files share: event handling and sound upkeep.
//
// Private to platform/sdl (vid_sdl.cpp, in_sdl.cpp, snd_sdl.cpp, dpi_sdl.cpp).
#pragma once

#include <SDL.h>

// What the window thread must do after a batch of input events, beyond the input state itself.
struct InputActions {
    bool toggle_full_screen; // Alt+Enter was pressed
};

// Turns one keyboard, mouse or window event into key codes and mouse state. Called by the
// window thread with the screen lock held.
void handle_input_event_locked(const SDL_Event& event, SDL_Renderer* renderer, InputActions& actions);

// Closes the sound device once no tone has played for a while, so an idle program runs no
// audio thread. Called by the window thread on each pass; never blocks on a playing tone.
void close_idle_audio(double now);

// Returns sys_seconds() when close_idle_audio will close the open sound device, or 0 when
// none is open: the one moment a quiet window thread has to wake for.
double audio_close_due();

// Wakes the window thread, so that it looks again at the frame and at when to wake next.
// Called from the game thread; never blocks.
void wake_window();

// Waits until the queued tone samples have played, so the end of the program does not cut the
// last tone short. Called by the window thread while the game thread is parked.
void drain_audio();

// Returns the density the desktop asks for: on X, its resource Xft.dpi (192 on a desktop scaled
// to 200 %), which X itself leaves to the programs; 0 elsewhere or where none is set. Called by
// the window thread once, for the window's start size.
int32_t desktop_dpi(SDL_Window* window);
