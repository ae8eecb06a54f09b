// draw.cpp -- circles and discs, lines and boxes, single pixels, all clipped pixel by pixel.
#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "screen/screen_core.h"

namespace {

constexpr double TWO_PI = 6.283185307179586;

// Converts a drawing coordinate to a whole number, rounding toward zero, clamped to
// +-COORD_LIMIT; NaN becomes the limit, which is off the frame.
int64_t whole(double v) {
    if (!(v > -double(COORD_LIMIT))) return v < 0 ? -COORD_LIMIT : COORD_LIMIT;
    if (v > double(COORD_LIMIT)) return COORD_LIMIT;
    return static_cast<int64_t>(std::trunc(v));
}

// Sets one pixel when it lies on the frame. Screen lock held; rows are marked by the caller.
void plot(int64_t x, int64_t y, uint32_t colour) {
    if (x < 0 || x >= FRAME_WIDTH || y < 0 || y >= FRAME_HEIGHT) return;
    screen.frame[y][x] = colour;
}

// What one draw_circle call draws: the colour, the fill mode, the rows a solid figure has
// filled already, and the arc limits when the figure is not a closed full circle.
struct CircleCall {
    uint32_t colour;
    bool solid;
    bool filled[FRAME_HEIGHT]; // solid: rows already filled by this call
    bool arc;                  // only pixels whose angle lies in start..end are drawn
    double start, end;         // radians, counter-clockwise from the right, 0..2 pi
    int64_t cx, cy;
};

// Returns true when pixel (x, y) lies within the arc's angles (always for a full circle).
bool in_arc(const CircleCall& c, int64_t x, int64_t y) {
    if (!c.arc) return true;
    if (x == c.cx && y == c.cy) return true;
    double angle = std::atan2(double(c.cy - y), double(x - c.cx)); // y grows downward on screen
    if (angle < 0) angle += TWO_PI;
    return c.start <= c.end ? (angle >= c.start && angle <= c.end) : (angle >= c.start || angle <= c.end);
}

// Sets one pixel of the figure when it lies on the frame and within the arc.
void plot_figure(const CircleCall& c, int64_t x, int64_t y) {
    if (x < 0 || x >= FRAME_WIDTH || !in_arc(c, x, y)) return;
    screen.frame[y][x] = c.colour;
}

// Draws one span of the circle: the two end points of an outline, or the whole run of a solid
// figure, filled only the first time this call reaches row y.
void span(CircleCall& c, int64_t y, int64_t xa, int64_t xb) {
    if (y < 0 || y >= FRAME_HEIGHT) return;
    if (!c.solid) {
        plot_figure(c, xa, y);
        plot_figure(c, xb, y);
        return;
    }
    if (c.filled[y]) return;
    c.filled[y] = true;
    for (int64_t x = std::max<int64_t>(xa, 0); x <= std::min<int64_t>(xb, FRAME_WIDTH - 1); ++x) plot_figure(c, x, y);
}

// Walks the circle or ellipse with semi-axes a (across) and b (down) in 64-bit integer steps.
void walk_circle(CircleCall& c, double a, double b) {
    int64_t x0 = whole(double(c.cx) - a), x1 = whole(double(c.cx) + a);
    span(c, c.cy, x0, x1);
    const int64_t A2 = whole(a * a), B2 = whole(b * b);
    int64_t D = static_cast<int64_t>(std::trunc(double(B2) * a));
    // cppcheck-suppress duplicateAssignExpression ; both walks start on the centre row
    int64_t E = 2 * D, n = whole(a), S = 0, yA = c.cy, yB = c.cy;
    if (n <= 0) return;
    for (;;) {
        while (D > 0) {
            ++yA;
            --yB;
            S += 2 * A2;
            D -= S;
            if (D <= 0) break;
            span(c, yA, x0, x1);
            span(c, yB, x0, x1);
        }
        ++x0;
        --x1;
        --n;
        E -= 2 * B2;
        D += E;
        span(c, yA, x0, x1);
        span(c, yB, x0, x1);
        if (n == 0) return;
    }
}

} // namespace

// Draws a circle OUTLINE (fill 0) or a SOLID disc (fill not 0) centred on (x, y). Aspect 0 means
// a true circle; above 1 narrows it, below 1 flattens it. Start 0 with end 2 pi (or both 0)
// draws the closed circle; other angles draw only the pixels whose angle from the centre,
// counter-clockwise from the right, lies between |start| and |end| (an arc, or a pie slice when
// solid). A negative, non-finite or enormous (above COORD_LIMIT) radius draws nothing (error 1).
// Flags are ignored: coordinates are always absolute.
void draw_circle(float x, float y, float radius, uint32_t colour, float aspect, float start_angle, float end_angle,
                 int32_t fill, int32_t /*flags*/) {
    if (!(radius >= 0.0f) || radius > float(COORD_LIMIT) || !std::isfinite(aspect) || aspect < 0.0f) {
        set_error(ERROR_BAD_ARGUMENT);
        return;
    }
    std::lock_guard<std::mutex> hold(screen.lock);
    if (!screen.opened) return;
    static CircleCall c; // 500 bytes of row marks, used under the screen lock
    c.colour = colour;
    c.solid = fill != OUTLINE;
    std::fill(c.filled, c.filled + FRAME_HEIGHT, false);
    c.start = std::fmod(std::fabs(double(start_angle)), TWO_PI + 1e-6);
    c.end = std::fmod(std::fabs(double(end_angle)), TWO_PI + 1e-6);
    c.arc = !(c.start == 0.0 && (c.end == 0.0 || c.end >= TWO_PI - 1e-6));
    c.cx = whole(x);
    c.cy = whole(y);
    double a = radius, b = radius;
    if (aspect > 1.0f) a = radius / double(aspect);
    if (aspect > 0.0f && aspect < 1.0f) b = radius * double(aspect);
    walk_circle(c, a, b);
    mark_rows_changed_locked(int32_t(std::max<int64_t>(c.cy - whole(b) - 1, -1)),
                             int32_t(std::min<int64_t>(c.cy + whole(b) + 1, FRAME_HEIGHT)));
    vid_frame_changed();
}

// Draws a LINE, a BOX outline or a FILLED_BOX between the corners,
// both included, in either order. Style is a 16-bit on/off pattern for lines and outlines
// (0 counts as solid); a filled box is always solid. Parts off the frame are skipped.
void draw_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t mode, int32_t style,
               int32_t /*flags*/) {
    int64_t xa = whole(x1), ya = whole(y1), xb = whole(x2), yb = whole(y2);
    const uint32_t pattern = (style & 0xFFFF) == 0 ? 0xFFFFu : uint32_t(style & 0xFFFF);
    std::lock_guard<std::mutex> hold(screen.lock);
    if (!screen.opened) return;
    if (mode == FILLED_BOX || mode == BOX) {
        const int64_t left = std::min(xa, xb), right = std::max(xa, xb);
        const int64_t top = std::min(ya, yb), bottom = std::max(ya, yb);
        for (int64_t y = std::max<int64_t>(top, 0); y <= std::min<int64_t>(bottom, FRAME_HEIGHT - 1); ++y) {
            const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(right, FRAME_WIDTH - 1);
            if (mode == FILLED_BOX) {
                if (x0 <= x1) std::fill(screen.frame[y] + x0, screen.frame[y] + x1 + 1, colour);
            } else if (y == top || y == bottom) {
                int64_t step = 0;
                for (int64_t x = x0; x <= x1; ++x)
                    if (pattern & (0x8000u >> (step++ & 15))) plot(x, y, colour);
            } else {
                plot(left, y, colour);
                plot(right, y, colour);
            }
        }
        mark_rows_changed_locked(int32_t(std::max<int64_t>(top, -1)), int32_t(std::min<int64_t>(bottom, FRAME_HEIGHT)));
    } else if (mode == LINE) {
        // Bresenham from (xa, ya) to (xb, yb); at most 2 x COORD_LIMIT steps.
        const int64_t dx = std::llabs(xb - xa), dy = -std::llabs(yb - ya);
        const int64_t sx = xa < xb ? 1 : -1, sy = ya < yb ? 1 : -1;
        int64_t err = dx + dy, step = 0, x = xa, y = ya;
        for (;;) {
            if (pattern & (0x8000u >> (step++ & 15))) plot(x, y, colour);
            if (x == xb && y == yb) break;
            const int64_t e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
        mark_rows_changed_locked(int32_t(std::max<int64_t>(std::min(ya, yb), -1)),
                                 int32_t(std::min<int64_t>(std::max(ya, yb), FRAME_HEIGHT)));
    } else {
        set_error(ERROR_BAD_ARGUMENT);
        return;
    }
    vid_frame_changed();
}

// Sets one pixel to exactly that value (0 is black, not transparent); off the frame nothing.
void set_pixel(float x, float y, uint32_t colour, int32_t /*flags*/) {
    const int64_t px = whole(x), py = whole(y);
    std::lock_guard<std::mutex> hold(screen.lock);
    if (!screen.opened || px < 0 || px >= FRAME_WIDTH || py < 0 || py >= FRAME_HEIGHT) return;
    screen.frame[py][px] = colour;
    mark_rows_changed_locked(int32_t(py), int32_t(py));
    vid_frame_changed();
}
