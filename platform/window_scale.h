// window_scale.h -- how large the real windows (SDL, Win32) start: the frame at a whole-number
// scale that follows the screen's density, made smaller until the window fits. Portable (no
// window system in it), so the unit tests check the rule.
#pragma once

#include <cstdint>

// Returns the whole number by which a window starts enlarged on a screen of `dpi` dots per inch
// (96 is an ordinary one, 192 one at 200 %), made smaller until the client area of that scale
// plus the window's frame (`frame_width` x `frame_height` pixels around it) fits a work area of
// `work_width` x `work_height`; never less than 1. A dpi of 0 or less (unknown) counts as 96.
int32_t start_scale(int32_t dpi, int32_t work_width, int32_t work_height, int32_t frame_width, int32_t frame_height);

// Returns the density an X desktop asks for in its resources (the resource manager's text, lines
// "name:\tvalue"): the value of Xft.dpi, rounded; 0 when the text is missing or names none.
int32_t dpi_of_resources(const char* resources);
