// timed_main.cpp -- the game exactly as the program plays it (game/program.cpp), with one line
// more: the moment the game's own code starts, for the start-up benchmarks.
//
// First thing on the game thread it prints
//     viertal: game code from 1765123456.123456 s
// on stderr: the wall clock as Unix seconds, so that the benchmark, which notes the same clock
// just before it starts the process and when the window shows the start screen, can split the
// start-up into the part before the game's code runs and the game's own part. The wall clock and
// not a monotonic one, because the Windows program under Wine reads it too: Wine gives the same
// Unix clock to both.
#include <chrono>
#include <cstdio>

#include "game/driver.h"
#include "screen/screen.h"

void program_main() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::fprintf(stderr, "viertal: game code from %.6f s\n", std::chrono::duration<double>(now).count());
    std::fflush(stderr);
    start_up();
    play_games();
}
