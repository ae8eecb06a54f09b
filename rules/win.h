// win.h -- the four-in-a-row test.
#pragma once

// Sets game.win_found to 1 when game.test_player has four discs in an unbroken line anywhere on
// the board; never clears it. Copies the cells into the padded board first and reads the first
// four step directions from the data table, leaving its read position after the fourth.
// Called by place_disc after a disc of test_player, once move_count exceeds 6.
void has_four();
