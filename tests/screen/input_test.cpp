// input_test.cpp -- the key queue, the mouse state, pauses on the virtual clock, tones, the
// input serial, the text helpers, and the screen lock under a tight polling loop.
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "screen/platform.h"
#include "screen_fixture.h"

namespace {

using InputTest = ScreenTest;

TEST_F(InputTest, TwentyKeysLeaveTheLastFifteen) {
    EXPECT_EQ(read_key(), "");
    headless_type("abcdefghijklmnopqrst");
    std::string got;
    for (std::string k = read_key(); !k.empty(); k = read_key()) got += k;
    EXPECT_EQ(got, "fghijklmnopqrst");
    headless_type("uv");
    EXPECT_EQ(read_key(), "u");
    EXPECT_EQ(read_key(), "v");
    EXPECT_EQ(read_key(), "");
}

TEST_F(InputTest, ExtendedKeysComeWholeInOneRead) {
    headless_key(CLOSE_KEY);
    headless_key(0x48FF); // an arrow
    headless_key(27);
    headless_key(255); // the character 255 itself is one byte
    EXPECT_EQ(read_key(), "\xFFk");
    EXPECT_EQ(read_key(), "\xFFH");
    EXPECT_EQ(read_key(), "\x1B");
    EXPECT_EQ(read_key(), "\xFF");
    EXPECT_EQ(read_key(), "");
}

TEST_F(InputTest, PauseCountsOnTheVirtualClock) {
    pause(500);
    EXPECT_EQ(headless_now_ms(), 500);
    pause(0);
    pause(-5);
    EXPECT_EQ(headless_now_ms(), 500);
    pause(3);
    EXPECT_EQ(headless_now_ms(), 503);
}

TEST_F(InputTest, AKeyEndsALongPauseAtTheNextFiftyMillisecondCheck) {
    headless_key_at(120, 'x');
    pause(500);
    EXPECT_EQ(headless_now_ms(), 150); // checks at 0, 50, 100, 150
    EXPECT_EQ(read_key(), "x");        // the key stays queued

    headless_key_at(headless_now_ms() + 10, 'y');
    pause(99); // under 100 ms a pause is never cut short
    EXPECT_EQ(headless_now_ms(), 249);

    pause(500); // the key-arrived flag was set by y and is taken by the first check
    EXPECT_EQ(headless_now_ms(), 249);
    pause(500); // now nothing arrives
    EXPECT_EQ(headless_now_ms(), 749);
    EXPECT_EQ(read_key(), "y");

    headless_key_at(headless_now_ms() + 455, 'z'); // after the last check: the rest is unchecked
    pause(500);
    EXPECT_EQ(headless_now_ms(), 1249);
    headless_key(CLOSE_KEY);
    const double before = headless_now_ms();
    pause(100);
    EXPECT_EQ(headless_now_ms(), before);
}

TEST_F(InputTest, ReadKeyClearsTheKeyArrivedFlag) {
    headless_key('a');
    EXPECT_EQ(read_key(), "a");
    pause(200);
    EXPECT_EQ(headless_now_ms(), 200);
}

TEST_F(InputTest, ReadMouseOutsideTheWindowGivesMinusOnes) {
    int32_t x = 7, y = 7, wheel = 7, buttons = 7, confinement = 7;
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 1);
    EXPECT_EQ((std::vector<int32_t>{x, y, wheel, buttons, confinement}), (std::vector<int32_t>(5, -1)));
    EXPECT_EQ(last_error(), 1);

    headless_mouse(10, 20, 0);
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 0);
    EXPECT_EQ((std::vector<int32_t>{x, y, wheel, buttons, confinement}), (std::vector<int32_t>{10, 20, 0, 0, 0}));
    headless_mouse(639, 479, 5);
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        add_mouse_wheel_locked(-2);
    }
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 0);
    EXPECT_EQ((std::vector<int32_t>{x, y, wheel, buttons, confinement}), (std::vector<int32_t>{639, 479, -2, 5, 0}));

    headless_mouse_away();
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 1);
    EXPECT_EQ(buttons, -1);
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        set_pointer_inside_locked(true);
        set_window_active_locked(false);
    }
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 1);
}

TEST_F(InputTest, InputSerialCountsKeysButtonsFocusAndInsideButNotMoves) {
    uint64_t seen = input_serial();
    headless_mouse(1, 1, 0); // pointer comes inside
    EXPECT_EQ(input_serial(), seen + 1);
    seen = input_serial();
    headless_mouse(2, 2, 0); // a move only
    EXPECT_EQ(input_serial(), seen);
    headless_mouse(2, 2, 1); // button down
    EXPECT_EQ(input_serial(), seen + 1);
    headless_key('k');
    EXPECT_EQ(input_serial(), seen + 2);
    sleep_until_input(seen); // differs already: returns at once
    EXPECT_EQ(headless_now_ms(), 0);
}

TEST_F(InputTest, SleepUntilInputJumpsTheClockToScheduledInput) {
    headless_mouse_at(1000, 50, 60, 1);
    sleep_until_input(input_serial());
    EXPECT_EQ(headless_now_ms(), 1000);
    int32_t x, y, wheel, buttons, confinement;
    EXPECT_EQ(read_mouse(x, y, wheel, buttons, confinement), 0);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(x, 50);
}

TEST_F(InputTest, TonesAreRecordedAndTakeTheirTime) {
    tone(440, 200);
    pause(10);
    tone(880, 120);
    tone(20, 100); // below the speaker's range: nothing
    EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT);
    tone(440, 0); // no time, no tone
    tone(440, -1);
    const std::vector<HeadlessTone> tones = headless_tones();
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].frequency, 440);
    EXPECT_EQ(tones[0].duration, 200);
    EXPECT_EQ(tones[0].start_ms, 0);
    EXPECT_EQ(tones[1].frequency, 880);
    EXPECT_EQ(tones[1].start_ms, 210);
    EXPECT_EQ(headless_now_ms(), 330);
    headless_clear_tones();
    EXPECT_TRUE(headless_tones().empty());
}

TEST_F(InputTest, TimerFollowsTheClock) {
    EXPECT_EQ(timer_seconds(), 0.0);
    pause(1500);
    EXPECT_DOUBLE_EQ(timer_seconds(), 1.5);
}

TEST(Random, TheSameSeedReplaysTheSameSequence) {
    seed_random(12.5, 0);
    std::vector<double> first;
    for (int32_t i = 0; i < 20; ++i) first.push_back(random_number(1.0));
    seed_random(12.5, 0);
    for (int32_t i = 0; i < 20; ++i) EXPECT_EQ(random_number(1.0), first[size_t(i)]);
    seed_random(12.75, 0);
    EXPECT_NE(random_number(1.0), first[0]);
}

TEST(Random, OpeningColumnsTwoToFiveComeEquallyOften) {
    seed_random(3.0, 0);
    int32_t counts[6] = {};
    for (int32_t i = 0; i < 40000; ++i) {
        const double r = random_number(1.0);
        ASSERT_TRUE(r >= 0.0 && r < 1.0);
        ++counts[2 + int32_t(4 * r)];
    }
    for (int32_t column = 2; column <= 5; ++column) EXPECT_NEAR(counts[column], 10000, 500) << column;
}

TEST(TextHelpers, CompareIsUnsignedByteByByte) {
    EXPECT_EQ(text_compare("", ""), 0);
    EXPECT_EQ(text_compare("\x1B", "\x1B"), 0);
    EXPECT_LT(text_compare("", " "), 0);
    EXPECT_GT(text_compare(" ", ""), 0);
    EXPECT_GT(text_compare("\xFF", "a"), 0); // 255 sorts after 97
    EXPECT_LT(text_compare("a", "\x80"), 0);
    EXPECT_LT(text_compare("ab", "abc"), 0);
    EXPECT_LT(text_compare(std::string("a\0b", 3), std::string("a\0c", 3)), 0);
    EXPECT_NE(text_compare(std::string("a\0", 2), "a"), 0);
    EXPECT_EQ(text_compare(std::string("\0", 1), std::string("\0", 1)), 0);
}

TEST(TextHelpers, MidTakesBytesFromAOneBasedPosition) {
    EXPECT_EQ(text_mid("\xFFk", 2, -1), "k");
    EXPECT_EQ(text_mid("3", 2, -1), "");
    EXPECT_EQ(text_mid("", 1, -1), "");
    EXPECT_EQ(text_mid("abc", 0, 2), "");
    EXPECT_EQ(text_mid("abc", 4, 1), "");
    EXPECT_EQ(text_mid("abc", 2, 0), "");
    EXPECT_EQ(text_mid("abc", 2, 99), "bc");
    EXPECT_EQ(text_mid("abc", 1, 2), "ab");
    EXPECT_EQ(text_mid(std::string("a\0b", 3), 2, 2), std::string("\0b", 2));
    EXPECT_EQ(text_mid("abc", 1, -2), "");
    EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT);
}

TEST(TextHelpers, CharCodeIsZeroOutsideTheText) {
    EXPECT_EQ(char_code("", 1), 0);
    EXPECT_EQ(char_code("a", 0), 0);
    EXPECT_EQ(char_code("a", 2), 0);
    EXPECT_EQ(char_code("a", -1), 0);
    EXPECT_EQ(char_code("\xFFk", 1), 255);
    EXPECT_EQ(char_code("\xFFk", 2), 107);
    EXPECT_EQ(char_code(std::string("\0", 1), 1), 0);
}

// A game thread waiting for the button's release with read_mouse in a loop without any pause
// must not keep the window thread from ever taking the screen lock to report the release.
TEST_F(InputTest, ATightReadMouseLoopDoesNotStarveTheWindowThread) {
    headless_mouse(100, 100, 1);
    std::atomic<bool> give_up{false};
    std::atomic<int64_t> polls{0};
    auto game = std::async(std::launch::async, [&] {
        int32_t x, y, wheel, buttons = 1, confinement;
        while (buttons >= 1 && !give_up) {
            read_mouse(x, y, wheel, buttons, confinement);
            ++polls;
        }
        return buttons;
    });
    while (polls < 1000) std::this_thread::yield(); // the loop is well under way
    auto window = std::async(std::launch::async, [] {
        for (int32_t i = 0; i < 200; ++i) { // window passes that each take the lock
            std::lock_guard<std::mutex> hold(screen.lock);
            set_mouse_position_locked(100 + i % 2, 100);
        }
        std::lock_guard<std::mutex> hold(screen.lock);
        set_mouse_button_locked(0, false);
    });
    // Generous bounds that only a starved lock can exceed; they guard against a hang, they do
    // not measure speed.
    const bool released = window.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    EXPECT_TRUE(released) << "the window thread never got the screen lock";
    const bool seen = game.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    EXPECT_TRUE(seen) << "the game never saw the release";
    give_up = true;
    EXPECT_EQ(game.get(), 0);
}

// The mechanism behind the test above, which a lucky scheduler could pass without it: polls
// with no real sleep between them leave the lock free for 50 us each from the 16th on, so 216
// of them cannot take less than 200 x 50 us. A pause(0) is no sleep and does not reset that.
TEST_F(InputTest, BackToBackPollsLeaveTheLockFreeForAWhile) {
    headless_mouse(1, 1, 1);
    pause(1); // a real sleep: the count starts afresh
    int32_t x, y, wheel, buttons, confinement;
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < 216; ++i) {
        if (i % 2) {
            read_mouse(x, y, wheel, buttons, confinement);
        } else {
            read_key();
        }
        pause(0);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
}

TEST_F(InputTest, ATightReadKeyLoopSeesAKeyQueuedByAnotherThread) {
    std::atomic<bool> give_up{false};
    std::atomic<int64_t> polls{0};
    auto game = std::async(std::launch::async, [&] {
        std::string key;
        while (key.empty() && !give_up) {
            key = read_key();
            ++polls;
        }
        return key;
    });
    while (polls < 1000) std::this_thread::yield();
    auto window = std::async(std::launch::async, [] { headless_key('j'); });
    EXPECT_EQ(window.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(game.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    give_up = true;
    EXPECT_EQ(game.get(), "j");
}

} // namespace
