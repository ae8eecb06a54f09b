// sdl_x11.cpp -- X server times of the events SDL passes through as window-system messages.
//
// Kept apart from the screen core's headers: Xlib's own `Screen` type would clash with ours.
#include <SDL.h>
#include <SDL_syswm.h>

#include "screen/sdl_internal.h"

// Returns the X server time (ms) of a key press or release, or the time a window manager gave a
// client message such as its close request; 0 for other events and other window systems.
uint32_t window_system_time(const SDL_Event& event) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg->subsystem != SDL_SYSWM_X11) return 0;
    const XEvent& x = event.syswm.msg->msg.x11.event;
    if (x.type == KeyPress || x.type == KeyRelease) return static_cast<uint32_t>(x.xkey.time);
    if (x.type == ClientMessage && x.xclient.format == 32) return static_cast<uint32_t>(x.xclient.data.l[1]);
#else
    (void)event;
#endif
    return 0;
}
