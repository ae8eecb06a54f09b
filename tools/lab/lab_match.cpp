// lab_match.cpp -- complete games between one playing style and an opponent.
//
// Style A always plays the COMPUTER discs. A style opponent plays the HUMAN discs: before it is
// asked, the board is turned round (COMPUTER and HUMAN swapped) so the evaluation sees its discs
// as its own, and turned back after.
#include <chrono>
#include <cstdio>

#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "rules/move.h"
#include "screen/screen.h"
#include "tools/lab/lab.h"

namespace {

// The random opponent's own generator (splitmix64), apart from the game's random_number.
struct OpponentRandom {
    uint64_t state;
};

// Returns the generator's next 64-bit output.
uint64_t next_random(OpponentRandom& r) {
    uint64_t z = (r.state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Returns a column chosen uniformly among the open ones, 0 on a full board.
int32_t random_open_column(OpponentRandom& r) {
    int32_t open[COLUMN_COUNT] = {};
    int32_t count = 0;
    for (int32_t column = 1; column <= COLUMN_COUNT; ++column)
        if (lowest_empty_cell(column) != 0) open[count++] = column;
    if (count == 0) return 0;
    return open[next_random(r) % static_cast<uint64_t>(count)];
}

// Swaps the COMPUTER and HUMAN discs on the board.
void turn_board_round() {
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) game.board.cells[cell] = -game.board.cells[cell];
}

// Returns the opponent's column: random, or style B asked with the board turned round.
int32_t opponent_column(const LabOptions& options, const TacticWeights& weights_b, OpponentRandom& r) {
    if (options.against == AGAINST_RANDOM) return random_open_column(r);
    TacticWeights weights_a = game.weights;
    game.weights = weights_b;
    turn_board_round();
    int32_t column = choose_computer_column();
    turn_board_round();
    game.weights = weights_a;
    return column;
}

// Returns A's column and adds the time it took to `result`.
int32_t timed_column(MatchResult& result) {
    auto start = std::chrono::steady_clock::now();
    int32_t column = choose_computer_column();
    auto stop = std::chrono::steady_clock::now();
    result.decision_seconds += std::chrono::duration<double>(stop - start).count();
    ++result.decisions;
    return column;
}

// Returns the weights of style `tactic`.
TacticWeights weights_of(int32_t tactic) {
    game.tactic = tactic;
    load_tactic_weights();
    return game.weights;
}

// Plays one game; returns COMPUTER when A wins, HUMAN when the opponent wins, EMPTY for a draw.
int32_t play_game(const LabOptions& options, bool a_begins, const TacticWeights& weights_b, OpponentRandom& r,
                  MatchResult& result) {
    renew_game(); // A's weights, from game.tactic
    for (int32_t mover = a_begins ? COMPUTER : HUMAN;; mover = -mover) {
        const int32_t column = mover == COMPUTER ? timed_column(result) : opponent_column(options, weights_b, r);
        const MoveOutcome outcome = place_disc(column, mover);
        if (outcome == MoveOutcome::won) return mover;
        if (outcome == MoveOutcome::drawn) return EMPTY;
    }
}

// How far a long match has got, for whoever watches the terminal: from two seconds on, one line
// on stderr, rewritten in place twice a second and wiped at the end.
struct Progress {
    bool shown; // stderr is a terminal
    bool written = false;
    std::chrono::steady_clock::time_point next = std::chrono::steady_clock::now() + std::chrono::seconds(2);
};

// Rewrites the progress line when it is due; `done` of `games` games played.
void show_progress(Progress& progress, int32_t done, int32_t games) {
    if (!progress.shown) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < progress.next) return;
    progress.next = now + std::chrono::milliseconds(500);
    progress.written = true;
    std::fprintf(stderr, "\rgame %d of %d (%d %%)", done, games, static_cast<int32_t>(100LL * done / games));
    std::fflush(stderr);
}

// Wipes the progress line, if one was written, so that only the tally stays on the terminal.
void end_progress(const Progress& progress) {
    if (progress.written) std::fprintf(stderr, "\r%40s\r", "");
}

} // namespace

MatchResult run_match(const LabOptions& options, bool show_progress_on_stderr) {
    MatchResult result;
    TacticWeights weights_b = weights_of(options.against == AGAINST_RANDOM ? 0 : options.against);
    weights_of(options.tactic); // leaves A's style in game.tactic
    seed_random(static_cast<double>(options.seed), 0);
    OpponentRandom r{options.seed};
    Progress progress{show_progress_on_stderr};
    for (int32_t g = 0; g < options.games; ++g) {
        show_progress(progress, g, options.games);
        int32_t winner = play_game(options, g % 2 == 0, weights_b, r, result);
        if (winner == COMPUTER)
            ++result.wins;
        else if (winner == HUMAN)
            ++result.losses;
        else
            ++result.draws;
    }
    end_progress(progress);
    return result;
}
