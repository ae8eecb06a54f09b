// input.cpp -- the input waits of the game driver and the meaning of keys and clicks.
#include "game/input.h"

#include "game/telling.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "screen/screen.h"

namespace {

constexpr int32_t POLL_PAUSE = 3; // ms between two input polls

constexpr int32_t TACTIC_TONE_FREQUENCY = 400; // Hz
constexpr int32_t TACTIC_TONE_DURATION = 120;  // ms

// Reads the mouse into the game state; its result and the confinement value are not used.
void read_game_mouse() {
    int32_t confinement = 0;
    read_mouse(game.mouse_x, game.mouse_y, game.mouse_wheel, game.mouse_buttons, confinement);
}

} // namespace

void wait_for_input() {
    do {
        uint64_t seen = input_serial();
        game.key = read_key();
        read_game_mouse();
        pause(POLL_PAUSE);
        bool found = !game.key.empty() || game.mouse_buttons > 0;
        // Nothing new since before this poll: sleep until a key, button or focus change comes.
        if (!found && input_serial() == seen) sleep_until_input(seen);
    } while (game.key.empty() && game.mouse_buttons <= 0);
}

void wait_for_choice(Wait wait) {
    offer_choices_of(wait);
    wait_for_input();
    withdraw_choices();
}

void wait_for_button_release() {
    while (game.mouse_buttons >= 1) {
        uint64_t seen = input_serial();
        read_game_mouse();
        // Still held: nothing can change before the next button, focus or pointer event.
        if (game.mouse_buttons >= 1) sleep_until_input(seen);
    }
}

bool is_quit(const std::string& key, int32_t code) {
    return code == CODE_ESCAPE || text_compare(text_mid(key, 2, -1), "k") == 0;
}

bool key_is(const std::string& key, char c) {
    return text_compare(key, std::string(1, c)) == 0;
}

int32_t column_code_at(int32_t x) {
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) {
        const int32_t left = column_click_left(column);
        if (x >= left && x < left + COLUMN_CLICK_WIDTH) return CODE_DIGIT_0 + column;
    }
    return 0;
}

bool on_yes_option(int32_t x, int32_t y) {
    return x >= YES_LEFT && x <= YES_RIGHT && y >= YES_TOP && y <= YES_BOTTOM;
}

void cycle_tactic() {
    game.tactic = (game.tactic + 1) % TACTIC_COUNT;
    tell_tactic();
    for (int32_t i = 0; i <= game.tactic; ++i) tone(TACTIC_TONE_FREQUENCY, TACTIC_TONE_DURATION);
}
