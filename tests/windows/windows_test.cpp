// windows_test.cpp -- the Windows-only code, run under Wine: the picture file's name from "temp"
// whatever its case, its writing into a folder (whole, replaced atomically, nothing left
// beside it), and window messages turned into the game's keys. The frame's placement in a
// larger window is seen in the real window (tests/window, windows_game).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/picture.h"
#include "screen/headless.h"
#include "screen/platform.h"
#include "screen/screen.h"
#include "screen/screen_state.h"
#include "screen/win32_internal.h"

namespace {

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
std::vector<std::string> folder(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Returns the size of a file, or -1.
int64_t file_size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The picture is written whole under its name and nothing else stays in the folder; a stale
// file under the name is replaced; a missing folder gets nothing and costs nothing.
void picture_writing() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    const std::string dir = std::string(base) + "viertal-test-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string name = dir + "\\ZAQT.bmp";
    SetEnvironmentVariableA("temp", dir.c_str());

    expect(!picture_file_exists() && last_error() == ERROR_BAD_ARGUMENT, "no picture yet, error 1");
    extract_picture();
    expect(picture_file_exists() && last_error() == ERROR_NONE, "the picture exists, error 0");
    expect(file_size(name) == 921656, "the picture has " + std::to_string(file_size(name)) + " bytes");
    expect(folder(dir) == std::vector<std::string>{"ZAQT.bmp"}, "the folder holds only the picture");

    HANDLE stale = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(stale, "BM", 2, &written, nullptr);
    CloseHandle(stale);
    extract_picture();
    expect(file_size(name) == 921656, "a stale picture was not replaced");
    expect(folder(dir) == std::vector<std::string>{"ZAQT.bmp"}, "replacing left something beside the picture");

    DeleteFileA(name.c_str());
    RemoveDirectoryA(dir.c_str());
    extract_picture();
    expect(GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES, "a missing folder was made");
    SetEnvironmentVariableA("temp", nullptr);
}

// Sends one message to the input handler, as the window procedure does; returns whether the
// handler kept it from DefWindowProc.
bool send(UINT message, WPARAM wparam, LPARAM lparam, InputAction* action = nullptr) {
    LRESULT result = 0;
    InputAction taken = InputAction::none;
    std::lock_guard<std::mutex> hold(screen.lock);
    const bool handled = handle_input_message_locked(nullptr, message, wparam, lparam, result, taken);
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
    } table[] = {
        {WM_CHAR, 'j', ONCE, {"j"}},
        {WM_CHAR, 27, ONCE, {"\x1b"}},
        {WM_CHAR, 0xE9, 3, {"\x82", "\x82", "\x82"}},         // é, three repetitions
        {WM_CHAR, 0x20AC, ONCE, {}},                          // €: not in the code page
        {WM_KEYDOWN, VK_UP, ONCE | 0x48 << 16, {"\xff\x48"}}, // the grey arrow
        {WM_KEYDOWN, VK_F1, ONCE, {"\xff\x3b"}},
        {WM_KEYDOWN, VK_F11, ONCE, {"\xff\x85"}},
        {WM_KEYDOWN, VK_CAPITAL, ONCE, {"\xff\x3a"}},
        {WM_KEYDOWN, VK_DELETE, 2, {"\xff\x53", "\xff\x53"}},
        {WM_KEYDOWN, VK_SHIFT, ONCE, {}},  // held for the next key
        {WM_KEYDOWN, 'J', ONCE, {}},       // its WM_CHAR brings it
        {WM_KEYDOWN, VK_ESCAPE, ONCE, {}}, // likewise
        {WM_SYSKEYDOWN, 'X', ONCE | ALT | SCAN_X, {}},
        {WM_SYSCHAR, 'x', ONCE | ALT, {}},
        {WM_SYSKEYDOWN, VK_F10, ONCE, {}},
        {WM_SYSKEYDOWN, VK_F4, ONCE | ALT, {}},
        {WM_CLOSE, 0, 0, {"\xffk"}},
    };
    for (const auto& row : table) {
        send(row.message, row.wparam, row.lparam);
        expect(keys() == row.keys, "message " + std::to_string(row.message) + " key " + std::to_string(row.wparam));
    }
    expect(!send(WM_SYSCHAR, ' ', ONCE | ALT), "Alt+Space must open the window menu");
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

} // namespace

int main() {
    picture_names();
    picture_writing();
    window_messages();
    std::printf("%s: %d failed\n", failures == 0 ? "ok" : "FAILED", failures);
    return failures == 0 ? 0 : 1;
}
