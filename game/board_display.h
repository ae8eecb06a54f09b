// board_display.h -- the board plate with its 42 holes, and the discs drawn into it.
#pragma once

#include <cstdint>

constexpr uint32_t BOARD_COLOUR = 0x2200AA; // plate, rings, fillers and frame

// Draws the whole board and the Space hint below it; leaves the text cursor behind the hint.
// Called by the game driver once at every game's set-up, after the banner and the start question.
void draw_board();

// Draws one disc in the colour that game.disc_mark names, centred on the hole of the text cell
// at the cursor (x = 8T - 13, y = 16R - 8). Changes neither the mark nor the cursor.
// Called by the game driver right after it has printed a space in front of the hole.
void draw_disc();
