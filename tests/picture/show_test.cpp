// show_test.cpp -- show_picture loads the picture file onto the frame: whole, cut off, missing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "data/picture.h"
#include "screen/headless.h"
#include "screen/screen.h"
#include "tests/picture/scratch.h"
#include "tools/picture/picture_maker.h"

namespace {

constexpr uint32_t BLACK = 0xFF000000;

// Returns the frame value of picture pixel (x, y), y from the top, in the BMP `bmp`.
uint32_t picture_pixel(const std::vector<uint8_t>& bmp, int32_t x, int32_t y) {
    size_t p = 54 + size_t(479 - y) * 1920 + size_t(x) * 3;
    return 0xFF000000u | uint32_t(bmp[p + 2]) << 16 | uint32_t(bmp[p + 1]) << 8 | bmp[p];
}

// Counts the pixels of frame rows y0..y1 that differ from the picture.
int32_t rows_differing(const std::vector<uint8_t>& bmp, int32_t y0, int32_t y1) {
    int32_t differ = 0;
    for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = 0; x < 640; ++x) differ += headless_pixel(x, y) != picture_pixel(bmp, x, y);
    return differ;
}

class ShowPicture : public ::testing::Test {
  protected:
    PictureEnvironment environment;
    ScratchFolder dir;
    std::vector<uint8_t> bmp = make_picture_bmp();
    void SetUp() override {
        setenv("temp", dir.path.c_str(), 1);
        headless_start();
        ASSERT_EQ(open_screen(640, 480, 32, 1, 0, 0), 0);
    }
};

} // namespace

TEST_F(ShowPicture, CoversTheWholeFrameTopRowFirst) {
    extract_picture();
    set_pixel(10, 10, 0x123456, 4);
    show_picture();
    EXPECT_EQ(last_error(), 0);
    EXPECT_EQ(rows_differing(bmp, 0, 479), 0);
}

// An existing cut-off file is not repaired: it is loaded as it is, its complete rows drawn from
// the bottom of the picture upward.
TEST_F(ShowPicture, CutOffFileDrawsItsCompleteBottomRows) {
    const size_t complete_rows = 100;
    std::string cut(reinterpret_cast<const char*>(bmp.data()), 54 + complete_rows * 1920 + 700);
    write_file(dir.file("ZAQT.bmp"), cut);
    if (!picture_file_exists()) extract_picture();
    EXPECT_EQ(read_file(dir.file("ZAQT.bmp")), cut) << "an existing file is used unchanged";
    show_picture();
    EXPECT_EQ(last_error(), 3);
    EXPECT_EQ(rows_differing(bmp, 480 - complete_rows, 479), 0);
    for (int32_t x = 0; x < 640; ++x) ASSERT_EQ(headless_pixel(x, 479 - complete_rows), BLACK) << "x " << x;
    EXPECT_EQ(headless_pixel(320, 0), BLACK);
}

TEST_F(ShowPicture, MissingFileLeavesTheFrame) {
    set_pixel(10, 10, 0x123456, 4);
    show_picture();
    EXPECT_EQ(last_error(), 2);
    EXPECT_EQ(headless_rgb(10, 10), 0x123456u);
    EXPECT_EQ(headless_pixel(11, 10), BLACK);
}
