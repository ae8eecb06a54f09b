// reference_four.h -- the tests' own answer to "does this side have four in a line?", worked out
// by rows and columns on the plain cells, independent of the padded board the game's test uses.
#pragma once

#include <cstdint>

// Returns true when `code` holds four cells in an unbroken line on cells[1..42].
inline bool reference_four(const int32_t* cells, int32_t code) {
    const int32_t steps[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}}; // (row, column) steps
    for (int32_t row = 0; row < 6; ++row)
        for (int32_t column = 1; column <= 7; ++column)
            for (const auto& s : steps) {
                int32_t run = 0;
                for (int32_t k = 0; k < 4; ++k) {
                    const int32_t r = row + k * s[0], c = column + k * s[1];
                    if (r < 0 || r > 5 || c < 1 || c > 7 || cells[7 * r + c] != code) break;
                    ++run;
                }
                if (run == 4) return true;
            }
    return false;
}
