// core_bench.cpp -- the portable screen core on the headless platform: drawing, printing,
// loading the game's picture, and the cost of a poll with and without a tight loop's back-off.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/headless/headless.h"
#include "screen/screen.h"

namespace {

// Opens a fresh headless screen as the game does.
void open_game_screen() {
    headless_start();
    open_screen(640, 480, 32, 1, 0, 0);
    set_text_grid(80, 30);
}

void BM_SolidDiscRadius38(benchmark::State& state) {
    open_game_screen();
    for (auto _ : state) draw_circle(320, 240, 38, 0x00FFFF00, 0.0f, 0.0f, 6.2831859f, -1, 4);
}
BENCHMARK(BM_SolidDiscRadius38);

void BM_PrintStartQuestion(benchmark::State& state) {
    open_game_screen();
    for (auto _ : state) {
        locate(3, 27);
        print_text("Wil je beginnen [ja][nee] ?", 0);
    }
}
BENCHMARK(BM_PrintStartQuestion);

void BM_FilledBoxWholeFrame(benchmark::State& state) {
    open_game_screen();
    for (auto _ : state) draw_line(0, 0, 639, 479, 0x000000FF, 2, 0xFFFF, 0);
}
BENCHMARK(BM_FilledBoxWholeFrame);

// Loads a 640 x 480 24-bit picture like the game's, from a file in the temp directory.
void BM_LoadGamePicture(benchmark::State& state) {
    open_game_screen();
    const std::string path = (std::filesystem::temp_directory_path() / "viertal-core-bench.bmp").string();
    headless_write_frame(path);
    for (auto _ : state) benchmark::DoNotOptimize(load_bmp(path));
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadGamePicture)->Unit(benchmark::kMicrosecond);

// One poll of the game's 3 ms loop (read_key, read_mouse, then a real sleep resets the count).
void BM_PollAfterSleep(benchmark::State& state) {
    open_game_screen();
    headless_mouse(10, 10, 0);
    int32_t x, y, wheel, buttons, confinement;
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_key());
        read_mouse(x, y, wheel, buttons, confinement);
        state.PauseTiming();
        pause(1); // virtual: costs no real time
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PollAfterSleep);

// A poll deep inside a tight loop without sleeps: it leaves the lock free for a while.
void BM_TightPoll(benchmark::State& state) {
    open_game_screen();
    headless_mouse(10, 10, 1);
    int32_t x, y, wheel, buttons, confinement;
    for (auto _ : state) read_mouse(x, y, wheel, buttons, confinement);
}
BENCHMARK(BM_TightPoll)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
