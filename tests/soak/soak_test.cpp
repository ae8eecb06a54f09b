// soak_test.cpp -- 2,000 whole games of random input on the headless backend: every game ends as
// the rules say, every refusal leaves the board alone, and memory stays flat from game to game.
//
// One program runs all the games, as a player who never quits would run it. The player is a
// fixed-seed random generator that presses digits, wrong keys, extended keys, Space and J/j,
// clicks on "ja", "nee", the columns at any height and the gaps between them, types keys ahead
// and during disc pauses, and plays into full columns. After every input the test reads the
// message line off the screen to learn where the game stands and checks what the game showed
// and stored against its own reading of the rules.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "rules/board.h"
#include "rules/game_state.h"
#include "screen/screen.h"
#include "tests/game/game_harness.h"
#include "tests/support/reference_four.h"

namespace {

constexpr int32_t GAMES = 2000;
constexpr int32_t WARM_GAMES = 500;         // memory is first measured after these
constexpr size_t HEAP_TOLERANCE = 16 << 10; // bytes the heap in use may grow over the later games
constexpr long RSS_TOLERANCE = 1 << 20;     // bytes the resident set may grow over them
constexpr uint32_t PLAYER_SEED = 20261206;  // the random player
constexpr double GAME_SEED = 11;            // the game's own random generator (the opening column)
constexpr int32_t STEP_LIMIT = 400;         // inputs in one game before the test calls it stuck
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool MEMORY_MEASURABLE = false; // the sanitizers' allocators hold freed memory back
#else
constexpr bool MEMORY_MEASURABLE = true;
#endif

constexpr int32_t ARROW_KEYS[] = {0x48FF, 0x50FF, 0x4BFF, 0x4DFF, 0x3BFF, 0x47FF}; // never CLOSE_KEY
const char WRONG_KEYS[] = "089aAnNqQxz-+.,/!0Jj";                                  // at a turn, J and j are wrong

enum class Phase { question, turn, result, unknown };

// Where the game stands, read from the message line as the player reads it.
Phase phase_on_screen(std::string* line = nullptr) {
    std::string text = headless_text_at(3, 14, 18);
    if (line != nullptr) *line = text;
    if (text.rfind("Wil je beginnen [", 0) == 0) return Phase::question;
    if (text.rfind("Welke rij?", 0) == 0) return Phase::turn;
    if (text == "Je hebt gewonnen !" || text.rfind("Ik heb gewonnen !", 0) == 0 || text.rfind("Geen winnaar", 0) == 0)
        return Phase::result;
    return Phase::unknown;
}

// Returns the discs the board holds, in the layout of discs_on_screen(): the side that began
// plays red.
std::string discs_on_board(int32_t first_mover) {
    std::string text;
    for (int32_t row = 5; row >= 0; --row) {
        for (int32_t column = 1; column <= 7; ++column) {
            int32_t cell = game.board.cells[7 * row + column];
            text += cell == EMPTY ? '.' : cell == first_mover ? 'R' : 'Y';
        }
        if (row > 0) text += '/';
    }
    return text;
}

// Returns the tones that Space gives when it selects `tactic`: tactic + 1 short tones of 400 Hz.
std::string tactic_tones(int32_t tactic) {
    std::string text;
    for (int32_t i = 0; i <= tactic; ++i) text += (i ? " " : "") + std::string("400/120");
    return text;
}

// What the process holds: the heap in use, the resident set and the open files.
struct Memory {
    size_t heap;   // bytes handed out by malloc
    long resident; // bytes
    int32_t files; // open file descriptors
};

// Measures what the process holds now.
Memory memory_now() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    int32_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++files;
    return {mallinfo2().uordblks, resident * sysconf(_SC_PAGESIZE), files};
}

// What the random player did in all games; each kind must have happened for the soak to count.
struct Tally {
    int32_t human_wins = 0, computer_wins = 0, draws = 0;
    int32_t skipped_results = 0; // results passed by typed-ahead keys before the test looked
    int32_t spaces = 0, refused_keys = 0, refused_clicks = 0, full_columns = 0;
    int32_t held_clicks = 0, clicks_on_yes = 0, clicks_on_no = 0, column_clicks = 0, bursts = 0, keys_in_pauses = 0;
};

// A snapshot of what a refused input must leave alone.
struct Snapshot {
    std::array<int32_t, CELL_COUNT + 1> cells;
    int32_t move_count;
    std::string disc_mark;
    std::string discs;

    bool operator==(const Snapshot&) const = default;
};

// Takes the snapshot of the game as it stands.
Snapshot snapshot() {
    Snapshot s;
    std::memcpy(s.cells.data(), game.board.cells, sizeof game.board.cells);
    s.move_count = game.move_count;
    s.disc_mark = game.disc_mark;
    s.discs = discs_on_screen();
    return s;
}

// The random player, what it has done, and the checks it makes after every input.
class Soak : public ::testing::Test {
  protected:
    void TearDown() override { headless_finish(); }

    std::mt19937 rng{PLAYER_SEED};
    Tally tally;
    int32_t first_mover = EMPTY; // HUMAN or COMPUTER in the running game, EMPTY while unknown
    bool mixed = false;          // keys typed ahead ran in this game: its last tones are not only the result's
    std::string inputs;          // what the player did in the running game, to replay a failure
    bool alert = false;          // the player of this game takes a win and blocks the computer's

    // Notes one input of the running game.
    void note(const std::string& what) { inputs += what + "; "; }

    // Returns a random whole number in low..high, or true with probability p.
    int32_t pick(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng); }

    void answer_question();
    void play_turn();
    void check_turn_position();
    void check_result();
    void start_next_game();
    bool burst();
    void infer_first_mover(Phase phase);
    void tap(int32_t x, int32_t y);
    int32_t player_column();

    // Types the keys in one go and waits until the game waits again.
    void type(const std::string& keys) {
        note("keys \"" + keys + "\"");
        press(keys);
    }

    // Presses a random extended key (an arrow or a function key) and waits.
    void extended_key() {
        const int32_t code = ARROW_KEYS[pick(0, 5)];
        note("extended key " + std::to_string(code));
        headless_key(code);
        settle();
    }
};

// Clicks at (x, y) as a person does: the button goes up again 1 to 120 ms later, while the game
// is busy. Now and then the button is held until the game waits again instead.
void Soak::tap(int32_t x, int32_t y) {
    if (chance(0.03)) {
        ++tally.held_clicks;
        note("held click " + std::to_string(x) + "," + std::to_string(y));
        click(x, y);
        return;
    }
    const int32_t hold = pick(1, 120);
    note("click " + std::to_string(x) + "," + std::to_string(y) + " for " + std::to_string(hold) + " ms");
    headless_mouse(x, y, 1);
    headless_mouse_at(headless_now_ms() + hold, x, y, 0);
    settle();
}

// Returns the column the player picks: at random, or, for an alert player, the column that wins
// at once, else the one that stops the computer winning at once. Full columns included.
int32_t Soak::player_column() {
    if (alert) {
        for (int32_t who : {HUMAN, COMPUTER}) {
            for (int32_t column = 1; column <= 7; ++column) {
                int32_t cell = column;
                while (cell <= CELL_COUNT && game.board.cells[cell] != EMPTY) cell += 7;
                if (cell > CELL_COUNT) continue;
                game.board.cells[cell] = who;
                const bool wins = reference_four(game.board.cells, who);
                game.board.cells[cell] = EMPTY;
                if (wins) return column;
            }
        }
    }
    return pick(1, 7);
}

// Answers the start question with a random input and checks who begins.
void Soak::answer_question() {
    ASSERT_EQ(game.move_count, 0);
    const int32_t tactic = game.tactic;
    headless_clear_tones();
    int32_t choice = pick(0, 9);
    bool human = false;
    if (choice == 0) {
        ++tally.spaces;
        type(" ");
        EXPECT_EQ(tones_heard(), tactic_tones((tactic + 1) % 4));
        EXPECT_EQ(game.tactic, (tactic + 1) % 4);
        EXPECT_EQ(phase_on_screen(), Phase::question);
        EXPECT_EQ(headless_text_at(30, 17, 9), "1       2") << "the column labels cover the Space hint";
        return;
    }
    if (choice <= 2) {
        type(chance(0.5) ? "J" : "j");
        human = true;
    } else if (choice == 3) {
        ++tally.clicks_on_yes;
        tap(pick(238, 255), pick(30, 44));
        human = true;
    } else if (choice == 4) {
        ++tally.clicks_on_no;
        tap(pick(272, 295), pick(32, 47)); // on "nee"
    } else if (choice == 5) {
        tap(pick(0, 639), pick(48, 479)); // anywhere below the question
    } else if (choice == 6) {
        extended_key();
    } else {
        type(std::string(1, "1234567nNx"[pick(0, 9)]));
    }
    first_mover = human ? HUMAN : COMPUTER;
    ASSERT_EQ(phase_on_screen(), Phase::turn);
    EXPECT_EQ(tones_heard(), "");
    if (human) {
        EXPECT_EQ(game.move_count, 0);
    } else {
        ASSERT_EQ(game.move_count, 1);
        EXPECT_GE(game.computer_column, 2);
        EXPECT_LE(game.computer_column, 5);
        EXPECT_EQ(game.board.cells[game.computer_column], COMPUTER) << "the opening lies in the bottom row";
    }
}

// Learns who began a game whose start the test did not follow: from the number of discs when
// the human is to move, else from the colour of a human disc on the screen.
void Soak::infer_first_mover(Phase phase) {
    if (phase == Phase::turn) {
        first_mover = game.move_count % 2 == 1 ? COMPUTER : HUMAN;
        return;
    }
    for (int32_t cell = 1; cell <= CELL_COUNT; ++cell) {
        if (game.board.cells[cell] != HUMAN) continue;
        first_mover = disc_at((cell - 1) % 7 + 1, (cell - 1) / 7) == RED ? HUMAN : COMPUTER;
        return;
    }
    first_mover = COMPUTER; // no human disc: the computer began and won
}

// Checks a position where the human is to move: no four yet, room left, the screen shows the board.
void Soak::check_turn_position() {
    ASSERT_TRUE(board_is_consistent());
    ASSERT_LT(game.move_count, CELL_COUNT);
    ASSERT_FALSE(reference_four(game.board.cells, HUMAN)) << "a four went unnoticed";
    ASSERT_FALSE(reference_four(game.board.cells, COMPUTER)) << "a four went unnoticed";
    ASSERT_EQ(discs_on_screen(), discs_on_board(first_mover));
}

// Plays one random input at the human's turn and checks its effect.
void Soak::play_turn() {
    check_turn_position();
    if (HasFatalFailure()) return;
    const int32_t tactic = game.tactic;
    const Snapshot before = snapshot();
    headless_clear_tones();
    int32_t choice = pick(0, 19);
    int32_t column = 0; // the column the input plays, 0 for a wrong input
    bool space = false, key_in_pause = false;
    if (choice == 0) {
        ++tally.spaces;
        space = true;
        type(" ");
    } else if (choice <= 2) {
        ++tally.refused_keys;
        type(std::string(1, WRONG_KEYS[pick(0, sizeof WRONG_KEYS - 2)]));
    } else if (choice == 3) {
        ++tally.refused_keys;
        extended_key();
    } else if (choice == 4) {
        ++tally.refused_clicks;
        int32_t gap = pick(0, 7); // beside the outer ranges, or between two of them
        int32_t x = gap == 0 ? pick(0, 105) : gap == 7 ? pick(540, 639) : 42 + 64 * gap + pick(50, 63);
        tap(x, pick(0, 479));
    } else if (choice <= 8) {
        ++tally.column_clicks;
        column = player_column();
        tap(42 + 64 * column + pick(0, 49), pick(0, 479)); // at any height
    } else {
        column = player_column();
        if (before.move_count < 5 && chance(0.25)) { // a key in the disc pause, too early to end the game
            ++tally.keys_in_pauses;
            key_in_pause = true;
            const double at = headless_now_ms() + pick(1, 450);
            const char key = "0123456789 "[pick(0, 10)];
            note("key \"" + std::string(1, key) + "\" at " + std::to_string(static_cast<int64_t>(at)) + " ms");
            headless_key_at(at, key);
        }
        type(std::string(1, static_cast<char>('0' + column)));
    }
    if (space) {
        EXPECT_EQ(tones_heard(), tactic_tones((tactic + 1) % 4));
        EXPECT_EQ(game.tactic, (tactic + 1) % 4);
        EXPECT_EQ(snapshot(), before);
        return;
    }
    const bool full = column != 0 && before.cells[35 + column] != EMPTY;
    if (column == 0 || full) {
        if (full) ++tally.full_columns;
        EXPECT_EQ(tones_heard(), ERROR_TONES);
        EXPECT_EQ(snapshot(), before) << "a refused input changed the game";
        EXPECT_EQ(phase_on_screen(), Phase::turn);
        return;
    }
    if (key_in_pause || phase_on_screen() == Phase::question) {
        return; // the pause key was played too, or a held button passed the result: checked later
    }
    const int32_t cell = 7 * ((before.cells[column] != EMPTY) + (before.cells[7 + column] != EMPTY) +
                              (before.cells[14 + column] != EMPTY) + (before.cells[21 + column] != EMPTY) +
                              (before.cells[28 + column] != EMPTY)) +
                         column;
    EXPECT_EQ(game.board.cells[cell], HUMAN) << "the disc did not land in column " << column;
    if (phase_on_screen() == Phase::turn) {
        EXPECT_EQ(game.move_count, before.move_count + 2) << "the human's disc and the computer's reply";
        EXPECT_EQ(tones_heard(), "");
    }
}

// Checks the result on the screen against the board: a win is a four of the side that moved
// last, a draw is a full board without one.
void Soak::check_result() {
    std::string line;
    ASSERT_EQ(phase_on_screen(&line), Phase::result);
    ASSERT_TRUE(board_is_consistent());
    ASSERT_EQ(discs_on_screen(), discs_on_board(first_mover));
    const bool human_four = reference_four(game.board.cells, HUMAN);
    const bool computer_four = reference_four(game.board.cells, COMPUTER);
    const int32_t last_mover = (game.move_count % 2 == 1) == (first_mover == HUMAN) ? HUMAN : COMPUTER;
    const std::string tones = tones_heard();
    auto ends_with = [&](const std::string& cue) {
        return tones.size() >= cue.size() && tones.compare(tones.size() - cue.size(), cue.size(), cue) == 0;
    };
    if (line == "Je hebt gewonnen !") {
        ++tally.human_wins;
        EXPECT_TRUE(human_four);
        EXPECT_FALSE(computer_four);
        EXPECT_EQ(last_mover, HUMAN);
        EXPECT_TRUE(mixed ? ends_with(HUMAN_WIN_TONES) : tones == HUMAN_WIN_TONES) << tones;
    } else if (line.rfind("Ik heb gewonnen !", 0) == 0) {
        ++tally.computer_wins;
        EXPECT_TRUE(computer_four);
        EXPECT_FALSE(human_four);
        EXPECT_EQ(last_mover, COMPUTER);
        EXPECT_TRUE(mixed ? ends_with(COMPUTER_WIN_TONES) : tones == COMPUTER_WIN_TONES) << tones;
    } else {
        ++tally.draws;
        EXPECT_EQ(game.move_count, CELL_COUNT);
        EXPECT_FALSE(human_four);
        EXPECT_FALSE(computer_four);
        if (!mixed) {
            EXPECT_EQ(tones, "");
        }
    }
}

// Starts the next game with any input but Escape and the close request.
void Soak::start_next_game() {
    int32_t choice = pick(0, 4);
    if (choice == 0) {
        tap(pick(0, 639), pick(0, 479));
    } else if (choice == 1) {
        type(" ");
    } else if (choice == 2) {
        extended_key();
    } else {
        type(std::string(1, "1234567jJn"[pick(0, 9)]));
    }
    ASSERT_EQ(phase_on_screen(), Phase::question);
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./......./.......");
}

// Types two to five random keys in one go: each waits in the key queue for its turn. Returns
// true when they ended the running game and began the next one (its disc count fell: ending a
// game takes at least 7 discs, and five keys give the next one at most 5).
bool Soak::burst() {
    ++tally.bursts;
    mixed = true;
    const int32_t before = game.move_count;
    std::string keys;
    for (int32_t i = pick(2, 5); i > 0; --i) keys += "1234567 89j"[pick(0, 10)];
    headless_clear_tones();
    type(keys);
    return game.move_count < before;
}

TEST_F(Soak, TwoThousandRandomGamesEndAsTheRulesSayWithFlatMemory) {
    start_seeded_game(GAME_SEED, scratch_directory()); // the picture file is written, then shown every game
    ASSERT_EQ(phase_on_screen(), Phase::question);
    Memory warm = {};
    int32_t games = 0;            // games played to their end
    int32_t steps = 0;            // inputs in the running game
    Phase seen = Phase::question; // where the game stood before the latest input
    for (;;) {
        Phase now = phase_on_screen();
        if (now == Phase::question && seen != Phase::question) { // the previous game has ended
            if (seen != Phase::result) ++tally.skipped_results;
            ++games;
            steps = 0;
            first_mover = EMPTY;
            mixed = false;
            alert = chance(0.5);
            inputs.clear();
            if (games == WARM_GAMES) warm = memory_now();
            if (games == GAMES) break;
        }
        SCOPED_TRACE("game " + std::to_string(games + 1));
        ASSERT_LT(++steps, STEP_LIMIT) << "a game that does not end";
        seen = now;
        switch (now) {
        case Phase::question:
            if (chance(0.02))
                burst(); // who began is then learnt from the board
            else
                answer_question();
            break;
        case Phase::turn:
            if (first_mover == EMPTY) infer_first_mover(now);
            if (!chance(0.02)) {
                play_turn();
            } else if (burst()) {
                seen = Phase::unknown;                      // counted as a game whose result was passed
                if (phase_on_screen() != Phase::question) { // already in the next game
                    ++tally.skipped_results;
                    ++games;
                    steps = 0;
                    first_mover = EMPTY;
                    mixed = true;
                    inputs = "(keys typed ahead began this game); ";
                    seen = Phase::question;
                    if (games == WARM_GAMES) warm = memory_now();
                }
            }
            break;
        case Phase::result:
            if (first_mover == EMPTY) infer_first_mover(now);
            check_result();
            if (!HasFatalFailure()) start_next_game();
            break;
        case Phase::unknown: ADD_FAILURE() << "the message line shows \"" << headless_text_at(3, 14, 27) << '"';
        }
        if (HasFailure()) {
            ADD_FAILURE() << "game " << games + 1 << " (player seed " << PLAYER_SEED
                          << ") after the inputs: " << inputs;
            return;
        }
    }
    const Memory last = memory_now();
    std::printf("soak: %d games: human won %d, computer won %d, draws %d; results passed by keys typed ahead %d\n",
                games, tally.human_wins, tally.computer_wins, tally.draws, tally.skipped_results);
    std::printf("soak: inputs: Space %d, refused keys %d, refused clicks %d, full columns %d, clicks on ja %d, "
                "on nee %d, on columns %d, bursts %d, keys in pauses %d\n",
                tally.spaces, tally.refused_keys, tally.refused_clicks, tally.full_columns, tally.clicks_on_yes,
                tally.clicks_on_no, tally.column_clicks, tally.bursts, tally.keys_in_pauses);
    std::printf("soak: after %d and %d games: heap in use %zu -> %zu bytes, resident %ld -> %ld bytes, open files "
                "%d -> %d\n",
                WARM_GAMES, GAMES, warm.heap, last.heap, warm.resident, last.resident, warm.files, last.files);
    if (MEMORY_MEASURABLE) {
        EXPECT_LE(last.heap, warm.heap + HEAP_TOLERANCE) << "the heap grew over the later games";
        EXPECT_LE(last.resident, warm.resident + RSS_TOLERANCE) << "the resident set grew over the later games";
    }
    EXPECT_EQ(last.files, warm.files) << "open files grew over the later games";

    // The random player must have met every kind of input and both kinds of win, or the soak
    // proves little.
    EXPECT_GE(tally.human_wins + tally.computer_wins + tally.draws, GAMES * 9 / 10) << "results checked";
    EXPECT_GT(tally.human_wins, 0);
    EXPECT_GT(tally.computer_wins, 0);
    for (int32_t count :
         {tally.spaces, tally.refused_keys, tally.refused_clicks, tally.full_columns, tally.clicks_on_yes,
          tally.clicks_on_no, tally.column_clicks, tally.bursts, tally.keys_in_pauses})
        EXPECT_GT(count, 0);

    headless_key(27);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(headless_exit_code(), 0);
}

} // namespace
