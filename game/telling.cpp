// telling.cpp -- the game's words for a screen reader (telling.h). Short, plain Dutch in the
// game's own terms: a column is a "rij" as in "Welke rij?", numbered as the keys 1 to 7, and a
// disc's height counts from 1 at the bottom.
#include "game/telling.h"

#include <cstdio>

#include "game/input.h"
#include "rules/board.h"
#include "rules/game_state.h"
#include "screen/screen.h"

namespace {

constexpr int32_t HEIGHTS = 6;
constexpr int32_t NO_X = 284, NO_Y = 40; // the middle of "nee" (text columns 35..37 of row 3)
constexpr int32_t COLUMN_CLICK_Y = 104;  // any height will do; this is the top row's holes

// A short text made of words and numbers.
struct Words {
    char text[80];
};

// Returns the text that printf's format makes of the values.
template <typename... Values>
Words words(const char* format, Values... values) {
    Words made;
    std::snprintf(made.text, sizeof made.text, format, values...);
    return made;
}

// The colour that game.disc_mark gives the disc just drawn.
const char* disc_colour() {
    return text_compare(game.disc_mark, "X") == 0 ? "rood" : "geel";
}

void name_cell_as(int32_t column, int32_t height, const char* contents) {
    name_cell(column, height, words("rij %d, hoogte %d: %s", column, height, contents).text);
}

} // namespace

void tell_keys() {
    announce("Vier op een rij tegen de computer. J: jij begint. Een andere toets: de computer begint. "
             "1 tot 7: je schijf in die rij. Spatie: andere taktiek. Escape: stoppen.");
}

void tell_new_game() {
    for (int32_t height = HEIGHTS; height >= 1; --height)
        for (int32_t column = 1; column <= COLUMN_COUNT; ++column) name_cell_as(column, height, "leeg");
    announce("Wil je beginnen? Ja of nee.");
    announce("Met Spatie andere taktiek selecteren.");
}

void tell_beginner(int32_t player) {
    announce(player == HUMAN ? "Jij begint en speelt met rood." : "De computer begint. Jij speelt met geel.");
}

void tell_disc(int32_t column, int32_t player) {
    // The column's drop_row still names the hole the disc was drawn in: 27 is height 1, 7 is 6.
    const int32_t height = (START_DROP_ROW - game.drop_row[column]) / DROP_ROW_STEP + 1;
    name_cell_as(column, height, disc_colour());
    announce(
        words("%s zet %d, %s op hoogte %d.", player == HUMAN ? "Jouw" : "Mijn", column, disc_colour(), height).text);
}

void tell_refusal(int32_t column) {
    announce(column >= 1 && column <= COLUMN_COUNT ? words("Rij %d is vol.", column).text : "Geen rij. Kies 1 tot 7.");
}

void tell_tactic() {
    announce(words("Taktiek %d speelt vanaf het volgende spel.", game.tactic).text);
}

void tell_next_game() {
    announce("Een toets: nieuw spel. Escape: stoppen.");
}

void offer_choices_of(Wait wait) {
    Choice choices[COLUMN_COUNT];
    Words names[COLUMN_COUNT];
    int32_t count = 0;
    switch (wait) {
    case Wait::answer:
        choices[count++] = {"ja", (YES_LEFT + YES_RIGHT) / 2, (YES_TOP + YES_BOTTOM) / 2, 0, true};
        choices[count++] = {"nee", NO_X, NO_Y, 0, true};
        break;
    case Wait::column:
        for (int32_t column = 1; column <= COLUMN_COUNT; ++column) {
            names[count] = words("Rij %d%s", column, lowest_empty_cell(column) == 0 ? ", vol" : "");
            choices[count] = {names[count].text, column_click_left(column) + COLUMN_CLICK_WIDTH / 2, COLUMN_CLICK_Y, 0,
                              false};
            ++count;
        }
        break;
    case Wait::next_game: choices[count++] = {"Nieuw spel", 0, 0, CODE_ENTER, false}; break;
    }
    offer_choices(choices, count);
}

void withdraw_choices() {
    offer_choices(nullptr, 0);
}
