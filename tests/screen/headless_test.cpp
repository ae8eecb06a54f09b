// headless_test.cpp -- small programs run on the headless game thread: waiting for input,
// pauses on the virtual clock, tones, the exit code, and the frame written to a file.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "screen_fixture.h"

namespace {

// What the little programs below saw (written on the game thread, read after wait_idle).
std::string keys_seen;
double pause_ended_at = -1;

// Waits for the next key the way the game does: poll, and sleep until input when none is
// waiting.
std::string wait_for_key() {
    for (;;) {
        const uint64_t seen = input_serial();
        std::string key = read_key();
        if (!key.empty()) return key;
        sleep_until_input(seen);
    }
}

// Echoes keys on row 2 until "q" (exit code 3) or Escape (exit code 0).
void echo_program() {
    open_screen(640, 480, 32, 1, 0, 0);
    set_text_grid(80, 30);
    print_text("Druk een toets", 1);
    for (;;) {
        std::string key = wait_for_key();
        keys_seen += key;
        if (key == "q") end_program(3);
        if (key == "\x1B") end_program(0);
        print_text(key, 0);
    }
}

// Pauses 500 ms, notes when the pause ended, plays two tones and waits for ever.
void pause_program() {
    open_screen(640, 480, 32, 1, 0, 0);
    pause(500);
    pause_ended_at = timer_seconds() * 1000;
    tone(523, 120);
    tone(1050, 240);
    for (;;) wait_for_key();
}

// Returns without calling end_program.
void returning_program() {
    open_screen(640, 480, 32, 1, 0, 0);
}

class HeadlessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless_start();
        keys_seen.clear();
        pause_ended_at = -1;
    }
    void TearDown() override { headless_finish(); }
};

TEST_F(HeadlessTest, AProgramWaitsForKeysAndEndsWithItsExitCode) {
    EXPECT_EQ(headless_exit_code(), -1);
    headless_run(echo_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    EXPECT_EQ(headless_text_at(1, 1, 14), "Druk een toets");
    headless_type("ab");
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    EXPECT_EQ(headless_text_at(2, 1, 3), "ab ");
    headless_mouse(5, 5, 0); // the pointer coming in wakes the program, which goes on waiting
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    headless_key('q');
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(headless_exit_code(), 3);
    EXPECT_EQ(keys_seen, "abq");
    headless_finish();
    EXPECT_EQ(headless_exit_code(), 3);
}

TEST_F(HeadlessTest, KeysTypedBeforeTheProgramReadsAreWaitingForIt) {
    headless_type("x\x1B");
    headless_run(echo_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(headless_exit_code(), 0);
    EXPECT_EQ(keys_seen, "x\x1B");
}

TEST_F(HeadlessTest, ScheduledInputArrivesOnTheVirtualClock) {
    headless_key_at(120, 'k');
    headless_run(pause_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting); // the key ended the pause, then waits for more
    EXPECT_EQ(pause_ended_at, 150);
    const std::vector<HeadlessTone> tones = headless_tones();
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].frequency, 523);
    EXPECT_EQ(tones[0].start_ms, 150);
    EXPECT_EQ(tones[1].frequency, 1050);
    EXPECT_EQ(tones[1].duration, 240);
    EXPECT_EQ(tones[1].start_ms, 270);
    EXPECT_EQ(headless_now_ms(), 510);
}

TEST_F(HeadlessTest, ScheduledInputWakesAWaitingProgram) {
    headless_run(echo_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    headless_key_at(2000, 'z');
    headless_key_at(2500, 'q');
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(keys_seen, "zq");
    EXPECT_EQ(headless_now_ms(), 2500);
}

TEST_F(HeadlessTest, AWaitingProgramMovesOnlyAtTheNextWaitIdle) {
    headless_run(echo_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    headless_key_at(headless_now_ms() + 100, 'b');
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a parked game does not move
    EXPECT_EQ(headless_now_ms(), 0);
    headless_type("a"); // given later, but due now: it comes first
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    EXPECT_EQ(keys_seen, "ab");
    EXPECT_EQ(headless_now_ms(), 100);
}

TEST_F(HeadlessTest, FinishEndsAProgramThatStillWaits) {
    headless_run(pause_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    headless_finish();
    EXPECT_EQ(headless_exit_code(), -1);
    headless_finish();          // nothing left to end
    headless_run(echo_program); // the backend can run another program afterwards
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::waiting);
    headless_key(27);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(headless_exit_code(), 0);
}

TEST_F(HeadlessTest, AProgramThatReturnsCountsAsEndedWithoutACode) {
    headless_run(returning_program);
    ASSERT_EQ(headless_wait_idle(), HeadlessStatus::ended);
    EXPECT_EQ(headless_exit_code(), -1);
}

TEST_F(HeadlessTest, TheFrameWrittenToABmpLoadsBackIdentically) {
    ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    ASSERT_EQ(open_screen(640, 480, 32, 1, 0, 0), 0);
    set_text_grid(80, 30);
    draw_circle(320, 240, 38, 0x00FFFF00, 0.0f, 0.0f, 6.2831859f, -1, 4);
    draw_line(0, 479, 639, 470, 0x000000FF, 2, 0xFFFF, 0);
    print_text("Mijn zet", 0);
    uint32_t before[FRAME_HEIGHT][FRAME_WIDTH];
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) before[y][x] = headless_rgb(x, y);
    ASSERT_TRUE(headless_write_frame(scratch.file("frame.bmp")));
    fill_frame(0);
    ASSERT_EQ(load_bmp(scratch.file("frame.bmp")), 0);
    int32_t differ = 0;
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) differ += headless_rgb(x, y) != before[y][x];
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(headless_text_at(1, 1, 8), "Mijn zet");

    ASSERT_TRUE(headless_write_frame(scratch.file("frame.png")));
    std::ifstream png(scratch.file("frame.png"), std::ios::binary);
    std::string magic(8, '\0');
    png.read(magic.data(), 8);
    EXPECT_EQ(magic, "\x89PNG\r\n\x1A\n");
    EXPECT_FALSE(headless_write_frame(scratch.file("no/such/dir/frame.bmp")));
}

} // namespace
