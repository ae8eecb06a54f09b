// lab_main.cpp -- viertal-lab: the computer's scores, the win test and style-against-style matches.
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "rules/win.h"
#include "tools/lab/lab.h"

namespace {

// Puts the discs of the command line on a freshly reset board.
void set_up_board(const LabOptions& options) {
    reset_board();
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) game.board.cells[cell] = options.cells[cell];
    game.move_count = options.disc_count;
    game.win_found = 0;
}

// Prints the column scores and the computer's choice for the given position.
int run_scores(const LabOptions& options) {
    set_up_board(options);
    if (options.given_moves) game.move_count = options.moves;
    game.tactic = options.tactic;
    load_tactic_weights();
    score_columns();
    std::printf("scores");
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column) std::printf(" %d", game.column_scores[column]);
    // The opening draws a random number; here it is the one given with --random.
    int32_t column = game.move_count == 0 ? opening_column(options.random) : choose_computer_column();
    std::printf("\ncolumn %d\n", column);
    return 0;
}

// Prints whether the given player has four in a line.
int run_win(const LabOptions& options) {
    set_up_board(options);
    game.test_player = options.player;
    has_four();
    std::puts(game.win_found == 1 ? "win" : "no win");
    return 0;
}

// Plays the match and prints its tally and A's mean decision time.
int run_match_command(const LabOptions& options) {
    MatchResult result = run_match(options, isatty(STDERR_FILENO) != 0);
    std::printf("wins %lld draws %lld losses %lld\n", static_cast<long long>(result.wins),
                static_cast<long long>(result.draws), static_cast<long long>(result.losses));
    double mean_us = result.decisions > 0 ? result.decision_seconds * 1e6 / result.decisions : 0.0;
    std::printf("mean decision time %.3f us per move\n", mean_us);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) lab_fail("missing command: scores, win or match");
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 || std::strcmp(name, "help") == 0) {
        print_lab_help();
        return 0;
    }
    LabOptions options;
    if (std::strcmp(name, "scores") == 0) {
        parse_lab_options(LabCommand::scores, argc, argv, options);
        return run_scores(options);
    }
    if (std::strcmp(name, "win") == 0) {
        parse_lab_options(LabCommand::win, argc, argv, options);
        return run_win(options);
    }
    if (std::strcmp(name, "match") == 0) {
        parse_lab_options(LabCommand::match, argc, argv, options);
        return run_match_command(options);
    }
    lab_fail("unknown command", name);
}
