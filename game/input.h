// input.h -- the game driver's input waits and the tests it applies to what they bring.
// Used only inside game/.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t CODE_ESCAPE = 27;
constexpr int32_t CODE_J = 74;        // "J"
constexpr int32_t CODE_LOWER_J = 106; // "j"
constexpr int32_t CODE_DIGIT_0 = 48;  // "0"; the keys "1".."7" are 49..55
constexpr int32_t CODE_ENTER = 13;

constexpr int32_t YES_LEFT = 238, YES_RIGHT = 255; // the "ja" click area, pixels inclusive
constexpr int32_t YES_TOP = 30, YES_BOTTOM = 44;
constexpr int32_t COLUMN_CLICK_WIDTH = 50; // pixels of a column's click range; 14 between two

// Returns the leftmost pixel of the click range of column 1..7: 106, 170, ..., 490.
constexpr int32_t column_click_left(int32_t column) {
    return 42 + 64 * column;
}

// Polls keyboard and mouse every 3 ms until a key is waiting or a mouse button is held, leaving
// the last poll's key and mouse state in game.key, game.mouse_x, game.mouse_y, game.mouse_buttons.
// Sleeps between polls while nothing can have changed, so a waiting game costs no CPU.
void wait_for_input();

// The game's three waits for input, each with its own choices.
enum class Wait {
    answer,    // the start question: "ja" or "nee"
    column,    // the player's turn: a column 1..7
    next_game, // after a result: anything but Escape
};

// Waits for input as wait_for_input does, with the wait's choices offered meanwhile.
void wait_for_choice(Wait wait);

// Reads the mouse until no button is held, starting from the state of the latest poll.
void wait_for_button_release();

// Tells whether the input means "quit": Escape, or the window's close request (byte 255, "k").
bool is_quit(const std::string& key, int32_t code);

// Tells whether the key text is exactly the one character `c`.
bool key_is(const std::string& key, char c);

// Returns the column code ("1".."7" as 49..55) of a click at pixel column x, or 0 for a click
// beside or between the seven column ranges. The height of the click does not matter.
int32_t column_code_at(int32_t x);

// Tells whether a click at (x, y) lies on the "ja" of the start question.
bool on_yes_option(int32_t x, int32_t y);

// Selects the next playing style (0 -> 1 -> 2 -> 3 -> 0) and sounds it as style + 1 short tones.
// The weights of the running game stay; the new style plays from the next game on.
void cycle_tactic();
