// window_scale.cpp -- the start scale of the real windows (window_scale.h).
#include "platform/window_scale.h"

#include "screen/screen.h"

namespace {

constexpr int32_t ORDINARY_DPI = 96;

} // namespace

int32_t start_scale(int32_t dpi, int32_t work_width, int32_t work_height, int32_t frame_width, int32_t frame_height) {
    int32_t scale = dpi > ORDINARY_DPI ? dpi / ORDINARY_DPI : 1;
    while (scale > 1 &&
           (FRAME_WIDTH * scale + frame_width > work_width || FRAME_HEIGHT * scale + frame_height > work_height))
        --scale;
    return scale;
}
