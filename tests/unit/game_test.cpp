// game_test.cpp -- whole games on the headless platform, each a line of input, checked against a
// transcript of what the player saw and heard after every step (tests/golden/games.golden).
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "data/picture.h"
#include "game/driver.h"
#include "game/input.h"
#include "platform/headless/headless.h"
#include "rules/game_state.h"
#include "screen/screen.h"
#include "support.h"

namespace {

// The transcript holds the scenarios, each a line "== STEPS" followed by what the player saw and
// heard after each step; a new scenario is a new "==" line (then UPDATE_GOLDEN=1). The same
// scenarios, or others, in tests/golden/said.golden give what a screen reader was told after
// each step instead. Each step is played and then let settle until the game waits again:
//   seed=N       (first) fix the random generator after start-up: the computer's openings
//   pic          (first) give "temp" a directory, so the picture is written and shown
//   rm           delete the picture file
//   3 j22435     type these keys, all at once (typed ahead: the game reads them in turn; the
//                queue keeps 15)
//   2+100:6      type "2" now and "6" 100 ms later on the virtual clock (during a disc pause)
//   <N>          the key code N (27 Escape, 13 Enter, 32 Space); <close> the close request,
//                <up> an arrow key; may stand inside a run of keys: 3<close>
//   @X,Y         a click: press the left button at frame pixel (X, Y), let the game see it, release
//   v@X,Y ^      press and hold at (X, Y); release        m@X,Y   move there without a button
//   #ja #nee #3 #nieuw   make an offered choice as its control does ("#3": the one of column 3)

// Text row 3 from column 14 (the message line) and from column 59 (the computer's notice).
// Unreadable cells (text over the picture) show as "?".
std::string messages() {
    std::string text = headless_text_at(3, 14, 27) + "|" + headless_text_at(3, 59, 10);
    for (char& c : text)
        if (c < ' ' || c > '~') c = '?';
    return text;
}

// The discs as the holes show them, top row first: R red, Y yellow, . none.
std::string discs() {
    std::string text;
    for (int32_t row = 5; row >= 0; --row) {
        for (int32_t column = 1; column <= 7; ++column) {
            const uint32_t colour = headless_rgb(64 * column + 67, 424 - 64 * row);
            text += colour == 0xFF4400 ? 'R' : colour == 0xFFFF00 ? 'Y' : '.';
        }
        if (row > 0) text += '/';
    }
    return text;
}

// The discs as the cells' names give them, in the order of discs().
std::string named_discs() {
    std::string text;
    for (int32_t height = 6; height >= 1; --height) {
        for (int32_t column = 1; column <= 7; ++column) {
            const std::string name = headless_cell_name(column, height);
            const std::string contents = name.substr(name.find(':') + 1);
            text += contents == " rood" ? 'R' : contents == " geel" ? 'Y' : contents == " leeg" ? '.' : '?';
        }
        if (height > 1) text += '/';
    }
    return text;
}

// What a screen reader was told since the last step: the texts in quotes, the choices offered now
// (marked when they are touch keys too), the cells named anew (against `names`, which it brings up to date); choices
// and names each separated by "; ".
std::string told(std::string (&names)[8][7]) {
    std::string text;
    for (const std::string& said : headless_said()) text += " \"" + said + "\"";
    headless_clear_said();
    text += " |";
    const std::vector<std::string> touch = headless_touch_keys();
    for (const std::string& name : headless_choices())
        text += (text.back() == '|' ? " " : "; ") + name +
                (std::count(touch.begin(), touch.end(), name) ? " (touch key)" : "");
    text += " |";
    for (int32_t height = 6; height >= 1; --height)
        for (int32_t column = 1; column <= 7; ++column) {
            const std::string name = headless_cell_name(column, height);
            if (name == names[column][height]) continue;
            text += (text.back() == '|' ? " " : "; ") + name;
            names[column][height] = name;
        }
    return text;
}

// Makes the offered choice a "#" step names, as the page's control does.
bool choose(const std::string& which) {
    for (const std::string& name : headless_choices()) {
        const bool column = which.size() == 1 && name.rfind("Rij " + which, 0) == 0;
        if (column || name == which || (which == "nieuw" && name == "Nieuw spel")) return headless_choose(name);
    }
    return false;
}

std::string tones() {
    std::string text;
    for (const HeadlessTone& t : headless_tones())
        text += " " + std::to_string(t.frequency) + "/" + std::to_string(t.duration);
    headless_clear_tones();
    return text;
}

double seed = 0;
void seeded_program() {
    start_up();
    seed_random(seed, 0);
    play_games();
}

// The key codes of plain characters and <...> names.
std::vector<int32_t> key_codes(const std::string& keys) {
    std::vector<int32_t> codes;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != '<') {
            codes.push_back(static_cast<unsigned char>(keys[i]));
            continue;
        }
        const size_t end = keys.find('>', i);
        const std::string name = keys.substr(i + 1, end - i - 1);
        codes.push_back(name == "close" ? CLOSE_KEY : name == "up" ? 0x48FF : std::stoi(name));
        i = end;
    }
    return codes;
}

void play_step(const std::string& step, const std::string& picture) {
    int32_t x = 0, y = 0;
    if (step == "rm") {
        unlink(picture.c_str());
    } else if (step[0] == '#') {
        ASSERT_TRUE(choose(step.substr(1))) << step << " is not offered";
    } else if (step == "^") {
        headless_mouse(screen.mouse_x, screen.mouse_y, 0);
    } else if (std::sscanf(step.c_str(), "m@%d,%d", &x, &y) == 2) {
        headless_mouse(x, y, 0);
    } else if (std::sscanf(step.c_str(), "v@%d,%d", &x, &y) == 2) {
        headless_mouse(x, y, 1);
    } else if (std::sscanf(step.c_str(), "@%d,%d", &x, &y) == 2) {
        headless_mouse(x, y, 1);
        ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting) << step;
        headless_mouse(x, y, 0);
    } else if (const size_t later = step.find('+'); later != std::string::npos && later > 0) {
        const size_t colon = step.find(':', later);
        const double at = headless_now_ms() + std::stod(step.substr(later + 1, colon - later - 1));
        for (int32_t code : key_codes(step.substr(0, later))) headless_key(code);
        for (int32_t code : key_codes(step.substr(colon + 1))) headless_key_at(at, code);
    } else {
        for (int32_t code : key_codes(step)) headless_key(code);
    }
}

// The two transcripts of a scenario: what the player saw and heard, and what a screen reader was
// told, both after every step.
struct Transcripts {
    std::string games, said;
};

// Plays one scenario from a fresh start and returns its transcripts. A start is written only where
// it differs from the one in `starts`, the previous scenario's. After every step the cells' names
// must show the discs the frame shows.
Transcripts play_both(const std::string& scenario, Transcripts& starts) {
    Scratch scratch;
    std::istringstream steps(scenario);
    std::string step;
    std::vector<std::string> all;
    while (steps >> step) all.push_back(step);
    size_t first = 0;
    seed = 0;
    std::string temp = scratch.file("absent");
    for (; first < all.size(); ++first) {
        if (all[first].rfind("seed=", 0) == 0)
            seed = std::stod(all[first].substr(5));
        else if (all[first] == "pic")
            temp = scratch.path;
        else
            break;
    }
    setenv("temp", temp.c_str(), 1);
    headless_start();
    game = GameState{};
    headless_run(seed != 0 ? seeded_program : program_main);
    std::string out = "== " + scenario + "\n", said = out;
    std::string names[8][7];
    HeadlessStatus status = headless_wait_idle();
    for (size_t i = first; i <= all.size(); ++i) {
        const std::string step = i == first ? "start" : all[i - 1];
        if (status == HeadlessStatus::ended) {
            out += step + " | ended " + std::to_string(headless_exit_code()) + "\n";
            said += step + " |" + told(names) + " | ended\n";
            break;
        }
        EXPECT_EQ(named_discs(), discs()) << "after " << step << " in " << scenario;
        const std::string now = messages() + " | " + discs() + " |" + tones() + " | " +
                                std::to_string(int64_t(headless_now_ms())) + " ms | " + frame_hash();
        if (i > first || now != starts.games) out += step + " | " + now + "\n";
        const std::string now_told = told(names) + " | " + frame_hash();
        if (i > first || now_told != starts.said) said += step + " |" + now_told + "\n";
        if (i == first) starts = {now, now_told};
        if (i == all.size()) break;
        play_step(all[i], temp + "/ZAQT.bmp");
        status = headless_wait_idle();
    }
    headless_finish();
    return {out, said};
}

} // namespace

// Clicks: "ja" is the cells from (238, 30) to (255, 44); column c the pixels from 42 + 64c to
// 42 + 64c + 49 at any height, nothing in between.
TEST(Games, ClicksMeanWhatLiesUnderThem) {
    for (int32_t y : {0, 29, 30, 37, 44, 45, 300, 479})
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
            const int32_t c = (x - 42) / 64;
            ASSERT_EQ(column_code_at(x), x >= 106 && x <= 539 && (x - 42) % 64 < 50 ? '0' + c : 0) << x;
            ASSERT_EQ(on_yes_option(x, y), x >= 238 && x <= 255 && y >= 30 && y <= 44) << x << ", " << y;
        }
}

TEST(Games, PlayAsTheirTranscriptsSay) {
    Transcripts starts;
    expect_replayed_golden("games.golden", "== ", [&](const std::string& s) { return play_both(s, starts).games; });
}

TEST(Games, TellAScreenReaderWhatTheirTranscriptsSay) {
    Transcripts starts;
    expect_replayed_golden("said.golden", "== ", [&](const std::string& s) { return play_both(s, starts).said; });
}
