// window_thread.cpp -- the game thread and the hand-over of the window, shared by the SDL and
// Win32 platforms.
#include "platform/window_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"
#include "screen/screen_state.h"

namespace {

enum class WindowState { none, requested, open };

// The hand-over between the game thread and the window thread. Allocated once and never freed:
// exit() must not destroy a condition variable that a parked thread still waits on.
struct Handover {
    std::mutex lock;
    std::condition_variable changed;
    WindowState state = WindowState::none;
    WindowRequest request = {FRAME_WIDTH, FRAME_HEIGHT, ""};
    bool end_requested = false;
    int32_t end_code = 0;
};
Handover& handover = *new Handover;

std::string program_file;            // argv[0]
std::string folder_separators = "/"; // what ends a folder name in it

// Runs the program; a program that returns ends like end_program(0).
void run_game() {
    program_main();
    sys_end_program(0);
}

// Returns the file name without folder and extension, or "viertal" when there is none.
std::string base_name(const std::string& path) {
    std::string name = path.substr(path.find_last_of(folder_separators) + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? "viertal" : name;
}

} // namespace

void set_program_file(const char* argv0, const char* separators) {
    program_file = argv0 != nullptr ? argv0 : "";
    folder_separators = separators;
}

void start_game_thread() {
    std::thread(run_game).detach();
}

bool wait_for_window_request(WindowRequest& request, int32_t& end_code) {
    std::unique_lock<std::mutex> hold(handover.lock);
    handover.changed.wait(hold, [] { return handover.state == WindowState::requested || handover.end_requested; });
    end_code = handover.end_code;
    request = handover.request;
    return !handover.end_requested;
}

void announce_window_open() {
    std::lock_guard<std::mutex> hold(handover.lock);
    handover.state = WindowState::open;
    handover.changed.notify_all();
}

bool request_end(int32_t code) {
    std::lock_guard<std::mutex> hold(handover.lock);
    handover.end_requested = true;
    handover.end_code = code;
    handover.changed.notify_all();
    return handover.state == WindowState::open;
}

bool end_requested(int32_t& code) {
    std::lock_guard<std::mutex> hold(handover.lock);
    code = handover.end_code;
    return handover.end_requested;
}

// Asks the window thread for the window and waits until it is there.
int32_t vid_open_window(int32_t width, int32_t height, const std::string& title) {
    std::unique_lock<std::mutex> hold(handover.lock);
    if (handover.state == WindowState::none) {
        handover.request = {width, height, title};
        handover.state = WindowState::requested;
        handover.changed.notify_all();
    }
    handover.changed.wait(hold, [] { return handover.state == WindowState::open; });
    return 0;
}

// Sleeps the game thread.
void sys_sleep(int32_t milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Waits until a key, button, focus or pointer change has arrived since `seen`.
void in_sleep_until_input(uint64_t seen) {
    std::unique_lock<std::mutex> hold(screen.lock);
    screen.input_changed.wait(hold, [seen] { return screen.input_serial != seen; });
}

// The program file's name without folder or extension.
std::string vid_program_name() {
    return base_name(program_file);
}
