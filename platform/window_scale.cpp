// window_scale.cpp -- the start scale of the real windows (window_scale.h).
#include "platform/window_scale.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

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

int32_t dpi_of_resources(const char* resources) {
    constexpr const char* NAME = "Xft.dpi:";
    for (const char* line = resources; line != nullptr && *line != '\0';) {
        if (std::strncmp(line, NAME, std::strlen(NAME)) == 0) {
            const double dpi = std::strtod(line + std::strlen(NAME), nullptr); // skips the tab
            return dpi > 0 && dpi < 10000 ? static_cast<int32_t>(std::lround(dpi)) : 0;
        }
        line = std::strchr(line, '\n');
        if (line != nullptr) ++line;
    }
    return 0;
}
