// bmp_test.cpp -- load_bmp on real files in a scratch directory: good, cut short and hostile.
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "screen_fixture.h"

namespace {

constexpr uint32_t BEFORE = 0x00ABCDEF; // the frame before a load

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// The colour a test image has at (x, y), counted from the top.
uint32_t test_colour(int32_t x, int32_t y) {
    return 0xFF000000u | uint32_t(x * 7 & 0xFF) << 16 | uint32_t(y * 3 & 0xFF) << 8 | uint32_t((x + y) & 0xFF);
}

// Builds an uncompressed BMP: info header of that size (12 or 40 and up), rows bottom-up for a
// positive height, top-down for a negative one, each row padded to 4 bytes.
Bytes make_bmp(int32_t width, int32_t height, int32_t bits, uint32_t info_size = 40) {
    const int32_t rows = height < 0 ? -height : height;
    const size_t bpp = size_t(bits / 8), stride = (size_t(width) * bpp + 3) / 4 * 4;
    const size_t offset = 14 + info_size;
    Bytes b(offset + stride * size_t(rows), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, uint32_t(b.size()));
    put32(b, 10, uint32_t(offset));
    put32(b, 14, info_size);
    if (info_size == 12) {
        put16(b, 18, uint32_t(width));
        put16(b, 20, uint32_t(height));
        put16(b, 22, 1);
        put16(b, 24, uint32_t(bits));
    } else {
        put32(b, 18, uint32_t(width));
        put32(b, 22, uint32_t(height));
        put16(b, 26, 1);
        put16(b, 28, uint32_t(bits));
    }
    for (int32_t i = 0; i < rows; ++i) {
        const int32_t y = height < 0 ? i : rows - 1 - i; // image row stored as the i-th row
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t c = test_colour(x, y);
            unsigned char* p = &b[offset + size_t(i) * stride + size_t(x) * bpp];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    }
    return b;
}

class BmpTest : public ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        ASSERT_TRUE(scratch.ok());
        fill_frame(BEFORE);
    }

    // Writes the bytes to a scratch file and loads it.
    int32_t load(const Bytes& bytes) {
        const std::string path = scratch.file("picture.bmp");
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_TRUE(f);
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return load_bmp(path);
    }

    // Counts the frame pixels inside (width x rows) from the top-left that show the test image
    // and checks that everything else still shows BEFORE.
    void expect_image(int32_t width, int32_t first_row, int32_t end_row) {
        int32_t wrong = 0;
        for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
            for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
                const bool inside = x < width && y >= first_row && y < end_row;
                wrong += headless_pixel(x, y) != (inside ? test_colour(x, y) : BEFORE);
            }
        EXPECT_EQ(wrong, 0);
    }

    ScratchDir scratch;
};

TEST_F(BmpTest, MissingFileGivesTwoAndLeavesTheFrame) {
    EXPECT_EQ(load_bmp(scratch.file("absent.bmp")), ERROR_CANNOT_OPEN);
    EXPECT_EQ(last_error(), ERROR_CANNOT_OPEN);
    expect_image(0, 0, 0);
}

TEST_F(BmpTest, TwentyFourBitPixelBecomesOpaqueRgb) {
    Bytes b = make_bmp(1, 1, 24);
    b[54] = 0x10;
    b[55] = 0x20;
    b[56] = 0x30;
    EXPECT_EQ(load(b), 0);
    EXPECT_EQ(headless_pixel(0, 0), 0xFF302010u);
    EXPECT_EQ(headless_pixel(1, 0), BEFORE);
    EXPECT_EQ(headless_pixel(0, 1), BEFORE);
}

TEST_F(BmpTest, WholeGamePictureFillsTheFrame) {
    const Bytes b = make_bmp(640, 480, 24);
    EXPECT_EQ(b.size(), 921654u);
    EXPECT_EQ(load(b), 0);
    expect_image(640, 0, 480);
}

TEST_F(BmpTest, TopDownAndOtherHeadersGiveTheSamePicture) {
    for (uint32_t info : {12u, 40u, 56u, 108u, 124u})
        for (int32_t bits : {24, 32})
            for (int32_t height : {37, -37}) {
                SCOPED_TRACE("header " + std::to_string(info) + " bits " + std::to_string(bits) + " height " +
                             std::to_string(height));
                if (info == 12 && height < 0) continue; // the old header has no sign
                fill_frame(BEFORE);
                EXPECT_EQ(load(make_bmp(13, height, bits, info)), 0);
                expect_image(13, 0, 37);
            }
}

TEST_F(BmpTest, LargerPictureIsCutToTheFrame) {
    EXPECT_EQ(load(make_bmp(700, 500, 24)), 0);
    expect_image(640, 0, 480);
    fill_frame(BEFORE);
    EXPECT_EQ(load(make_bmp(700, -500, 24)), 0);
    expect_image(640, 0, 480);
}

TEST_F(BmpTest, CutOffFileDrawsTheBottomRowsUpToTheLastCompleteOne) {
    Bytes b = make_bmp(640, 480, 24);
    b.resize(54 + 100 * 1920 + 700); // 100 whole rows and part of the 101st
    EXPECT_EQ(load(b), ERROR_BAD_FILE);
    EXPECT_EQ(last_error(), ERROR_BAD_FILE);
    expect_image(640, 380, 480);

    fill_frame(BEFORE);
    b = make_bmp(20, -50, 24);
    b.resize(b.size() - 1); // the last stored row (the bottom one) is one byte short
    EXPECT_EQ(load(b), ERROR_BAD_FILE);
    expect_image(20, 0, 49);

    fill_frame(BEFORE);
    b = make_bmp(640, 480, 24);
    b.resize(54); // headers only
    EXPECT_EQ(load(b), ERROR_BAD_FILE);
    expect_image(0, 0, 0);
}

TEST_F(BmpTest, BadHeadersGiveThreeAndLeaveTheFrame) {
    const Bytes good = make_bmp(4, 4, 24);
    std::vector<std::pair<std::string, std::function<void(Bytes&)>>> faults = {
        {"empty file", [](Bytes& b) { b.clear(); }},
        {"short file header", [](Bytes& b) { b.resize(10); }},
        {"short info header", [](Bytes& b) { b.resize(30); }},
        {"signature", [](Bytes& b) { b[1] = 'A'; }},
        {"header size 20", [](Bytes& b) { put32(b, 14, 20); }},
        {"header size huge", [](Bytes& b) { put32(b, 14, 0xFFFFFFF0); }},
        {"planes 2", [](Bytes& b) { put16(b, 26, 2); }},
        {"width 0", [](Bytes& b) { put32(b, 18, 0); }},
        {"width negative", [](Bytes& b) { put32(b, 18, uint32_t(-4)); }},
        {"height 0", [](Bytes& b) { put32(b, 22, 0); }},
        {"8 bits", [](Bytes& b) { put16(b, 28, 8); }},
        {"0 bits", [](Bytes& b) { put16(b, 28, 0); }},
        {"run-length compressed", [](Bytes& b) { put32(b, 30, 1); }},
        {"bit fields", [](Bytes& b) { put32(b, 30, 3); }},
    };
    for (auto& [name, spoil] : faults) {
        Bytes b = good;
        spoil(b);
        EXPECT_EQ(load(b), ERROR_BAD_FILE) << name;
        expect_image(0, 0, 0);
    }
}

TEST_F(BmpTest, HostileSizesAreRefusedWithoutHugeReadsOrOverflow) {
    // Each file is small; the sizes in it claim otherwise. Under AddressSanitizer any
    // out-of-bounds access or huge allocation would fail the run.
    struct Case {
        const char* name;
        uint32_t width, height, offset;
        int32_t result;
        bool corner_may_change; // only the 4 x 4 top-left corner may have changed
    };
    const Case cases[] = {
        {"widest", 0x7FFFFFFF, 4, 54, ERROR_BAD_FILE, false},
        // 2^31 - 1 rows bottom-up: the 4 stored rows lie far below the frame, nothing is drawn.
        {"tallest", 4, 0x7FFFFFFF, 54, ERROR_BAD_FILE, false},
        // Top-down, 2^31 rows: the 4 stored rows are the top ones and are drawn.
        {"most negative height", 4, 0x80000000, 54, ERROR_BAD_FILE, true},
        {"both huge", 0x7FFFFFFF, 0x7FFFFFFF, 54, ERROR_BAD_FILE, false},
        {"offset past the end", 4, 4, 0xFFFFFFFF, ERROR_BAD_FILE, false},
        {"offset into the headers", 4, 4, 0, 0, true},
    };
    for (const Case& c : cases) {
        Bytes b = make_bmp(4, 4, 24);
        put32(b, 18, c.width);
        put32(b, 22, c.height);
        put32(b, 10, c.offset);
        fill_frame(BEFORE);
        EXPECT_EQ(load(b), c.result) << c.name;
        int32_t changed = 0, changed_in_corner = 0;
        for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
            for (int32_t x = 0; x < FRAME_WIDTH; ++x)
                if (headless_pixel(x, y) != BEFORE) ++(x < 4 && y < 4 ? changed_in_corner : changed);
        EXPECT_EQ(changed, 0) << c.name;
        EXPECT_EQ(changed_in_corner > 0, c.corner_may_change) << c.name;
    }
}

TEST_F(BmpTest, PathsThatAreNotFilesDoNotHang) {
    EXPECT_EQ(load_bmp(scratch.file("")), ERROR_BAD_FILE); // the directory itself
    const std::string fifo = scratch.file("pipe.bmp");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(load_bmp(fifo), ERROR_BAD_FILE); // no writer: a blocking open would hang here
    expect_image(0, 0, 0);
}

} // namespace
