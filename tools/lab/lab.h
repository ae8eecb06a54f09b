// lab.h -- shared parts of viertal-lab: parsed options and the match runner.
#pragma once

#include <cstdint>

constexpr int32_t AGAINST_RANDOM = -1;    // --against random
constexpr int32_t MAX_GAMES = 10'000'000; // --games: a few minutes of the slowest pairing

// Everything the command line can say; `given_*` tells which options were present.
struct LabOptions {
    int32_t tactic = 0;               // --tactic 0..3
    int32_t against = AGAINST_RANDOM; // --against random|0..3
    int32_t games = 0;                // --games 1..MAX_GAMES
    uint64_t seed = 1;                // --seed
    int32_t moves = 0;                // --moves 0..42
    double random = 0.5;              // --random [0, 1)
    int32_t player = 0;               // --player: COMPUTER or HUMAN
    int32_t cells[43] = {};           // [1..42] EMPTY, COMPUTER or HUMAN from --computer / --human
    int32_t disc_count = 0;           // cells given in all
    bool given_tactic = false, given_against = false, given_games = false, given_moves = false;
    bool given_player = false;
};

enum class LabCommand { scores, win, match };

// Parses argv[2..] for `command` into `options`; on any bad input prints one line on stderr and
// exits with status 2, on --help prints the help and exits with 0.
void parse_lab_options(LabCommand command, int argc, char** argv, LabOptions& options);

// Prints one line "viertal-lab: <message>" on stderr and exits with status 2.
[[noreturn]] void lab_fail(const char* message, const char* detail = nullptr);

// Prints the help text on stdout.
void print_lab_help();

// Results of a match from the side of tactic A.
struct MatchResult {
    int64_t wins = 0, draws = 0, losses = 0;
    int64_t decisions = 0;         // moves chosen by tactic A
    double decision_seconds = 0.0; // time spent choosing them
};

// Plays options.games complete games, tactic A against the opponent, alternating who begins.
// With `show_progress_on_stderr` (stderr is a terminal) a match of more than two seconds shows
// how far it has got on stderr, in one line wiped at the end.
MatchResult run_match(const LabOptions& options, bool show_progress_on_stderr);
