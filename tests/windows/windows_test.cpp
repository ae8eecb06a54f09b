// windows_test.cpp -- the Windows-only code, run under Wine: the picture file's name from "temp"
// whatever its case, its writing into a folder (whole, replaced atomically, nothing left beside
// it, a folder name outside the ANSI code page, a writer killed half-way), window messages
// turned into the game's keys and mouse state, and the window's geometry.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/picture.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/win32/win32.h"
#include "screen/screen.h"
#include "screen/screen_state.h"

namespace {

namespace fs = std::filesystem;

int32_t failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++failures;
    }
}

// The name follows "temp" to the letter, whatever the case it is set in; unset or empty, the
// name stands in the root of the current drive.
void picture_names() {
    const std::string long_folder = "C:\\" + std::string(400, 'd');
    const struct {
        const char* variable;
        const char* value; // nullptr: unset
        std::string name;
    } table[] = {
        {"TEMP", "C:\\Temp", "C:\\Temp\\ZAQT.bmp"},
        {"temp", "D:\\spelen\\", "D:\\spelen\\\\ZAQT.bmp"},
        {"Temp", "x", "x\\ZAQT.bmp"},
        {"TEMP", long_folder.c_str(), long_folder + "\\ZAQT.bmp"},
        {"TEMP", "", "\\ZAQT.bmp"},
        {"TEMP", nullptr, "\\ZAQT.bmp"},
    };
    for (const auto& row : table) {
        SetEnvironmentVariableA(row.variable, row.value);
        expect(picture_file_name() == row.name,
               std::string(row.variable) + "=" + (row.value ? row.value : "(unset)") + " gave " + picture_file_name());
    }
}

// Returns the names in a folder.
std::vector<std::wstring> folder(const fs::path& path) {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// Returns a new folder in the temp directory, `name` followed by this process's id.
fs::path new_folder(const std::wstring& name) {
    const fs::path dir = fs::temp_directory_path() / (name + std::to_wstring(GetCurrentProcessId()));
    fs::create_directory(dir);
    return dir;
}

// The picture is written whole under its name and nothing else stays in the folder; a stale
// file under the name is replaced; a missing folder gets nothing and costs nothing. The same in
// a folder whose name the ANSI code page cannot spell (Cyrillic and Chinese on a Western
// Windows), where the picture is also shown.
void picture_writing() {
    const std::vector<std::wstring> only_picture = {L"ZAQT.bmp"};
    const struct {
        const wchar_t* name;
        const char* where;
    } folders[] = {
        {L"viertal-test-", " (a plain folder)"},
        {L"\u0412\u0440\u0435\u043c\u0435\u043d\u043d\u043e \u4e34\u65f6-", " (a Cyrillic and Chinese folder)"}};
    for (const auto& [name, where_text] : folders) {
        const fs::path dir = new_folder(name);
        const fs::path file = dir / L"ZAQT.bmp";
        const std::string where = where_text;
        SetEnvironmentVariableW(L"temp", dir.wstring().c_str());

        expect(!picture_file_exists() && last_error() == ERROR_BAD_ARGUMENT, "no picture yet, error 1" + where);
        expect(!file_end_new(-1, true), "a file never begun cannot be ended" + where);
        const int32_t begun = file_begin_new(picture_file_name());
        const bool refused = !file_end_new(begun + 1, true);
        expect(refused && file_write(begun, "BM", 2) && file_end_new(begun, true) && fs::exists(file) &&
                   fs::file_size(file) == 2,
               "ending another file must be refused and leave the begun one to its writer" + where);
        fs::remove(file);
        extract_picture();
        expect(picture_file_exists() && last_error() == ERROR_NONE, "the picture exists, error 0" + where);
        expect(fs::exists(file) && fs::file_size(file) == 921656 && folder(dir) == only_picture,
               "the folder must hold the whole picture and nothing else" + where);
        headless_start();
        open_screen(640, 480, 32, 1, 0, 0);
        show_picture();
        expect(last_error() == ERROR_NONE && headless_pixel(320, 240) != headless_pixel(0, 479),
               "the picture must be shown" + where);
        headless_finish();
        const int32_t read = file_open_read(picture_file_name());
        char bytes[4] = "xxx";
        expect(file_read_at(read, 1, bytes, 2) == 2 && std::string(bytes) == "M8x" && file_size(read) == 921656,
               "a read takes what is asked, from where it is asked" + where);
        file_close(read);
        std::ofstream(file, std::ios::binary) << "BM";
        extract_picture();
        expect(fs::file_size(file) == 921656 && folder(dir) == only_picture,
               "a stale picture must be replaced, nothing left beside it" + where);
        fs::remove_all(dir);
        extract_picture();
        expect(!fs::exists(dir), "a missing folder was made" + where);
    }
    SetEnvironmentVariableW(L"temp", nullptr);
}

// A device is no picture file. Descriptor 0 can be free (standard input closed), and a file
// begun there is a file like any other.
void descriptor_edges() {
    const int32_t device = file_open_read("NUL");
    expect(device >= 0 && file_size(device) == -1 && file_size(-1) == -1, "a device or a bad descriptor has a size");
    file_close(device);
    const fs::path dir = new_folder(L"viertal-descriptor-0-");
    SetEnvironmentVariableW(L"temp", dir.wstring().c_str());
    file_close(0);
    const int32_t file = file_begin_new(picture_file_name());
    expect(file == 0 && file_write(file, "BM", 2) && file_end_new(file, true) && fs::exists(dir / L"ZAQT.bmp"),
           "a file begun on descriptor 0 must be written (begun on " + std::to_string(file) + ")");
    fs::remove_all(dir);
    SetEnvironmentVariableW(L"temp", nullptr);
}

// Runs this program as a writer that is killed half-way (see main) in `dir`; returns its process
// id once it has ended.
DWORD run_killed_writer(const fs::path& dir) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --killed-writer \"" + dir.wstring() + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process)) return 0;
    WaitForSingleObject(process.hProcess, 10000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    expect(code == 9, "the killed writer ended with " + std::to_string(code));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return process.dwProcessId;
}

// The writer of a child: begins the picture, writes half of it, and is killed as Task Manager
// kills, with no file ended and nothing cleaned up.
[[noreturn]] void killed_writer(const wchar_t* dir) {
    SetEnvironmentVariableW(L"temp", dir);
    const int32_t file = file_begin_new(picture_file_name());
    static const std::vector<char> half(921656 / 2, 'x');
    const bool begun = file >= 0 && file_write(file, half.data(), int64_t(half.size())) &&
                       fs::directory_iterator(dir) != fs::directory_iterator();
    TerminateProcess(GetCurrentProcess(), begun ? 9 : 1);
    std::abort();
}

// A writer killed half-way leaves nothing. What a writer left that no longer runs (an older
// version's start, or one killed while the file was being named) goes at the next write, and
// nothing else does: not a running writer's file, not one of another file, not a name that only
// looks like one.
void killed_writing() {
    const fs::path dir = new_folder(L"viertal-killed-");
    const DWORD ended = run_killed_writer(dir);
    expect(ended != 0 && fs::is_empty(dir), "a killed writer left something behind");

    const std::wstring gone = std::to_wstring(ended), running = std::to_wstring(GetCurrentProcessId());
    const std::vector<std::wstring> kept = {
        L"ZAQT.bmp." + running + L".1.9f3a.part", // this very process runs
        L"ZAQT.bmp." + gone + L".1.part",         // not a scratch name (the unit tests have more)
        L"ZAQT.bmp",
        L"other.bmp." + gone + L".1.9f3a.part",
    };
    for (const auto& name : kept) std::ofstream(dir / name) << "left";
    std::ofstream(dir / (L"ZAQT.bmp." + gone + L".3.1a2b3c.part")) << "left by a killed start";
    std::ofstream(dir / (L"ZAQT.bmp." + gone + L".12.ffff.part")) << "and another";
    std::ofstream(dir / L"ZAQT.bmp.4000000000.1.ab.part") << "a process that never was";
    SetEnvironmentVariableW(L"temp", dir.wstring().c_str());
    extract_picture();
    std::vector<std::wstring> expected = kept;
    std::sort(expected.begin(), expected.end());
    expect(folder(dir) == expected && fs::file_size(dir / L"ZAQT.bmp") == 921656,
           "the next write must remove exactly the dead writers' scratch files");
    SetEnvironmentVariableW(L"temp", nullptr);
    fs::remove_all(dir);
}

// Sends one message to the input handler, as the window procedure does; returns whether the
// handler kept it from DefWindowProc.
HWND window = nullptr; // the window the messages are for; only its client size matters

bool send(UINT message, WPARAM wparam, LPARAM lparam, InputAction* action = nullptr) {
    LRESULT result = 0;
    InputAction taken = InputAction::none;
    std::lock_guard<std::mutex> hold(screen.lock);
    const bool handled = handle_input_message_locked(window, message, wparam, lparam, result, taken);
    if (action != nullptr) *action = taken;
    return handled;
}

// Returns every key waiting, as the game reads them.
std::vector<std::string> keys() {
    std::vector<std::string> out;
    for (std::string key = read_key(); !key.empty(); key = read_key()) out.push_back(key);
    return out;
}

constexpr LPARAM ALT = LPARAM(1) << 29; // the context bit: Alt is held
constexpr LPARAM ONCE = 1;              // repeat count 1
constexpr LPARAM SCAN_X = 0x2D << 16;   // the scan code of X

// Typed characters in code page 437 once per repetition, extended keys numbered as on the other
// platforms, nothing with Alt held or for F10, the window menu left to Windows, Alt+Enter, and
// the close request: the close key, except just after an Alt release (Alt+F4).
void window_messages() {
    headless_start();
    const struct {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        std::vector<std::string> keys; // what the game then reads
        bool kept = true;              // kept from DefWindowProc (F10 opens no menu, Alt+F4 closes nothing)
    } table[] = {
        {WM_CHAR, 'j', ONCE, {"j"}},
        {WM_CHAR, 27, ONCE, {"\x1b"}},
        {WM_CHAR, 0xE9, 3, {"\x82", "\x82", "\x82"}}, // é, three repetitions
        {WM_CHAR, 0x20AC, ONCE, {}},                  // €: not in the code page
        {WM_KEYDOWN, VK_SHIFT, ONCE, {}},             // held for the next key
        {WM_KEYDOWN, 'J', ONCE, {}},                  // its WM_CHAR brings it
        {WM_KEYUP, 'J', ONCE, {}, false},
        {WM_KEYDOWN, VK_LEFT, 2, {"\xffK", "\xffK"}}, // twice repeated
        {WM_KEYDOWN, VK_LEFT, 0, {"\xffK"}},          // no count: once
        {WM_SYSKEYDOWN, 'X', ONCE | ALT | SCAN_X, {}},
        {WM_SYSCHAR, 'x', ONCE | ALT, {}},
        {WM_SYSKEYDOWN, VK_F10, ONCE, {}},
        {WM_SYSKEYDOWN, VK_F4, ONCE | ALT, {}},
        {WM_KEYDOWN, VK_BROWSER_BACK, ONCE | 'k' << 16, {"\xff\xfe"}}, // its scan code, kept off "k"
        {WM_CLOSE, 0, 0, {"\xffk"}},
        {WM_SETTEXT, 0, 0, {}, false}, // not input
    };
    for (const auto& row : table) {
        const bool kept = send(row.message, row.wparam, row.lparam);
        expect(keys() == row.keys && kept == row.kept,
               "message " + std::to_string(row.message) + " key " + std::to_string(row.wparam));
    }
    // The keys that type nothing, numbered as on the other platforms.
    const std::pair<WPARAM, int32_t> extended[] = {
        {VK_HOME, 71},   {VK_UP, 72},   {VK_PRIOR, 73},    {VK_LEFT, 75},    {VK_CLEAR, 76},
        {VK_RIGHT, 77},  {VK_END, 79},  {VK_DOWN, 80},     {VK_NEXT, 81},    {VK_INSERT, 82},
        {VK_DELETE, 83}, {VK_F1, 59},   {VK_F9, 67},       {VK_F11, 133},    {VK_F12, 134},
        {VK_F13, 100},   {VK_F24, 111}, {VK_SNAPSHOT, 55}, {VK_PAUSE, 69},   {VK_APPS, 93},
        {VK_LWIN, 91},   {VK_RWIN, 92}, {VK_CAPITAL, 58},  {VK_NUMLOCK, 69}, {VK_SCROLL, 70}};
    for (const auto& [key, number] : extended) {
        send(WM_KEYDOWN, key, ONCE);
        const std::string text = {'\xff', static_cast<char>(number)};
        expect(keys() == std::vector<std::string>{text}, "extended key " + std::to_string(key));
    }
    expect(!send(WM_SYSCHAR, ' ', ONCE | ALT), "Alt+Space must open the window menu");
    // Only input takes the screen lock; the rest goes straight on to Windows.
    const std::pair<UINT, bool> inputs[] = {
        {WM_KEYFIRST, true},     {WM_KEYLAST, true},         {WM_MOUSEFIRST, true},     {WM_MOUSELAST, true},
        {WM_MOUSELEAVE, true},   {WM_ACTIVATE, true},        {WM_CLOSE, true},          {WM_KEYFIRST - 1, false},
        {WM_KEYLAST + 1, false}, {WM_MOUSEFIRST - 1, false}, {WM_MOUSELAST + 1, false}, {WM_PAINT, false}};
    for (const auto& [message, input] : inputs)
        expect(is_input_message(message) == input, "message " + std::to_string(message) + " taken as input or not");
    InputAction action = InputAction::none;
    expect(send(WM_SYSKEYDOWN, VK_RETURN, ONCE | ALT, &action) && action == InputAction::toggle_full_screen,
           "Alt+Enter must switch full screen");
    send(WM_SYSKEYDOWN, VK_RETURN, ONCE | ALT | LPARAM(1) << 30, &action);
    expect(action == InputAction::none, "a held Alt+Enter must switch only once");
    send(WM_SYSKEYUP, VK_MENU, ONCE | LPARAM(3) << 30);
    send(WM_CLOSE, 0, 0);
    expect(keys().empty(), "a close request right after an Alt release is Alt+F4 and must queue nothing");
    headless_finish();
}

// Returns the mouse state as the game reads it: "x y wheel buttons", or "none".
std::string mouse() {
    int32_t x, y, wheel, buttons, confinement;
    if (read_mouse(x, y, wheel, buttons, confinement) != 0) return "none";
    return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(wheel) + " " + std::to_string(buttons);
}

// In a client area of 1600 x 1200 the frame stands at (160, 120) at twice the size: pointer
// positions map back to frame pixels, a press on a black bar is no press, the wheel counts
// notches away from the user, the extra buttons are bits 3 and 4, and leaving or losing the
// focus leaves no mouse.
void mouse_messages() {
    headless_start();
    window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1600, 1200, nullptr, nullptr, nullptr, nullptr);
    const auto at = [](int32_t x, int32_t y) { return MAKELPARAM(x, y); };
    const struct {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        const char* state;
    } table[] = {
        {WM_ACTIVATE, WA_ACTIVE, 0, "none"}, // the pointer is not in yet
        {WM_MOUSEMOVE, 0, at(361, 521), "100 200 0 0"},
        {WM_LBUTTONDOWN, MK_LBUTTON, at(361, 521), "100 200 0 1"},
        {WM_LBUTTONUP, 0, at(361, 521), "100 200 0 0"},
        {WM_RBUTTONDOWN, MK_RBUTTON, at(30, 500), "none"}, // on the bar
        {WM_MOUSEMOVE, MK_RBUTTON, at(1439, 1079), "639 479 0 0"},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), at(1439, 1079), "639 479 2 0"},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), at(1439, 1079), "639 479 1 0"},
        {WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON2, XBUTTON2), at(1439, 1079), "639 479 1 16"},
        {WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1, XBUTTON1), at(1439, 1079), "639 479 1 24"},
        {WM_MOUSELEAVE, 0, 0, "none"},
        {WM_MOUSEMOVE, 0, at(160, 120), "0 0 1 24"},
        {WM_ACTIVATE, WA_INACTIVE, 0, "none"},
    };
    for (const auto& row : table) {
        // Every mouse message is the game's; a change of focus goes on to Windows too.
        const bool kept = send(row.message, row.wparam, row.lparam);
        expect(mouse() == row.state && kept == (row.message != WM_ACTIVATE),
               "message " + std::to_string(row.message) + " gave " + mouse());
    }
    // The mouse is held while a button is down, so that a release outside the window arrives.
    follow_mouse(window, WM_LBUTTONDOWN, MK_LBUTTON);
    follow_mouse(window, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON);
    follow_mouse(window, WM_LBUTTONUP, MK_RBUTTON);
    const bool held = GetCapture() == window;
    follow_mouse(window, WM_RBUTTONUP, 0);
    expect(held && GetCapture() == nullptr, "the mouse must be held until the last button is released");
    DestroyWindow(window);
    window = nullptr;
    headless_finish();
}

// The window starts at the screen's whole-number scale that fits, centred in the work area (which
// need not begin at the screen's corner), and is never made smaller than the frame at 1 x; the
// frame stands centred in the client area at the largest whole scale that fits.
void window_geometry() {
    const SIZE frame = outer_size(640, 480); // the client area at 1 x with Windows' frame
    const int32_t fw = frame.cx - 640, fh = frame.cy - 480;
    // Where each window must start, from the frame metrics alone: centred, at the work area's
    // corner when it only just fits or is too small.
    const struct {
        RECT work;
        int32_t dpi, scale;
        LONG x, y;
    } starts[] = {{{0, 0, 1600, 1200}, 96, 1, (960 - fw) / 2, (720 - fh) / 2},
                  {{100, 40, 1700, 1240}, 96, 1, 100 + (960 - fw) / 2, 40 + (720 - fh) / 2},
                  {{0, 0, 3840, 2120}, 192, 2, (2560 - fw) / 2, (1160 - fh) / 2},
                  {{0, 0, 1280 + fw, 960 + fh}, 192, 2, 0, 0},
                  {{0, 0, 1279 + fw, 2000}, 192, 1, 319, (1520 - fh) / 2},
                  {{0, 0, 600, 400}, 96, 1, 0, 0}};
    for (const auto& s : starts) {
        const RECT got = start_window(s.work, s.dpi, 640, 480);
        const LONG width = 640 * s.scale + fw, height = 480 * s.scale + fh;
        expect(got.left == s.x && got.top == s.y && got.right - got.left == width && got.bottom - got.top == height,
               "start at " + std::to_string(s.dpi) + " dpi in the work area to " + std::to_string(s.work.right) + "," +
                   std::to_string(s.work.bottom) + ": " + std::to_string(got.left) + "," + std::to_string(got.top) +
                   " " + std::to_string(got.right - got.left) + " x " + std::to_string(got.bottom - got.top));
    }
    const struct {
        int32_t cx, cy;
        UINT flags;
        bool free, held;
        int32_t held_cx, held_cy;
    } sizes[] = {{300, 200, 0, false, true, frame.cx, frame.cy},
                 {900, 200, 0, false, true, 900, frame.cy},
                 {frame.cx, frame.cy, 0, false, false, frame.cx, frame.cy},
                 {300, 200, SWP_NOSIZE, false, false, 300, 200},
                 {300, 200, 0, true, false, 300, 200}};
    for (const auto& z : sizes) {
        WINDOWPOS position{};
        position.cx = z.cx, position.cy = z.cy, position.flags = z.flags;
        expect(hold_least_size(position, z.free) == z.held && position.cx == z.held_cx && position.cy == z.held_cy,
               "a size of " + std::to_string(z.cx) + " x " + std::to_string(z.cy) + " held as " +
                   std::to_string(position.cx) + " x " + std::to_string(position.cy));
    }
    const struct {
        int32_t width, height, scale, left, top;
    } places[] = {{640, 480, 1, 0, 0}, {1600, 1200, 2, 160, 120}, {1279, 2000, 1, 319, 760}, {100, 100, 1, -270, -190}};
    for (const auto& p : places) {
        const FramePlacement got = place_frame(p.width, p.height);
        expect(got.scale == p.scale && got.left == p.left && got.top == p.top,
               "the frame in " + std::to_string(p.width) + " x " + std::to_string(p.height));
    }
}

} // namespace

int main() {
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count == 3 && std::wstring(arguments[1]) == L"--killed-writer") killed_writer(arguments[2]);
    picture_names();
    picture_writing();
    descriptor_edges();
    killed_writing();
    window_messages();
    mouse_messages();
    window_geometry();
    std::printf("%s: %d failed\n", failures == 0 ? "ok" : "FAILED", failures);
    return failures == 0 ? 0 : 1;
}
