// vid_sdl.cpp -- the SDL2 window: start-up, the game thread, the window pass, the clock, the end.
//
// SDL wants its window and events on the thread that started video, so main() keeps the
// process's first thread for the window and runs program_main() on a second thread (the game
// thread). The window thread sleeps until an event arrives, the game signals a frame change, or
// the pass period has passed (10 ms while busy; once quiet there is no period); each pass turns
// events into keys and mouse state and copies the changed frame rows into a streaming texture
// under the screen lock, then presents the texture when anything changed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "platform/sdl/window_icon.h"
#include "platform/window_scale.h"
#include "platform/window_thread.h"
#include "screen/screen_state.h"

namespace {

constexpr double PASS_SECONDS = 0.010; // the window pass period while busy
constexpr double BUSY_SECONDS = 0.250; // busy this long after the latest event or change
constexpr int32_t EVENT_BATCH = 64;    // events handled per taking of the screen lock

const uint64_t clock_start = SDL_GetPerformanceCounter();
std::atomic<bool> window_open{false};  // the window thread services a window
std::atomic<bool> wake_pending{false}; // a wake event is queued and not yet taken
uint32_t wake_event = 0;               // SDL user event: frame changed, or the end

SDL_Window* window = nullptr;     // window thread only
SDL_Renderer* renderer = nullptr; // window thread only
SDL_Texture* texture = nullptr;   // window thread only: what the window shows of the frame

// Returns true when the environment variable is set and not empty.
bool named(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Sets the hints that keep SDL on the cheap software path and leave closing to the game.
void set_hints() {
    // Only drivers that show a window on a real display: SDL would otherwise fall back to its
    // invisible offscreen driver. SDL_VIDEODRIVER in the environment still overrides this.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, named("WAYLAND_DISPLAY") ? "x11,wayland,kmsdrm" : "x11,kmsdrm");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
}

// Keeps SDL from starting a session bus of its own. SDL's start asks libdbus for the session
// bus, and where none runs libdbus on X11 launches one (dbus-launch) that writes into HOME and
// outlives the game. A desktop that has a session bus names it, or keeps it at
// $XDG_RUNTIME_DIR/bus; only without either is the address set to one that connects nowhere.
void keep_off_session_bus() {
    if (named("DBUS_SESSION_BUS_ADDRESS")) return;
    struct stat bus {};
    if (named("XDG_RUNTIME_DIR") && stat((std::string(std::getenv("XDG_RUNTIME_DIR")) + "/bus").c_str(), &bus) == 0 &&
        S_ISSOCK(bus.st_mode))
        return;
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

// Starts SDL video. A display that is named but turns the connection away for a moment (a busy
// X server answers EAGAIN) gets further tries for about a second.
bool start_video() {
    const bool display_named = named("DISPLAY") || named("WAYLAND_DISPLAY");
    for (int32_t attempt = 1; SDL_Init(SDL_INIT_VIDEO) != 0; ++attempt) {
        if (!display_named || attempt == 20) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Ends the process with the code once the last tone has played. The window goes with the X
// connection when the process ends. It is not destroyed first: SDL 2.26 sends itself wake-up
// messages for that window on a second X connection, and one still on its way when the window
// is destroyed comes back as a BadWindow error at SDL_Quit, which Xlib answers with exit(1).
[[noreturn]] void finish(int32_t code) {
    drain_audio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::fflush(nullptr);
    std::_Exit(code);
}

// Gives the window the game's icon, for the task bar and the window switcher.
void set_window_icon() {
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(window_icon_rgba), WINDOW_ICON_SIZE, WINDOW_ICON_SIZE,
                                           32, WINDOW_ICON_SIZE * 4, SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

// Gives the hidden window the size of the frame at the desktop's whole-number scale that fits
// the display's usable area, centred; the frame's pixels and the mouse scale with it.
void size_window(const WindowRequest& request) {
    SDL_Rect usable{0, 0, request.width, request.height};
    SDL_GetDisplayUsableBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &usable);
    const int32_t scale = start_scale(desktop_dpi(window), usable.w, usable.h, 0, 0);
    if (scale == 1) return;
    SDL_SetWindowSize(window, request.width * scale, request.height * scale);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

// Creates the window, its software renderer and the frame texture, and shows the window at its
// start size. Returns false on failure.
bool create_window(const WindowRequest& request) {
    window = SDL_CreateWindow(request.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, request.width,
                              request.height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!window) return false;
    SDL_SetWindowMinimumSize(window, FRAME_WIDTH, FRAME_HEIGHT);
    size_window(request);
    set_window_icon();
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) return false;
    SDL_RenderSetLogicalSize(renderer, FRAME_WIDTH, FRAME_HEIGHT);
    SDL_RenderSetIntegerScale(renderer, SDL_TRUE);
    // XRGB: the top byte of a frame pixel is never shown.
    texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, FRAME_WIDTH, FRAME_HEIGHT);
    if (!texture) return false;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    SDL_StartTextInput();
    SDL_ShowWindow(window);
    return true;
}

// Copies every run of changed frame rows into the texture. Returns true when any was copied.
// Screen lock held.
bool copy_changed_rows_locked() {
    return take_changed_rows_locked([](int32_t first, int32_t count) {
        const SDL_Rect rows = {0, first, FRAME_WIDTH, count};
        SDL_UpdateTexture(texture, &rows, screen.frame[first], FRAME_WIDTH * sizeof(uint32_t));
    });
}

// Shows the texture scaled into the window, black bars around it.
void present() {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

// Returns true for window events that need the picture drawn again.
bool needs_repaint(const SDL_Event& event) {
    if (event.type == SDL_RENDER_TARGETS_RESET || event.type == SDL_RENDER_DEVICE_RESET) return true;
    if (event.type != SDL_WINDOWEVENT) return false;
    switch (event.window.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: return true;
    default: return false;
    }
}

// Switches between the window and the full screen (Alt+Enter).
void toggle_full_screen() {
    const bool full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
    SDL_SetWindowFullscreen(window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Waits for the first event of a batch until the next pass is due, then takes what else is
// pending. SDL sleeps on the X connection meanwhile; a frame change wakes it with an event.
std::vector<SDL_Event>& next_batch(double next_pass) {
    static std::vector<SDL_Event> batch;
    batch.clear();
    const double wait = next_pass - sys_seconds();
    const int32_t wait_ms = std::isinf(wait) ? -1 : wait <= 0 ? 0 : static_cast<int32_t>(std::ceil(wait * 1000.0));
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, wait_ms)) {
        batch.push_back(event);
        while (static_cast<int32_t>(batch.size()) < EVENT_BATCH && SDL_PollEvent(&event)) batch.push_back(event);
    }
    for (const SDL_Event& e : batch)
        if (e.type == wake_event) wake_pending.store(false);
    return batch;
}

// Handles a batch under the screen lock: input events, then the changed rows. Returns true when
// rows were copied.
bool take_batch(const std::vector<SDL_Event>& batch, InputActions& actions) {
    std::lock_guard<std::mutex> hold(screen.lock);
    for (const SDL_Event& e : batch) {
        handle_input_event_locked(e, renderer, actions);
        if (e.type == SDL_RENDER_DEVICE_RESET || e.type == SDL_RENDER_TARGETS_RESET) mark_all_rows_changed_locked();
    }
    return copy_changed_rows_locked();
}

// Ends the process if the game asked for it.
void finish_if_requested() {
    int32_t code = 0;
    if (end_requested(code)) finish(code);
}

// Returns when the window thread must wake without an event: every pass period while the window
// is busy; once it is quiet, only when the sound device is due to be closed, else never.
double next_wake(double now, double last_activity) {
    if (now - last_activity < BUSY_SECONDS) return now + PASS_SECONDS;
    const double audio = audio_close_due();
    return audio > 0 ? std::max(audio, now + PASS_SECONDS) : INFINITY;
}

// Services the window until the game ends the program. Each pass takes the events that arrived,
// copies the changed rows and presents them; a pass with nothing to show presents nothing. Passes
// come every 10 ms while the window is busy; once it has been quiet for a while the thread
// sleeps until an event, a frame change or the closing of the idle sound device. Events and
// frame changes wake it at once either way.
[[noreturn]] void service_window() {
    double next_pass = sys_seconds() + PASS_SECONDS;
    double last_activity = sys_seconds();
    bool repaint = true;
    for (;;) {
        const std::vector<SDL_Event>& batch = next_batch(next_pass);
        InputActions actions = {};
        const bool copied = take_batch(batch, actions);
        for (const SDL_Event& e : batch) repaint = repaint || needs_repaint(e);
        finish_if_requested();
        if (actions.toggle_full_screen) toggle_full_screen();
        if (copied || repaint) present();
        repaint = false;
        const double now = sys_seconds();
        if (!batch.empty() || copied) last_activity = now;
        if (now >= next_pass) close_idle_audio(now);
        next_pass = next_wake(now, last_activity);
    }
}

// Shows the frame as open_screen left it, then lets the waiting game thread go on.
void show_first_frame() {
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        copy_changed_rows_locked();
    }
    present();
    window_open.store(true);
    announce_window_open();
}

} // namespace

// Starts SDL video, runs the program on the game thread and services its window.
int main(int argc, char** argv) {
    set_program_file(argc > 0 ? argv[0] : nullptr, "/");
    const std::string name = vid_program_name();
    set_hints();
    keep_off_session_bus();
    if (!start_video()) {
        std::fprintf(stderr, "%s: geen beeldscherm gevonden (is DISPLAY gezet?): %s\n", name.c_str(), SDL_GetError());
        return 1;
    }
    wake_event = SDL_RegisterEvents(1);
    start_game_thread();
    WindowRequest request;
    int32_t code = 0;
    if (!wait_for_window_request(request, code)) finish(code);
    if (!create_window(request)) {
        std::fprintf(stderr, "%s: kan geen venster openen (%s)\n", name.c_str(), SDL_GetError());
        finish(1);
    }
    show_first_frame();
    service_window();
}

// Seconds since start-up from SDL's high-resolution counter.
double sys_seconds() {
    return static_cast<double>(SDL_GetPerformanceCounter() - clock_start) /
           static_cast<double>(SDL_GetPerformanceFrequency());
}

// Hands the exit code to the window thread and wakes it; it ends the process at once while the
// game thread parks.
void sys_end_program(int32_t code) {
    if (request_end(code)) {
        SDL_Event event = {};
        event.type = wake_event;
        SDL_PushEvent(&event);
    }
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void wake_window() {
    if (!window_open.load(std::memory_order_relaxed) || wake_pending.exchange(true)) return;
    SDL_Event event = {};
    event.type = wake_event;
    if (SDL_PushEvent(&event) <= 0) wake_pending.store(false); // full queue: it is awake anyway
}

// Wakes the window thread so the change shows at once.
void vid_frame_changed() {
    wake_window();
}
