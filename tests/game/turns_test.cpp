// turns_test.cpp -- who begins, the human's turns, the computer's replies, refusals and styles.
#include <gtest/gtest.h>

#include <set>

#include "game/board_display.h"
#include "rules/game_state.h"
#include "screen/screen.h"
#include "tests/game/game_harness.h"

namespace {

constexpr const char* QUESTION = "Wil je beginnen [ja][nee] ?";
constexpr const char* ASK_COLUMN = "Welke rij?                 ";
constexpr const char* EMPTY_BOARD = "......./......./......./......./......./.......";
constexpr int32_t ARROW_KEY = 0x48FF; // an extended key other than the close request

class Turns : public ::testing::Test {
  protected:
    void TearDown() override { headless_finish(); }
};

// The road of one move: "3" draws the human's disc, the computer answers in column 4.
TEST_F(Turns, HumanMoveAndTheComputersReply) {
    start_game();
    press("j");
    EXPECT_EQ(message_line(), ASK_COLUMN);
    EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
    press("3");
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./......./..RY...");
    EXPECT_EQ(computer_notice(), "Mijn zet 4");
    EXPECT_EQ(message_line(), ASK_COLUMN);
    EXPECT_EQ(game.move_count, 2);
    EXPECT_EQ(tones_heard(), "");
}

// Each disc has a darker inner ring of radius 18 and covers the black cell printed before it.
TEST_F(Turns, DiscsHaveTheirInnerRingAndHideTheSpaceBeforeThem) {
    start_game();
    press("j3");
    struct Expected {
        int32_t column;
        uint32_t disc, inner;
    };
    for (Expected e : {Expected{3, RED, 0xBB0000}, Expected{4, YELLOW, 0xBBBB00}}) {
        SCOPED_TRACE("column " + std::to_string(e.column));
        int32_t x = 64 * e.column + 67, y = 424;
        EXPECT_EQ(headless_rgb(x + 18, y), e.inner);
        EXPECT_EQ(headless_rgb(x - 18, y), e.inner);
        EXPECT_EQ(headless_rgb(x, y + 18), e.inner);
        EXPECT_EQ(headless_rgb(x + 17, y), e.disc);
        EXPECT_EQ(headless_rgb(x + 25, y), e.disc);
        EXPECT_EQ(headless_rgb(x - 25, y), e.disc);
        EXPECT_EQ(headless_rgb(x + 26, y), BOARD_COLOUR);
        for (int32_t py = 416; py <= 431; ++py) { // the text cell (27, 8c + 9)
            for (int32_t px = 64 * e.column + 64; px <= 64 * e.column + 71; ++px) {
                ASSERT_EQ(headless_rgb(px, py), e.disc) << "(" << px << ", " << py << ")";
            }
        }
    }
}

TEST_F(Turns, KeysAtTheStartQuestionDecideWhoBegins) {
    struct Case {
        const char* name;
        int32_t key;
        bool human_begins;
    };
    for (Case c : {Case{"J", 'J', true}, Case{"j", 'j', true}, Case{"n", 'n', false}, Case{"N", 'N', false},
                   Case{"4", '4', false}, Case{"arrow", ARROW_KEY, false}, Case{"Enter", 13, false}}) {
        SCOPED_TRACE(c.name);
        start_game();
        headless_key(c.key);
        settle();
        EXPECT_EQ(message_line(), ASK_COLUMN);
        if (c.human_begins) {
            EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
            EXPECT_EQ(game.move_count, 0);
        } else {
            EXPECT_EQ(game.move_count, 1);
            EXPECT_EQ(computer_notice().substr(0, 8), "Mijn zet");
        }
        headless_finish();
    }
}

// Only a held button counts as a click on "ja": a key typed with the pointer resting there is a key.
TEST_F(Turns, PointerRestingOnJaIsNoClick) {
    start_game();
    headless_mouse(246, 37, 0);
    settle();
    press("n");
    EXPECT_EQ(game.move_count, 1);
}

TEST_F(Turns, ClickOnJaLetsTheHumanBeginAnyOtherClickTheComputer) {
    struct Case {
        int32_t x, y;
        bool human_begins;
    };
    for (Case c :
         {Case{238, 30, true}, Case{255, 44, true}, Case{246, 37, true}, Case{237, 37, false}, Case{256, 37, false},
          Case{246, 29, false}, Case{246, 45, false}, Case{280, 40, false}, Case{300, 300, false}}) {
        SCOPED_TRACE("click at " + std::to_string(c.x) + ", " + std::to_string(c.y));
        start_game();
        click(c.x, c.y);
        EXPECT_EQ(message_line(), ASK_COLUMN);
        EXPECT_EQ(game.move_count, c.human_begins ? 0 : 1);
        headless_finish();
    }
}

// The click that answered the question is still held: the turn waits for its release before
// it reads any input, so the held button does not play a column.
TEST_F(Turns, HeldButtonFromTheQuestionIsNotAMove) {
    start_game();
    headless_mouse(246, 37, 1);
    settle();
    EXPECT_EQ(message_line(), ASK_COLUMN);
    headless_mouse(300, 300, 1); // dragged over column 4, still held
    settle();
    EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
    headless_mouse(300, 300, 0);
    settle();
    EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
    click(300, 300); // column 4; the computer's answer to it comes from its scoring
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./......./..YR...");
}

// The computer opens in a random column 2..5 (all four occur), in red, with its notice; when the
// human leaves the centre free, the computer's second disc goes to column 4.
TEST_F(Turns, ComputersOpeningIsRandomInColumnsTwoToFiveThenTheCentre) {
    std::set<int32_t> openings;
    for (double seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        start_seeded_game(seed);
        press("n");
        int32_t opening = 0;
        for (int32_t column = 1; column <= 7; ++column) {
            if (disc_at(column, 0) == RED) opening = column;
        }
        ASSERT_GE(opening, 2);
        ASSERT_LE(opening, 5);
        openings.insert(opening);
        EXPECT_EQ(computer_notice(), "Mijn zet " + std::to_string(opening));
        EXPECT_EQ(game.move_count, 1);
        if (opening != 4) {
            press("1");
            EXPECT_EQ(disc_at(1, 0), YELLOW);
            EXPECT_EQ(disc_at(4, 0), RED);
            EXPECT_EQ(computer_notice(), "Mijn zet 4");
        }
        headless_finish();
    }
    EXPECT_EQ(openings.size(), 4u);
}

TEST_F(Turns, WrongKeysAndClicksAreRefusedWithTheErrorTones) {
    start_game();
    press("j");
    double typed = headless_now_ms();
    press("9"); // read by a poll, which pauses 3 ms before the answer
    ASSERT_EQ(headless_tones().size(), 2u);
    EXPECT_EQ(headless_tones()[0].start_ms - typed, 3.0);
    EXPECT_EQ(headless_tones()[1].start_ms - typed, 3.0 + 120);
    struct Refused {
        const char* name;
        int32_t key; // 0: a click instead
        int32_t x, y;
    };
    for (Refused r : {Refused{"8", '8', 0, 0}, Refused{"0", '0', 0, 0}, Refused{"j", 'j', 0, 0},
                      Refused{"a", 'a', 0, 0}, Refused{"arrow", ARROW_KEY, 0, 0}, Refused{"gap 1|2", 0, 156, 300},
                      Refused{"gap 6|7", 0, 489, 200}, Refused{"left of the board", 0, 105, 424},
                      Refused{"right of the board", 0, 540, 424}, Refused{"far left", 0, 10, 10}}) {
        SCOPED_TRACE(r.name);
        headless_clear_tones();
        if (r.key != 0) {
            headless_key(r.key);
            settle();
        } else {
            click(r.x, r.y);
        }
        EXPECT_EQ(tones_heard(), ERROR_TONES);
        EXPECT_EQ(message_line(), ASK_COLUMN);
        EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
        EXPECT_EQ(game.move_count, 0);
    }
    press("2"); // the first disc that counts is still the game's first colour
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./......./.R.Y...");
}

// A click plays the column under it at any height; the ranges are 50 pixels wide.
TEST_F(Turns, ClicksPlayTheColumnUnderThemAtAnyHeight) {
    start_game();
    press("j");
    click(106, 5); // on the banner's row, left edge of column 1
    EXPECT_EQ(disc_at(1, 0), RED);
    click(155, 470); // on the label line, right edge of column 1
    EXPECT_EQ(disc_at(1, 1), RED);
    click(539, 40); // on the message line, right edge of column 7
    EXPECT_EQ(disc_at(7, 0), RED);
    EXPECT_EQ(game.move_count, 6);
    EXPECT_EQ(tones_heard(), "");
}

// Column 5 fills up during the drawn game; trying it is refused twice, and the game then goes on
// with the right colours to its 42nd disc.
TEST_F(Turns, FullColumnIsRefusedAndTheGameGoesOn) {
    start_game();
    press("j");
    std::string line = DRAW;
    play_line(line.substr(0, 13));
    ASSERT_EQ(game.move_count, 26);
    std::string before = discs_on_screen();
    ASSERT_NE(before[4], '.'); // column 5, top row: taken
    for (int32_t attempt = 0; attempt < 2; ++attempt) {
        headless_clear_tones();
        press("5");
        EXPECT_EQ(tones_heard(), ERROR_TONES);
        EXPECT_EQ(discs_on_screen(), before);
        EXPECT_EQ(message_line(), ASK_COLUMN);
        EXPECT_EQ(game.move_count, 26);
    }
    headless_clear_tones();
    click(387, 300); // the same column by mouse
    EXPECT_EQ(tones_heard(), ERROR_TONES);
    play_line(line.substr(13));
    EXPECT_EQ(message_line(), "Geen winnaar               ");
    EXPECT_EQ(discs_on_screen(), DRAW_BOARD); // the same game as without the refusals
}

// Space cycles the style 0 -> 1 -> 2 -> 3 -> 0 with 2, 3, 4, then 1 tones; the question stays open.
TEST_F(Turns, SpaceAtTheQuestionCyclesTheStyleWithItsTones) {
    start_game();
    const char* tones[] = {"400/120 400/120", "400/120 400/120 400/120", "400/120 400/120 400/120 400/120", "400/120"};
    for (int32_t i = 0; i < 4; ++i) {
        headless_clear_tones();
        press(" ");
        EXPECT_EQ(tones_heard(), tones[i]);
        EXPECT_EQ(game.tactic, (i + 1) % 4);
        EXPECT_EQ(message_line(), QUESTION);
        EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
    }
}

// A new style plays from the next game on: the running game keeps its weights.
TEST_F(Turns, NewStyleTakesEffectAtTheNextGame) {
    start_game();
    press(" "); // style 1 at the question
    EXPECT_EQ(game.weights.own_run_3, 199);
    press("j");
    headless_clear_tones();
    press(" "); // style 2 during the turn: three tones, the turn stays open
    EXPECT_EQ(tones_heard(), "400/120 400/120 400/120");
    EXPECT_EQ(message_line(), ASK_COLUMN);
    EXPECT_EQ(discs_on_screen(), EMPTY_BOARD);
    EXPECT_EQ(game.weights.own_run_3, 199);
    play_line(COMPUTER_WINS); // the style-0 line still plays out the same
    EXPECT_EQ(message_line().substr(0, 17), "Ik heb gewonnen !");
    press(" "); // Space after the result starts the next game, without a style change
    EXPECT_EQ(message_line(), QUESTION);
    EXPECT_EQ(game.tactic, 2);
    EXPECT_EQ(game.weights.own_run_3, 398);
}

// Keys typed while a disc is shown cut its 500 ms pause short and are the next inputs.
TEST_F(Turns, KeyDuringADiscPauseEndsItAndIsTheNextMove) {
    start_game();
    press("j");
    double start = headless_now_ms();
    headless_key_at(start + 100, '6');
    headless_type("2");
    settle();
    // The human's pause ended at the key; the computer's reply had its full pause; then "6" played.
    EXPECT_EQ(discs_on_screen(), "......./......./......./......./......./.RYY.R.");
    EXPECT_EQ(game.move_count, 4);
    double elapsed = headless_now_ms() - start;
    EXPECT_LT(elapsed, 4 * 500 - 300);
    EXPECT_GE(elapsed, 3 * 500);
}

// Ten keys typed at once are played one after the other.
TEST_F(Turns, KeysTypedAheadAreUsedInOrder) {
    start_game();
    press(std::string("j") + COMPUTER_WINS);
    EXPECT_EQ(message_line().substr(0, 17), "Ik heb gewonnen !");
    EXPECT_EQ(game.move_count, 8);
}

} // namespace
