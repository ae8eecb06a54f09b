// screen_core.h -- helpers shared by the files of the screen facility; private to screen/.
#pragma once

#include <cstdint>

#include "screen/font.h"
#include "screen/screen_state.h"

// Drawing coordinates are clamped to this range before integer arithmetic, so no float
// (huge, infinite) can overflow; everything this far out is off the frame anyway.
constexpr int64_t COORD_LIMIT = 1 << 16;

// Marks frame rows y0..y1 (clamped to the frame) as changed. Screen lock held.
void mark_rows_changed_locked(int32_t y0, int32_t y1);

// Resets the text layer and fills the frame as open_screen leaves it. Screen lock held.
void reset_frame_locked();

// Empties the key queue and sets the mouse state to idle. Screen lock held.
void reset_input_locked();
