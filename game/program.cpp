// program.cpp -- the program's entry on the game thread: start-up, then one game after another.
//
// Kept out of the game library so that the platform's main() finds it whatever the link order.
#include "game/driver.h"
#include "screen/screen.h"

void program_main() {
    start_up();
    play_games();
}
