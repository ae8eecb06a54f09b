// rules_test.cpp -- the board, the four-in-a-row test against a small reference, and the
// computer's scores and choices for a list of positions in every style (tests/golden/scores.golden).
#include <atomic>
#include <cmath>
#include <new>
#include <random>
#include <sstream>

#include "data/data_table.h"
#include "rules/board.h"
#include "rules/evaluate.h"
#include "rules/move.h"
#include "rules/win.h"
#include "screen/screen.h"
#include "support.h"
#include "tests/reference/four_in_line.h"

// Every operator new of the test program is counted, to show that the rules never allocate.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> allocations{0};
}
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// A fresh game as the driver sets it up, in the given style.
void new_game(int32_t tactic = 0) {
    game.tactic = tactic;
    renew_game();
}

bool has_four_of(int32_t code) {
    game.test_player = code;
    game.win_found = 0;
    has_four();
    return game.win_found == 1;
}

// Plays random moves until `discs` are down or the game has ended, and checks every move's
// outcome against the reference: won once the mover has four, else drawn with the 42nd disc.
std::string random_game(std::mt19937& rng, int32_t discs) {
    new_game();
    std::string moves;
    for (int32_t code = HUMAN; game.move_count < discs; code = -code) {
        int32_t column = 0;
        MoveOutcome outcome = MoveOutcome::refused;
        while (outcome == MoveOutcome::refused) outcome = place_disc(column = int32_t(rng() % 7) + 1, code);
        moves += static_cast<char>('0' + column);
        const MoveOutcome expected = four_in_line(game.board.cells, code) ? MoveOutcome::won
                                     : game.move_count == CELL_COUNT      ? MoveOutcome::drawn
                                                                          : MoveOutcome::played;
        EXPECT_EQ(outcome, expected) << moves;
        if (outcome != MoveOutcome::played) break;
    }
    return moves;
}

TEST(Rules, HasFourAgreesWithTheReferenceOnRandomGames) {
    std::mt19937 rng(5);
    int32_t fours = 0;
    for (int32_t g = 0; g < 3000; ++g) {
        const std::string moves = random_game(rng, static_cast<int32_t>(rng() % 43));
        set_read_position(ReadPosition::banner);
        for (int32_t code : {HUMAN, COMPUTER}) {
            ASSERT_EQ(has_four_of(code), four_in_line(game.board.cells, code)) << moves << " player " << code;
            fours += four_in_line(game.board.cells, code);
        }
        ASSERT_EQ(data_read_index(), 4) << "has_four reads the four directions";
        ASSERT_TRUE(board_is_consistent()) << moves;
    }
    EXPECT_GT(fours, 500);
    game.win_found = 1;
    game.test_player = HUMAN;
    reset_board();
    has_four();
    EXPECT_EQ(game.win_found, 1) << "a found win is never cleared";
}

// Moves alternate from the human's; every move but the last goes on with the game (or is refused:
// columns 0 and 8, a full column). Column 1's drop row goes down with every disc and every refused
// attempt on it once full.
TEST(Rules, PlacingADiscCountsJudgesAndRefuses) {
    using enum MoveOutcome;
    const struct {
        const char* moves;
        MoveOutcome last;
        int32_t move_count, drop_row_1;
    } cases[] = {{"121212", played, 6, 15},
                 {"1212121", won, 7, 11},
                 {"11111108", refused, 6, 3},
                 {"11111111", refused, 6, -5},
                 {"126613431456475467333341527215612225546777", drawn, 42, 3},
                 {"165272351361452665774351431436261744573227", won, 42, 3}}; // the 42nd disc makes four
    for (const auto& c : cases) {
        new_game();
        const std::string moves = c.moves;
        for (size_t i = 0; i < moves.size(); ++i) {
            const MoveOutcome outcome = place_disc(moves[i] - '0', i % 2 ? COMPUTER : HUMAN);
            const bool last = i + 1 == moves.size();
            EXPECT_TRUE(last ? outcome == c.last : outcome == played || outcome == refused) << c.moves << " " << i;
        }
        EXPECT_EQ(std::vector<int32_t>({game.move_count, game.drop_row[1]}), std::vector({c.move_count, c.drop_row_1}))
            << c.moves;
        EXPECT_TRUE(board_is_consistent() && lowest_empty_cell(0) + lowest_empty_cell(8) == 0) << c.moves;
    }
}

TEST(Rules, TheConsistencyCheckSeesCorruption) {
    for (int32_t kind = 0; kind < 6; ++kind) {
        new_game();
        for (char c : std::string(kind < 5 ? "4431" : "333333")) place_disc(c - '0', HUMAN);
        if (kind == 0) game.board.padded[55] = HUMAN;                      // a border slot
        if (kind == 1) game.board.cells[5] = 2;                            // no cell code
        if (kind == 2) game.board.cells[20] = COMPUTER, ++game.move_count; // floating
        if (kind == 3) ++game.move_count;
        if (kind == 4) game.drop_row[4] = 27;
        if (kind == 5) game.drop_row[3] = 2; // a full column's drop row off the steps of 4
        EXPECT_FALSE(board_is_consistent()) << "corruption " << kind;
    }
}

TEST(Rules, OpeningColumnIsTwoToFiveFromTheRandomNumber) {
    for (int32_t k = 0; k < 1000; ++k) EXPECT_EQ(opening_column(k / 1000.0), 2 + k * 4 / 1000) << k;
    EXPECT_EQ(opening_column(std::nextafter(0.25, 0.0)), 2);
    EXPECT_EQ(opening_column(std::nextafter(1.0, 0.0)), 5);
    for (double odd : {std::nan(""), -1.0, 1.0, 1e300})
        EXPECT_TRUE(opening_column(odd) >= 2 && opening_column(odd) <= 5);
    for (int32_t seed = 1; seed <= 50; ++seed) {
        seed_random(seed, 0);
        const double r = random_number();
        seed_random(seed, 0);
        new_game();
        EXPECT_EQ(choose_computer_column(), opening_column(r)) << "seed " << seed;
    }
}

// Each line of tests/golden/scores.golden is a position, as discs on cells ("h1 c4": human on
// cell 1, computer on cell 4) or as the columns of a game's moves from the human's first
// ("moves 3344"), then the column scores and the choice of styles 0 to 3, and of a style out of
// range (played as 0). A new position is a new line with nothing after it (then UPDATE_GOLDEN=1).
TEST(Rules, ScoresAndChoicesAreAsTheirTranscriptSays) {
    expect_replayed_golden("scores.golden", "", [](const std::string& position) {
        std::string out = position + " =>";
        for (int32_t tactic = 0; tactic <= 4; ++tactic) {
            new_game(tactic);
            std::istringstream words(position);
            std::string word;
            for (int32_t code = HUMAN; words >> word;)
                if (word[0] == 'h' || word[0] == 'c') {
                    game.board.cells[std::stoi(word.substr(1))] = word[0] == 'h' ? HUMAN : COMPUTER;
                    ++game.move_count;
                } else if (word != "moves") {
                    for (char column : word) place_disc(column - '0', code), code = -code;
                }
            score_columns();
            out += tactic ? " |" : "";
            for (int32_t c = 1; c <= 7; ++c) out += " " + std::to_string(game.column_scores[c]);
            out += " >" + std::to_string(choose_computer_column());
        }
        return out + "\n";
    });
    new_game();
    for (char c : std::string("111111222222333333444444555555666666777777"))
        place_disc(c - '0', c % 2 ? HUMAN : COMPUTER);
    score_columns();
    for (int32_t c = 1; c <= 7; ++c) EXPECT_EQ(game.column_scores[c], FULL_COLUMN_SCORE);
    EXPECT_EQ(choose_computer_column(), 0) << "a full board has no column left";
}

TEST(Rules, WholeGamesOfEveryStyleAllocateNothing) {
    std::mt19937 rng(99);
    seed_random(3, 0);
    const long before = allocations.load();
    int32_t moves = 0;
    for (int32_t g = 0; g < 40; ++g) {
        new_game(g % 4);
        MoveOutcome outcome = MoveOutcome::played;
        for (int32_t mover = g % 2 ? COMPUTER : HUMAN; outcome == MoveOutcome::played; mover = -mover) {
            do outcome = place_disc(mover == COMPUTER ? choose_computer_column() : int32_t(rng() % 7) + 1, mover);
            while (outcome == MoveOutcome::refused);
            ++moves;
        }
    }
    EXPECT_GT(moves, 400);
    EXPECT_EQ(allocations.load() - before, 0) << "heap allocations during " << moves << " moves";
    const std::string* probe = new std::string(40, 'x');
    delete probe;
    EXPECT_GT(allocations.load() - before, 0) << "the counter counts";
}

} // namespace
