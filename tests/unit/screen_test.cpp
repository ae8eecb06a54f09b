// screen_test.cpp -- the screen facility on the headless platform: drawing and text checked
// against a transcript of what each step changed (tests/golden/screen.golden), and input, pauses,
// tones and the text helpers by their rules.
#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "platform/cp437.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/scratch_name.h"
#include "platform/web/web.h"
#include "platform/wide_names.h"
#include "platform/window_scale.h"
#include "screen/screen.h"
#include "support.h"

namespace {

constexpr float TURN = 6.2831859f; // the game's end angle
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float INF = std::numeric_limits<float>::infinity();

struct ScreenFacility : ::testing::Test {
    void SetUp() override {
        headless_start();
        ASSERT_EQ(open_screen(FRAME_WIDTH, FRAME_HEIGHT, 32, 1, 0, 0), 0);
        set_text_grid(80, 30);
    }
    void TearDown() override { headless_finish(); }
};

// One transcript line: what changed since the previous frame (count, box), the hash, the cursor
// and the error number. Every row that changed must be marked changed, or the window would go
// on showing it as it was.
struct Recorder {
    std::vector<uint32_t> before = std::vector<uint32_t>(FRAME_WIDTH * FRAME_HEIGHT);
    std::string out;
    Recorder() { std::copy(&screen.frame[0][0], &screen.frame[0][0] + before.size(), before.begin()); }
    void step(const std::string& what, const std::function<void()>& draw) {
        draw();
        int32_t changed = 0, left = FRAME_WIDTH, top = FRAME_HEIGHT, right = -1, bottom = -1, unmarked = -1;
        for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
            for (int32_t x = 0; x < FRAME_WIDTH; ++x)
                if (screen.frame[y][x] != before[y * FRAME_WIDTH + x]) {
                    ++changed;
                    left = std::min(left, x), top = std::min(top, y), right = std::max(right, x),
                    bottom = std::max(bottom, y);
                    before[y * FRAME_WIDTH + x] = screen.frame[y][x];
                    if (!screen.row_changed[y] || !screen.frame_changed) unmarked = y;
                }
        EXPECT_EQ(unmarked, -1) << what << ": a changed row is not marked changed";
        std::fill(screen.row_changed, screen.row_changed + FRAME_HEIGHT, false);
        screen.frame_changed = false;
        if (what.empty()) return;
        char line[200];
        std::snprintf(line, sizeof line, "%-44s %6d px (%d,%d)-(%d,%d) %s cursor %d,%d error %d\n", what.c_str(),
                      changed, left, top, right, bottom, frame_hash().c_str(), cursor_row(), cursor_column(),
                      last_error());
        out += line;
    }
};

TEST_F(ScreenFacility, DrawingAndTextAreAsTheirTranscriptSays) {
    Recorder r;
    for (int32_t radius : {1, 5, 26})
        for (int32_t fill : {0, -1})
            r.step("circle r" + std::to_string(radius) + (fill ? " disc" : ""), [=] {
                draw_circle(100.0f + 70 * radius % 500, 200, float(radius), 0xFF4400 + fill, 0, 0, TURN, fill, 4);
            });
    r.step("circle ending at 0", [] { draw_circle(450, 100, 12, 0xFF00FF, 0, 0, 0, 0, 4); });
    r.step("arc half", [] { draw_circle(320, 240, 20, 0xFFFF00, 0, 0, 3.14159265f, 0, 4); });
    r.step("arc quarter", [] { draw_circle(320, 300, 20, 0xFFFF00, 0, 1.5707963f, 3.14159265f, 0, 4); });
    r.step("circles clipped", [] {
        draw_circle(0, 240, 30, 0x4080FF, 0, 0, TURN, 0, 4);
        draw_circle(320, 0, 30, 0x4080FF, 0, 0, TURN, 0, 4);
        draw_circle(0, 0, 30, 0x4080FF, 0, 0, TURN, -1, 4);
        draw_circle(639, 479, 30, 0x4080FF, 0, 0, TURN, 0, 4);
        draw_circle(635, 240, 30, 0x4080FF, 0, 0, TURN, -1, 4);
    });
    r.step("circles unusable", [] {
        for (float radius : {0.0f, -3.0f, NaN, INF}) draw_circle(300, 300, radius, 0xFFFFFF, 0, 0, TURN, -1, 4);
        draw_circle(1e30f, -1e30f, 60000.0f, 0xFFFFFF, 0, 0, TURN, 0, 4);
    });
    r.step("line down right", [] { draw_line(20, 20, 219, 119, 0xFF0000, 0, 0xFFFF, 0); });
    r.step("line up left", [] { draw_line(219, 140, 20, 40, 0xFF0000, 0, 0xFFFF, 0); });
    r.step("box", [] { draw_line(30, 300, 10, 250, 0x00C000, 1, 0xFFFF, 0); });
    r.step("filled box", [] { draw_line(630, 470, 600, 440, 0x00C000, 2, 0xFFFF, 0); });
    r.step("filled box corners swapped", [] { draw_line(600, 470, 630, 440, 0x00C0C0, 2, 0xFFFF, 0); });
    r.step("boxes clipped", [] {
        draw_line(-5, -5, 2, 3, 0x0000FF, 2, 0xFFFF, 0);
        draw_line(-5, 100, 10, 120, 0x0000FF, 1, 0xFFFF, 0);
        draw_line(300, -5, 320, 10, 0x0000FF, 1, 0xFFFF, 0);
        draw_line(630, 200, 700, 220, 0x0000FF, 1, 0xFFFF, 0);
        draw_line(300, 470, 320, 490, 0x0000FF, 1, 0xFFFF, 0);
        draw_line(635, 470, 900, 900, 0x0000FF, 2, 0xFFFF, 0);
        draw_line(700, 10, 800, 20, 0x0000FF, 2, 0xFFFF, 0);
    });
    r.step("huge and odd coordinates", [] {
        draw_line(-1e30f, NaN, -1, 1e30f, 0xFFFFFF, 2, 0xFFFF, 0);
        draw_line(-INF, 0, INF, 0, 0x808080, 0, 0xFFFF, 0);
        draw_line(-10, -10, 9, 9, 0x0000FF, 0, 0xFFFF, 0);
    });
    r.step("pixels", [] {
        set_pixel(7, 9, 0, 4);
        set_pixel(639, 479, 0xFFFFFF, 4);
        set_pixel(0, 479, 0x123456, 4);
        set_pixel(5, 0, 0xABCDEF, 4);
        for (float x : {-1.0f, 640.0f, 7.0f}) set_pixel(x, x == 7.0f ? 480.0f : 9.0f, 0xFFFFFF, 4);
    });
    r.step("text", [] {
        locate(2, 3);
        print_text("Wil je beginnen [", 0);
        set_color(0xFFFF00, 0, 2);
        print_text("ja", 0);
        set_color(0xFFFFFF, 0, 2);
        print_text("] ?", 1);
    });
    r.step("numbers", [] {
        print_number(4);
        print_number(-27);
        print_number(0);
    });
    r.step("colour flags", [] {
        locate(5, 1);
        set_color(0xFF0000, 0x0000FF, 0);
        print_text("ab", 0);
        set_color(0x00FF00, 0, 1);
        print_text("cd", 0);
        set_color(0, 0x00FF00, 2);
        print_text("ef", 0);
        set_color(0xFFFFFF, 0, 0);
    });
    r.step("locate off the grid", [] {
        locate(0, 5);
        locate(31, 5);
        locate(5, 81);
        locate(5, -1);
        locate(6, 80);
        print_text("z", 0);
    });
    r.step("wrap after column 80", [] {
        locate(7, 75);
        print_text("abcdefghij", 0);
    });
    std::string all;
    for (int32_t code = 1; code < 256; ++code) all += static_cast<char>(code);
    r.step("every glyph", [&] {
        locate(10, 1);
        print_text(all, 1);
    });
    r.step("scroll past the last row", [] {
        locate(30, 79);
        print_text("xyz", 1);
    });
    r.step("grid 8x8 refused", [] { set_text_grid(80, 60); });
    r.step("open 800x600 refused", [] { open_screen(800, 600, 32, 1, 0, 0); });
    expect_golden("screen.golden", r.out);
}

// The file contents are the fuzz target's (tests/fuzz, against a model of the format); here,
// paths that are not files. A pipe without a writer must not hang the game.
TEST_F(ScreenFacility, BmpPathsThatAreNoFilesChangeNothing) {
    Scratch scratch;
    mkfifo(scratch.file("pipe.bmp").c_str(), 0600);
    const std::string before = frame_hash();
    EXPECT_EQ(load_bmp(scratch.file("missing.bmp")), ERROR_CANNOT_OPEN);
    EXPECT_EQ(load_bmp(scratch.path), ERROR_BAD_FILE);
    EXPECT_EQ(load_bmp(scratch.file("pipe.bmp")), ERROR_BAD_FILE);
    EXPECT_EQ(frame_hash(), before);
}

TEST_F(ScreenFacility, TheKeyQueueKeepsTheLastFifteenAndExtendedKeysWhole) {
    for (int32_t i = 0; i < 20; ++i) headless_key('a' + i);
    headless_key(0x48FF);
    for (int32_t i = 6; i < 20; ++i) EXPECT_EQ(read_key(), std::string(1, char('a' + i)));
    EXPECT_EQ(read_key(), "\xFFH");
    EXPECT_EQ(read_key(), "");
    int32_t x, y, wheel, buttons, confinement;
    headless_mouse_away();
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 1);
    EXPECT_EQ(x + y + wheel + buttons + confinement, -5);
    const uint64_t serial = input_serial();
    headless_mouse(10, 20, 0);
    EXPECT_EQ(input_serial(), serial + 1) << "the pointer came in";
    headless_mouse(30, 40, 0);
    EXPECT_EQ(input_serial(), serial + 1) << "a move alone is no input";
    headless_mouse(30, 40, 4);
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 0);
    EXPECT_EQ(std::vector<int32_t>({x, y, buttons}), std::vector<int32_t>({30, 40, 4}));
    EXPECT_EQ(input_serial(), serial + 2);
}

// Tones from 37 to 32,767 Hz play for their duration; others, and a negative duration, are error 1.
TEST_F(ScreenFacility, TonesPlayWithinTheirRange) {
    const struct {
        int32_t frequency, duration, error;
    } tones[] = {{36, 10, 1}, {37, 10, 0}, {32767, 20, 0}, {32768, 10, 1}, {440, -1, 1}, {440, 0, 0}};
    std::string played;
    for (const auto& t : tones) {
        tone(t.frequency, t.duration);
        EXPECT_EQ(last_error(), t.error) << t.frequency << " Hz for " << t.duration << " ms";
    }
    for (const HeadlessTone& t : headless_tones())
        played += std::to_string(t.frequency) + "/" + std::to_string(t.duration) + " ";
    EXPECT_EQ(played, "37/10 32767/20 ");
    EXPECT_EQ(headless_now_ms(), 30);
}

TEST(ScreenHelpers, RandomNumbersReplayAndTextHelpersCountFromOne) {
    seed_random(42, 0);
    const double first = random_number(), second = random_number();
    seed_random(42, 0);
    EXPECT_EQ(random_number(), first);
    EXPECT_EQ(random_number(), second);
    EXPECT_NE(first, second);
    EXPECT_LT(text_compare("", " "), 0);
    EXPECT_GT(text_compare("\xFF", "a"), 0) << "bytes compare unsigned";
    EXPECT_LT(text_compare("ab", "abc"), 0);
    EXPECT_LT(text_compare(std::string("a\0b", 3), std::string("a\0c", 3)), 0);
    EXPECT_EQ(text_compare("\x1B", "\x1B"), 0);
    const std::pair<int32_t, int32_t> mids[] = {{0, 2}, {4, 1}, {2, 0}, {2, 99}, {1, 2}, {3, -1}, {1, -2}};
    std::string got;
    for (auto [position, count] : mids) got += "[" + text_mid("abc", position, count) + "]";
    EXPECT_EQ(got, "[][][][bc][ab][c][]");
    EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT) << "a count below -1";
    EXPECT_EQ(text_mid(std::string("a\0b", 3), 2, 2), std::string("\0b", 2));
    EXPECT_EQ(cp437_from_utf8("\xC3\xA9\xE2\x82\xAC\xCE\xB2\xC3\x9F\xCE\xBC\xFF\xC1\x81\xE2\x8C\x82!"),
              std::vector<uint8_t>({130, 225, 225, 230, 127, '!'}))
        << "e acute; the euro sign is left out; beta is drawn as sharp s, mu as micro; a broken byte and an "
           "overlong A are skipped; the house is 127";
    std::string codes;
    for (int32_t position : {-1, 0, 1, 2, 3}) codes += std::to_string(char_code("\xFFk", position)) + " ";
    EXPECT_EQ(codes, "0 0 255 107 0 ");
}

// Windows file names: every name Windows can give (lone surrogates included) comes back to the
// very same name through the game's strings; a broken byte becomes U+FFFD, never a crash. And
// the scratch files' names: what scratch_name makes is read back as its writer's process, and
// nothing else is taken for one.
TEST(Platform, FileNamesOfWindowsAndScratchFiles) {
    const std::pair<std::u16string, std::string> names[] = {
        {u"C:\\Temp\\ZAQT.bmp", "C:\\Temp\\ZAQT.bmp"},
        {u"\u0412\u0440\u0435\u043c\u0435\u043d\u043d\u043e \u4e34\u65f6",
         "\xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xBD\xD0\xBE \xE4\xB8\xB4\xE6\x97\xB6"},
        {u"\u00e9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
        {std::u16string({0xD800, u'x', 0xDFFF}), "\xED\xA0\x80x\xED\xBF\xBF"},
        {std::u16string({0xDBFF}), "\xED\xAF\xBF"},
        {u"", ""},
    };
    for (const auto& [wide, narrow] : names) {
        EXPECT_EQ(narrow_name(wide), narrow);
        EXPECT_EQ(wide_name(narrow), wide) << narrow;
    }
    EXPECT_EQ(wide_name("a\xC3"), u"a\uFFFD") << "cut off";
    EXPECT_EQ(wide_name("\x80\xBF"), u"\uFFFD\uFFFD") << "stray continuations";
    EXPECT_EQ(wide_name("\xC0\xAF/"), u"\uFFFD\uFFFD/") << "an overlong slash";
    EXPECT_EQ(wide_name("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD") << "past U+10FFFF";
    EXPECT_EQ(wide_name("\xE4\xB8x"), u"\uFFFD\uFFFDx") << "a sequence broken by a plain character";

    EXPECT_EQ(scratch_writer(scratch_name("ZAQT.bmp", 4242), "ZAQT.bmp"), 4242);
    EXPECT_EQ(scratch_writer(scratch_name("ZAQT.bmp", 4294967295), "ZAQT.bmp"), 4294967295);
    for (const char* name :
         {"ZAQT.bmp", "ZAQT.bmp.part", "ZAQT.bmp.12.1.9f.partial", "ZAQT.bmp.12.1.9f.part.x", "ZAQT.bmp.12.x.9f.part",
          "ZAQT.bmp.12.1.9g.part", "ZAQT.bmp.12.1.part", "ZAQT.bmp..1.9f.part", "ZAQT.bmp.12.1.9f.3.part",
          "ZAQT.bmpx12.1.9f.part", "OTHER.bmp.12.1.9f.part", "ZAQT.bmp.-12.1.9f.part"})
        EXPECT_EQ(scratch_writer(name, "ZAQT.bmp"), 0) << name;
}

// A screen reader says a text equal to the one before it only once, so a repeated text goes out
// with words added, and the next repetition as it is; a cell off the board is refused.
TEST_F(ScreenFacility, WhatAScreenReaderIsToldIsNewEachTime) {
    for (const char* text : {"Geen rij.", "Geen rij.", "Geen rij.", "", "Welke rij?", "Geen rij."}) announce(text);
    EXPECT_EQ(headless_said(),
              std::vector<std::string>({"Geen rij.", "Geen rij. (nog eens)", "Geen rij.", "Welke rij?", "Geen rij."}));
    name_cell(7, 6, "top right");
    for (auto [column, height] : {std::pair{0, 1}, {8, 1}, {1, 0}, {1, 7}}) name_cell(column, height, "off");
    EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT);
    EXPECT_EQ(headless_cell_name(7, 6), "top right");
}

// A screen reader's button gives its choice's input: the key, or the left button held on the
// pixel until the offer is withdrawn; one at a time; pressed while the game is busy, once the
// same choice is offered again, and not when another is.
TEST_F(ScreenFacility, ChoicesGiveTheirInputOnceOfferedAndHeldUntilWithdrawn) {
    const Choice ja_and_column[] = {{"ja", 0, 0, 'j', false}, {"Rij 2", 170, 300, 0, false}};
    const Choice column_only[] = {{"Rij 2", 170, 300, 0, false}};
    const auto choose = [](int32_t index) {
        std::lock_guard<std::mutex> hold(screen.lock);
        return make_offered_choice_locked(index);
    };
    std::string mice;
    const auto mouse = [&] {
        int32_t x, y, wheel, buttons, confinement;
        read_mouse(x, y, wheel, buttons, confinement);
        mice += std::to_string(x) + "," + std::to_string(y) + ":" + std::to_string(buttons) + " ";
    };
    EXPECT_FALSE(choose(0)) << "nothing offered yet";
    offer_choices(ja_and_column, 2);
    EXPECT_TRUE(choose(0));
    EXPECT_EQ(read_key(), "j");
    EXPECT_FALSE(choose(2) || choose(-1));
    EXPECT_TRUE(choose(1));
    mouse();
    EXPECT_FALSE(choose(0)) << "a click still held";
    offer_choices(nullptr, 0);
    mouse();
    EXPECT_FALSE(choose(0)) << "busy: made once offered again";
    EXPECT_EQ(read_key(), "");
    offer_choices(ja_and_column, 2);
    EXPECT_EQ(read_key(), "j");
    offer_choices(nullptr, 0);
    EXPECT_FALSE(choose(0));
    offer_choices(column_only, 1);
    mouse();
    EXPECT_EQ(read_key(), "") << "another choice offered: the pending one is dropped";
    EXPECT_EQ(mice, "170,300:1 170,300:0 170,300:0 ");
}

// The browser's keydowns (keyCode, character, modifiers) as the codes the other platforms queue.
TEST(ScreenHelpers, BrowserKeysQueueTheDesktopsCodes) {
    constexpr int32_t X = 255; // the low byte of an extended code
    // clang-format off
    const struct { int32_t key_number, character, modifiers, code; } keys[] = {
        {74, 'j', 0, 'j'}, {74, 'J', 1, 'J'}, {32, ' ', 0, ' '}, {27, 0, 0, 27}, {13, 0, 0, 13}, {8, 0, 0, 8},
        {9, 0, 0, -1}, {69, 0xE9, 16 | 6, 130}, {69, 0x20AC, 16 | 6, -1},              // AltGr types, in code page 437
        {74, 'j', 4, -1}, {65, 'a', 2, -1}, {65, 'a', 8, -1}, {16, 0, 1, -1}, {18, 0, 4, -1}, {225, 0, 16, -1},
        {116, 0, 0, -1}, {121, 0, 0, -1}, {122, 0, 0, -1}, {123, 0, 0, -1},           // F5, F10, F11, F12
        {112, 0, 0, 59 << 8 | X}, {120, 0, 0, 67 << 8 | X}, {124, 0, 0, 100 << 8 | X}, {40, 0, 0, 80 << 8 | X},
        {38, 0, 0, 72 << 8 | X}, {12, 0, 0, 76 << 8 | X}, {46, 0, 0, 83 << 8 | X}, {20, 0, 0, 58 << 8 | X},
        {91, 0, 0, 91 << 8 | X}, {107, 0, 0, 0xFE << 8 | X}, {0, 0, 0, 0xFE << 8 | X}, {300, 0, 0, 44 << 8 | X}};
    // clang-format on
    for (const auto& k : keys)
        EXPECT_EQ(web_key_code(k.key_number, k.character, k.modifiers), k.code)
            << "keyCode " << k.key_number << ", character " << k.character << ", modifiers " << k.modifiers;
}

// The real windows start at the screen's whole-number scale, made smaller until the window with
// its frame fits the work area; on X the desktop's scale is the resource Xft.dpi.
TEST(ScreenHelpers, WindowsStartAtTheScreensScaleThatFits) {
    const struct {
        int32_t dpi, work_width, work_height, frame_width, frame_height, scale;
    } screens[] = {{96, 1920, 1080, 16, 39, 1},  {0, 3840, 2160, 0, 0, 1},     {191, 3840, 2160, 16, 39, 1},
                   {192, 3840, 2160, 16, 39, 2}, {192, 1296, 999, 16, 39, 2},  {192, 1295, 999, 16, 39, 1},
                   {192, 1296, 998, 16, 39, 1},  {288, 1920, 1440, 16, 39, 2}, {384, 2560, 1920, 0, 0, 4},
                   {192, 600, 400, 16, 39, 1}};
    for (const auto& s : screens)
        EXPECT_EQ(start_scale(s.dpi, s.work_width, s.work_height, s.frame_width, s.frame_height), s.scale)
            << s.dpi << " dpi, " << s.work_width << " x " << s.work_height;
    const std::pair<const char*, int32_t> resources[] = {{"Xft.dpi:\t192\n", 192},
                                                         {"Xft.antialias:\t1\nXft.dpi:\t143.6\nXft.hinting:\t1\n", 144},
                                                         {"Xft.dpi:\t96", 96},
                                                         {"Xft.dpix:\t192\n", 0},
                                                         {"*dpi:\t192\nXcursor.size:\t48\n", 0},
                                                         {"Xft.dpi:\t-5\n", 0},
                                                         {"", 0},
                                                         {nullptr, 0}};
    for (auto [text, dpi] : resources) EXPECT_EQ(dpi_of_resources(text), dpi) << (text ? text : "(none)");
}

// A game loop that polls without a pause must not keep the window thread from the screen lock:
// from the 16th poll without a real sleep, each leaves the lock free for 50 us, so 216 polls
// cannot take less than 10 ms.
TEST_F(ScreenFacility, APollingLoopLeavesTheLockToTheWindowThread) {
    headless_mouse(100, 100, 1);
    pause(1); // a real sleep: the count starts afresh
    int32_t x, y, wheel, buttons = 1, confinement;
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < 216; ++i) {
        if (i % 3 == 0) read_mouse(x, y, wheel, buttons, confinement);
        if (i % 3 == 1) read_key();
        if (i % 3 == 2) input_serial();
        pause(0);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
}

} // namespace
