// driver.cpp -- the program from start-up to exit: one game of four-in-a-row after another.
//
// Reads as the order of play: set-up, who begins, the turns, the result, the wait for the next
// game. All state is the `game` record; the rules decide, the board display draws, and this file
// decides every text, position, tone and pause in between.
#include "game/driver.h"

#include "data/data_table.h"
#include "data/picture.h"
#include "game/board_display.h"
#include "game/input.h"
#include "game/telling.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "rules/move.h"
#include "screen/screen.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t YELLOW = 0xFFFF00;
constexpr int32_t DISC_PAUSE = 500;  // ms after every drawn disc; a key cuts it short
constexpr int32_t FULL_DROP_ROW = 6; // a column whose drop row is this or less is full

constexpr int32_t MESSAGE_ROW = 3, MESSAGE_COLUMN = 14;  // start question, prompts, results
constexpr int32_t NOTICE_ROW = 3, NOTICE_COLUMN = 59;    // "Mijn zet" and the computer's column
constexpr int32_t LABELS_ROW = 30, LABELS_COLUMN = 17;   // the column numbers under the board
constexpr int32_t BANNER_LEFT = 146, BANNER_RIGHT = 497; // pixels, both inclusive
constexpr int32_t BANNER_TOP = 2, BANNER_BOTTOM = 13;

struct Tone {
    int32_t frequency; // Hz
    int32_t duration;  // ms
};
constexpr Tone ERROR_TONES[] = {{600, 120}, {500, 240}};
constexpr Tone HUMAN_WIN_TONES[] = {{200, 120}, {300, 120}, {400, 120}, {500, 120},
                                    {600, 120}, {700, 120}, {800, 120}, {900, 120}};
constexpr Tone COMPUTER_WIN_TONES[] = {{900, 120}, {700, 180}, {1050, 240}};

// Plays a tone cue, one tone after the other.
template <size_t N>
void play(const Tone (&cue)[N]) {
    for (const Tone& t : cue) tone(t.frequency, t.duration);
}

// Prints a text on the message line and says it.
void show_message(const char* text, int32_t line_end) {
    locate(MESSAGE_ROW, MESSAGE_COLUMN);
    print_text(text, line_end);
    announce(text);
}

// Prints a piece of text in the given colour at the cursor; the text background stays.
void print_in(uint32_t colour, const char* text, int32_t line_end) {
    set_color(colour, 0, KEEP_BACKGROUND);
    print_text(text, line_end);
}

// --- Set-up ---

// Shows the background picture; when it cannot be shown, blanks the frame first, so that no disc
// of the previous game stays visible, and draws whatever rows of the picture are readable.
void show_background() {
    show_picture();
    if (last_error() == ERROR_NONE) return;
    draw_line(0, 0, FRAME_WIDTH - 1, FRAME_HEIGHT - 1, OPEN_BACKGROUND, FILLED_BOX, SOLID_STYLE, 0);
    show_picture();
}

// Draws the banner from the data table, column by column, each column from top to bottom.
void draw_banner() {
    set_read_position(ReadPosition::banner);
    for (int32_t x = BANNER_LEFT; x <= BANNER_RIGHT; ++x) {
        for (int32_t y = BANNER_TOP; y <= BANNER_BOTTOM; ++y) {
            set_pixel(static_cast<float>(x), static_cast<float>(y), static_cast<uint32_t>(read_int()),
                      ABSOLUTE_COORDINATES);
        }
    }
}

// Prints "Wil je beginnen [ja][nee] ?" with the two answers in yellow; the text stays white after.
void print_start_question() {
    locate(MESSAGE_ROW, MESSAGE_COLUMN);
    print_in(WHITE, "Wil je beginnen [", STAY_ON_LINE);
    print_in(YELLOW, "ja", STAY_ON_LINE);
    print_in(WHITE, "][", STAY_ON_LINE);
    print_in(YELLOW, "nee", STAY_ON_LINE);
    print_in(WHITE, "] ?", NEW_LINE);
}

// Prepares a game: picture, fresh state, banner, start question and board.
void set_up_game() {
    show_background();
    renew_game();
    draw_banner();
    print_start_question();
    draw_board();
    tell_new_game();
    wait_for_button_release();
}

// --- Who begins ---

// Prints the column numbers under the board, over the Space hint.
void print_column_labels() {
    locate(LABELS_ROW, LABELS_COLUMN);
    print_text("1       2       3       4       5       6       7", STAY_ON_LINE);
}

// Waits for the answer to the start question and returns who begins, HUMAN or COMPUTER.
// Space changes the style and keeps the question open; Escape or a close request quits.
int32_t ask_who_begins() {
    for (;;) {
        wait_for_choice(Wait::answer);
        print_column_labels();
        if (key_is(game.key, ' ')) {
            cycle_tactic();
            continue;
        }
        game.code = char_code(game.key, 1);
        if (game.mouse_buttons > 0 && on_yes_option(game.mouse_x, game.mouse_y)) game.code = CODE_J;
        if (is_quit(game.key, game.code)) end_program(0);
        const int32_t beginner = game.code == CODE_J || game.code == CODE_LOWER_J ? HUMAN : COMPUTER;
        tell_beginner(beginner);
        return beginner;
    }
}

// --- Moves ---

// Draws the next disc of a column in its hole; the drawing half of every move, done before
// place_disc lowers the column's drop row. A full column draws nothing, keeps the colour of the
// next disc and returns false.
bool draw_next_disc(int32_t column) {
    const bool room = game.drop_row[column] > FULL_DROP_ROW;
    if (room) game.disc_mark = text_compare(game.disc_mark, "O") == 0 ? "X" : "O";
    locate(game.drop_row[column], 8 * column + 9);
    if (!room) return false;
    print_text(" ", STAY_ON_LINE);
    draw_disc();
    return true;
}

// Shows how the move of `player` ended the game, if it did: the result line and its tune. A win
// with the 42nd disc is a win.
bool show_result(MoveOutcome outcome, int32_t player) {
    if (outcome == MoveOutcome::won && player == HUMAN) {
        show_message("Je hebt gewonnen !", NEW_LINE);
        tell_next_game();
        play(HUMAN_WIN_TONES);
        return true;
    }
    if (outcome == MoveOutcome::won) {
        show_message("Ik heb gewonnen !", NEW_LINE);
        tell_next_game();
        play(COMPUTER_WIN_TONES);
        return true;
    }
    if (outcome == MoveOutcome::drawn) {
        show_message("Geen winnaar", NEW_LINE);
        tell_next_game();
        return true;
    }
    return false;
}

// Waits for the human's column: a key "1".."7" or a click in a column range. Space changes the
// style and keeps waiting; Escape or a close request quits. Returns the column, which may lie
// outside 1..7 for any other input.
int32_t read_human_column() {
    for (;;) {
        wait_for_choice(Wait::column);
        if (key_is(game.key, ' ')) {
            cycle_tactic();
            continue;
        }
        game.code = game.mouse_buttons > 0 ? column_code_at(game.mouse_x) : char_code(game.key, 1);
        if (is_quit(game.key, game.code)) end_program(0);
        return game.code - CODE_DIGIT_0;
    }
}

// Plays the human's turn: asks "Welke rij?" until a column with room is chosen, refusing every
// other input with the error tones, and places the disc there.
MoveOutcome play_human_turn() {
    for (;;) {
        game.placed = 0;
        show_message("Welke rij?", STAY_ON_LINE);
        print_text("                 ", STAY_ON_LINE); // the rest of what stood on the line
        wait_for_button_release();
        const int32_t column = read_human_column();
        if (column >= 1 && column <= COLUMN_COUNT) {
            if (draw_next_disc(column)) {
                tell_disc(column, HUMAN);
                pause(DISC_PAUSE);
            }
            const MoveOutcome outcome = place_disc(column, HUMAN);
            if (outcome != MoveOutcome::refused) {
                game.placed = 1;
                return outcome;
            }
        }
        tell_refusal(column);
        play(ERROR_TONES);
    }
}

// Plays the computer's turn: chooses its column (the opening at random), draws the disc, prints
// "Mijn zet" with the column, and places the disc.
MoveOutcome play_computer_turn() {
    game.computer_column = choose_computer_column();
    if (draw_next_disc(game.computer_column)) pause(DISC_PAUSE);
    locate(NOTICE_ROW, NOTICE_COLUMN);
    print_text("Mijn zet", STAY_ON_LINE);
    print_number(game.computer_column);
    tell_disc(game.computer_column, COMPUTER);
    return place_disc(game.computer_column, COMPUTER);
}

// Plays one game from the start question to its result.
void play_game() {
    if (ask_who_begins() == COMPUTER && show_result(play_computer_turn(), COMPUTER)) return;
    for (;;) {
        if (show_result(play_human_turn(), HUMAN)) return;
        if (show_result(play_computer_turn(), COMPUTER)) return;
    }
}

// Waits after a result: Escape or a close request quits, any other key or click plays again.
void wait_for_next_game() {
    wait_for_choice(Wait::next_game);
    if (is_quit(game.key, char_code(game.key, 1))) end_program(0);
}

} // namespace

void start_up() {
    set_read_position(ReadPosition::directions);
    open_screen(FRAME_WIDTH, FRAME_HEIGHT, 32, 1, 0, 0);
    set_text_grid(80, 30);
    seed_random(timer_seconds(), 0);
    if (!picture_file_exists()) extract_picture();
    game.tactic = 0;
    tell_keys();
}

void play_games() {
    for (;;) {
        set_up_game();
        play_game();
        wait_for_next_game();
    }
}
