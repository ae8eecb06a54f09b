// telling.h -- the game's words for a screen reader: each text the frame shows, said as it
// appears, and what only the eyes get from the frame (whose disc went where, why a move was
// refused, the style, the player's colour); the board's cells named for review; the choices of
// each wait offered as controls. Used only inside game/; the facility hands it all on.
#pragma once

#include <cstdint>

#include "game/input.h"

// Says the game's keys. Called once at start-up.
void tell_keys();

// Names every cell empty and says the start question and the Space hint. Called at every game's
// set-up, once the board is drawn.
void tell_new_game();

// Says who begins (HUMAN or COMPUTER) and so which colour is the player's.
void tell_beginner(int32_t player);

// Names the cell of the disc just drawn in the column and says the move of `player`: the
// column, the colour and the height. Called after the disc is drawn and before place_disc.
void tell_disc(int32_t column, int32_t player);

// Says why the column (any number) was refused: full, or no column at all.
void tell_refusal(int32_t column);

// Says the style just selected, which plays from the next game on.
void tell_tactic();

// Says what a key or click does once a game is over. Called after the result.
void tell_next_game();

// Offers the choices of the wait, and withdraws them again. Called around every wait for input.
void offer_choices_of(Wait wait);
void withdraw_choices();
