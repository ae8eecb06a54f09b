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
#include "game/startup_trace.h"
#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "rules/win.h"
#include "screen/screen.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t YELLOW = 0xFFFF00;
constexpr int32_t FOREGROUND_ONLY = 2;       // set_color flags: the text background stays black
constexpr int32_t ABSOLUTE = 4;              // set_pixel flags
constexpr int32_t FILLED_BOX = 2;            // draw_line mode
constexpr int32_t SOLID_STYLE = 0xFFFF;      // draw_line pattern
constexpr uint32_t CLEAR_BLACK = 0xFF000000; // the frame as open_screen leaves it
constexpr int32_t DISC_PAUSE = 500;          // ms after every drawn disc; a key cuts it short
constexpr int32_t LAST_DISC = 42;

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

// Prints a text on the message line.
void show_message(const char* text, int32_t line_end) {
    locate(MESSAGE_ROW, MESSAGE_COLUMN);
    print_text(text, line_end);
}

// Prints a piece of text in the given colour at the cursor.
void print_in(uint32_t colour, const char* text, int32_t line_end) {
    set_color(colour, 0, FOREGROUND_ONLY);
    print_text(text, line_end);
}

// --- Set-up ---

// Shows the background picture; when it cannot be shown, blanks the frame first, so that no disc
// of the previous game stays visible, and draws whatever rows of the picture are readable.
void show_background() {
    show_picture();
    if (last_error() == ERROR_NONE) return;
    draw_line(0, 0, FRAME_WIDTH - 1, FRAME_HEIGHT - 1, CLEAR_BLACK, FILLED_BOX, SOLID_STYLE, 0);
    show_picture();
}

// Renews everything a game starts afresh; the playing style lives on.
void renew_game_state() {
    game.disc_mark = "O";
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) game.drop_row[column] = START_DROP_ROW;
    load_tactic_weights();
    reset_board();
    game.win_found = 0;
    game.move_count = 0;
}

// Draws the banner from the data table, column by column, each column from top to bottom.
void draw_banner() {
    set_read_position(ReadPosition::banner);
    for (int32_t x = BANNER_LEFT; x <= BANNER_RIGHT; ++x) {
        for (int32_t y = BANNER_TOP; y <= BANNER_BOTTOM; ++y) {
            set_pixel(static_cast<float>(x), static_cast<float>(y), static_cast<uint32_t>(read_int()), ABSOLUTE);
        }
    }
}

// Prints "Wil je beginnen [ja][nee] ?" with the two answers in yellow; the text stays white after.
void print_start_question() {
    locate(MESSAGE_ROW, MESSAGE_COLUMN);
    print_in(WHITE, "Wil je beginnen [", 0);
    print_in(YELLOW, "ja", 0);
    print_in(WHITE, "][", 0);
    print_in(YELLOW, "nee", 0);
    print_in(WHITE, "] ?", 1);
}

// Prepares a game: picture, fresh state, banner, start question and board.
void set_up_game() {
    show_background();
    renew_game_state();
    draw_banner();
    print_start_question();
    draw_board();
    trace_start_screen();
    wait_for_button_release();
}

// --- Who begins ---

// Prints the column numbers under the board, over the Space hint.
void print_column_labels() {
    locate(LABELS_ROW, LABELS_COLUMN);
    print_text("1       2       3       4       5       6       7", 0);
}

// Waits for the answer to the start question and returns who begins, HUMAN or COMPUTER.
// Space changes the style and keeps the question open; Escape or a close request quits.
int32_t ask_who_begins() {
    for (;;) {
        wait_for_input();
        print_column_labels();
        if (key_is(game.key, ' ')) {
            cycle_tactic();
            continue;
        }
        game.code = char_code(game.key, 1);
        if (game.mouse_buttons > 0 && on_yes_option(game.mouse_x, game.mouse_y)) game.code = CODE_J;
        if (is_quit(game.key, game.code)) end_program(0);
        return game.code == CODE_J || game.code == CODE_LOWER_J ? HUMAN : COMPUTER;
    }
}

// --- Moves ---

// Draws the next disc of a column in its hole and pauses; the drawing half of every move.
// For a full column nothing is drawn and the disc colour does not change.
void drop_disc(int32_t column) {
    if (game.drop_row[column] > 6) game.disc_mark = text_compare(game.disc_mark, "O") == 0 ? "X" : "O";
    locate(game.drop_row[column], 8 * column + 9);
    game.drop_row[column] -= DROP_ROW_STEP;
    if (game.drop_row[column] > 2) {
        print_text(" ", 0);
        draw_disc();
        pause(DISC_PAUSE);
    }
}

// Tells whether the disc just placed by `player` ended the game, and if so shows the result.
// The win test runs from the seventh disc on and before the draw test, so a four made with the
// last disc is a win.
bool game_ended_by(int32_t player) {
    if (game.move_count > 6) {
        game.test_player = player;
        has_four();
    }
    if (game.win_found == 1) {
        if (player == HUMAN) {
            show_message("Je hebt gewonnen !", 1);
            play(HUMAN_WIN_TONES);
        } else {
            show_message("Ik heb gewonnen !", 1);
            play(COMPUTER_WIN_TONES);
        }
        return true;
    }
    if (game.move_count >= LAST_DISC) {
        show_message("Geen winnaar", 1);
        return true;
    }
    return false;
}

// Waits for the human's column: a key "1".."7" or a click in a column range. Space changes the
// style and keeps waiting; Escape or a close request quits. Returns the column, which may lie
// outside 1..7 for any other input.
int32_t read_human_column() {
    for (;;) {
        wait_for_input();
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
void play_human_turn() {
    for (;;) {
        game.placed = 0;
        show_message("Welke rij?                 ", 0);
        wait_for_button_release();
        int32_t column = read_human_column();
        if (column >= 1 && column <= COLUMN_COUNT) {
            drop_disc(column);
            if (drop_cell(column, HUMAN)) {
                game.placed = 1;
                game.move_count += 1;
                return;
            }
        }
        play(ERROR_TONES);
    }
}

// Chooses the computer's column and places its disc on the board (not yet on the screen).
void choose_computer_move() {
    game.computer_column = choose_computer_column();
    drop_cell(game.computer_column, COMPUTER);
    game.move_count += 1;
}

// Draws the computer's disc, prints "Mijn zet" with its column, and tells whether the game ended.
bool show_computer_move() {
    drop_disc(game.computer_column);
    locate(NOTICE_ROW, NOTICE_COLUMN);
    print_text("Mijn zet", 0);
    print_number(game.computer_column);
    return game_ended_by(COMPUTER);
}

// Plays one game from the start question to its result.
void play_game() {
    if (ask_who_begins() == COMPUTER) {
        choose_computer_move(); // its opening: a random column 2..5
        if (show_computer_move()) return;
    }
    for (;;) {
        play_human_turn();
        if (game_ended_by(HUMAN)) return;
        choose_computer_move();
        if (show_computer_move()) return;
    }
}

// Waits after a result: Escape or a close request quits, any other key or click plays again.
void wait_for_next_game() {
    wait_for_input();
    if (is_quit(game.key, char_code(game.key, 1))) end_program(0);
}

} // namespace

void start_up() {
    trace_game_start();
    set_read_position(ReadPosition::directions);
    open_screen(FRAME_WIDTH, FRAME_HEIGHT, 32, 1, 0, 0);
    set_text_grid(80, 30);
    seed_random(timer_seconds(), 0);
    if (!picture_file_exists()) extract_picture();
    game.tactic = 0;
}

void play_games() {
    for (;;) {
        set_up_game();
        play_game();
        wait_for_next_game();
    }
}
