// driver.h -- the game driver in its two halves, for programs that run the game in their own way
// (a test that fixes the random seed after start-up). The program itself is program_main().
#pragma once

// Opens the screen, seeds the random generator from the clock, makes sure the picture file
// exists and sets the playing style to 0. Called once, first thing.
void start_up();

// Plays one game after another until the player quits; ends the process with exit code 0.
[[noreturn]] void play_games();
