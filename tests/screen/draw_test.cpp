// draw_test.cpp -- circles, discs, boxes, lines and pixels on the frame, clipping included.
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "screen_fixture.h"

namespace {

constexpr float FULL_TURN = 6.2831859f; // the game's end angle
constexpr uint32_t INK = 0x00FF4400;    // the game's own colours have 0 in the top byte
constexpr uint32_t PAPER = 0xFF000000;

// Draws a full circle (fill 0) or disc (fill -1) as the game does and returns its pixels.
std::set<Pixel> figure(int32_t cx, int32_t cy, int32_t r, int32_t fill) {
    fill_frame(PAPER);
    draw_circle(float(cx), float(cy), float(r), INK, 0.0f, 0.0f, FULL_TURN, fill, 4);
    return pixels_of(INK);
}

// Returns the pixels shifted by (dx, dy) and kept only where they lie on the frame.
std::set<Pixel> shifted_on_frame(const std::set<Pixel>& in, int32_t dx, int32_t dy) {
    std::set<Pixel> out;
    for (auto [x, y] : in)
        if (x + dx >= 0 && x + dx < FRAME_WIDTH && y + dy >= 0 && y + dy < FRAME_HEIGHT) out.insert({x + dx, y + dy});
    return out;
}

// Returns the smallest box holding the pixels as {left, top, right, bottom}.
std::vector<int32_t> extent(const std::set<Pixel>& in) {
    std::vector<int32_t> box{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
    for (auto [x, y] : in) {
        box[0] = std::min(box[0], x);
        box[1] = std::min(box[1], y);
        box[2] = std::max(box[2], x);
        box[3] = std::max(box[3], y);
    }
    return box;
}

using DrawTest = ScreenTest;

TEST_F(DrawTest, OutlineOfRadiusFiveRowByRow) {
    const std::set<Pixel> outline = figure(100, 200, 5, 0);
    const std::vector<std::vector<int32_t>> expected = {{-1, 0, 1}, {-3, -2, 2, 3}, {-4, 4},   {-4, 4},
                                                        {-5, 5},    {-5, 5},        {-5, 5},   {-4, 4},
                                                        {-4, 4},    {-3, -2, 2, 3}, {-1, 0, 1}};
    std::map<int32_t, std::vector<int32_t>> rows;
    for (auto [x, y] : outline) rows[y - 200].push_back(x - 100);
    ASSERT_EQ(rows.size(), expected.size());
    for (int32_t dy = -5; dy <= 5; ++dy) EXPECT_EQ(rows[dy], expected[dy + 5]) << "row cy" << dy;
}

TEST_F(DrawTest, DiscOfRadiusFiveFillsBetweenTheOutlineEnds) {
    const std::set<Pixel> disc = figure(100, 200, 5, -1);
    const int32_t half_width[] = {1, 3, 4, 4, 5, 5, 5, 4, 4, 3, 1};
    std::set<Pixel> expected;
    for (int32_t dy = -5; dy <= 5; ++dy)
        for (int32_t dx = -half_width[dy + 5]; dx <= half_width[dy + 5]; ++dx) expected.insert({100 + dx, 200 + dy});
    EXPECT_EQ(disc, expected);
}

TEST_F(DrawTest, DiscAndOutlineShareTheirExtentsAndTheOutlineLiesInsideTheDisc) {
    for (int32_t r = 0; r <= 60; ++r) {
        SCOPED_TRACE("radius " + std::to_string(r));
        const std::set<Pixel> disc = figure(320, 240, r, -1);
        const std::set<Pixel> outline = figure(320, 240, r, 0);
        const std::vector<int32_t> box{320 - r, 240 - r, 320 + r, 240 + r};
        EXPECT_EQ(extent(disc), box);
        EXPECT_EQ(extent(outline), box);
        for (const Pixel& p : outline) ASSERT_TRUE(disc.count(p)) << p.first << "," << p.second;
        // A disc is one unbroken run per row and mirror-symmetric both ways.
        for (auto [x, y] : disc) {
            ASSERT_TRUE(disc.count({640 - x, y}) && disc.count({x, 480 - y}));
            if (x < 320) {
                ASSERT_TRUE(disc.count({x + 1, y}));
            }
        }
    }
}

TEST_F(DrawTest, FiguresAreClippedAtEveryEdgeWithoutWrapping) {
    for (int32_t fill : {0, -1}) {
        const std::set<Pixel> whole = figure(320, 240, 30, fill);
        const struct {
            int32_t cx, cy;
        } centres[] = {{5, 240}, {634, 240}, {320, 4}, {320, 475}, {0, 0}, {639, 479}, {-29, 240}, {668, 479}};
        for (auto c : centres) {
            SCOPED_TRACE("centre " + std::to_string(c.cx) + "," + std::to_string(c.cy) + " fill " +
                         std::to_string(fill));
            EXPECT_EQ(figure(c.cx, c.cy, 30, fill), shifted_on_frame(whole, c.cx - 320, c.cy - 240));
        }
        EXPECT_TRUE(figure(-31, 240, 30, fill).empty());
        EXPECT_TRUE(figure(320, 511, 30, fill).empty());
    }
}

TEST_F(DrawTest, UnusableRadiiDrawNothingAndReturn) {
    fill_frame(PAPER);
    for (float r : {-1.0f, 1e9f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        draw_circle(320, 240, r, INK, 0.0f, 0.0f, FULL_TURN, -1, 4);
        EXPECT_EQ(last_error(), ERROR_BAD_ARGUMENT);
    }
    // A far-away centre with a large radius still returns (coordinates are clamped).
    draw_circle(1e30f, -1e30f, 60000.0f, INK, 0.0f, 0.0f, FULL_TURN, 0, 4);
    EXPECT_TRUE(pixels_of(INK).empty());
}

TEST_F(DrawTest, ArcsDrawOnlyTheirAngles) {
    // The upper half (0 to pi, counter-clockwise from the right) of an outline of radius 20.
    fill_frame(PAPER);
    draw_circle(320, 240, 20, INK, 0.0f, 0.0f, 3.14159265f, 0, 4);
    const std::set<Pixel> arc = pixels_of(INK);
    const std::set<Pixel> full = figure(320, 240, 20, 0);
    ASSERT_FALSE(arc.empty());
    for (auto [x, y] : arc) EXPECT_TRUE(y <= 240 && full.count({x, y}));
    EXPECT_TRUE(arc.count({320, 220}));
    EXPECT_FALSE(arc.count({320, 260}));
}

TEST_F(DrawTest, FilledBoxIsTheSameWhicheverCornerComesFirst) {
    const float corners[4][4] = {{10, 20, 30, 45}, {30, 45, 10, 20}, {30, 20, 10, 45}, {10, 45, 30, 20}};
    std::set<Pixel> expected;
    for (int32_t y = 20; y <= 45; ++y)
        for (int32_t x = 10; x <= 30; ++x) expected.insert({x, y});
    for (const auto& c : corners) {
        fill_frame(PAPER);
        draw_line(c[0], c[1], c[2], c[3], INK, 2, 0xFFFF, 0);
        EXPECT_EQ(pixels_of(INK), expected) << c[0] << "," << c[1] << " to " << c[2] << "," << c[3];
    }
}

TEST_F(DrawTest, BoxesAreClippedAndHugeCoordinatesAreSafe) {
    fill_frame(PAPER);
    draw_line(-5, -5, 2, 3, INK, 2, 0xFFFF, 0);
    EXPECT_EQ(pixels_of(INK).size(), 3u * 4u);
    fill_frame(PAPER);
    draw_line(635, 470, 900, 900, INK, 2, 0xFFFF, 0);
    EXPECT_EQ(pixels_of(INK).size(), 5u * 10u);
    fill_frame(PAPER);
    draw_line(700, 10, 800, 20, INK, 2, 0xFFFF, 0);
    draw_line(-1e30f, std::numeric_limits<float>::quiet_NaN(), -1, 1e30f, INK, 2, 0xFFFF, 0);
    EXPECT_TRUE(pixels_of(INK).empty());
    draw_line(-std::numeric_limits<float>::infinity(), 0, std::numeric_limits<float>::infinity(), 0, INK, 0, 0xFFFF, 0);
    EXPECT_EQ(pixels_of(INK).size(), size_t(FRAME_WIDTH)); // a line across row 0
}

TEST_F(DrawTest, LinesAndOutlinesIncludeBothEnds) {
    fill_frame(PAPER);
    draw_line(10, 10, 20, 15, INK, 0, 0xFFFF, 0);
    const std::set<Pixel> line = pixels_of(INK);
    EXPECT_EQ(line.size(), 11u);
    EXPECT_TRUE(line.count({10, 10}) && line.count({20, 15}));
    fill_frame(PAPER);
    draw_line(30, 30, 10, 10, INK, 1, 0xFFFF, 0);
    EXPECT_EQ(pixels_of(INK).size(), 4u * 20u);
    EXPECT_EQ(headless_pixel(20, 20), PAPER);
}

TEST_F(DrawTest, SetPixelWritesExactlyThatValueAndIgnoresOffFramePixels) {
    fill_frame(0xFF123456);
    set_pixel(7, 9, 0, 4);
    EXPECT_EQ(headless_pixel(7, 9), 0u);
    set_pixel(-1, 9, 0, 4);
    set_pixel(640, 9, 0, 4);
    set_pixel(7, 480, 0, 4);
    EXPECT_EQ(pixels_of(0).size(), 1u);
}

TEST_F(DrawTest, DrawingMarksTheRowsItChanged) {
    std::fill(std::begin(screen.row_changed), std::end(screen.row_changed), false);
    screen.frame_changed = false;
    draw_circle(100, 100, 10, INK, 0.0f, 0.0f, FULL_TURN, -1, 4);
    EXPECT_TRUE(screen.frame_changed);
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        if (y >= 90 && y <= 110) {
            EXPECT_TRUE(screen.row_changed[y]) << y;
        }
    EXPECT_FALSE(screen.row_changed[50]);
    EXPECT_FALSE(screen.row_changed[200]);
}

} // namespace
