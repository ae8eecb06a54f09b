// dpi_sdl.cpp -- the desktop's scale on X, read from the resources the desktop sets (Xft.dpi).
//
// A file of its own: Xlib's headers name a type Screen, as the game's screen facility does.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/sdl/sdl.h"
#include "platform/window_scale.h"

int32_t desktop_dpi(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    return dpi_of_resources(XResourceManagerString(info.info.x11.display));
}
