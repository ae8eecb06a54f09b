// results_test.cpp -- the end of a game: results, tunes, the next game, and quitting.
#include <gtest/gtest.h>

#include <algorithm>

#include "rules/game_state.h"
#include "screen/screen.h"
#include "tests/game/game_harness.h"

namespace {

constexpr const char* QUESTION = "Wil je beginnen [ja][nee] ?";
constexpr const char* EMPTY_BOARD = "......./......./......./......./......./.......";

class Results : public ::testing::Test {
  protected:
    void TearDown() override { headless_finish(); }
};

// Counts the discs of one colour letter on the screen.
int32_t discs_of(char colour) {
    std::string discs = discs_on_screen();
    return static_cast<int32_t>(std::count(discs.begin(), discs.end(), colour));
}

TEST_F(Results, HumanWinShowsItsTextAndTune) {
    start_game();
    press("j");
    play_line(HUMAN_WINS);
    EXPECT_EQ(message_line(), "Je hebt gewonnen !         ");
    EXPECT_EQ(tones_heard(), HUMAN_WIN_TONES);
    EXPECT_EQ(game.move_count, 9);
    EXPECT_EQ(discs_of('R'), 5);
    EXPECT_EQ(discs_of('Y'), 4);
    EXPECT_EQ(computer_notice(), "Mijn zet 5"); // the notice of the computer's last move stays
}

TEST_F(Results, ComputerWinShowsItsTextAndTune) {
    start_game();
    press("j");
    play_line(COMPUTER_WINS);
    EXPECT_EQ(message_line(), "Ik heb gewonnen !          ");
    EXPECT_EQ(tones_heard(), COMPUTER_WIN_TONES);
    EXPECT_EQ(computer_notice(), "Mijn zet 4");
    EXPECT_EQ(discs_on_screen(), "......./......./...Y.../...Y.../...Y..R/.RRY..R");
}

TEST_F(Results, FullBoardWithoutFourIsADrawWithoutTones) {
    start_game();
    press("j");
    play_line(DRAW);
    EXPECT_EQ(message_line(), "Geen winnaar               ");
    EXPECT_EQ(tones_heard(), "");
    EXPECT_EQ(discs_on_screen(), DRAW_BOARD);
}

// The win test runs from the game's seventh disc on, the first that can make four.
TEST_F(Results, FourWithTheSeventhDiscIsAWin) {
    start_seeded_game(OPENS_IN_2);
    press("n");
    ASSERT_EQ(disc_at(2, 0), RED);
    play_line(SEVENTH_DISC_WINS);
    EXPECT_EQ(game.move_count, 7);
    EXPECT_EQ(message_line(), "Ik heb gewonnen !          ");
    EXPECT_EQ(tones_heard(), COMPUTER_WIN_TONES);
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./YY...../YRRRR..");
}

TEST_F(Results, FourMadeWithTheLastDiscIsAWin) {
    start_game();
    press("j");
    play_line(LAST_DISC_WINS);
    EXPECT_EQ(game.move_count, 42);
    EXPECT_EQ(message_line(), "Ik heb gewonnen !          ");
    EXPECT_EQ(tones_heard(), COMPUTER_WIN_TONES);
    EXPECT_EQ(discs_of('.'), 0);
}

// After a result every input but the quit inputs starts the next game with the same style.
TEST_F(Results, AnyKeyOrClickStartsTheNextGame) {
    struct Case {
        const char* name;
        int32_t key; // 0: a click
    };
    for (Case c : {Case{"Space", ' '}, Case{"J", 'J'}, Case{"3", '3'}, Case{"arrow", 0x48FF}, Case{"click", 0}}) {
        SCOPED_TRACE(c.name);
        start_game();
        press("  j"); // style 2
        play_line(HUMAN_WINS);
        if (c.key != 0) {
            headless_key(c.key);
            settle();
        } else {
            click(600, 100);
        }
        EXPECT_EQ(message_line(), QUESTION);
        EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
        EXPECT_EQ(game.move_count, 0);
        EXPECT_EQ(game.tactic, 2);
        headless_finish();
    }
}

// The winning click is still held when the result shows: that starts the next game, whose
// question then waits for the release and for a new answer.
TEST_F(Results, ButtonStillHeldAfterTheResultStartsTheNextGame) {
    start_game();
    press("j");
    std::string line = HUMAN_WINS;
    play_line(line.substr(0, line.size() - 1));
    headless_clear_tones();
    headless_mouse(64 * (line.back() - '0') + 67, 300, 1); // the winning move, held down
    settle();
    EXPECT_EQ(tones_heard(), HUMAN_WIN_TONES);
    EXPECT_EQ(message_line(), QUESTION);
    EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
    headless_mouse(100, 300, 0);
    settle();
    EXPECT_EQ(message_line(), QUESTION); // the release is no answer
    EXPECT_EQ(game.move_count, 0);
    press("n");
    EXPECT_EQ(game.move_count, 1);
}

// Escape and the window's close request end the program with exit code 0 at each of the three
// waits: the start question, the human's turn and the result.
TEST_F(Results, EscapeAndCloseRequestQuitAtEveryWait) {
    struct Wait {
        const char* name;
        const char* keys; // typed to reach the wait
    };
    std::string to_result = std::string("j") + COMPUTER_WINS;
    for (Wait w : {Wait{"question", ""}, Wait{"turn", "j"}, Wait{"turn after a move", "j3"},
                   Wait{"turn, computer began", "n"}, Wait{"result", to_result.c_str()}}) {
        for (int32_t quit : {ESCAPE, CLOSE_KEY}) {
            SCOPED_TRACE(std::string(w.name) + (quit == ESCAPE ? ", Escape" : ", close request"));
            start_game();
            if (w.keys[0] != '\0') press(w.keys);
            headless_key(quit);
            EXPECT_EQ(headless_wait_idle(), HeadlessStatus::ended);
            EXPECT_EQ(headless_exit_code(), 0);
            headless_finish();
        }
    }
}

// A quit input that arrives during a disc pause cuts it short and is read at the next wait.
TEST_F(Results, CloseRequestDuringADiscPauseQuits) {
    start_game();
    press("j");
    double start = headless_now_ms();
    headless_key_at(start + 200, CLOSE_KEY);
    headless_type("3");
    EXPECT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(headless_exit_code(), 0);
    EXPECT_EQ(game.move_count, 2); // the computer still replied before the turn read the request
}

} // namespace
