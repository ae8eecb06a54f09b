// screen_fixture.h -- shared set-up of the screen tests: a fresh headless screen opened as the
// game opens it, a scratch directory, and small frame helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "screen/headless.h"
#include "screen/screen_core.h"
#include "screen/screen_state.h"

// A fresh screen after open_screen(640, 480, 32, 1, 0, 0) and set_text_grid(80, 30).
class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless_start();
        ASSERT_EQ(open_screen(FRAME_WIDTH, FRAME_HEIGHT, 32, 1, 0, 0), 0);
        set_text_grid(80, 30);
    }
    void TearDown() override { headless_finish(); }
};

// A directory of its own under the system's temp directory, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "viertal-screen-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    bool ok() const { return !path_.empty(); }

  private:
    std::string path_;
};

using Pixel = std::pair<int32_t, int32_t>; // x, y

// Returns every frame pixel whose value equals colour.
inline std::set<Pixel> pixels_of(uint32_t colour) {
    std::set<Pixel> found;
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        for (int32_t x = 0; x < FRAME_WIDTH; ++x)
            if (headless_pixel(x, y) == colour) found.insert({x, y});
    return found;
}

// Fills the whole frame with one colour (a stand-in for a picture).
inline void fill_frame(uint32_t colour) {
    draw_line(0, 0, FRAME_WIDTH - 1, FRAME_HEIGHT - 1, colour, 2, 0xFFFF, 0);
}
