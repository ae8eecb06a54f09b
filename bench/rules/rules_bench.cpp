// rules_bench.cpp -- time of choose_computer_column and has_four on mid-game positions.
//
// The positions come from random play with a fixed seed (12 to 24 discs, nobody has won yet);
// every call starts by copying one of them into the board (42 cells, a few nanoseconds).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/game_state.h"
#include "rules/move.h"
#include "rules/win.h"
#include "tests/reference/four_in_line.h"

namespace {

struct Position {
    int32_t cells[CELL_COUNT + 1];
    int32_t move_count;
    int32_t last_mover; // the side has_four is asked about
};

// Returns 64 reachable mid-game positions, played as the game plays them, in which neither side
// has four in a line.
std::vector<Position> mid_game_positions() {
    std::mt19937 rng(2026);
    std::vector<Position> positions;
    while (positions.size() < 64) {
        renew_game();
        const int32_t target = 12 + static_cast<int32_t>(rng() % 13);
        int32_t code = HUMAN;
        MoveOutcome outcome = MoveOutcome::played;
        while (game.move_count < target && outcome != MoveOutcome::won) {
            outcome = place_disc(static_cast<int32_t>(rng() % 7) + 1, code);
            if (outcome != MoveOutcome::refused) code = -code;
        }
        const int32_t* cells = game.board.cells;
        if (four_in_line(cells, HUMAN) || four_in_line(cells, COMPUTER)) continue;
        Position p{};
        std::memcpy(p.cells, cells, sizeof p.cells);
        p.move_count = game.move_count;
        p.last_mover = -code;
        positions.push_back(p);
    }
    return positions;
}

// Puts position `p` on the board.
void load(const Position& p) {
    std::memcpy(game.board.cells, p.cells, sizeof p.cells);
    game.move_count = p.move_count;
}

void BM_choose_computer_column(benchmark::State& state) {
    auto positions = mid_game_positions();
    reset_board();
    game.tactic = 0;
    load_tactic_weights();
    size_t i = 0;
    for (auto _ : state) {
        load(positions[i++ & 63]);
        benchmark::DoNotOptimize(choose_computer_column());
    }
}
BENCHMARK(BM_choose_computer_column);

void BM_has_four(benchmark::State& state) {
    auto positions = mid_game_positions();
    reset_board();
    size_t i = 0;
    for (auto _ : state) {
        const Position& p = positions[i++ & 63];
        load(p);
        game.test_player = p.last_mover;
        game.win_found = 0;
        has_four();
        benchmark::DoNotOptimize(game.win_found);
    }
}
BENCHMARK(BM_has_four);

void BM_evaluate_cell(benchmark::State& state) {
    auto positions = mid_game_positions();
    reset_board();
    game.tactic = 0;
    load_tactic_weights();
    load(positions[0]);
    int32_t cell = lowest_empty_cell(4) != 0 ? lowest_empty_cell(4) : lowest_empty_cell(1);
    for (auto _ : state) benchmark::DoNotOptimize(evaluate_cell(cell));
}
BENCHMARK(BM_evaluate_cell);

} // namespace

BENCHMARK_MAIN();
