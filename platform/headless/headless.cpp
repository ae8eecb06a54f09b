// headless.cpp -- the tests' platform: no window, scripted input, a virtual clock and recorded
// tones; the game runs on a thread of its own as it does with the real window. Files are the
// machine's own (platform/posix or platform/win32).
//
// All state here is guarded by the screen lock, so the test thread feeds input exactly as the
// window thread does. The game thread's idle point is in_sleep_until_input: there the
// clock jumps to the next scheduled input, or, with nothing scheduled, the test thread is told
// that the game waits. A waiting game stays parked there, whatever input arrives, until the
// test calls headless_wait_idle again: so all input a test gives between two calls (keys now
// and keys at later times alike) is in place before the game moves, and every run replays
// identically however the two threads are scheduled. end_program and headless_finish end the
// game thread by throwing a private type that only the thread's own wrapper catches (the game
// code itself uses none, and must not call end_program or wait for input from a noexcept
// function).
#include "platform/headless/headless.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"
#include "screen/font.h"
#include "screen/screen_state.h"

namespace {

// One input item waiting for the virtual clock to reach its time.
struct Scheduled {
    double at_ms;
    bool is_key;
    int32_t code;          // key code when is_key
    int32_t x, y, buttons; // mouse state otherwise
};

// Thrown on the game thread to end it; caught only by run_game.
struct GameEnd {};

struct Headless {
    std::condition_variable idle_changed; // the game started waiting or ended
    double now_ms = 0;                    // the virtual clock
    std::vector<Scheduled> schedule;      // sorted by time; equal times keep their order
    std::vector<HeadlessTone> tones;      // every tone played, in order
    bool waiting = false;                 // the game sleeps until input, nothing scheduled
    bool released = true;                 // the game may leave its idle point (wait_idle was called)
    bool ended = false;                   // the game thread has finished
    bool stop = false;                    // headless_finish asks the game thread to end
    int32_t exit_code = -1;               // the code passed to end_program
    std::vector<std::string> said;        // every text announced, in order
    std::string cell_names[8][7];         // [column 1..7][height 1..6] as last named
    std::vector<std::string> offered;     // the names of the choices offered now
    std::vector<std::string> touch_keys;  // those of them that are touch keys too
    std::vector<std::string> shown;       // the names of the latest offer: the page's buttons
    std::thread game;                     // touched by the test thread only
};

Headless hl; // guarded by screen.lock, except `game`

// Applies one scheduled input item, as the window thread would. Screen lock held.
void apply_locked(const Scheduled& item) {
    if (item.is_key) {
        queue_key_locked(item.code);
        return;
    }
    set_window_active_locked(true);
    set_pointer_inside_locked(true);
    set_mouse_position_locked(item.x, item.y);
    for (int32_t bit = 0; bit < 5; ++bit) set_mouse_button_locked(bit, (item.buttons >> bit) & 1);
}

// Advances the clock to `until`, applying every item due on the way at its own time.
void advance_locked(double until) {
    while (!hl.schedule.empty() && hl.schedule.front().at_ms <= until) {
        hl.now_ms = std::max(hl.now_ms, hl.schedule.front().at_ms);
        Scheduled item = hl.schedule.front();
        hl.schedule.erase(hl.schedule.begin());
        apply_locked(item);
    }
    hl.now_ms = std::max(hl.now_ms, until);
}

// Ends the game thread when the test has asked for it. Screen lock held (released by unwinding).
void check_stop_locked() {
    if (hl.stop) throw GameEnd{};
}

// Runs the program on the game thread and records its end.
void run_game(void (*program)()) {
    try {
        program();
    } catch (const GameEnd&) {
    }
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.ended = true;
    hl.waiting = false;
    hl.idle_changed.notify_all();
}

// Applies test-side input under the lock, as the window thread does.
template <typename Change>
void feed(Change change) {
    std::lock_guard<std::mutex> hold(screen.lock);
    change();
}

// Adds an item to the schedule after every item of the same or an earlier time.
void schedule(const Scheduled& item) {
    std::lock_guard<std::mutex> hold(screen.lock);
    auto at = std::upper_bound(hl.schedule.begin(), hl.schedule.end(), item.at_ms,
                               [](double t, const Scheduled& s) { return t < s.at_ms; });
    hl.schedule.insert(at, item);
}

// Writes the frame as a 24-bit bottom-up BMP; false when the file cannot be written.
bool write_bmp(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const uint32_t data_size = FRAME_WIDTH * 3 * FRAME_HEIGHT;
    unsigned char header[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(2, 54 + data_size);
    put32(10, 54);
    put32(14, 40);
    put32(18, FRAME_WIDTH);
    put32(22, FRAME_HEIGHT);
    header[26] = 1;  // planes
    header[28] = 24; // bits per pixel
    put32(34, data_size);
    bool ok = std::fwrite(header, sizeof header, 1, f) == 1;
    unsigned char row[FRAME_WIDTH * 3];
    for (int32_t y = FRAME_HEIGHT - 1; ok && y >= 0; --y) {
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
            const uint32_t p = screen.frame[y][x];
            row[3 * x] = p & 0xFF;
            row[3 * x + 1] = (p >> 8) & 0xFF;
            row[3 * x + 2] = (p >> 16) & 0xFF;
        }
        ok = std::fwrite(row, sizeof row, 1, f) == 1;
    }
    return std::fclose(f) == 0 && ok;
}

// Returns true when the cell's pixels, read as on/off by `on`, show glyph g.
template <typename On>
bool cell_shows(int32_t x0, int32_t y0, int32_t g, On on) {
    for (int32_t row = 0; row < screen.cell_height; ++row) {
        const uint8_t bits = font_8x16[g][row * GLYPH_HEIGHT / screen.cell_height];
        for (int32_t col = 0; col < GLYPH_WIDTH; ++col)
            if (on(screen.frame[y0 + row][x0 + col]) != ((bits & (0x80u >> col)) != 0)) return false;
    }
    return true;
}

// Returns the code of the glyph the cell shows under `on`, printable ASCII preferred, or -1.
template <typename On>
int32_t match_cell(int32_t x0, int32_t y0, On on) {
    for (int32_t i = 0; i < 256; ++i) {
        const int32_t g = (i + 32) % 256; // 32..255, then 0..31
        if (cell_shows(x0, y0, g, on)) return g;
    }
    return -1;
}

// Reads the glyph in one cell: first as foreground on the current background, then as any
// two colours either way round. Returns byte 0 for a cell that shows no glyph.
char read_cell(int32_t row, int32_t column) {
    const int32_t x0 = (column - 1) * screen.cell_width, y0 = (row - 1) * screen.cell_height;
    const uint32_t background = screen.background;
    int32_t g = match_cell(x0, y0, [&](uint32_t p) { return p != background; });
    if (g >= 0) return char(g);
    const uint32_t first = screen.frame[y0][x0];
    g = match_cell(x0, y0, [&](uint32_t p) { return p != first; });
    if (g < 0) g = match_cell(x0, y0, [&](uint32_t p) { return p == first; });
    return g < 0 ? '\0' : char(g);
}

} // namespace

// --- The platform seam ---

// There is no window; the title is the game's program name.
int32_t vid_open_window(int32_t /*width*/, int32_t /*height*/, const std::string& /*title*/) {
    return 0;
}

// Advances the virtual clock, applying input scheduled on the way.
void sys_sleep(int32_t milliseconds) {
    std::lock_guard<std::mutex> hold(screen.lock);
    check_stop_locked();
    advance_locked(hl.now_ms + std::max(milliseconds, 0));
}

// Returns the virtual clock in seconds.
double sys_seconds() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.now_ms / 1000.0;
}

// Records the tone and lets its duration pass on the virtual clock.
void snd_tone(int32_t frequency, int32_t duration) {
    std::lock_guard<std::mutex> hold(screen.lock);
    check_stop_locked();
    hl.tones.push_back({frequency, duration, hl.now_ms});
    advance_locked(hl.now_ms + duration);
}

// Records the exit code and ends the game thread (not the process).
void sys_end_program(int32_t code) {
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        hl.exit_code = code;
    }
    throw GameEnd{};
}

// The idle point: returns once the serial differs; jumps the clock to scheduled input; with
// nothing scheduled tells the test thread that the game waits, and stays parked until the
// test's next headless_wait_idle.
void in_sleep_until_input(uint64_t seen) {
    std::unique_lock<std::mutex> hold(screen.lock);
    for (;;) {
        check_stop_locked();
        if (hl.released) {
            if (screen.input_serial != seen) return;
            if (!hl.schedule.empty()) {
                advance_locked(hl.schedule.front().at_ms);
                continue;
            }
            hl.waiting = true;
            hl.released = false;
            hl.idle_changed.notify_all();
        }
        screen.input_changed.wait(hold);
    }
}

// Nothing to show: the test reads the frame itself.
void vid_frame_changed() {}

// The game's own name, as the real window's title would be.
std::string vid_program_name() {
    return "viertal";
}

// Records the text, as a screen reader would get it.
void acc_announce(const char* text) {
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.said.push_back(text);
}

// Records the cell's name.
void acc_name_cell(int32_t column, int32_t height, const char* name) {
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.cell_names[column][height] = name;
}

// Records the offer's names; the facility keeps what each choice gives.
void acc_offer_choices(const Choice* choices, int32_t count) {
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.offered.clear();
    hl.touch_keys.clear();
    for (int32_t i = 0; i < count; ++i) {
        hl.offered.push_back(choices[i].name);
        if (choices[i].touch_key) hl.touch_keys.push_back(choices[i].name);
    }
    if (count > 0) hl.shown = hl.offered;
}

// --- The test side ---

// Resets the Screen, the clock, the schedule and the records; ends a game thread left running.
void headless_start() {
    headless_finish();
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.now_ms = 0;
    hl.schedule.clear();
    hl.tones.clear();
    hl.waiting = hl.ended = hl.stop = false;
    hl.released = true;
    hl.exit_code = -1;
    hl.said.clear();
    for (auto& column : hl.cell_names)
        for (std::string& name : column) name.clear();
    hl.offered.clear();
    hl.touch_keys.clear();
    hl.shown.clear();
    reset_screen_locked();
    screen.window_active = true; // focused, the pointer elsewhere until headless_mouse
}

// Starts the program on the game thread.
void headless_run(void (*program)()) {
    headless_finish();
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        hl.waiting = hl.ended = hl.stop = false;
        hl.released = true;
    }
    hl.game = std::thread(run_game, program);
}

// Lets a waiting game take the input given since it began to wait, and blocks until it waits
// again with nothing scheduled, or has ended. A game that neither waits nor ends within a
// minute of real time is a hung test: it aborts with a message.
HeadlessStatus headless_wait_idle() {
    std::unique_lock<std::mutex> hold(screen.lock);
    if (hl.waiting) {
        hl.waiting = false;
        hl.released = true;
        screen.input_changed.notify_all();
    }
    if (!hl.idle_changed.wait_for(hold, std::chrono::seconds(60), [] { return hl.waiting || hl.ended; })) {
        std::fprintf(stderr, "headless: the game neither waits for input nor ends (virtual time %.0f ms)\n", hl.now_ms);
        std::abort();
    }
    return hl.ended ? HeadlessStatus::ended : HeadlessStatus::waiting;
}

// Ends a game thread that still runs (at its next sleep or input wait) and joins it.
void headless_finish() {
    if (!hl.game.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        hl.stop = true;
        screen.input_changed.notify_all();
    }
    hl.game.join();
}

// Returns the code passed to end_program, -1 before (and when the program just returned).
int32_t headless_exit_code() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.exit_code;
}

// Queues one key code now.
void headless_key(int32_t code) {
    feed([&] { queue_key_locked(code); });
}

// Queues one key per byte of the text now.
void headless_type(const std::string& text) {
    feed([&] {
        for (unsigned char b : text) queue_key_locked(b);
    });
}

// Sets the mouse now: window active, pointer inside at (x, y), these buttons held.
void headless_mouse(int32_t x, int32_t y, int32_t buttons) {
    feed([&] { apply_locked({0, false, 0, x, y, buttons}); });
}

// Moves the pointer out of the window now.
void headless_mouse_away() {
    feed([] { set_pointer_inside_locked(false); });
}

// Queues a key when the virtual clock reaches at_ms.
void headless_key_at(double at_ms, int32_t code) {
    schedule({at_ms, true, code, 0, 0, 0});
}

// Sets the mouse when the virtual clock reaches at_ms.
void headless_mouse_at(double at_ms, int32_t x, int32_t y, int32_t buttons) {
    schedule({at_ms, false, 0, x, y, buttons});
}

// Returns the virtual clock in milliseconds since headless_start.
double headless_now_ms() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.now_ms;
}

// Returns every tone played so far, in order.
std::vector<HeadlessTone> headless_tones() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.tones;
}

// Forgets the tones played so far.
void headless_clear_tones() {
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.tones.clear();
}

// Returns every text announced so far, in order.
std::vector<std::string> headless_said() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.said;
}

// Forgets the texts announced so far.
void headless_clear_said() {
    std::lock_guard<std::mutex> hold(screen.lock);
    hl.said.clear();
}

// Returns the cell's latest name; "" off the board or before it was named.
std::string headless_cell_name(int32_t column, int32_t height) {
    std::lock_guard<std::mutex> hold(screen.lock);
    return column >= 1 && column <= 7 && height >= 1 && height <= 6 ? hl.cell_names[column][height] : "";
}

// Returns the names of the choices offered now.
std::vector<std::string> headless_choices() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.offered;
}

// Returns the names of the choices offered now that are touch keys too.
std::vector<std::string> headless_touch_keys() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return hl.touch_keys;
}

// Makes a choice of the latest offer by its name, as the page's button does.
bool headless_choose(const std::string& name) {
    std::lock_guard<std::mutex> hold(screen.lock);
    const auto found = std::find(hl.shown.begin(), hl.shown.end(), name);
    return found != hl.shown.end() && make_offered_choice_locked(static_cast<int32_t>(found - hl.shown.begin()));
}

// Returns the full pixel value; 0 off the frame.
uint32_t headless_pixel(int32_t x, int32_t y) {
    if (x < 0 || x >= FRAME_WIDTH || y < 0 || y >= FRAME_HEIGHT) return 0;
    return screen.frame[y][x];
}

// Returns the displayed colour of a pixel (low 24 bits).
uint32_t headless_rgb(int32_t x, int32_t y) {
    return headless_pixel(x, y) & 0xFFFFFF;
}

// Reads `length` cells back from the frame, from (row, column) to the right, as glyph codes of
// any colours; stops at the end of the row. A cell that shows no glyph reads as byte 0.
std::string headless_text_at(int32_t row, int32_t column, int32_t length) {
    std::string text;
    if (row < 1 || row > screen.rows || row * screen.cell_height > FRAME_HEIGHT) return text;
    for (int32_t c = column; c < column + length && c >= 1 && c <= screen.columns; ++c) text += read_cell(row, c);
    return text;
}

// Writes the frame as a BMP, or as a PNG (through ImageMagick's convert) when the path ends in
// ".png". Returns false when the file could not be written.
bool headless_write_frame(const std::string& path) {
    const bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
    if (!png) return write_bmp(path);
    const std::string bmp = path + ".tmp.bmp";
    if (path.find('\'') != std::string::npos || !write_bmp(bmp)) return false;
    const std::string command = "convert 'bmp:" + bmp + "' 'png:" + path + "' 2>/dev/null";
    const bool ok = std::system(command.c_str()) == 0;
    std::remove(bmp.c_str());
    return ok;
}
