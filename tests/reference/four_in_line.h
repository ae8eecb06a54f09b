// four_in_line.h -- the small four-in-a-row reference of the tests and the benchmarks: a plain
// scan of the 42 cells by rows and columns, written apart from the game's test on the padded
// board so that each checks the other.
#pragma once

#include <cstdint>

// Tells whether `code` has four in a line on cells[1..42] (cell 7 x row + column, row 0 at the
// bottom, column 1 at the left): across, up, or along either diagonal.
inline bool four_in_line(const int32_t* cells, int32_t code) {
    const int32_t steps[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}}; // (rows, columns) per step
    for (int32_t row = 0; row < 6; ++row)
        for (int32_t column = 1; column <= 7; ++column)
            for (const auto& step : steps) {
                int32_t k = 0;
                for (int32_t r = row, c = column; k < 4 && r < 6 && c >= 1 && c <= 7 && cells[7 * r + c] == code;
                     r += step[0], c += step[1])
                    ++k;
                if (k == 4) return true;
            }
    return false;
}
