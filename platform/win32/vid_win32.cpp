// vid_win32.cpp -- the Windows window: start-up, the game thread, the message loop, the clock,
// the end.
//
// Windows delivers a window's messages to the thread that created it, so main() keeps the
// process's first thread for the window and runs program_main() on a second thread (the game
// thread), as on the other platforms. The window thread sleeps in GetMessage until a message
// arrives; the game wakes it with a posted message when rows of the frame changed or the program
// is to end. It copies the changed rows into its own picture of the frame under the screen lock
// and paints that on WM_PAINT, scaled by a whole number with black bars around it.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/win32.h"
#include "platform/window_thread.h"
#include "screen/screen_state.h"

namespace {

constexpr UINT WAKE_MESSAGE = WM_APP + 1;      // the frame changed, or the program is to end
constexpr UINT HOLD_SIZE_MESSAGE = WM_APP + 2; // the window was asked to be smaller than the frame
constexpr int ICON_RESOURCE = 1;               // the game's icon in the program's resources
const wchar_t WINDOW_CLASS[] = L"ViertalFrame";

LARGE_INTEGER clock_start, clock_frequency;
std::atomic<HWND> window{nullptr};        // set once by the window thread
bool wake_pending = false;                // a wake message is posted and not yet taken; screen lock
uint32_t (*shown)[FRAME_WIDTH] = nullptr; // what the window paints: FRAME_HEIGHT rows; window thread
WINDOWPLACEMENT windowed;                 // where the window was before full screen
bool full_screen = false;

// Ends the process with the code. The window goes with it.
[[noreturn]] void finish(int32_t code) {
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

// Ends the process if the game asked for it.
void finish_if_requested() {
    int32_t code = 0;
    if (end_requested(code)) finish(code);
}

// Copies every changed frame row into the window's picture and asks for the band they cover to
// be painted.
void copy_changed_rows() {
    int32_t first = FRAME_HEIGHT, last = -1;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        wake_pending = false;
        if (!screen.frame_changed) return;
        for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
            if (!screen.row_changed[y]) continue;
            screen.row_changed[y] = false;
            std::copy(screen.frame[y], screen.frame[y] + FRAME_WIDTH, shown[y]);
            first = std::min(first, y);
            last = y;
        }
        screen.frame_changed = false;
    }
    if (last < 0) return;
    RECT client;
    GetClientRect(window, &client);
    const FramePlacement place = place_frame(client.right, client.bottom);
    const RECT band = {place.left, place.top + first * place.scale, place.left + FRAME_WIDTH * place.scale,
                       place.top + (last + 1) * place.scale};
    InvalidateRect(window, &band, FALSE);
}

// Paints the frame at its whole-number scale and the black bars around it.
void paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const FramePlacement place = place_frame(client.right, client.bottom);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = FRAME_WIDTH;
    info.bmiHeader.biHeight = -FRAME_HEIGHT; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32; // 0xAARRGGBB in memory order B, G, R, A; the A byte is not shown
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    const int32_t width = FRAME_WIDTH * place.scale, height = FRAME_HEIGHT * place.scale;
    StretchDIBits(dc, place.left, place.top, width, height, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, shown, &info,
                  DIB_RGB_COLORS, SRCCOPY);
    ExcludeClipRect(dc, place.left, place.top, place.left + width, place.top + height);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &paint);
}

// Switches between the window and the whole screen (Alt+Enter).
void toggle_full_screen() {
    if (!full_screen) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        windowed.length = sizeof windowed;
        if (!GetWindowPlacement(window, &windowed) ||
            !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
            return;
        SetWindowLongPtrW(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
        const RECT& r = monitor.rcMonitor;
        SetWindowPos(window, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
    } else {
        SetWindowLongPtrW(window, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        SetWindowPlacement(window, &windowed);
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    }
    full_screen = !full_screen;
    InvalidateRect(window, nullptr, FALSE);
}

// The window procedure. Input messages are handled under the screen lock; everything that can
// send messages back to this procedure (full screen, capture, mouse tracking) runs after the
// lock is released, and no other message takes it.
LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WAKE_MESSAGE:
        finish_if_requested();
        copy_changed_rows();
        return 0;
    case WM_PAINT: paint(); return 0;
    case WM_ERASEBKGND: return 1; // WM_PAINT covers every pixel
    case WM_SIZE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_GETMINMAXINFO: {
        const SIZE least = outer_size(FRAME_WIDTH, FRAME_HEIGHT);
        reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {least.cx, least.cy};
        return 0;
    }
    case WM_WINDOWPOSCHANGING:
        if (hold_least_size(*reinterpret_cast<WINDOWPOS*>(lparam), full_screen || IsIconic(hwnd)))
            PostMessageW(hwnd, HOLD_SIZE_MESSAGE, 0, 0);
        break; // DefWindowProc keeps it within the largest size
    case HOLD_SIZE_MESSAGE: {
        RECT r;
        GetWindowRect(hwnd, &r);
        SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
        return 0;
    }
    default: break;
    }
    if (!is_input_message(message)) return DefWindowProcW(hwnd, message, wparam, lparam);
    LRESULT result = 0;
    InputAction action = InputAction::none;
    bool handled = false;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        handled = handle_input_message_locked(hwnd, message, wparam, lparam, result, action);
    }
    follow_mouse(hwnd, message, wparam);
    if (action == InputAction::toggle_full_screen) toggle_full_screen();
    return handled ? result : DefWindowProcW(hwnd, message, wparam, lparam);
}

// Returns the text as UTF-16; the bytes are taken as the system's code page.
std::wstring widen(const std::string& text) {
    const int32_t size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// The desktop less the taskbar; the size of a small screen if Windows cannot say.
RECT work_area() {
    RECT work = {0, 0, 1024, 768};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// The screen's density, in dots an inch.
int32_t screen_dpi() {
    HDC screen_dc = GetDC(nullptr);
    const int32_t dpi = GetDeviceCaps(screen_dc, LOGPIXELSX);
    ReleaseDC(nullptr, screen_dc);
    return dpi;
}

// Creates the window, centred in the work area, with the client area asked for (times the start
// scale). Returns false on failure.
bool create_window(const WindowRequest& request) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.style = CS_HREDRAW | CS_VREDRAW;
    type.lpfnWndProc = window_procedure;
    type.hInstance = instance;
    type.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(ICON_RESOURCE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    type.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ICON_RESOURCE), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.lpszClassName = WINDOW_CLASS;
    if (RegisterClassExW(&type) == 0) return false;
    const RECT place = start_window(work_area(), screen_dpi(), request.width, request.height);
    shown = new uint32_t[FRAME_HEIGHT][FRAME_WIDTH]();
    window = CreateWindowExW(0, WINDOW_CLASS, widen(request.title).c_str(), WS_OVERLAPPEDWINDOW, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance, nullptr);
    return window != nullptr;
}

// Shows the frame as open_screen left it, then lets the waiting game thread go on.
void show_first_frame() {
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        std::copy(&screen.frame[0][0], &screen.frame[0][0] + FRAME_WIDTH * FRAME_HEIGHT, &shown[0][0]);
        std::fill(screen.row_changed, screen.row_changed + FRAME_HEIGHT, false);
        screen.frame_changed = false;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    announce_window_open();
}

// Says why the window could not be opened, in a message box: a program without a console shows
// nothing of what it writes to stderr (it is written there too, for a console or a log).
void tell_no_window(DWORD error) {
    const std::string name = vid_program_name();
    char text[160];
    std::snprintf(text, sizeof text, "%s: kan geen venster openen (fout %lu)", name.c_str(), error);
    std::fprintf(stderr, "%s\n", text);
    MessageBoxW(nullptr, widen(text).c_str(), widen(name).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace

// Runs the program on the game thread and services its window on this one.
int main(int argc, char** argv) {
    QueryPerformanceFrequency(&clock_frequency);
    QueryPerformanceCounter(&clock_start);
    set_program_file(argc > 0 ? argv[0] : nullptr, "/\\");
    // The window is drawn in real pixels and enlarged by whole numbers only, never blurred by
    // the system's own scaling.
    SetProcessDPIAware();
    start_game_thread();
    WindowRequest request;
    int32_t code = 0;
    if (!wait_for_window_request(request, code)) finish(code);
    if (!create_window(request)) {
        tell_no_window(GetLastError());
        finish(1);
    }
    show_first_frame();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    finish(0);
}

// Seconds since start-up from the performance counter.
double sys_seconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - clock_start.QuadPart) / static_cast<double>(clock_frequency.QuadPart);
}

// Hands the exit code to the window thread and wakes it; it ends the process while the game
// thread parks.
void sys_end_program(int32_t code) {
    if (request_end(code)) PostMessageW(window.load(), WAKE_MESSAGE, 0, 0);
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// Wakes the window thread so the change shows at once; one wake message at a time is enough.
void vid_frame_changed() {
    const HWND target = window.load();
    if (target == nullptr || wake_pending) return;
    wake_pending = PostMessageW(target, WAKE_MESSAGE, 0, 0) != 0;
}
