// text_layer.cpp -- opening the screen, the text grid, the cursor and printing opaque text cells.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "screen/screen_core.h"

namespace {

// Returns true for the colour depths open_screen accepts.
bool valid_depth(int32_t bits_per_pixel) {
    for (int32_t d : {1, 2, 4, 8, 15, 16, 24, 32})
        if (d == bits_per_pixel) return true;
    return false;
}

// Fills frame rows y0..y1-1 with one colour and marks them. Screen lock held.
void fill_rows_locked(int32_t y0, int32_t y1, uint32_t colour) {
    for (int32_t y = std::max(y0, 0); y < std::min(y1, FRAME_HEIGHT); ++y)
        std::fill(screen.frame[y], screen.frame[y] + FRAME_WIDTH, colour);
    mark_rows_changed_locked(y0, y1 - 1);
}

// Draws byte b into the cell at the cursor: glyph bits in the foreground, the rest in the
// background, so whatever was under the cell is replaced. Cells lower than 16 pixels (the 8 x 8
// cells before set_text_grid) show every other glyph row. Screen lock held.
void draw_cell_locked(uint8_t b) {
    const int32_t x0 = (screen.cursor_column - 1) * screen.cell_width;
    const int32_t y0 = (screen.cursor_row - 1) * screen.cell_height;
    for (int32_t row = 0; row < screen.cell_height; ++row) {
        const int32_t y = y0 + row;
        if (y < 0 || y >= FRAME_HEIGHT) continue;
        const uint8_t bits = font_8x16[b][row * GLYPH_HEIGHT / screen.cell_height];
        for (int32_t col = 0; col < screen.cell_width && col < GLYPH_WIDTH; ++col) {
            const int32_t x = x0 + col;
            if (x < 0 || x >= FRAME_WIDTH) continue;
            screen.frame[y][x] = (bits & (0x80u >> col)) ? screen.foreground : screen.background;
        }
    }
    mark_rows_changed_locked(y0, y0 + screen.cell_height - 1);
}

// Moves the text rows 2..rows up one cell row and clears the last one. Screen lock held.
void scroll_up_locked() {
    const int32_t h = screen.cell_height;
    const int32_t text_bottom = std::min(screen.rows * h, FRAME_HEIGHT); // pixels covered by the grid
    for (int32_t y = 0; y + h < text_bottom; ++y)
        std::memcpy(screen.frame[y], screen.frame[y + h], sizeof screen.frame[y]);
    fill_rows_locked(text_bottom - h, text_bottom, screen.background);
    mark_rows_changed_locked(0, text_bottom - 1);
}

// Moves the cursor to column 1 of the next row; below the last row the text scrolls up.
void new_line_locked() {
    screen.cursor_column = 1;
    if (screen.cursor_row < screen.rows) {
        ++screen.cursor_row;
    } else {
        scroll_up_locked();
    }
}

} // namespace

// Marks frame rows y0..y1 (clamped to the frame) as changed. Screen lock held.
void mark_rows_changed_locked(int32_t y0, int32_t y1) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, FRAME_HEIGHT - 1);
    if (y0 > y1) return;
    for (int32_t y = y0; y <= y1; ++y) screen.row_changed[y] = true;
    screen.frame_changed = true;
}

// Marks every row changed, e.g. after the window was exposed. Screen lock held.
void mark_all_rows_changed_locked() {
    mark_rows_changed_locked(0, FRAME_HEIGHT - 1);
}

// Resets the text layer and fills the frame as open_screen leaves it. Screen lock held.
void reset_frame_locked() {
    screen.foreground = OPEN_FOREGROUND;
    screen.background = OPEN_BACKGROUND;
    screen.columns = 80;
    screen.rows = 60;
    screen.cell_width = 8;
    screen.cell_height = 8;
    screen.cursor_row = 1;
    screen.cursor_column = 1;
    fill_rows_locked(0, FRAME_HEIGHT, OPEN_BACKGROUND);
}

// Puts the screen back as it was before open_screen: no window, the frame as open_screen leaves
// it, no input, no error. For the headless platform's fresh start. Screen lock held.
void reset_screen_locked() {
    screen.opened = false;
    screen.title.clear();
    reset_frame_locked();
    reset_input_locked();
    screen.last_announcement.clear();
    screen.offered_count = screen.shown_count = 0;
    screen.choice_held = screen.choice_pending = false;
    screen.last_error = ERROR_NONE;
}

// Opens the 640 x 480 window with a black frame, white text and an 80 x 60 grid of 8 x 8 cells.
// Only the 640 x 480 size exists; any other size, or a depth not in 1, 2, 4, 8, 15, 16, 24, 32,
// gives error 1 and changes nothing. Pages, flags and refresh are ignored (one ordinary window).
// Called once by the game at start-up; a second call resets the frame and keeps the window.
int32_t open_screen(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t /*pages*/, int32_t /*flags*/,
                    int32_t /*refresh*/) {
    if (width != FRAME_WIDTH || height != FRAME_HEIGHT || !valid_depth(bits_per_pixel))
        return set_error(ERROR_BAD_ARGUMENT);
    std::string title = vid_program_name();
    bool was_open = false;
    {
        std::lock_guard<std::mutex> hold(screen.lock);
        was_open = screen.opened;
        reset_frame_locked();
        screen.title = title;
        vid_frame_changed();
    }
    if (!was_open) {
        int32_t result = vid_open_window(FRAME_WIDTH, FRAME_HEIGHT, title);
        if (result != 0) return set_error(result);
        std::lock_guard<std::mutex> hold(screen.lock);
        screen.opened = true;
    }
    return set_error(ERROR_NONE);
}

// Sets the text grid when its cells are 8 x 16 (the only font there is), clears the frame to the
// background and homes the cursor; otherwise changes nothing and sets error 1. Returns the
// previous grid as columns + 65536 x rows either way.
int32_t set_text_grid(int32_t columns, int32_t rows) {
    std::lock_guard<std::mutex> hold(screen.lock);
    const int32_t previous = screen.columns + 65536 * screen.rows;
    if (columns < 1 || rows < 1 || FRAME_WIDTH / columns != GLYPH_WIDTH || FRAME_HEIGHT / rows != GLYPH_HEIGHT) {
        set_error(ERROR_BAD_ARGUMENT);
        return previous;
    }
    screen.columns = columns;
    screen.rows = rows;
    screen.cell_width = GLYPH_WIDTH;
    screen.cell_height = GLYPH_HEIGHT;
    screen.cursor_row = 1;
    screen.cursor_column = 1;
    fill_rows_locked(0, FRAME_HEIGHT, screen.background);
    vid_frame_changed();
    set_error(ERROR_NONE);
    return previous;
}

// Moves the text cursor; 0 keeps that coordinate. Off the grid the cursor stays where it was
// (error 1): the game addresses row 0 or below for a full column and relies on this.
void locate(int32_t row, int32_t column) {
    std::lock_guard<std::mutex> hold(screen.lock);
    if (row == 0) row = screen.cursor_row;
    if (column == 0) column = screen.cursor_column;
    if (row < 1 || row > screen.rows || column < 1 || column > screen.columns) {
        set_error(ERROR_BAD_ARGUMENT);
        return;
    }
    screen.cursor_row = row;
    screen.cursor_column = column;
    set_error(ERROR_NONE);
}

// Returns the cursor row, 1-based.
int32_t cursor_row() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return screen.cursor_row;
}

// Returns the cursor column, 1-based.
int32_t cursor_column() {
    std::lock_guard<std::mutex> hold(screen.lock);
    return screen.cursor_column;
}

// Prints each byte as an opaque cell at the cursor, moving right and wrapping after the last
// column; past the last row the grid scrolls up one row. NEW_LINE then starts a new line.
void print_text(const std::string& text, int32_t line_end) {
    std::lock_guard<std::mutex> hold(screen.lock);
    if (!screen.opened) return;
    for (unsigned char b : text) {
        draw_cell_locked(b);
        if (screen.cursor_column < screen.columns) {
            ++screen.cursor_column;
        } else {
            new_line_locked();
        }
    }
    if (line_end == NEW_LINE) new_line_locked();
    vid_frame_changed();
}

// Prints a blank (zero and above) or a minus sign, then the decimal digits; no line end.
void print_number(int32_t value) {
    const int64_t wide = value;
    std::string text = (wide < 0 ? "-" : " ") + std::to_string(wide < 0 ? -wide : wide);
    print_text(text, 0);
}

// Sets the text colours; KEEP_FOREGROUND and KEEP_BACKGROUND leave one as it is.
void set_color(uint32_t foreground, uint32_t background, int32_t flags) {
    std::lock_guard<std::mutex> hold(screen.lock);
    if ((flags & KEEP_FOREGROUND) == 0) screen.foreground = foreground;
    if ((flags & KEEP_BACKGROUND) == 0) screen.background = background;
}
