// game_harness.h -- runs the whole game on the headless backend and reads what the player sees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen/headless.h"

constexpr uint32_t RED = 0xFF4400;    // the first disc of a game, and every second one after it
constexpr uint32_t YELLOW = 0xFFFF00; // the other discs, and the "ja"/"nee" of the start question
constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLACK = 0x000000;
constexpr int32_t ESCAPE = 27;

// Human move lines against the style-0 computer when the human begins, as the columns the human
// plays, one digit a move. Each was found by a depth-first search over the human's moves and is
// checked here by playing it through the real game.
constexpr const char* HUMAN_WINS = "22435";                     // computer: 4 2 3 5; the human's 9th disc wins
constexpr const char* COMPUTER_WINS = "2377";                   // computer: 4 4 4 4, four up column 4
constexpr const char* DRAW = "266471522431424763173";           // 42 discs; column 5 is full after 13 moves
constexpr const char* LAST_DISC_WINS = "266471522431466743172"; // the computer's 42nd disc wins
constexpr const char* DRAW_BOARD = "YYRRYRR/YRRRYYY/RRRYRYR/YYYRYYY/RRYRYRY/RRYYYRR"; // after DRAW

// With the computer opening in column 2 (seed 7), the human's "121" lets it complete the bottom
// row 2-3-4-5 with the game's 7th disc.
constexpr double OPENS_IN_2 = 7;
constexpr const char* SEVENTH_DISC_WINS = "121";

// Starts the program on a fresh headless screen and waits for its start question. `temp` is the
// directory the picture file goes into; by default one that does not exist, so that there is no
// picture and the background stays black.
void start_game(const std::string& temp = "");

// Like start_game, but fixes the random generator with `seed` right after start-up.
void start_seeded_game(double seed, const std::string& temp = "");

// A fresh scratch directory, removed at the end of the test program.
std::string scratch_directory();

// Waits until the game waits for input; fails the test when it has ended instead.
void settle();

// Types the text (one key per byte) and waits until the game waits again.
void press(const std::string& keys);

// Presses the left button at (x, y), lets the game see it, then releases it, and waits.
void click(int32_t x, int32_t y);

// Plays a line of human moves, one digit per move, waiting after each.
void play_line(const std::string& columns);

// The message line (row 3 from column 14, 27 characters) and the computer's notice (row 3 from
// column 59, 10 characters) as the frame shows them.
std::string message_line();
std::string computer_notice();

// The colour of the disc at the hole centre of column 1..7, board row 0 (bottom)..5.
uint32_t disc_at(int32_t column, int32_t row);

// The discs on the screen as a text, top row first: "R" red, "Y" yellow, "." no disc.
std::string discs_on_screen();

// The tones played since the last clear, as "frequency/duration" words joined by spaces.
std::string tones_heard();

// A tone cue written as that text: the error tones, the win tunes.
extern const std::string ERROR_TONES;
extern const std::string HUMAN_WIN_TONES;
extern const std::string COMPUTER_WIN_TONES;
