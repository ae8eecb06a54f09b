// size_win32.cpp -- the window's geometry: where the frame stands in the client area, the window
// size for a client area, where the window starts, and the least size it keeps. Only the frame
// metrics come from Windows (AdjustWindowRectEx), so the rules can be checked for any screen.
#include <algorithm>

#include "platform/win32/win32.h"
#include "platform/window_scale.h"
#include "screen/screen.h"

FramePlacement place_frame(int32_t client_width, int32_t client_height) {
    const int32_t scale = std::max(1, std::min(client_width / FRAME_WIDTH, client_height / FRAME_HEIGHT));
    return {scale, (client_width - FRAME_WIDTH * scale) / 2, (client_height - FRAME_HEIGHT * scale) / 2};
}

SIZE outer_size(int32_t client_width, int32_t client_height) {
    RECT r = {0, 0, client_width, client_height};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

// The scale is the screen density's whole number, made smaller until the window with its frame
// fits the work area; the window stands centred in the work area, or at its top left corner
// when it is larger.
RECT start_window(const RECT& work, int32_t dpi, int32_t client_width, int32_t client_height) {
    const SIZE area = {work.right - work.left, work.bottom - work.top};
    const SIZE frame = outer_size(FRAME_WIDTH, FRAME_HEIGHT);
    const int32_t scale = start_scale(dpi, area.cx, area.cy, frame.cx - FRAME_WIDTH, frame.cy - FRAME_HEIGHT);
    const SIZE outer = outer_size(client_width * scale, client_height * scale);
    const int32_t x = work.left + std::max<int32_t>(0, (area.cx - outer.cx) / 2);
    const int32_t y = work.top + std::max<int32_t>(0, (area.cy - outer.cy) / 2);
    return {x, y, x + outer.cx, y + outer.cy};
}

bool hold_least_size(WINDOWPOS& position, bool free_size) {
    if ((position.flags & SWP_NOSIZE) != 0 || free_size) return false;
    const SIZE least = outer_size(FRAME_WIDTH, FRAME_HEIGHT);
    if (position.cx >= least.cx && position.cy >= least.cy) return false;
    position.cx = std::max<int32_t>(position.cx, least.cx);
    position.cy = std::max<int32_t>(position.cy, least.cy);
    return true;
}
