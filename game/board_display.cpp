// board_display.cpp -- draws the board plate, its frame, the Space hint and the discs.
//
// Everything goes straight onto the screen through the text cursor and the drawing operations;
// nothing is remembered and nothing is erased. A hole or disc centre is taken from the cursor
// after `locate`: text column T and row R give the pixel (8T - 13, 16R - 8).
#include "game/board_display.h"

#include "rules/game_state.h"
#include "screen/screen.h"

namespace {

constexpr int32_t TOP_HOLE_ROW = 7; // text rows of the holes: 7, 11, ..., 27
constexpr int32_t BOTTOM_HOLE_ROW = 27;
constexpr int32_t LEFT_HOLE_COLUMN = 18; // text columns of the holes: 18, 26, ..., 66
constexpr int32_t RIGHT_HOLE_COLUMN = 66;
constexpr int32_t HOLE_STEP_ROWS = 4;
constexpr int32_t HOLE_STEP_COLUMNS = 8;

constexpr uint32_t RED_DISC = 0xFF4400;    // disc of mark "X"
constexpr uint32_t YELLOW_DISC = 0xFFFF00; // disc of any other mark
constexpr uint32_t INNER_SHADE = 0x444400; // the inner ring is the disc colour minus this

// Draws a circle of the given radius in the board's way: a true circle, closed, absolute.
void circle(int32_t x, int32_t y, int32_t radius, uint32_t colour, int32_t fill) {
    draw_circle(static_cast<float>(x), static_cast<float>(y), static_cast<float>(radius), colour, 0.0f, 0.0f, FULL_TURN,
                fill, ABSOLUTE_COORDINATES);
}

// Fills the box between two corners, both included.
void box(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    draw_line(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2),
              BOARD_COLOUR, FILLED_BOX, SOLID_STYLE, 0);
}

// The pixel column of the hole centre belonging to the cursor's text column.
int32_t centre_x() {
    return 8 * cursor_column() - 13;
}

// The pixel row of the hole centre belonging to the cursor's text row.
int32_t centre_y() {
    return 16 * cursor_row() - 8;
}

// Draws the 42 rings, 13 pixels wide, whose outer edges overlap into one plate.
void draw_rings() {
    for (int32_t row = TOP_HOLE_ROW; row <= BOTTOM_HOLE_ROW; row += HOLE_STEP_ROWS) {
        for (int32_t column = LEFT_HOLE_COLUMN; column <= RIGHT_HOLE_COLUMN; column += HOLE_STEP_COLUMNS) {
            locate(row, column);
            for (int32_t radius = 26; radius <= 38; ++radius) {
                if (radius > 26) circle(centre_x() + 1, centre_y(), radius, BOARD_COLOUR, OUTLINE);
                circle(centre_x(), centre_y(), radius, BOARD_COLOUR, OUTLINE);
            }
        }
    }
}

// Closes the plate's gaps where four rings meet with 30 discs of radius 19.
void draw_inner_fillers() {
    for (int32_t row = TOP_HOLE_ROW; row < BOTTOM_HOLE_ROW; row += HOLE_STEP_ROWS) {
        for (int32_t column = LEFT_HOLE_COLUMN; column < RIGHT_HOLE_COLUMN; column += HOLE_STEP_COLUMNS) {
            locate(row, column);
            circle(8 * cursor_column() + 19, 16 * cursor_row() + 24, 19, BOARD_COLOUR, SOLID);
        }
    }
}

// Draws the four frame bars (left, right, top, bottom) and rounds off their inner edges.
void draw_frame() {
    box(93, 64, 105, 462);
    box(541, 64, 554, 462);
    box(93, 64, 554, 76);
    box(93, 450, 554, 462);
    for (int32_t x = 162; x <= 528; x += 64) {
        circle(x, 76, 10, BOARD_COLOUR, SOLID);
        circle(x, 448, 10, BOARD_COLOUR, SOLID);
    }
    for (int32_t y = 134; y <= 428; y += 64) {
        circle(104, y, 10, BOARD_COLOUR, SOLID);
        circle(541, y, 10, BOARD_COLOUR, SOLID);
    }
}

} // namespace

void draw_board() {
    draw_rings();
    draw_inner_fillers();
    draw_frame();
    locate(30, 23);
    print_text("Met Spatie andere taktiek selecteren.", STAY_ON_LINE);
}

void draw_disc() {
    uint32_t colour = text_compare(game.disc_mark, "X") == 0 ? RED_DISC : YELLOW_DISC;
    circle(centre_x(), centre_y(), 25, colour, SOLID);
    circle(centre_x(), centre_y(), 18, colour - INNER_SHADE, OUTLINE);
}
