// picture_bench.cpp -- speed of writing the picture file from the picture text, and of loading
// it onto the frame at the start of every game.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "data/picture.h"
#include "platform/headless/headless.h"
#include "screen/screen.h"

namespace {

// A scratch directory named through "temp" for the whole run, removed at the end.
struct BenchDirectory {
    std::string path;
    BenchDirectory() {
        char pattern[] = "/tmp/viertal-bench-XXXXXX";
        path = mkdtemp(pattern) != nullptr ? pattern : "";
        setenv("temp", path.c_str(), 1);
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

BenchDirectory directory;

// Decodes the whole picture text into a new file (the file removed between runs, untimed).
void BM_ExtractPicture(benchmark::State& state) {
    std::string name = picture_file_name();
    for (auto _ : state) {
        state.PauseTiming();
        unlink(name.c_str());
        state.ResumeTiming();
        extract_picture();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 921656);
}
BENCHMARK(BM_ExtractPicture)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Loads the 921,656-byte picture file onto the frame, as every game starts.
void BM_ShowPicture(benchmark::State& state) {
    if (!picture_file_exists()) extract_picture();
    headless_start();
    open_screen(640, 480, 32, 1, 0, 0);
    for (auto _ : state) show_picture();
    if (last_error() != 0) state.SkipWithError("the picture did not load");
    state.SetBytesProcessed(int64_t(state.iterations()) * 921656);
}
BENCHMARK(BM_ShowPicture)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Decodes the picture text alone, without a file.
void BM_DecodePictureText(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(decode_picture_into(-1));
}
BENCHMARK(BM_DecodePictureText)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
